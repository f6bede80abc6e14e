#include <gtest/gtest.h>

#include "clipboard/content_clipboard.h"
#include "clipboard/x11_formats.h"

namespace tallowin {
namespace {

using Data = std::map<std::string, std::vector<std::uint8_t>>;

std::vector<std::uint8_t> Bytes(std::string_view s) { return {s.begin(), s.end()}; }

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

TEST(ContentFromTargets, AllPictureTargetsAreOneBitmapWhereTheFirstStands) {
  TargetFormatRegistry registry;
  const ClipboardContent c = ContentFromTargets(
      registry, {"text/x-moz-url", "PIXMAP", "image/png", "UTF8_STRING", "image/bmp", "BITMAP"},
      {{"image/png", Bytes("\x89PNG")}, {"UTF8_STRING", Bytes("t")}});
  EXPECT_EQ(c.formats, (std::vector<FormatNumber>{49152, kFormatBitmap, kFormatUnicodeText}));
  EXPECT_TRUE(c.Has(kFormatBitmap));
  EXPECT_FALSE(c.blocks.contains(kFormatBitmap));  // a handle format: no byte block
  EXPECT_EQ(*c.encodedImage, "\x89PNG");
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
  EXPECT_EQ(*clipboard.FormatBytes(kFormatUnicodeText), UnicodeTextBlock(u"1€\u0416"));
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
  EXPECT_EQ(*clipboard.FormatBytes(kFormatUnicodeText), UnicodeTextBlock(u"ä€"));
}

// Format 13 reads up to its first zero unit, whatever the target carried after it.
TEST(ContentFromTargets, TheTextOfFormat13EndsAtItsFirstZeroUnit) {
  TargetFormatRegistry registry;
  ContentClipboard clipboard;
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

}  // namespace
}  // namespace tallowin
