#include <gtest/gtest.h>

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

}  // namespace
}  // namespace tallowin
