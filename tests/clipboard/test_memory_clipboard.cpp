#include <gtest/gtest.h>

#include "base/errors.h"
#include "clipboard/format_inspection.h"
#include "clipboard/memory_clipboard.h"

namespace tallowin {
namespace {

TEST(MemoryClipboard, WriteTextPlacesAnsiAndUnicodeFormatsWithOneNotification) {
  MemoryClipboard c;
  int notified = 0;
  c.SetChangeHandler([&] { ++notified; });
  c.WriteText(u"1€ \u0416");  // "Ж" has no Windows-1252 byte
  EXPECT_EQ(notified, 1);
  ASSERT_EQ(c.CountFormats(), 2);
  EXPECT_EQ(c.FormatAt(0), kFormatText);
  EXPECT_EQ(c.FormatAt(1), kFormatUnicodeText);
  EXPECT_EQ(c.FormatAt(2), 0);
  EXPECT_EQ(*c.FormatBytes(kFormatText), std::string("1\x80 ?\0", 5));
  EXPECT_EQ(c.ReadText(), u"1€ \u0416");
  EXPECT_EQ(c.OpenCount(), 0);
}

TEST(MemoryClipboard, ReadTextFallsBackToTheAnsiFormat) {
  MemoryClipboard c;
  c.PlaceFromOtherProgram({{kFormatText, std::string("caf\xE9\x80\0junk", 10)}});
  EXPECT_EQ(c.ReadText(), u"café€");
  c.PlaceFromOtherProgram({{kFormatUnicodeText, std::string(2, '\0')}, {kFormatText, std::string("ansi\0", 5)}});
  EXPECT_EQ(c.ReadText(), u"ansi");
  c.PlaceFromOtherProgram({});
  EXPECT_EQ(c.ReadText(), u"");
}

TEST(MemoryClipboard, EachWriteReplacesTheWholeContent) {
  MemoryClipboard c;
  const RasterImage image = CreateRaster(2, 2);
  c.WriteText(u"text");
  c.WriteBitmap(image);
  EXPECT_EQ(c.CountFormats(), 1);
  EXPECT_EQ(c.ReadText(), u"");
  EXPECT_EQ(c.ReadBitmap(), image);
  c.WriteText(u"again");
  EXPECT_THROW(c.ReadBitmap(), TallowinError);
  EXPECT_EQ(c.NotificationCount(), 3);
}

TEST(MemoryClipboard, NestedOpensNotifyOnceAtTheOutermostClose) {
  MemoryClipboard c;
  c.Open();
  c.WriteText(u"a");  // opens and closes inside
  c.SetData(42, "b");
  EXPECT_EQ(c.NotificationCount(), 0);
  c.Close();
  EXPECT_EQ(c.NotificationCount(), 1);
  EXPECT_EQ(c.CountFormats(), 3);  // later writes of one open period add formats
}

TEST(MemoryClipboard, HeldClipboardRaisesAndStaysUnchanged) {
  MemoryClipboard c;
  c.WriteText(u"keep");
  c.SetHeldByOtherProgram(true);
  try {
    c.WriteText(u"new");
    FAIL();
  } catch (const TallowinError& e) {
    EXPECT_STREQ(e.what(), "Cannot open clipboard");
  }
  c.SetHeldByOtherProgram(false);
  EXPECT_EQ(c.ReadText(), u"keep");
  EXPECT_EQ(c.OpenCount(), 0);
}

TEST(FormatInspection, NamesCoverEveryRangeOfTheTable) {
  MemoryClipboard c;
  const FormatNumber html = c.RegisterFormat("text/html");
  const struct {
    FormatNumber number;
    std::u16string name;
  } cases[] = {{1, u"TEXT"},          {2, u"BITMAP"},         {13, u"UNICODETEXT"}, {16, u"LOCALE"},
               {17, u"MAX"},          {128, u"OWNERDISPLAY"}, {131, u"DSPMETAFILEPICT"},
               {142, u"DSPENHMETAFILE"}, {512, u"PRIVATE"},   {767, u"PRIVATE"},    {768, u"GDIOBJ"},
               {1023, u"GDIOBJ"},     {html, u"text/html"}};
  for (const auto& c2 : cases) EXPECT_EQ(ClipboardFormatName(c, c2.number), c2.name) << c2.number;
  for (FormatNumber unnamed : {0, 18, 127, 132, 141, 143, 511, 1024, 0xC001}) {
    try {
      ClipboardFormatName(c, unnamed);
      ADD_FAILURE() << unnamed << " has a name";
    } catch (const TallowinError& e) {
      EXPECT_STREQ(e.what(), "A call to an OS function failed") << unnamed;
    }
  }
}

TEST(FormatInspection, ValuesRenderTheWholeBlock) {
  MemoryClipboard c;
  const FormatNumber html = c.RegisterFormat("text/html");
  c.PlaceFromOtherProgram({{html, std::string("<b>\0x\xE4", 6)}, {kFormatUnicodeText, UnicodeTextBlock(u"uni")}});
  EXPECT_EQ(ClipboardFormatValue(c, html, ValueReading::EightBit), std::u16string(u"<b>\0xä", 6));
  EXPECT_EQ(ClipboardFormatValue(c, kFormatUnicodeText, ValueReading::Utf16), u"uni");
  EXPECT_EQ(ClipboardFormatValue(c, kFormatBitmap, ValueReading::EightBit), u"");
  EXPECT_EQ(ClipboardFormatValue(c, 99, ValueReading::EightBit), u"");
}

}  // namespace
}  // namespace tallowin
