// The format registry: choice of writer by file name, the numbered options and
// their checks, the file sink, and properties every writer must keep. The
// decoded content of each format is checked against independent decoders by
// tests/cli/test_image_output.sh.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "settings/capture_settings.h"
#include "base/errors.h"
#include "base/utf.h"
#include "image/formats/byte_writer.h"
#include "image/formats/image_format.h"
#include "image/image_output.h"
#include "image/image_test_support.h"

namespace tallowin {
namespace {

using testing::NumberedRaster;
using testing::SmoothRaster;
namespace fs = std::filesystem;

std::string Encoded(ImageFormatRegistry& registry, std::string_view fileName, const RasterImage& raster) {
  const ImageFormatWriter* writer = registry.WriterFor(fileName);
  if (!writer) throw std::logic_error("no writer");
  std::string out;
  image_bytes::StringByteSink sink(out);
  if (!registry.Encode(*writer, raster, sink)) throw std::logic_error("refused");
  return out;
}

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class TempFolder {
 public:
  TempFolder() : path_(fs::temp_directory_path() / ("image-formats-" + std::to_string(::getpid()))) {
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~TempFolder() { fs::remove_all(path_); }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(path_)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  fs::path path_;
};

TEST(ImageFormatMask, WildcardsMatchWithoutRegardToCase) {
  struct Case {
    std::string_view name, mask;
    bool match;
  };
  for (const Case& c : std::initializer_list<Case>{{"a.png", "*.png", true},
                                                  {"A.PNG", "*.png", true},
                                                  {"a.png", "*.PnG", true},
                                                  {".png", "*.png", true},
                                                  {"a.png.bak", "*.png", false},
                                                  {"apng", "*.png", false},
                                                  {"a.jpg", "*.jp?", true},
                                                  {"a.jp", "*.jp?", false},
                                                  {"x.y.z", "*.*.*", true},
                                                  {"aaaaaaaaaaaaaaaaaaaaaaaaaaaaab", "*a*a*a*a*a*c", false},
                                                  {"", "*", true},
                                                  {"Ä.png", "*.png", true}}) {
    EXPECT_EQ(MatchesMask(c.name, c.mask), c.match) << c.name << " / " << c.mask;
  }
}

TEST(ImageFormatRegistry, WriterIsChosenByTheFileNameWithoutItsFolder) {
  ImageFormatRegistry registry;
  struct Case {
    std::string_view path, writer;
  };
  for (const Case& c : std::initializer_list<Case>{{"/a/b.JPEG", "Joint Photographic Experts Group Image"},
                                                  {"/a/b.jif", "Joint Photographic Experts Group Image"},
                                                  {"/x.png/y.bmp", "Windows Bitmap Image"},
                                                  {"/x/y.Dib", "Windows Bitmap Image"},
                                                  {"/x/y.tiff", "Tagged Image File Format"},
                                                  {"/x/y.pdd", "Photoshop Image"},
                                                  {"/x/y.jpc", "JPEG 2000 Image"},
                                                  {"/x/y.tga", "Truevision Targa Image"}}) {
    const ImageFormatWriter* w = registry.WriterFor(c.path);
    ASSERT_NE(w, nullptr) << c.path;
    EXPECT_EQ(w->name, c.writer) << c.path;
  }
  EXPECT_EQ(registry.WriterFor("/x/y.bmp.txt"), nullptr);
  EXPECT_EQ(registry.WriterFor("/x.bmp/y"), nullptr);
}

TEST(ImageFormatRegistry, FifteenWritersAllAbleToSaveAndTheirItemsInListOrder) {
  ImageFormatRegistry registry;
  EXPECT_EQ(registry.Writers().size(), 15u);
  for (const ImageFormatWriter& w : registry.Writers()) EXPECT_TRUE(w.canSave) << w.name;
  // The list the main window offers is the registry's.
  EXPECT_EQ(ImageFormatItems(), DefaultItems(Setting::saveimg_format, Language::German));
  // Each item selects the writer whose mask it names.
  for (const std::u16string& item : ImageFormatItems()) {
    const std::string ext(item.begin() + 1, item.begin() + static_cast<std::ptrdiff_t>(item.find(u" - ")));
    EXPECT_NE(registry.WriterFor("/f/name" + ext), nullptr) << ext;
  }
}

TEST(ImageFormatOptions, StartValuesAndUnknownNumbers) {
  ImageFormatRegistry registry;
  const std::pair<int, int> starts[] = {{10, 90}, {11, 0}, {12, 1}, {13, 0}, {25, 5}, {26, 5}, {28, 0}, {29, 0},
                                        {30, 5},  {31, 5}, {32, 90}, {33, 0}, {40, 0}, {41, 5}, {42, 5}, {43, 90},
                                        {44, 0},  {50, 1}, {51, 1}, {55, 80}, {56, 0}, {57, 0}, {65, 1}, {70, 1}};
  for (auto [number, start] : starts) EXPECT_EQ(registry.ImageOption(number), start) << number;
  EXPECT_TRUE(registry.SetImageOption(26, 9));
  EXPECT_EQ(registry.ImageOption(26), 9);
  for (int unknown : {0, 9, 14, 34, 58, 100, -1}) EXPECT_FALSE(registry.SetImageOption(unknown, 1)) << unknown;
  EXPECT_EQ(registry.ImageOption(14), 0);
}

TEST(ImageFormatOptions, OutOfRangeValuesAreReplacedWhenTheirFormatWritesAndTheReplacementStays) {
  struct Case {
    const char* file;
    int option, set, after;
  };
  const RasterImage raster = SmoothRaster(9, 7);
  for (const Case& c : std::initializer_list<Case>{{"a.jpg", 10, 1000, 90},
                                                  {"a.jpg", 10, 0, 90},
                                                  {"a.jpg", 10, 100, 100},
                                                  {"a.jpg", 10, 1, 1},
                                                  {"a.jng", 43, 101, 90},
                                                  {"a.mng", 32, -5, 90},
                                                  {"a.jp2", 55, 0, 80},
                                                  {"a.jp2", 55, 1000, 80},
                                                  {"a.png", 26, 10, 5},
                                                  {"a.png", 25, 7, 5},
                                                  {"a.tif", 65, 5, 1}}) {
    ImageFormatRegistry registry;
    registry.SetImageOption(c.option, c.set);
    Encoded(registry, c.file, raster);
    EXPECT_EQ(registry.ImageOption(c.option), c.after) << c.file << " option " << c.option << " = " << c.set;
  }
  // Another format's write leaves the option alone.
  ImageFormatRegistry registry;
  registry.SetImageOption(10, 1000);
  Encoded(registry, "a.png", raster);
  EXPECT_EQ(registry.ImageOption(10), 1000);
}

TEST(ImageFormatOptions, QualityOutsideTheRangeWritesTheSameFileAsTheStartValue) {
  const RasterImage raster = SmoothRaster(40, 30);
  for (const char* file : {"a.jpg", "a.jng"}) {
    const int option = std::string_view(file) == "a.jpg" ? 10 : 43;
    ImageFormatRegistry at90, at1000, at100;
    at1000.SetImageOption(option, 1000);
    at100.SetImageOption(option, 100);
    EXPECT_EQ(Encoded(at1000, file, raster), Encoded(at90, file, raster)) << file;
    EXPECT_NE(Encoded(at100, file, raster), Encoded(at90, file, raster)) << file;
  }
}

TEST(ImageFormatOptions, MngIsLosslessWhateverTheQuality) {
  const RasterImage raster = SmoothRaster(20, 10);
  ImageFormatRegistry plain, low;
  low.SetImageOption(32, 1);
  low.SetImageOption(33, 1);
  EXPECT_EQ(Encoded(low, "a.mng", raster), Encoded(plain, "a.mng", raster));
}

// A sink that fails once `limit` bytes have arrived.
class FailingSink : public ByteSink {
 public:
  explicit FailingSink(std::size_t limit) : limit_(limit) {}
  void Put(std::string_view bytes) override {
    received_ += bytes.size();
    if (received_ > limit_) throw std::runtime_error("disk full");
  }

 private:
  std::size_t limit_;
  std::size_t received_ = 0;
};

class EveryWriter : public ::testing::TestWithParam<std::string> {};

TEST_P(EveryWriter, WritesTinyAndOddSizedPicturesAndLeavesTheRasterAlone) {
  for (auto [w, h] : {std::pair{1, 1}, std::pair{3, 2}, std::pair{1, 40}, std::pair{41, 1}, std::pair{67, 33}}) {
    ImageFormatRegistry registry;
    const RasterImage raster = NumberedRaster(w, h);
    const RasterImage copy = raster;
    const std::string first = Encoded(registry, "x." + GetParam(), raster);
    EXPECT_GT(first.size(), 8u) << w << "x" << h;
    EXPECT_EQ(raster, copy);
    EXPECT_EQ(Encoded(registry, "x." + GetParam(), raster), first) << "not deterministic at " << w << "x" << h;
  }
}

TEST_P(EveryWriter, AFailingSinkRaisesItsOwnErrorAtAnyPoint) {
  const RasterImage raster = SmoothRaster(300, 200);
  ImageFormatRegistry registry;
  const std::size_t full = Encoded(registry, "x." + GetParam(), raster).size();
  for (std::size_t limit : {std::size_t{0}, std::size_t{7}, full / 2, full - 1}) {
    const ImageFormatWriter* writer = registry.WriterFor("x." + GetParam());
    FailingSink sink(limit);
    try {
      registry.Encode(*writer, raster, sink);
      ADD_FAILURE() << GetParam() << ": no error with the sink failing after " << limit << " of " << full;
    } catch (const std::runtime_error& e) {
      EXPECT_STREQ(e.what(), "disk full") << GetParam();
    }
  }
}

// The first extension of every writer the registry holds: a sixteenth format is
// tested by being registered.
std::vector<std::string> FirstExtensionOfEveryWriter() {
  std::vector<std::string> extensions;
  const ImageFormatRegistry registry;
  for (const ImageFormatWriter& writer : registry.Writers()) {
    const std::string_view mask = writer.masks.substr(0, writer.masks.find(','));
    extensions.emplace_back(mask.substr(mask.find('.') + 1));
  }
  return extensions;
}

INSTANTIATE_TEST_SUITE_P(Formats, EveryWriter, ::testing::ValuesIn(FirstExtensionOfEveryWriter()),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

TEST(SaveRasterToFile, IconAndCursorNamesAndUnknownNamesWriteNothing) {
  TempFolder dir;
  ImageFormatRegistry registry;
  const RasterImage raster = SmoothRaster(4, 4);
  for (const char* name : {"a.ico", "a.ICO", "a.Cur", "a.xyz", "a"}) {
    EXPECT_FALSE(registry.SaveRasterToFile(dir / name, raster)) << name;
  }
  EXPECT_TRUE(dir.Names().empty());
  EXPECT_TRUE(registry.SaveRasterToFile(dir / "a.PNG", raster));
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"a.PNG"});
}

TEST(SaveRasterToFile, AFailedWriteKeepsTheOldFileAndLeavesNoTemporaryFile) {
  TempFolder dir;
  ImageFormatRegistry registry;
  {
    std::ofstream(dir / "a.tga") << "old";
  }
  // Targa stores sides up to 65535 only: the encoder fails after the sink exists.
  EXPECT_FALSE(registry.SaveRasterToFile(dir / "a.tga", CreateRaster(70000, 1)));
  EXPECT_EQ(ReadFile(dir / "a.tga"), "old");
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"a.tga"});
  EXPECT_FALSE(registry.SaveRasterToFile(dir / "missing/a.png", SmoothRaster(2, 2)));
  fs::create_directory(dir / "folder.png");
  EXPECT_FALSE(registry.SaveRasterToFile(dir / "folder.png", SmoothRaster(2, 2)));
  EXPECT_FALSE(registry.SaveRasterToFile(dir / "b.png", RasterImage{}));
  EXPECT_TRUE(registry.SaveRasterToFile(dir / "a.tga", SmoothRaster(2, 2)));
  EXPECT_EQ(ReadFile(dir / "a.tga").size(), 18u + 2 * 2 * 4);
}

// A save prepared on one thread and written on another: it settles the
// options as a save does when prepared, and writes with them as they stood
// then, whatever is pushed meanwhile for a newer picture.
TEST(PrepareRasterSave, SettlesTheOptionsWhenPreparedAndWritesWithThemAsTheyStoodThen) {
  TempFolder dir;
  const RasterImage raster = SmoothRaster(40, 30);
  ImageFormatRegistry registry;
  registry.SetImageOption(10, 1000);
  registry.SetImageOption(43, 1000);
  const RasterSave save = PrepareRasterSave(registry, Utf8ToUtf16(dir / "a.jpg"));
  EXPECT_EQ(registry.ImageOption(10), 90) << "the JPEG quality is settled when the save is prepared";
  EXPECT_EQ(registry.ImageOption(43), 1000) << "another format's option is left alone";
  registry.SetImageOption(10, 5);
  ASSERT_TRUE(save(raster));

  ImageFormatRegistry at90;
  EXPECT_EQ(ReadFile(dir / "a.jpg"), Encoded(at90, "a.jpg", raster));
  EXPECT_FALSE(PrepareRasterSave(registry, std::u16string_view(u"a\0.jpg", 6))(raster));
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"a.jpg"});
}

TEST(AusgabeWerteSetzen, CopiesQualityAndProgressiveModeIntoTheThreeFormats) {
  CaptureSettings settings(Language::English);
  ImageFormatRegistry registry;
  struct Case {
    std::u16string quality;
    bool progressive;
    int value;
  };
  for (const Case& c : std::initializer_list<Case>{{u"100", true, 100}, {u"1", false, 1}, {u"1000", true, 1000},
                                                  {u"0", false, 0}, {u" 75", true, 75}}) {
    settings.SetText(Setting::out_quality, c.quality);
    settings.SetFlag(Setting::progressivaktiv, c.progressive);
    AusgabeWerteSetzen(settings, registry);
    for (int option : {10, 32, 43}) EXPECT_EQ(registry.ImageOption(option), c.value) << option;
    for (int option : {11, 33, 44}) EXPECT_EQ(registry.ImageOption(option), c.progressive ? 1 : 0) << option;
    EXPECT_EQ(registry.ImageOption(55), 80);
  }
}

TEST(AusgabeWerteSetzen, AQualityThatIsNoIntegerRaisesBeforeAnyOptionChanges) {
  CaptureSettings settings(Language::English);
  ImageFormatRegistry registry;
  settings.SetFlag(Setting::progressivaktiv, true);
  for (std::u16string text : {u"", u"abc", u"9 0", u"99999999999"}) {
    settings.SetText(Setting::out_quality, text);
    try {
      AusgabeWerteSetzen(settings, registry);
      ADD_FAILURE() << "no error for a quality text";
    } catch (const TallowinError& e) {
      EXPECT_EQ(e.what(), "'" + std::string(text.begin(), text.end()) + "' is not a valid integer value");
    }
    for (auto [option, start] : {std::pair{10, 90}, std::pair{11, 0}, std::pair{43, 90}, std::pair{44, 0}}) {
      EXPECT_EQ(registry.ImageOption(option), start);
    }
  }
}

}  // namespace
}  // namespace tallowin
