#include "text/text_encoders.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <stdexcept>
#include <string>

namespace tallowin {
namespace {

using namespace std::string_literals;

std::string Hex(const std::string& bytes) {
  std::string out;
  char two[4];
  for (unsigned char b : bytes) {
    std::snprintf(two, sizeof two, "%02X ", b);
    out += two;
  }
  if (!out.empty()) out.pop_back();
  return out;
}

struct EncodingCase {
  const char* what;
  std::u16string text;
  std::int32_t codePage;
  std::string bytes;
};

void PrintTo(const EncodingCase& c, std::ostream* os) { *os << c.what << " in " << c.codePage; }

class ExactBytes : public ::testing::TestWithParam<EncodingCase> {};

TEST_P(ExactBytes, MatchTable) {
  const EncodingCase& c = GetParam();
  EXPECT_EQ(Hex(EncodeText(c.text, c.codePage)), Hex(c.bytes));
}

// The text "A" and the empty text in every encoding: the signatures and the
// byte order of each.
INSTANTIATE_TEST_SUITE_P(
    SignatureAndByteOrder, ExactBytes,
    ::testing::Values(EncodingCase{"A", u"A", kCodePageAnsi, "A"},
                      EncodingCase{"A", u"A", kCodePageUtf7, "+/v8-A"},
                      EncodingCase{"A", u"A", kCodePageUtf7Ansi, "A"},
                      EncodingCase{"A", u"A", kCodePageUtf8, "\xEF\xBB\xBF" "A"},
                      EncodingCase{"A", u"A", kCodePageUtf16Le, "\xFF\xFE" "A\0"s},
                      EncodingCase{"A", u"A", kCodePageUtf16Be, "\xFE\xFF\0" "A"s},
                      EncodingCase{"A", u"A", kCodePageUtf32Le, "\xFF\xFE\0\0" "A\0\0\0"s},
                      EncodingCase{"A", u"A", kCodePageUtf32Be, "\0\0\xFE\xFF\0\0\0" "A"s},
                      EncodingCase{"empty", u"", kCodePageAnsi, ""},
                      EncodingCase{"empty", u"", kCodePageUtf7, "+/v8"},
                      EncodingCase{"empty", u"", kCodePageUtf7Ansi, ""},
                      EncodingCase{"empty", u"", kCodePageUtf8, "\xEF\xBB\xBF"},
                      EncodingCase{"empty", u"", kCodePageUtf16Le, "\xFF\xFE"},
                      EncodingCase{"empty", u"", kCodePageUtf16Be, "\xFE\xFF"},
                      EncodingCase{"empty", u"", kCodePageUtf32Le, "\xFF\xFE\0\0"s},
                      EncodingCase{"empty", u"", kCodePageUtf32Be, "\0\0\xFE\xFF"s},
                      EncodingCase{"CR LF kept, nothing added", u"a\r\nb\r\n", kCodePageUtf16Be,
                                   "\xFE\xFF\0a\0\r\0\n\0b\0\r\0\n"s}));

// U+1D11E is one character made of two units; lone surrogates have no code point.
INSTANTIATE_TEST_SUITE_P(
    Surrogates, ExactBytes,
    ::testing::Values(
        EncodingCase{"U+1D11E", u"\U0001D11E", kCodePageUtf32Le, "\xFF\xFE\0\0\x1E\xD1\x01\0"s},
        EncodingCase{"U+1D11E", u"\U0001D11E", kCodePageUtf32Be, "\0\0\xFE\xFF\0\x01\xD1\x1E"s},
        EncodingCase{"U+1D11E", u"\U0001D11E", kCodePageUtf8, "\xEF\xBB\xBF\xF0\x9D\x84\x9E"},
        EncodingCase{"U+1D11E", u"\U0001D11E", kCodePageUtf16Le, "\xFF\xFE\x34\xD8\x1E\xDD"},
        EncodingCase{"U+1D11E", u"\U0001D11E", kCodePageUtf16Be, "\xFE\xFF\xD8\x34\xDD\x1E"},
        EncodingCase{"U+1D11E", u"\U0001D11E", kCodePageUtf7Ansi, "+2DTdHg"},
        EncodingCase{"U+1D11E is one character", u"\U0001D11E", kCodePageAnsi, "?"},
        EncodingCase{"lone high", u"a\xD800" u"b", kCodePageUtf32Le, "\xFF\xFE\0\0a\0\0\0?\0\0\0b\0\0\0"s},
        EncodingCase{"lone high at end", u"a\xD800", kCodePageUtf32Be, "\0\0\xFE\xFF\0\0\0a\0\0\0?"s},
        EncodingCase{"lone low dropped", u"a\xDC00" u"b", kCodePageUtf32Le, "\xFF\xFE\0\0a\0\0\0b\0\0\0"s},
        EncodingCase{"low then high", u"\xDC00\xD800", kCodePageUtf32Be, "\0\0\xFE\xFF\0\0\0?"s},
        EncodingCase{"high before a pair", u"\xD800\xD834\xDD1E", kCodePageUtf32Be,
                     "\0\0\xFE\xFF\0\0\0?\0\x01\xD1\x1E"s},
        EncodingCase{"lone high", u"a\xD800" u"b", kCodePageUtf8, "\xEF\xBB\xBF" "a\xEF\xBF\xBD" "b"},
        EncodingCase{"lone low", u"\xDC00", kCodePageUtf8, "\xEF\xBB\xBF\xEF\xBF\xBD"},
        EncodingCase{"lone high kept", u"\xD800", kCodePageUtf16Le, "\xFF\xFE\0\xD8"s},
        EncodingCase{"lone low", u"a\xDC00", kCodePageAnsi, "a?"},
        EncodingCase{"lone low", u"\xDC00", kCodePageUtf7Ansi, "+3AA"}));

// One, two and three byte forms at their limits.
INSTANTIATE_TEST_SUITE_P(
    Utf8Lengths, ExactBytes,
    ::testing::Values(EncodingCase{"U+0000", std::u16string(1, u'\0'), kCodePageUtf8, "\xEF\xBB\xBF\0"s},
                      EncodingCase{"U+007F..U+0080", u"\x7F\x80", kCodePageUtf8, "\xEF\xBB\xBF\x7F\xC2\x80"},
                      EncodingCase{"U+07FF..U+0800", u"\x07FF\x0800", kCodePageUtf8,
                                   "\xEF\xBB\xBF\xDF\xBF\xE0\xA0\x80"},
                      EncodingCase{"euro", u"x\u20AC", kCodePageUtf8, "\xEF\xBB\xBF" "x\xE2\x82\xAC"},
                      EncodingCase{"U+FEFF and U+FFFF", u"\xFEFF\xFFFF", kCodePageUtf8,
                                   "\xEF\xBB\xBF\xEF\xBB\xBF\xEF\xBF\xBF"},
                      EncodingCase{"U+10FFFF", u"\U0010FFFF", kCodePageUtf8, "\xEF\xBB\xBF\xF4\x8F\xBF\xBF"}));

// Windows-1252: Latin-1 bytes, the 0x80..0x9F block, and '?' for the rest.
INSTANTIATE_TEST_SUITE_P(
    Ansi, ExactBytes,
    ::testing::Values(EncodingCase{"euro", u"\u20AC", kCodePageAnsi, "\x80"},
                      EncodingCase{"umlaut", u"\u00E4", kCodePageAnsi, "\xE4"},
                      EncodingCase{"unassigned byte kept", u"\u0081\u009D", kCodePageAnsi, "\x81\x9D"},
                      EncodingCase{"no byte", u"a\u0100\u4E2Db", kCodePageAnsi, "a??b"},
                      EncodingCase{"quotes and dash", u"\u201E\u2013\u201C", kCodePageAnsi, "\x84\x96\x93"}));

// UTF-7: direct sets, "+-", where runs end and whether a "-" follows.
INSTANTIATE_TEST_SUITE_P(
    Utf7, ExactBytes,
    ::testing::Values(
        EncodingCase{"plus outside a run", u"a+b", kCodePageUtf7Ansi, "a+-b"},
        EncodingCase{"plus alone", u"+", kCodePageUtf7Ansi, "+-"},
        EncodingCase{"set D, set O and white space direct", u"Az09'(),-./:?!\"#$%&*;<=>@[]^_`{|} \t\r\n",
                     kCodePageUtf7Ansi, "Az09'(),-./:?!\"#$%&*;<=>@[]^_`{|} \t\r\n"},
        EncodingCase{"tilde and backslash in a run", u"~\\", kCodePageUtf7Ansi, "+AH4AXA"},
        EncodingCase{"plus inside a run", u"\u00E4+", kCodePageUtf7Ansi, "+AOQAKw"},
        EncodingCase{"dash after run before letter", u"\u00E4b", kCodePageUtf7Ansi, "+AOQ-b"},
        EncodingCase{"dash after run before digit", u"\u00E49", kCodePageUtf7Ansi, "+AOQ-9"},
        EncodingCase{"dash after run before slash", u"\u00E4/", kCodePageUtf7Ansi, "+AOQ-/"},
        EncodingCase{"dash after run before dash", u"Hi Mom -\u263A-!", kCodePageUtf7Ansi, "Hi Mom -+Jjo--!"},
        EncodingCase{"no dash before space", u"\u00E4 ", kCodePageUtf7Ansi, "+AOQ "},
        EncodingCase{"no dash before full stop", u"A\u2262\u0391.", kCodePageUtf7Ansi, "A+ImIDkQ."},
        EncodingCase{"no dash before CR", u"\u00E4\r\n", kCodePageUtf7Ansi, "+AOQ\r\n"},
        EncodingCase{"no dash at the end", u"\u65E5\u672C\u8A9E", kCodePageUtf7Ansi, "+ZeVnLIqe"},
        EncodingCase{"two runs", u"\u00E4x\u00F6", kCodePageUtf7Ansi, "+AOQ-x+APY"},
        EncodingCase{"U+0000 in a run", std::u16string(1, u'\0'), kCodePageUtf7Ansi, "+AAA"},
        EncodingCase{"signature, dash before letter", u"Ab", kCodePageUtf7, "+/v8-Ab"},
        EncodingCase{"signature, dash before dash", u"-", kCodePageUtf7, "+/v8--"},
        EncodingCase{"signature, no dash before space", u" x", kCodePageUtf7, "+/v8 x"},
        EncodingCase{"signature, no dash before CR LF", u"\r\n", kCodePageUtf7, "+/v8\r\n"},
        EncodingCase{"signature run continues", u"\u00E4", kCodePageUtf7, "+/v8A5A"},
        EncodingCase{"signature run takes a plus", u"+", kCodePageUtf7, "+/v8AKw"},
        EncodingCase{"signature run ends", u"\u00E4+a", kCodePageUtf7, "+/v8A5AAr-a"}));

// Blocks are encoded in pieces; a surrogate pair across a piece boundary must
// still give one code point. Pairs start at every odd position in one text and
// at every even position in the other, so some pair straddles every boundary.
TEST(EncodeTextInPieces, PairsAcrossPieceBoundariesStayWhole) {
  constexpr int kPairs = 50000;
  std::u16string pairs;
  for (int i = 0; i < kPairs; ++i) pairs += u"\U0001D11E";
  for (const std::u16string& text : {pairs, u"a" + pairs}) {
    const std::string prefix = text[0] == u'a' ? "a" : "";
    std::string utf8 = "\xEF\xBB\xBF" + prefix;
    std::string utf32 = "\0\0\xFE\xFF"s + (prefix.empty() ? "" : "\0\0\0a"s);
    for (int i = 0; i < kPairs; ++i) {
      utf8 += "\xF0\x9D\x84\x9E";
      utf32 += "\0\x01\xD1\x1E"s;
    }
    EXPECT_TRUE(EncodeText(text, kCodePageUtf8) == utf8);
    EXPECT_TRUE(EncodeText(text, kCodePageUtf32Be) == utf32);
    EXPECT_EQ(EncodeText(text, kCodePageAnsi), prefix + std::string(kPairs, '?'));
  }
}

TEST(EncodeTextInPieces, SinkReceivesBoundedPiecesInOrder) {
  struct RecordingSink : ByteSink {
    void Put(std::string_view bytes) override {
      largest = std::max(largest, bytes.size());
      all.append(bytes);
    }
    std::size_t largest = 0;
    std::string all;
  };
  const std::u16string text(300000, u'\u20AC');
  RecordingSink sink;
  EncodeText(text, kCodePageUtf7, sink);
  EXPECT_LE(sink.largest, kEncodeChunkBytes);
  EXPECT_EQ(sink.all, EncodeText(text, kCodePageUtf7));
  // 16 bits per unit in 6-bit groups after "+/v8" (FEFF's last 4 bits share a group).
  EXPECT_EQ(sink.all.size(), 1 + (16 * (text.size() + 1) + 5) / 6);
}

TEST(EncodeText, RefusesUnknownCodePage) {
  EXPECT_FALSE(IsTextCodePage(1252));
  EXPECT_TRUE(IsTextCodePage(kCodePageUtf32Be));
  EXPECT_THROW(EncodeText(u"x", 1252), std::invalid_argument);
}

}  // namespace
}  // namespace tallowin
