#include <gtest/gtest.h>

#include "clipboard/content_clipboard.h"
#include "clipboard/format_inspection.h"
#include "clipboard/x11_formats.h"

namespace tallowin {
namespace {

using Data = std::map<std::string, std::vector<std::uint8_t>>;

std::vector<std::uint8_t> Bytes(std::string_view s) { return {s.begin(), s.end()}; }

// UTF-16LE of `text` with nothing added: how a selection's text is held.
std::string Utf16Le(std::u16string_view text) {
  std::string block = UnicodeTextBlock(text);
  return block.substr(0, block.size() - 2);
}

TEST(TargetFormatRegistry, NumbersFrom49152InOrderOfFirstSightForTheLifeOfTheRegistry) {
  TargetFormatRegistry registry;
  EXPECT_EQ(registry.NumberFor("text/html"), 49152);
  EXPECT_EQ(registry.NumberFor("text/uri-list"), 49153);
  EXPECT_EQ(registry.NumberFor("text/html"), 49152);
  EXPECT_EQ(registry.NameOf(49153), "text/uri-list");
  EXPECT_EQ(registry.NameOf(49154), std::nullopt);
  EXPECT_EQ(registry.NameOf(13), std::nullopt);
}

TEST(TargetFormatRegistry, AFullNumberSpaceNeverWrapsIntoThePredefinedRange) {
  TargetFormatRegistry registry;
  FormatNumber last = 0;
  for (int i = 0; i < 16384 + 10; ++i) last = registry.NumberFor("t" + std::to_string(i));
  EXPECT_EQ(last, 0xFFFF);
  EXPECT_EQ(registry.NameOf(0xFFFF), "t16383");
}

TEST(ContentFromTargets, TextTargetsTakeTheTextNumbersAndOthersRegisteredOnes) {
  TargetFormatRegistry registry;
  const ClipboardContent c = ContentFromTargets(
      registry, {"text/html", "UTF8_STRING", "STRING", "text/plain;charset=utf-8"},
      {{"text/html", Bytes("<b>\xC3\xA4</b>")}, {"UTF8_STRING", Bytes("\xC3\xA4\xE2\x82\xAC")},
       {"STRING", Bytes("\xE4")}, {"text/plain;charset=utf-8", Bytes("x")}});

  EXPECT_EQ(c.formats, (std::vector<FormatNumber>{49152, kFormatUnicodeText, kFormatText, 49153}));
  EXPECT_EQ(*c.text, u"ä€");
  EXPECT_EQ(*c.blocks.at(kFormatText), std::string("\xE4\0", 2));
  EXPECT_EQ(*c.blocks.at(49152), "<b>\xC3\xA4</b>");  // raw bytes, no terminator added
  EXPECT_EQ(registry.NameOf(49153), "text/plain;charset=utf-8");
}

TEST(ContentFromTargets, Utf8MimeTextStandsInWhenUtf8StringIsNotOffered) {
  TargetFormatRegistry registry;
  const ClipboardContent c =
      ContentFromTargets(registry, {"TEXT", "text/plain;charset=utf-8"}, {{"text/plain;charset=utf-8", Bytes("hi")}});
  EXPECT_EQ(c.formats, (std::vector<FormatNumber>{49152, kFormatUnicodeText}));
  EXPECT_EQ(*c.text, u"hi");
  EXPECT_FALSE(c.blocks.contains(49152));  // listed, but not read: an empty value
}

// A selection of MIME types (Wayland): text/plain;charset=utf-8 is 13 (else
// UTF8_STRING), text/plain without a charset and STRING are 1, listed once
// where the first stands, decodable pictures 2, everything else registered.
TEST(ContentFromMimeTypes, TextTypesTakeTheTextNumbers) {
  struct Case {
    std::vector<std::string> types;
    std::vector<FormatNumber> formats;
    std::u16string text;  // format 13's text
    std::string ansi;     // format 1's block
  };
  const Data data{{"text/plain;charset=utf-8", Bytes("\xC3\xA4")}, {"UTF8_STRING", Bytes("u8")},
                  {"text/plain", Bytes("\xE4")},                 {"STRING", Bytes("s")},
                  {"TEXT", Bytes("t")},                          {"image/png", Bytes("png")}};
  const Case cases[] = {
      {{"text/plain", "text/plain;charset=utf-8", "TEXT", "STRING", "UTF8_STRING"},
       {kFormatText, kFormatUnicodeText, 49152, 49153},
       u"\u00E4",
       std::string("\xE4\0", 2)},
      {{"UTF8_STRING", "STRING"}, {kFormatUnicodeText, kFormatText}, u"u8", std::string("s\0", 2)},
      {{"STRING", "image/png", "text/plain"}, {kFormatText, kFormatBitmap}, u"", std::string("s\0", 2)},
  };
  for (const Case& c : cases) {
    TargetFormatRegistry registry;
    registry.SetDecodableImages({"image/png"});
    const ClipboardContent content = ContentFromTargets(registry, c.types, data, nullptr, MimeTextTargets());
    EXPECT_EQ(content.formats, c.formats) << c.types.front();
    EXPECT_EQ(content.text ? *content.text : u"", c.text) << c.types.front();
    EXPECT_EQ(*content.blocks.at(kFormatText), c.ansi) << c.types.front();
  }
}

TEST(ContentFromTargets, DecodablePictureTargetsAreOneBitmapWhereTheFirstStands) {
  TargetFormatRegistry registry;
  registry.SetDecodableImages({"image/png", "image/bmp", "image/webp"});
  const ClipboardContent c = ContentFromTargets(
      registry, {"text/x-moz-url", "image/webp", "image/png", "UTF8_STRING", "image/bmp"},
      {{"image/png", Bytes("\x89PNG")}, {"UTF8_STRING", Bytes("t")}});
  EXPECT_EQ(c.formats, (std::vector<FormatNumber>{49152, kFormatBitmap, kFormatUnicodeText}));
  EXPECT_FALSE(c.blocks.contains(kFormatBitmap));  // a handle format: no byte block
  EXPECT_EQ(*c.encodedImage, "\x89PNG");           // the first decodable picture that was read
}

// An image type nothing here decodes, and the server-side handle targets, are
// formats like any other: listing them must not promise a picture that no
// step can read.
TEST(ContentFromTargets, UndecodablePictureTargetsAreRegisteredFormats) {
  TargetFormatRegistry registry;
  registry.SetDecodableImages({"image/png"});
  const ClipboardContent c = ContentFromTargets(
      registry, {"image/svg+xml", "PIXMAP", "UTF8_STRING", "BITMAP"},
      {{"image/svg+xml", Bytes("<svg/>")}, {"UTF8_STRING", Bytes("t")}});
  EXPECT_EQ(c.formats, (std::vector<FormatNumber>{49152, 49153, kFormatUnicodeText, 49154}));
  EXPECT_FALSE(c.Has(kFormatBitmap));
  EXPECT_FALSE(c.encodedImage);
  EXPECT_EQ(*c.blocks.at(49152), "<svg/>");
  EXPECT_EQ(registry.NameOf(49152), "image/svg+xml");
}

TEST(ContentFromTargets, RepeatedTargetsAreListedOnce) {
  TargetFormatRegistry registry;
  const ClipboardContent c =
      ContentFromTargets(registry, {"STRING", "text/html", "STRING", "text/html"}, {{"STRING", Bytes("a")}});
  EXPECT_EQ(c.formats, (std::vector<FormatNumber>{kFormatText, 49152}));
}

TEST(ContentFromTargets, NumbersStayTheSameAcrossContents) {
  TargetFormatRegistry registry;
  ContentFromTargets(registry, {"a/one", "a/two"}, {});
  const ClipboardContent c = ContentFromTargets(registry, {"a/three", "a/two"}, {});
  EXPECT_EQ(c.formats, (std::vector<FormatNumber>{49154, 49153}));
}

TEST(TextContent, PlacesTheTwoTextFormatsLikeAWindowsStyleWrite) {
  const SharedText text = MakeSharedText(u"1€\u0416");
  ContentClipboard clipboard;
  clipboard.SetContent(TextContent(text));
  EXPECT_EQ(clipboard.Content().formats, (std::vector<FormatNumber>{kFormatText, kFormatUnicodeText}));
  EXPECT_EQ(*clipboard.FormatBytes(kFormatText), std::string("1\x80?\0", 4));
  EXPECT_EQ(*clipboard.FormatBytes(kFormatUnicodeText), Utf16Le(u"1€\u0416"));
  EXPECT_FALSE(clipboard.Content().encodedImage);
  // The written text is the content: no reader gets a copy.
  EXPECT_EQ(clipboard.ReadSharedText(), text);
  EXPECT_EQ(clipboard.FormatText(kFormatUnicodeText), text);
}

// A reader that decoded the text on its own thread hands it over; the content
// takes that buffer as format 13 and every reading of the text shares it.
TEST(ContentFromTargets, TextDecodedAheadIsFormat13Itself) {
  TargetFormatRegistry registry;
  const SharedText decoded = MakeSharedText(u"ä€");
  ContentClipboard clipboard;
  clipboard.SetContent(ContentFromTargets(registry, {"UTF8_STRING"}, {{"UTF8_STRING", {}}}, decoded));
  EXPECT_EQ(clipboard.Content().text, decoded);
  EXPECT_EQ(clipboard.FormatText(kFormatUnicodeText), decoded);
  EXPECT_EQ(clipboard.ReadSharedText(), decoded);
  EXPECT_EQ(*clipboard.FormatBytes(kFormatUnicodeText), Utf16Le(u"ä€"));
}

// A selection's format 13 is the whole target, zero units included, and a text
// with zeros is still shared, not copied.
TEST(ContentFromTargets, TheTextOfFormat13IsTheWholeTarget) {
  TargetFormatRegistry registry;
  ContentClipboard clipboard;
  clipboard.SetContent(ContentFromTargets(registry, {"UTF8_STRING"}, {{"UTF8_STRING", Bytes(std::string("ab\0cd", 5))}}));
  EXPECT_EQ(*clipboard.FormatText(kFormatUnicodeText), std::u16string(u"ab\0cd", 5));
  EXPECT_EQ(clipboard.FormatText(kFormatUnicodeText), clipboard.Content().text);
  EXPECT_EQ(clipboard.ReadText(), std::u16string(u"ab\0cd", 5));
  clipboard.SetContent(ContentFromTargets(registry, {"UTF8_STRING"}, {{"UTF8_STRING", Bytes(std::string("\0cd", 3))}}));
  EXPECT_EQ(*clipboard.FormatText(kFormatUnicodeText), std::u16string(u"\0cd", 3));
  EXPECT_EQ(clipboard.ReadText(), std::u16string(u"\0cd", 3));
}

// A content clipboard whose blocks end at their first zero unit cuts the text
// there, whatever the target carried after it.
class UpToFirstZeroContentClipboard : public ContentClipboard {
 public:
  TextExtent UnicodeBlockExtent() const override { return TextExtent::kUpToFirstZero; }
};

TEST(ContentFromTargets, UnderTheFirstZeroRuleTheTextOfFormat13EndsAtItsFirstZeroUnit) {
  TargetFormatRegistry registry;
  UpToFirstZeroContentClipboard clipboard;
  clipboard.SetContent(ContentFromTargets(registry, {"UTF8_STRING"}, {{"UTF8_STRING", Bytes(std::string("ab\0cd", 5))}}));
  EXPECT_EQ(*clipboard.FormatText(kFormatUnicodeText), u"ab");
  EXPECT_EQ(clipboard.ReadText(), u"ab");
  clipboard.SetContent(ContentFromTargets(registry, {"UTF8_STRING"}, {{"UTF8_STRING", Bytes(std::string("\0cd", 3))}}));
  EXPECT_EQ(clipboard.FormatText(kFormatUnicodeText), nullptr);
  EXPECT_EQ(clipboard.ReadText(), u"");
  // Every position of the zero, within and after the four-unit steps of the scan.
  const std::u16string text = u"abcdefghijĀ";
  for (std::size_t zero = 1; zero <= text.size(); ++zero) {
    std::u16string withZero = text;
    withZero.insert(zero, 1, u'\0');
    clipboard.SetContent(TextContent(MakeSharedText(withZero)));
    EXPECT_EQ(clipboard.ReadText(), text.substr(0, zero)) << "zero at " << zero;
  }
}

// A selection's text carries its length: a zero inside it is text like any
// other character, for the text steps, the details value and a write-back.
struct ZeroCase {
  const char* name;
  std::vector<std::string> targets;
  Data data;
  std::u16string text;
  std::u16string unicodeValue;  // the details value of format 13, when listed
};

class SelectionTextWithZeros : public ::testing::TestWithParam<ZeroCase> {};

TEST_P(SelectionTextWithZeros, IsReadWholeAndShownWhole) {
  const ZeroCase& c = GetParam();
  ContentClipboard clipboard;
  clipboard.SetContent(ContentFromTargets(clipboard.Registry(), c.targets, c.data));
  EXPECT_EQ(*ReadClipboardText(clipboard), c.text);
  if (clipboard.Content().Has(kFormatUnicodeText)) {
    EXPECT_EQ(ClipboardFormatValue(clipboard, kFormatUnicodeText, ValueReading::Utf16), c.unicodeValue);
  }

  WriteClipboardText(clipboard, c.text);
  EXPECT_EQ(*ReadClipboardText(clipboard), c.text);
  EXPECT_EQ(ClipboardFormatValue(clipboard, kFormatUnicodeText, ValueReading::Utf16), c.text);
}

using namespace std::string_literals;
using namespace std::string_view_literals;

INSTANTIATE_TEST_SUITE_P(
    Cases, SelectionTextWithZeros,
    ::testing::Values(
        ZeroCase{"ZeroInside", {"UTF8_STRING"}, {{"UTF8_STRING", Bytes("abc\0def"sv)}}, u"abc\0def"s, u"abc\0def"s},
        ZeroCase{"LeadingZero", {"UTF8_STRING"}, {{"UTF8_STRING", Bytes("\0abc"sv)}}, u"\0abc"s, u"\0abc"s},
        ZeroCase{"TrailingZero", {"UTF8_STRING"}, {{"UTF8_STRING", Bytes("abc\0"sv)}}, u"abc\0"s, u"abc\0"s},
        ZeroCase{"OnlyLatin1", {"STRING"}, {{"STRING", Bytes("a\0\xE4"sv)}}, u"a\0ä"s, u""s},
        ZeroCase{"EmptyUtf8FallsBackToLatin1",
                 {"UTF8_STRING", "STRING"},
                 {{"UTF8_STRING", Bytes("")}, {"STRING", Bytes("x\0y"sv)}},
                 u"x\0y"s, u""s}),
    [](const ::testing::TestParamInfo<ZeroCase>& info) { return std::string(info.param.name); });

TEST(SelectionTextWithZeros, Latin1ValueStillShowsTheBlockEndingZero) {
  ContentClipboard clipboard;
  clipboard.SetContent(ContentFromTargets(clipboard.Registry(), {"STRING"}, {{"STRING", Bytes("a\0b"sv)}}));
  EXPECT_EQ(ClipboardFormatValue(clipboard, kFormatText, ValueReading::EightBit), u"a\0b\0"s);
}

}  // namespace
}  // namespace tallowin
