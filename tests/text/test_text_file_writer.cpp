#include "text/text_file_writer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "app/errors.h"
#include "scratch_folder.h"

namespace tallowin {
namespace {

using namespace std::string_literals;
using testing::ScratchFolder;

// The message a failing call raised, or "" when it raised nothing.
template <class Call>
std::string RaisedMessage(Call call) {
  try {
    call();
  } catch (const TallowinError& e) {
    return e.what();
  }
  return "";
}

class WriteTextFileTest : public ::testing::Test {
 protected:
  bool Write(const std::string& name, std::u16string_view text, std::int32_t codePage) {
    return WriteTextFile(text, folder_.Text(name), codePage);
  }

  ScratchFolder folder_;
};

TEST_F(WriteTextFileTest, WritesEncodedBytesAndNothingElse) {
  EXPECT_TRUE(Write("a.txt", u"A\r\n", kCodePageUtf16Le));
  EXPECT_EQ(folder_.Read("a.txt"), "\xFF\xFE" "A\0\r\0\n\0"s);
  EXPECT_TRUE(Write("b.log", u"a+b", kCodePageUtf7Ansi));
  EXPECT_EQ(folder_.Read("b.log"), "a+-b");
}

// A new configuration file is created as a UTF-16 signature and nothing else.
TEST_F(WriteTextFileTest, EmptyTextGivesSignatureOnly) {
  EXPECT_TRUE(Write("new.twk", u"", kCodePageUtf16Le));
  EXPECT_EQ(folder_.Read("new.twk"), "\xFF\xFE");
  EXPECT_TRUE(Write("empty.txt", u"", kCodePageAnsi));
  EXPECT_TRUE(std::filesystem::exists(folder_.path() / "empty.txt"));
  EXPECT_EQ(folder_.Read("empty.txt"), "");
}

TEST_F(WriteTextFileTest, ShorterTextReplacesLongerFileCompletely) {
  ASSERT_TRUE(Write("same.txt", u"a long first text", kCodePageUtf8));
  ASSERT_TRUE(Write("same.txt", u"x", kCodePageUtf8));
  EXPECT_EQ(folder_.Read("same.txt"), "\xEF\xBB\xBF" "x");
}

TEST_F(WriteTextFileTest, ImageExtensionsAreRefusedWithoutTouchingTheFile) {
  for (const std::string name : {"p.jpg", "p.Jpeg", "p.JPEG", "p.BMP", "p.gif", "x.txt.jpg"}) {
    folder_.CreateFile(name, "picture");
    EXPECT_FALSE(Write(name, u"text", kCodePageUtf8)) << name;
    EXPECT_EQ(folder_.Read(name), "picture") << name;
  }
  EXPECT_FALSE(Write("missing.jpg", u"text", kCodePageUtf8));
  EXPECT_FALSE(std::filesystem::exists(folder_.path() / "missing.jpg"));
}

// Only the last path component's extension counts; other image-like names are written.
TEST_F(WriteTextFileTest, OtherExtensionsAreWritten) {
  std::filesystem::create_directory(folder_.path() / "shots.jpg");
  for (const std::string name : {"p.png", "p.jpg.txt", "p.jpgx", "jpg", "shots.jpg/notes"}) {
    EXPECT_TRUE(Write(name, u"A", kCodePageAnsi)) << name;
    EXPECT_EQ(folder_.Read(name), "A") << name;
  }
}

TEST_F(WriteTextFileTest, UncreatableFileRaisesWithPathAndCause) {
  const std::string missing = (folder_.path() / "no such folder" / "x.txt").string();
  EXPECT_EQ(RaisedMessage([&] { Write("no such folder/x.txt", u"A", kCodePageUtf8); }),
            "Cannot create file \"" + missing + "\". No such file or directory");

  std::filesystem::create_directory(folder_.path() / "a folder.txt");
  const std::string folderPath = (folder_.path() / "a folder.txt").string();
  EXPECT_EQ(RaisedMessage([&] { Write("a folder.txt", u"A", kCodePageUtf8); }),
            "Cannot create file \"" + folderPath + "\". Is a directory");
}

// U+0000 would cut the name short for the file system, writing somewhere else.
TEST_F(WriteTextFileTest, NulInPathIsRefusedNotTruncated) {
  const std::u16string path = folder_.Text("cut") + std::u16string(1, u'\0') + u"rest.txt";
  EXPECT_EQ(RaisedMessage([&] { WriteTextFile(u"A", path, kCodePageUtf8); }).rfind("Cannot create file \"", 0), 0u);
  EXPECT_TRUE(std::filesystem::is_empty(folder_.path()));
}

// Opening a FIFO nobody reads would block the program for good.
TEST_F(WriteTextFileTest, FifoWithoutReaderFailsInsteadOfBlocking) {
  const std::string fifo = (folder_.path() / "pipe.txt").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(RaisedMessage([&] { Write("pipe.txt", u"A", kCodePageUtf8); }),
            "Cannot create file \"" + fifo + "\". No such device or address");
}

TEST(WriteTextFileFull, ShortWriteRaisesStreamWriteError) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full on this system";
  EXPECT_EQ(RaisedMessage([] { WriteTextFile(u"A", u"/dev/full", kCodePageUtf8); }), "Stream write error");
}

TEST(WriteTextFileCodePage, UnknownValueIsAProgrammingError) {
  ScratchFolder folder;
  EXPECT_THROW(WriteTextFile(u"A", folder.Text("x.txt"), 1252), std::invalid_argument);
  EXPECT_FALSE(std::filesystem::exists(folder.path() / "x.txt"));
}

TEST(IsAnsiText, EveryUnitUpToFF) {
  EXPECT_TRUE(IsAnsiText(u""));
  EXPECT_TRUE(IsAnsiText(u"plain \u00E4\u00FF\u0080"));
  EXPECT_FALSE(IsAnsiText(u"x\u20AC"));
  EXPECT_FALSE(IsAnsiText(u"\u0100"));
  EXPECT_FALSE(IsAnsiText(u"\U0001D11E"));
  EXPECT_EQ(CodePageForAnsiOrUtf8(u"\u00E4"), kCodePageAnsi);
  EXPECT_EQ(CodePageForAnsiOrUtf8(u"x\u20AC"), kCodePageUtf8);
}

TEST(CodePageForEncodingButton, EveryButtonAndNothingElse) {
  const std::pair<const char*, std::int32_t> rows[] = {
      {"rb_ansi", 0},        {"rb_utf7", 65000},    {"rb_utf7ansi", 64999}, {"rb_utf8", 65001},
      {"rb_utf16le", 1200},  {"rb_utf_be", 1201},   {"rb_utf32le", 65005},  {"rb_utf32be", 65006},
      {"rb_beibehalten", 65001}};
  for (const auto& [button, codePage] : rows) {
    EXPECT_EQ(CodePageForEncodingButton(button), codePage) << button;
    EXPECT_TRUE(IsTextCodePage(codePage)) << button;
  }
  EXPECT_EQ(CodePageForEncodingButton("rb_utf16be"), std::nullopt);
  EXPECT_EQ(CodePageForEncodingButton("RB_ANSI"), std::nullopt);
}

}  // namespace
}  // namespace tallowin
