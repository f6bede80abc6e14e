#include <gtest/gtest.h>

#include "base/utf.h"
#include "clipboard/format_inspection.h"

namespace tallowin {
namespace {

// An 8-bit value is decoded only when read; its beginning alone must read the
// same as the beginning of the whole decoding, zero bytes and 0x80..0x9F included.
TEST(FormatValue, AnEightBitPrefixReadsLikeTheWholeDecoding) {
  const FormatValue value =
      FormatValue::EightBit(std::make_shared<const std::string>(std::string("a\0\x80\x81\xE4z", 6)));
  const std::u16string whole(u"a\0€\u0081äz", 6);
  EXPECT_EQ(value.Size(), 6u);
  for (std::size_t units : {0u, 1u, 2u, 3u, 6u, 50u}) {
    EXPECT_EQ(value.Prefix(units), whole.substr(0, units)) << units << " units";
  }
  EXPECT_EQ(value.Text(), whole);
  EXPECT_EQ(value.Prefix(4), whole.substr(0, 4));  // also once decoded
}

TEST(FormatValue, AUtf16ValueIsTheSharedTextItself) {
  const SharedText text = MakeSharedText(u"ä€x");
  const FormatValue value = FormatValue::Utf16(text);
  EXPECT_EQ(&value.Text(), text.get());
  EXPECT_EQ(value.Prefix(2), u"ä€");
  EXPECT_EQ(value.Size(), 3u);
  EXPECT_TRUE(FormatValue() == u"");
  EXPECT_EQ(FormatValue().Size(), 0u);
}

// The details list and `tallowin formats` show a value on one line: control
// characters and the two Unicode line breaks as escapes, a backslash doubled so a
// value's own "\x0A" cannot be read as a line break.
TEST(OneLineText, EscapesEverythingThatBreaksOrHidesALine) {
  const struct {
    std::u16string value;
    std::u16string shown;
  } cases[] = {
      {u"plain text äß€", u"plain text äß€"},
      {u"a\r\nb\nc\td", u"a\\x0D\\x0Ab\\x0Ac\\x09d"},
      {std::u16string(u"\0\x01\x1F \x7F\x80\x9F\xA0", 8), u"\\x00\\x01\\x1F \\x7F\\x80\\x9F\xA0"},
      {u"x\u2028y\u2029z\u0085", u"x\\u2028y\\u2029z\\x85"},
      {u"C:\\dir\\x0A", u"C:\\\\dir\\\\x0A"},
      {u"\U0001F600 stays", u"\U0001F600 stays"},
      {u"", u""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(OneLineText(c.value), c.shown) << Utf16ToUtf8(c.value);
  }
}

}  // namespace
}  // namespace tallowin
