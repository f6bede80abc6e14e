#include <gtest/gtest.h>

#include <random>
#include <regex>
#include <string>
#include <vector>

#include "settings/capture_settings.h"
#include "app/regex_options_logic.h"
#include "regex/regex_engine.h"
#include "regex/regex_errors.h"
#include "text/regex_replace.h"
#include "text/search_replace.h"
#include "base/utf.h"

namespace tallowin {
namespace {

std::string Narrow(std::u16string_view text) { return std::string(text.begin(), text.end()); }

class RegexReplaceTest : public ::testing::Test {
 protected:
  RegexContext context;
  std::vector<std::u16string> errors;
  RegexReplace regex{context, [this](std::u16string_view message) { errors.emplace_back(message); }};
};

// The single pair in every mode, and the same pair as a table row with the marker
// the table would give it: both must agree.
TEST_F(RegexReplaceTest, PairAndRowInEveryMode) {
  const struct {
    std::u16string text, search, replacement;
    bool searchRegex, replacementRegex, caseSensitive;
    std::u16string marker, expected;
  } cases[] = {
      {u"AaA", u"a", u"b", false, false, true, u"-", u"AbA"},
      {u"AaA", u"a", u"b", false, false, false, u"-", u"bbb"},
      // The replacement flag alone changes nothing: plain search, replacement as typed.
      {u"a12b3", u"12", u"<$0>", false, true, true, u"-/x", u"a<$0>b3"},
      {u"a12b3", u"[0-9]+", u"#$0", true, false, true, u"x/-", u"a#$0b#$0"},
      {u"a12b3", u"[0-9]+", u"\\$0", true, false, true, u"x/-", u"a\\$0b\\$0"},
      {u"a12b3", u"[0-9]+", u"<$0>", true, true, true, u"x", u"a<12>b<3>"},
      {u"a12b3", u"[0-9]+", u"\\$0", true, true, true, u"x", u"a$0b$0"},
      {u"a12b3", u"([a-z])([0-9])", u"$2${1}", true, true, true, u"x", u"1a23b"},
      // An unset group inserts nothing; "$&" is the whole match.
      {u"ab", u"(x)?b", u"[$1|$&]", true, true, true, u"x", u"a[|b]"},
      // Empty matches are replaced too, one position further each time.
      {u"ab", u"x*", u"-", true, false, true, u"x/-", u"-a-b-"},
      {u"ab", u"x*", u"<$0>", true, true, true, u"x", u"<>a<>b<>"},
      // Expression searches ignore the plain case switch; modifier i is off by default.
      {u"Aa", u"a", u"-", true, false, false, u"x/-", u"A-"},
      // A line break in a search text is searched like any other character.
      {u"x\r\ny", u"\r\n", u" ", false, false, true, u"-", u"x y"},
      {u"x\r\ny", u"\\r\\n", u" ", true, false, true, u"x/-", u"x y"},
  };
  for (const auto& c : cases) {
    const CaseMode caseMode = c.caseSensitive ? CaseMode::Sensitive : CaseMode::Insensitive;
    EXPECT_EQ(ReplaceSinglePair(c.text, c.search, c.replacement,
                                c.searchRegex ? SearchMode::Expression : SearchMode::Plain,
                                c.replacementRegex ? ReplacementMode::Template : ReplacementMode::Literal, caseMode,
                                &regex),
              c.expected)
        << "pair: search " << Narrow(c.search);
    EXPECT_EQ(ReplaceTableRow(c.text, {c.search, c.replacement, c.marker}, caseMode, &regex), c.expected)
        << "row: search " << Narrow(c.search);
  }
  EXPECT_TRUE(errors.empty());
}

// "[" alone (literal mode) and any expression ending in "[" (template mode) leave
// the text alone without touching the engine or its report; other unclosed
// classes are compiled and reported.
TEST_F(RegexReplaceTest, OpenBracketRules) {
  const struct {
    std::u16string expression;
    bool templateMode;
    bool reported;
  } cases[] = {
      {u"[", false, false},
      {u"[", true, false},
      {u"ab[", true, false},
      {u"ab[", false, true},
      {u"[a", true, true},
      {u"[a", false, true},
  };
  for (const auto& c : cases) {
    errors.clear();
    context.errorReport = RegexErrorReport{false, u"earlier", 3, kRegexUnmatchedGroup};
    const std::u16string result = c.templateMode ? regex.RegexReplaceTemplate(u"ab[c", c.expression, u"X")
                                                 : regex.RegexReplaceLiteral(u"ab[c", c.expression, u"X");
    const std::string name = Narrow(c.expression);
    EXPECT_EQ(result, u"ab[c") << name;
    EXPECT_EQ(errors.size(), c.reported ? 1u : 0u) << name;
    if (c.reported) {
      EXPECT_EQ(errors[0], ErrorText(kRegexUnmatchedBracket, Language::English)) << name;
    } else {
      EXPECT_EQ(context.errorReport.message, u"earlier") << name << ": the report must stay untouched";
    }
  }
}

TEST_F(RegexReplaceTest, CompileErrorLeavesTextAndReportsOnceInTheContextLanguage) {
  EXPECT_EQ(regex.RegexReplaceTemplate(u"a(b", u"a(", u"X"), u"a(b");
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0], ErrorText(kRegexUnmatchedGroup, Language::English));

  context.language = Language::German;
  EXPECT_EQ(regex.RegexReplaceLiteral(u"a(b", u"a(", u"X"), u"a(b");
  ASSERT_EQ(errors.size(), 2u);
  EXPECT_EQ(errors[1], ErrorText(kRegexUnmatchedGroup, Language::German));
  EXPECT_NE(errors[1], errors[0]);
}

// The report is reset before each call: an error of an earlier call must not be
// shown again by a later successful one.
TEST_F(RegexReplaceTest, SuccessfulCallAfterAFailedOneReportsNothing) {
  regex.RegexReplaceLiteral(u"x", u"(", u"");
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(regex.RegexReplaceLiteral(u"x", u"x", u"y"), u"y");
  EXPECT_EQ(errors.size(), 1u);
  EXPECT_TRUE(context.errorReport.success);
}

// Every call makes a new engine from the defaults as they are at that moment.
TEST_F(RegexReplaceTest, EachCallTakesTheCurrentDefaults) {
  EXPECT_EQ(regex.RegexReplaceLiteral(u"aA", u"a", u"-"), u"-A");
  context.engineDefaults.SetModifier(kModifierI, true);
  EXPECT_EQ(regex.RegexReplaceLiteral(u"aA", u"a", u"-"), u"--");
  context.engineDefaults.wordChars = u"a";
  EXPECT_EQ(regex.RegexReplaceLiteral(u"ab", u"\\w", u"-"), u"-b");
}

// A search stopped by the matcher's work limit leaves the text as it was, even
// when matches had been found before the limit was reached.
TEST_F(RegexReplaceTest, SearchStoppedByTheWorkLimitLeavesTheTextUnchanged) {
  const std::u16string text = u"xb" + std::u16string(40, u'a');
  EXPECT_EQ(regex.RegexReplaceLiteral(text, u"x|(a+)+b", u"-"), text);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(context.errorReport.code, kRegexStepBudgetExhausted);
}

// Random expressions from the part of the dialect that std::regex reads the same
// way (literals, classes, ".", groups, alternatives, greedy and lazy quantifiers).
std::string RandomExpression(std::mt19937& random, int depth) {
  static const char* const kAtoms[] = {"a", "b", "[ab]", "."};
  static const char* const kQuantifiers[] = {"", "", "*", "+", "?", "{1,2}", "*?", "+?", "??", "{0,2}?"};
  std::string expression;
  for (int piece = 1 + static_cast<int>(random() % 3); piece > 0; --piece) {
    const unsigned kind = random() % (depth > 0 ? 6 : 4);
    expression += kind < 4 ? kAtoms[kind] : "(" + RandomExpression(random, depth - 1) + ")";
    expression += kQuantifiers[random() % 10];
  }
  if (depth > 0 && random() % 4 == 0) expression += "|" + RandomExpression(random, depth - 1);
  return expression;
}

// The replace-all loop against std::regex_replace: where no match is empty the
// two agree on every match, so any slip in positions, copying or template
// expansion shows. (After an empty match the program searches on one position
// further, while std::regex first tries a non-empty match at the same place;
// expressions the dialect refuses, such as "+" on a group that can be empty, are
// skipped too.)
TEST_F(RegexReplaceTest, ReplaceAllAgreesWithStdRegexWhereNoMatchIsEmpty) {
  std::mt19937 random(5);
  int compared = 0;
  for (int round = 0; round < 3000; ++round) {
    const std::string expression = RandomExpression(random, 2);
    std::string text;
    for (int n = static_cast<int>(random() % 10); n > 0; --n) text += "abc"[random() % 3];
    const std::u16string ours = regex.RegexReplaceTemplate(Utf8ToUtf16(text), Utf8ToUtf16(expression), u"<$0>");
    if (!context.errorReport.success) continue;
    const std::string expected = std::regex_replace(text, std::regex(expression), "<$&>");
    if (expected.find("<>") != std::string::npos) continue;
    ++compared;
    ASSERT_EQ(Utf16ToUtf8(ours), expected) << expression << " on \"" << text << "\"";
  }
  EXPECT_GT(compared, 500);
}

// The five modifier boxes reach new engines at once, without apply.
TEST(RegexOptionsReachTheEngines, ModifierBoxesTakeEffectForTheNextCall) {
  CaptureSettings settings;
  RegexContext context;
  AttachModifierReactions(settings, context.engineDefaults);
  RegexReplace regex(context);

  settings.SetFlag(Setting::cb_caseinsensitive_i, true);
  EXPECT_EQ(regex.RegexReplaceLiteral(u"aA", u"a", u"-"), u"--");

  // Extended syntax: the same as the expression with "(?x)" in front.
  const std::u16string text = u"ab a b";
  settings.SetFlag(Setting::cb_whitespacecomments_x, true);
  const std::u16string withBox = regex.RegexReplaceLiteral(text, u"a b  # comment", u"-");
  settings.SetFlag(Setting::cb_whitespacecomments_x, false);
  EXPECT_EQ(withBox, regex.RegexReplaceLiteral(text, u"(?x)a b  # comment", u"-"));
  EXPECT_EQ(withBox, u"- a b");

  // Multi-line and not single-line: "^" and "$" at every line, "." not across breaks.
  settings.SetFlag(Setting::cb_multiline_m, true);
  settings.SetFlag(Setting::cb_singleline_s, false);
  EXPECT_EQ(regex.RegexReplaceLiteral(u"ab\r\ncd", u"^.+$", u"L"), u"L\r\nL");
}

}  // namespace
}  // namespace tallowin
