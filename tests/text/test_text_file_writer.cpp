#include "text/text_file_writer.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include <filesystem>
#include <string>

#include "base/errors.h"
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

// Only regular files are replaced. A FIFO, held open by a process that never
// reads or by one that stopped reading, must neither block the save nor end the
// program; a device must never be written.
TEST_F(WriteTextFileTest, SpecialFilesAreRefusedWithoutBlocking) {
  const std::string fifo = (folder_.path() / "pipe.txt").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(RaisedMessage([&] { Write("pipe.txt", u"A", kCodePageUtf8); }),
            "Cannot create file \"" + fifo + "\". Operation not supported");
  // A holder that keeps the FIFO open for reading and never reads.
  const int holder = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK);
  ASSERT_GE(holder, 0);
  EXPECT_EQ(RaisedMessage([&] { Write("pipe.txt", std::u16string(1 << 20, u'x'), kCodePageUtf8); }),
            "Cannot create file \"" + fifo + "\". Operation not supported");
  char byte;
  EXPECT_EQ(::read(holder, &byte, 1), -1) << "nothing may reach the FIFO";
  ::close(holder);
  EXPECT_TRUE(std::filesystem::is_fifo(fifo));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_.path()), {}), 1);

  EXPECT_EQ(RaisedMessage([] { WriteTextFile(u"A", u"/dev/full", kCodePageUtf8); }),
            "Cannot create file \"/dev/full\". Operation not supported");
  EXPECT_TRUE(std::filesystem::is_character_file("/dev/full"));
}

// A fixed name held by a symbolic link: the link is replaced by the new file and
// what it pointed to is never written.
TEST_F(WriteTextFileTest, SymbolicLinkIsReplacedNotFollowed) {
  folder_.CreateFile("precious", "keep me");
  std::filesystem::create_symlink(folder_.path() / "precious", folder_.path() / "out.txt");
  std::filesystem::create_symlink(folder_.path() / "nowhere", folder_.path() / "dangling.txt");
  ASSERT_TRUE(Write("out.txt", u"new", kCodePageAnsi));
  ASSERT_TRUE(Write("dangling.txt", u"new", kCodePageAnsi));
  EXPECT_EQ(folder_.Read("precious"), "keep me");
  for (const char* name : {"out.txt", "dangling.txt"}) {
    EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(folder_.path() / name))) << name;
    EXPECT_EQ(folder_.Read(name), "new") << name;
  }
  EXPECT_FALSE(std::filesystem::exists(folder_.path() / "nowhere"));
}

// The new file gets the mode a plain create would give it, whatever the old one had.
TEST_F(WriteTextFileTest, NewFileModeHonoursTheUmask) {
  folder_.CreateFile("old.txt", "old");
  std::filesystem::permissions(folder_.path() / "old.txt", std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  const mode_t saved = ::umask(027);
  const bool written = Write("old.txt", u"A", kCodePageAnsi) && Write("new.txt", u"A", kCodePageAnsi);
  ::umask(saved);
  ASSERT_TRUE(written);
  for (const char* name : {"old.txt", "new.txt"}) {
    struct stat info;
    ASSERT_EQ(::stat((folder_.path() / name).c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u) << name;
  }
}

// A real full file system: a tiny tmpfs. A write that does not fit raises
// "Stream write error" and leaves the old file whole and no partial file behind.
class FullDiskTest : public ::testing::Test {
 protected:
  void SetUp() override {
    mountPoint_ = folder_.path() / "tiny";
    std::filesystem::create_directory(mountPoint_);
    if (::mount("tmpfs", mountPoint_.c_str(), "tmpfs", 0, "size=64k") != 0) {
      GTEST_SKIP() << "cannot mount a 64 KiB tmpfs here (" << std::strerror(errno)
                   << "); run as root with mount rights to test a full disk";
    }
    mounted_ = true;
  }
  void TearDown() override {
    if (mounted_) ::umount2(mountPoint_.c_str(), MNT_DETACH);
  }
  std::u16string Path(const std::string& name) const { return Utf8ToUtf16((mountPoint_ / name).string()); }
  std::string Read(const std::string& name) const { return folder_.Read("tiny/" + name); }

  ScratchFolder folder_;
  std::filesystem::path mountPoint_;
  bool mounted_ = false;
};

TEST_F(FullDiskTest, FailedWriteKeepsTheOldFileAndLeavesNothing) {
  ASSERT_TRUE(WriteTextFile(u"old content", Path("keep.txt"), kCodePageAnsi));
  const std::u16string tooLarge(256 * 1024, u'x');
  EXPECT_EQ(RaisedMessage([&] { WriteTextFile(tooLarge, Path("keep.txt"), kCodePageAnsi); }), "Stream write error");
  EXPECT_EQ(RaisedMessage([&] { WriteTextFile(tooLarge, Path("new.txt"), kCodePageAnsi); }), "Stream write error");
  EXPECT_EQ(Read("keep.txt"), "old content");
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(mountPoint_)) names.push_back(entry.path().filename());
  EXPECT_EQ(names, std::vector<std::string>{"keep.txt"});
  // The space of the failed attempts is free again.
  EXPECT_TRUE(WriteTextFile(u"fits", Path("next.txt"), kCodePageAnsi));
  EXPECT_EQ(Read("next.txt"), "fits");
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
