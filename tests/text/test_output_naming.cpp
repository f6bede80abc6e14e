#include "text/output_naming.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "base/errors.h"
#include "scratch_folder.h"
#include "text/text_file_writer.h"
#include "base/utf.h"

namespace tallowin {
namespace {

using testing::ScratchFolder;

std::tm At(int year, int month, int day, int hour, int minute, int second) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  return t;
}

const LocalTimeSource kMorning = [] { return At(2010, 10, 14, 9, 5, 7); };

TEST(IsValidFolderPath, AbsoluteWithPlainInnermostName) {
  for (const char16_t* accepted : {u"/", u"/data/Clipboard/", u"/a:b/c/", u"/x?y/c/", u"/a b/",
                                   u"/a/.hidden/", u"/a"}) {
    EXPECT_TRUE(IsValidFolderPath(accepted)) << Utf16ToUtf8(accepted);
  }
  for (const char16_t* rejected : {u"", u"a/", u"./out/", u"C:/", u"//server/share/", u"//", u"/a//", u"/a/b:c/",
                                   u"/a/b?/", u"/a/b>/", u"/a/b|/", u"/a/b\\c/", u"/a/b</", u"/a/b*/", u"/a/\"b\"/"}) {
    EXPECT_FALSE(IsValidFolderPath(rejected)) << Utf16ToUtf8(rejected);
  }
}

TEST(PrepareOutputFolder, CreatesMissingParentsAndKeepsTrailingSeparator) {
  ScratchFolder scratch;
  const auto folder = PrepareOutputFolder(scratch.Text("a/b/c"));
  ASSERT_TRUE(folder.has_value());
  EXPECT_EQ(*folder, scratch.Text("a/b/c") + u"/");
  EXPECT_TRUE(std::filesystem::is_directory(scratch.path() / "a" / "b" / "c"));
  EXPECT_EQ(PrepareOutputFolder(scratch.Text("a/b/c") + u"/"), folder);
  EXPECT_EQ(PrepareOutputFolder(u"/"), std::u16string(u"/"));
}

TEST(PrepareOutputFolder, FailsWithoutCreatingAnything) {
  ScratchFolder scratch;
  scratch.CreateFile("plain file");
  EXPECT_EQ(PrepareOutputFolder(u""), std::nullopt);
  EXPECT_EQ(PrepareOutputFolder(u"relative/folder"), std::nullopt);
  EXPECT_FALSE(std::filesystem::exists("relative"));
  EXPECT_EQ(PrepareOutputFolder(scratch.Text("bad*name")), std::nullopt);
  EXPECT_EQ(PrepareOutputFolder(scratch.Text("plain file/sub")), std::nullopt);
  EXPECT_EQ(PrepareOutputFolder(scratch.Text("cut") + std::u16string(1, u'\0') + u"x"), std::nullopt);
  EXPECT_FALSE(std::filesystem::exists(scratch.path() / "cut"));
}

// The folder picker starts at the folder a box names, or at the nearest one
// above it that exists; a file on the way is no folder.
TEST(PickerStartFolder, TheFolderOrItsNearestExistingParent) {
  ScratchFolder scratch;
  std::filesystem::create_directories(scratch.path() / "shots" / "2024");
  scratch.CreateFile("plain file");
  const struct {
    std::u16string text;
    std::u16string start;
  } cases[] = {
      {scratch.Text("shots/2024"), scratch.Text("shots/2024")},
      {scratch.Text("shots/2024") + u"/", scratch.Text("shots/2024")},
      {scratch.Text("shots/missing/deeper/"), scratch.Text("shots")},
      {scratch.Text("plain file/sub"), scratch.Text()},
      {scratch.Text("shots//2024//"), scratch.Text("shots//2024")},
      {u"/", u"/"},
      {u"/nonexistent-tallowin-folder/x/", u"/"},
      {u"", u""},
      {u"relative/folder", u""},
      {scratch.Text("shots") + std::u16string(1, u'\0') + u"x", u""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PickerStartFolder(c.text), c.start) << Utf16ToUtf8(c.text);
  }
}

TEST(OutputFilePath, TextExtensionWithOrWithoutDot) {
  EXPECT_EQ(TextFilePath(u"/d/", u"Clipboard Text %num%", u"txt"), u"/d/Clipboard Text %num%.txt");
  EXPECT_EQ(TextFilePath(u"/d/", u"n", u".txt"), u"/d/n.txt");
  EXPECT_EQ(TextFilePath(u"/d/", u"n", u"tar.gz"), u"/d/n.tar.gz");
}

TEST(OutputFilePath, ImageExtensionFromFormatItem) {
  const std::pair<const char16_t*, const char16_t*> rows[] = {
      {u"*.png - Portable Network Graphics", u".png"},
      {u"*.jpg - JPEG-Bild", u".jpg"},
      {u"*.j*p*2 - x", u".jp2"},
      {u".tif - x - y", u".tif"},
      {u"png", u".bmp"},
      {u"*.png", u".bmp"},
      {u"png - Portable Network Graphics", u".bmp"},
      {u" - x", u".bmp"},
  };
  for (const auto& [format, extension] : rows) {
    EXPECT_EQ(ImageFilePath(u"/d/", u"n", format), u"/d/n" + std::u16string(extension)) << Utf16ToUtf8(format);
  }
}

TEST(GetDateAndTime, FixedWidthLocalFields) {
  EXPECT_EQ(GetDate(At(2010, 10, 14, 9, 5, 7)), u"2010-10-14");
  EXPECT_EQ(GetTime(At(2010, 10, 14, 9, 5, 7)), u"09-05-07");
  EXPECT_EQ(GetTime(At(2010, 10, 14, 21, 5, 7)), u"21-05-07");
  EXPECT_EQ(GetDate(At(987, 1, 2, 0, 0, 0)), u"0987-01-02");
  EXPECT_EQ(GetTime(At(2010, 1, 1, 0, 0, 0)), u"00-00-00");
}

class ResolvePlaceholdersTest : public ::testing::Test {
 protected:
  std::u16string Resolve(const std::string& name) { return ResolvePlaceholders(folder_.Text(name), counter_, kMorning); }

  ScratchFolder folder_;
  std::int32_t counter_ = 0;
};

TEST_F(ResolvePlaceholdersTest, NumberingSkipsExistingFilesAndContinues) {
  folder_.CreateFile("Clipboard Text 1.txt");
  folder_.CreateFile("Clipboard Text 2.txt");
  EXPECT_EQ(Resolve("Clipboard Text %num%.txt"), folder_.Text("Clipboard Text 3.txt"));
  EXPECT_EQ(counter_, 3);
  EXPECT_EQ(Resolve("Clipboard Text %num%.txt"), folder_.Text("Clipboard Text 4.txt"));
  EXPECT_EQ(counter_, 4);
}

TEST_F(ResolvePlaceholdersTest, FolderOfCandidateNameIsNotAFile) {
  std::filesystem::create_directory(folder_.path() / "n1.txt");
  EXPECT_EQ(Resolve("n%num%.txt"), folder_.Text("n1.txt"));
  EXPECT_EQ(counter_, 1);
}

// A link could point anywhere; writing through one the user left is never right.
TEST_F(ResolvePlaceholdersTest, DanglingLinkTakesTheName) {
  std::filesystem::create_symlink(folder_.path() / "nowhere", folder_.path() / "n1.txt");
  EXPECT_EQ(Resolve("n%num%.txt"), folder_.Text("n2.txt"));
}

TEST_F(ResolvePlaceholdersTest, EveryNumPlaceholderGetsTheSameNumber) {
  folder_.CreateFile("1-1.txt");
  EXPECT_EQ(Resolve("%num%-%num%.txt"), folder_.Text("2-2.txt"));
}

TEST_F(ResolvePlaceholdersTest, PlaceholdersAreCaseSensitive) {
  EXPECT_EQ(Resolve("%NUM% %Date% %TIME%.txt"), folder_.Text("%NUM% %Date% %TIME%.txt"));
  EXPECT_EQ(counter_, 0);
}

TEST_F(ResolvePlaceholdersTest, WithoutNumTheCounterStaysAndNamesRepeat) {
  counter_ = 7;
  EXPECT_EQ(Resolve("%date% %time%.txt"), folder_.Text("2010-10-14 09-05-07.txt"));
  folder_.CreateFile("2010-10-14 09-05-07.txt");
  EXPECT_EQ(Resolve("%date% %time%.txt"), folder_.Text("2010-10-14 09-05-07.txt"));
  EXPECT_EQ(counter_, 7);
}

// The existence test sees "%date%" unreplaced, so a dated file of the same
// number does not push the number on.
TEST_F(ResolvePlaceholdersTest, NumberIsTestedBeforeDateIsFilledIn) {
  folder_.CreateFile("x 1 2010-10-14.txt");
  EXPECT_EQ(Resolve("x %num% %date%.txt"), folder_.Text("x 1 2010-10-14.txt"));
  EXPECT_EQ(Resolve("x %num% %date%.txt"), folder_.Text("x 2 2010-10-14.txt"));
}

TEST_F(ResolvePlaceholdersTest, ClockIsReadOncePerPlaceholderKind) {
  int reads = 0;
  const LocalTimeSource ticking = [&reads] {
    ++reads;
    return At(2010, 10, 14, 23, 59, 58 + reads);  // the second read lands in the next minute
  };
  EXPECT_EQ(ResolvePlaceholders(u"/d/%date% %time% %time%", counter_, ticking), u"/d/2010-10-14 23-59-60 23-59-60");
  EXPECT_EQ(reads, 2);
  EXPECT_EQ(ResolvePlaceholders(u"/d/plain", counter_, ticking), u"/d/plain");
  EXPECT_EQ(reads, 2);
}

TEST_F(ResolvePlaceholdersTest, CounterWrapsInsteadOfOverflowing) {
  counter_ = INT32_MAX;
  EXPECT_EQ(Resolve("n%num%"), folder_.Text("n-2147483648"));
  EXPECT_EQ(counter_, INT32_MIN);
}

// The whole naming of one text save, as the capture pipeline runs it.
class TextOutputPathTest : public ::testing::Test {
 protected:
  std::optional<std::u16string> Prepare(const std::u16string& folderText, std::u16string_view name = u"Clipboard Text %num%",
                                        std::u16string_view format = u"txt") {
    return PrepareTextOutputPath(folderText, name, format, counter_, kMorning);
  }

  ScratchFolder folder_;
  std::int32_t counter_ = 0;
};

TEST_F(TextOutputPathTest, ResolvedPathInCreatedFolder) {
  EXPECT_EQ(Prepare(folder_.Text("out")), folder_.Text("out/Clipboard Text 1.txt"));
  EXPECT_EQ(counter_, 1);
  EXPECT_EQ(PrepareImageOutputPath(folder_.Text("img"), u"%date%", u"*.png - PNG", counter_, kMorning),
            folder_.Text("img/2010-10-14.png"));
}

TEST_F(TextOutputPathTest, SkippedSaveLeavesTheCounterAlone) {
  folder_.CreateFile("plain file");
  EXPECT_EQ(Prepare(u""), std::nullopt);
  EXPECT_EQ(Prepare(folder_.Text(), u""), std::nullopt);
  EXPECT_EQ(Prepare(folder_.Text(), u"n%num%", u""), std::nullopt);
  EXPECT_EQ(Prepare(u"relative"), std::nullopt);
  EXPECT_EQ(Prepare(folder_.Text("a|b")), std::nullopt);
  EXPECT_EQ(Prepare(folder_.Text("plain file/sub")), std::nullopt);
  EXPECT_EQ(counter_, 0);
}

// A name or extension that is no plain file name could place the file outside
// the chosen folder ("../"); it is an unusable name: skipped silently, nothing
// created, the counter untouched.
TEST_F(TextOutputPathTest, NamesThatLeaveTheFolderAreSkipped) {
  const std::u16string out = folder_.Text("out");
  const struct {
    std::u16string_view name, format;
  } cases[] = {{u"../escaped %num%", u"txt"}, {u"sub/n%num%", u"txt"}, {u"/abs", u"txt"},
               {u"n%num%", u"./../x"},        {u"n%num%", u"txt/"},   {u".", u"."}};
  for (const auto& c : cases) {
    EXPECT_EQ(Prepare(out, c.name, c.format), std::nullopt) << Utf16ToUtf8(c.name) << " " << Utf16ToUtf8(c.format);
  }
  EXPECT_EQ(PrepareImageOutputPath(out, u"n", u"*./../x - trick", counter_, kMorning), std::nullopt);
  EXPECT_EQ(PrepareImageOutputPath(out, u"../n", u"*.png - PNG", counter_, kMorning), std::nullopt);
  EXPECT_EQ(counter_, 0);
  EXPECT_FALSE(std::filesystem::exists(folder_.path() / "out"));
  // Dots inside a name are plain characters.
  EXPECT_EQ(Prepare(out, u"..n", u"txt"), folder_.Text("out/..n.txt"));
}

// "%num%" in the folder part: the folder is made under its literal name, the
// resolved path names a folder that does not exist, and the write fails; the
// number is used up all the same.
TEST_F(TextOutputPathTest, PlaceholderInFolderPartFailsAtTheWrite) {
  const auto path = Prepare(folder_.Text("%num%"), u"t", u".txt");
  ASSERT_TRUE(path.has_value());
  EXPECT_TRUE(std::filesystem::is_directory(folder_.path() / "%num%"));
  EXPECT_EQ(*path, folder_.Text("1/t.txt"));
  EXPECT_EQ(counter_, 1);
  try {
    WriteTextFile(u"x", *path, kCodePageUtf8);
    ADD_FAILURE() << "the write should fail";
  } catch (const TallowinError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot create file \"" + Utf16ToUtf8(*path) + "\". No such file or directory");
  }
  EXPECT_EQ(counter_, 1);
  EXPECT_EQ(Prepare(folder_.Text("%num%"), u"t", u".txt"), folder_.Text("2/t.txt"));
}

}  // namespace
}  // namespace tallowin
