// Matching: anchors, classes, repetition order, groups, loops, back-references, and
// the cases where the loop machinery was made sound.

#include <gtest/gtest.h>

#include "regex_test_util.h"

namespace tallowin::testing {
namespace {

struct MatchCase {
  const char* modifiers;
  const char* pattern;
  const char* input;
  const char* expected;  // every match "pos+len" (as a replace-all finds them), "-" for none
};

const MatchCase kMatchCases[] = {
    // Empty matches step one further.
    {"", "x*", "ab", "1+0 2+0 3+0"},
    {"", "a*", "baaa", "1+0 2+3 5+0"},
    {"", "^$", "", "1+0"},
    // Anchors.
    {"", "^", "a\nb", "1+0"},
    {"+m", "^", "a\nb", "1+0 3+0"},
    {"+m", "^", "a\r\nb", "1+0 4+0"},          // not between CR and LF
    {"+m", "$", "a\r\nb", "2+0 5+0"},
    {"+m", "^", "a\x0B" "b\xE2\x80\xA8" "c\xC2\x85" "d", "1+0 3+0 5+0 7+0"},
    {"", "$", "a\n", "3+0"},                  // only at the very end
    {"+m", "^b$", "a\nb\nc", "3+1"},
    {"+m", "\\Ab", "b\nb", "1+1"},
    {"+m", "b\\Z", "b\nb", "3+1"},
    // "." and line breaks.
    {"-s", ".", "\r\n\x0B\f\xC2\x85\xE2\x80\xA8\xE2\x80\xA9", "-"},
    {"-s", ".+", "ab\ncd", "1+2 4+2"},
    {"-s", "(.)*", "ab\ncd", "1+2 3+0 4+2 6+0"},
    {"+s", ".+", "ab\ncd", "1+5"},
    // Word boundaries and classes.
    {"", "\\bfoo\\b", "foo_bar", "-"},
    {"", "\\bfoo\\b", "a foo.", "3+3"},
    {"", "\\Bo\\B", "foo", "2+1"},
    {"", "\\w+", "Gr\xC3\xBC\xC3\x9F" "e!", "1+5"},
    {"", "\\W", "\xC3\xA9", "1+1"},           // é is not in the word set
    {"", "\\d+\\D", "12a", "1+3"},
    {"", "\\s", "\x0B", "-"},                  // vertical tab is not a space character
    // Alternation order and greediness.
    {"", "a|ab", "ab", "1+1"},
    {"", "ab|a", "ab", "1+2"},
    {"", "a+?", "aaa", "1+1 2+1 3+1"},
    {"-g", "a+", "aaa", "1+1 2+1 3+1"},
    {"-g", "a+?", "aaa", "1+1 2+1 3+1"},       // "?" only consumed
    {"", "a??b", "ab", "1+2"},
    {"", "a?b", "b", "1+1"},
    {"", "a{2,3}", "aaaaa", "1+3 4+2"},
    {"", "a{2,3}?", "aaaaa", "1+2 3+2"},
    {"", "a{0}b", "ab", "2+1"},
    {"", "(ab){2}", "ababab", "1+4"},
    {"", "(ab){0,1}c", "abc", "1+3"},
    {"", "(ab)??c", "abc", "1+3"},
    {"", "(a|b)*?c", "abc", "1+3"},
    {"", "x.*?y", "xaybyy", "1+3"},
    {"", "<.*?>", "<a><b>", "1+3 4+3"},
    // Back-references.
    {"", "(a+)b\\1", "aabaa", "1+5"},
    {"+i", "(a)\\1", "aA", "1+2"},
    {"", "(a)\\1", "aA", "-"},
    {"", "\\1(a)", "aa", "-"},                 // unset group: the reference fails
    {"", "(a)|\\1b", "b", "-"},
    // Quantified back-references repeat the whole group text.
    {"", "(ab)\\1*c", "abababc", "1+7"},
    {"", "(ab)\\1*abc", "abababc", "1+7"},
    {"", "(a)\\1{2}", "aaaa", "1+3"},
    {"", "(ab)\\1+?", "ababab", "1+4"},
    {"", "(a?)\\1*b", "b", "1+1"},            // empty group text: no endless count
    {"", "(ab)\\1{2,}c", "ababc", "-"},
    // Loops over operands that can match the empty text end.
    {"", "(a{0,1})*b", "b", "1+1"},
    {"", "(a{0,2}){3,}x", "x", "1+1"},
    {"", "(a{0,2}){2,5}?x", "aaax", "1+4"},
    {"", "(a?)\\1*", "", "1+0"},
    {"", "(\\w{0,3}-?)+$", "ab-cd", "1+5 6+0"},
    // Counted loops whose level counters are shared per nesting depth and not restored
    // on backtracking (a greedy loop leaves its counter raised after a failed extra
    // iteration and drops its level before the rest; a lazy loop runs the rest
    // without leaving its level) got these wrong. Each row: the old result, then the
    // sound one that this engine gives.
    {"", "(a|ab){0,3}c", "abc", "1+3"},       // old: no match, error 1015
    {"", "((a)*?b){2}", "abab", "1+4"},       // old: no match
    {"", "((a)*?b){2}", "bb", "1+2"},         // old: no match
    {"", "(a|ab){1,2}$", "abab", "1+4"},      // old: no match, error 1015
    {"", "((ab|a){2})*x", "ababax", "3+4"},
    {"", "((ab|a){2})*x", "abaax", "3+3"},
    // A failed attempt whose leading run took [s, q) lets the search go on at q; a
    // run with a maximum, one that can be empty, or one inside a group must still try
    // the starts in between.
    {"", "[a-z]+\\d", "abc de1 f", "5+3"},
    {"", "[a-z]*\\d", "ab c1", "4+2"},
    {"", "[a-z]*:", "ab:cd:", "1+3 4+3"},
    {"", "[a-z]{1,3}\\d", "abcde1", "3+4"},
    {"", "[a-z]{2,}\\d", "a1 bc d2", "-"},
    {"", "([a-z])+\\d", "abc1", "1+4"},
    {"-s", ".+x", "ab\nabx", "4+3"},
    {"-s", ".+\\n", "ab\r\ncd\n", "5+3"},    // "." stops before a CR of a CRLF
    {"+i", "(?#lead)[a-z]+5", "AB-CD5", "4+3"},
    // "." without s as a one-unit repeat operand: line breaks stop it, and a CR is
    // refused before an LF.
    {"-s", "<.*?>", "<a\n>x<b>", "6+3"},
    {"-s", "a.{1,2}", "ab\r\nac\rd", "1+2 5+2"},
    {"-s", ".+?x", "a\r\nbx", "4+2"},
    {"-s", "(?g).{2}", "abc\r\nde", "1+2 6+2"},
    // Vector scans: offsets past the end, first-unit sets and ranges, fixed-width starts.
    {"", "\\d{4}-\\d\\d", "x2024-1 2024-12-2024-99", "9+7 17+7"},
    {"", "win", "wiwin windo win", "3+3 7+3 13+3"},
    {"+i", "(?m)wIn", "WINwin", "1+3 4+3"},
    {"", "[0-9]+|x", "ab12x345678901234567", "3+2 5+1 6+15"},
    {"", "[\\x{100}-\\x{1FF}]", "a\xC4\x80\xC6\x80" "b", "2+1 3+1"},
    {"", "abcdefghijk", "abcdefghij", "-"},
    {"", "abc", "abcab", "1+3"},               // the rest is too short for another match
    {"", "(ab)c(d)", "xxabcdxx", "3+4"},
};

class Matching : public ::testing::TestWithParam<MatchCase> {};

TEST_P(Matching, AllMatches) {
  const MatchCase& c = GetParam();
  Regex regex(c.modifiers);
  EXPECT_EQ(regex.All(c.pattern, c.input), c.expected) << c.pattern << " on " << c.input;
  EXPECT_TRUE(regex.context.errorReport.success) << N(regex.context.errorReport.message);
}

INSTANTIATE_TEST_SUITE_P(Table, Matching, ::testing::ValuesIn(kMatchCases));

struct GroupCase {
  const char* pattern;
  const char* input;
  int group;
  const char* expected;  // group text, "<unset>", or "-" for no match
};

const GroupCase kGroupCases[] = {
    {"(a|b)+", "ab", 1, "b"},
    {"(a|b)*c", "abac", 1, "a"},
    {"(a|b)*c", "c", 1, "<unset>"},
    {"(ab|cd)*x", "abcdx", 1, "cd"},
    {"((a)|b)+", "ab", 2, "a"},                 // an inner group keeps its last value
    {"(a)|b", "b", 1, "<unset>"},
    {"(a{0,1})*b", "b", 1, ""},                  // the empty iteration is kept
    {"(a)(b)?", "a", 2, "<unset>"},
    {"(x)*y", "xxy", 1, "x"},
    {"(.)*", "abc", 1, "c"},
    {"((a)*?b){2}", "abab", 2, "a"},
    {"(\\d+)-(\\d+)", "tel 12-345", 2, "345"},
};

TEST(Groups, Spans) {
  for (const GroupCase& c : kGroupCases) {
    Regex regex;
    EXPECT_EQ(regex.Group(c.pattern, c.input, c.group), c.expected) << c.pattern << " on " << c.input;
  }
}

TEST(CountedLoops, TenNestedLevelsWorkAndAnEleventhFailsTheAttempt) {
  auto nested = [](int levels) {
    return std::string(static_cast<size_t>(levels), '(') + "a" + [&] {
      std::string tail;
      for (int i = 0; i < levels; ++i) tail += "){1,2}";
      return tail;
    }();
  };
  Regex ten;
  EXPECT_EQ(ten.First(nested(10), "xa"), "2+1");
  EXPECT_TRUE(ten.context.errorReport.success);

  Regex eleven;
  EXPECT_EQ(eleven.First(nested(11), "xa"), "-");
  EXPECT_EQ(eleven.context.errorReport.code, kRegexLoopNestingTooDeep);
  EXPECT_EQ(N(eleven.context.errorReport.message), "Unknown Error");
  EXPECT_EQ(eleven.context.errorReport.position, 0);
}

TEST(CountedLoops, AttemptErrorOnlyEndsThatAttempt) {
  // Every attempt reaches the eleventh level unless "c" matches first; the failed
  // attempt at 1 does not stop the search.
  std::string deep = std::string(11, '(') + "b";
  for (int i = 0; i < 11; ++i) deep += "){1}";
  Regex regex;
  EXPECT_EQ(regex.All("c|" + deep, "bc"), "2+1");
  EXPECT_EQ(regex.context.errorReport.code, kRegexLoopNestingTooDeep);
}

TEST(LineSeparators, EmptySetsMakeMultiLineAnchorsInputAnchors) {
  Regex regex("+m");
  regex.context.engineDefaults.lineSeparators.clear();
  regex.context.engineDefaults.linePairedSeparator.reset();
  EXPECT_EQ(regex.All("^", "a\nb"), "1+0");
  EXPECT_EQ(regex.All("(?-s).", "\n"), "1+1");
}

TEST(LineSeparators, PairedSeparatorAloneMakesLineAnchors) {
  Regex regex("+m-s");
  regex.context.engineDefaults.lineSeparators.clear();
  EXPECT_EQ(regex.All("^", "a\r\nb\nc"), "1+0 4+0");
  EXPECT_EQ(regex.All(".", "\r\n"), "2+1");  // only a complete pair's head is a break
}

}  // namespace
}  // namespace tallowin::testing
