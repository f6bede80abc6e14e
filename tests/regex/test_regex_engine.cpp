// The engine's interface: the replace-all path, templates, run-time errors, the
// defaults it copies, StringUserToComp, and the resource guards on large inputs.

#include <gtest/gtest.h>

#include "base/errors.h"
#include "regex_test_util.h"

namespace tallowin::testing {
namespace {

TEST(ReplaceAll, TemplateAcrossAllMatches) {
  Regex regex;
  EXPECT_EQ(regex.Replace("[0-9]+", "a12b3", "<$0>"), "a<12>b<3>");
  EXPECT_EQ(regex.Replace("[0-9]+", "a12b3", "\\$0"), "a$0b$0");
  EXPECT_EQ(regex.Replace("x*", "ab", "-"), "-a-b-");
  EXPECT_EQ(regex.Replace("(\\w+)@(\\w+)", "mail bob@host now", "$2 at ${1}!"), "mail host at bob! now");
  EXPECT_TRUE(regex.context.errorReport.success);
}

struct TemplateCase {
  const char* tmpl;
  const char* expected;
};

// On the match of (a)(b) in "ab".
const TemplateCase kTemplates[] = {
    {"$2$1", "ba"},  {"${1}0", "a0"}, {"$10", ""},   {"\\$1", "$1"},    {"$&", "ab"},
    {"${}", "ab"},   {"${&}", "ab"},  {"x$", "x$"},  {"$x", "$x"},      {"${1", "${1"},
    {"${x}", "${x}"}, {"\\\\", "\\"}, {"\\n", "n"},  {"a\\", "a\\"},    {"", ""},
    {"$0", "ab"},    {"$01", "a"},    {"$14", ""},   {"$4294967297", ""},  // beyond 32 bits: nothing
    {"$99999999999999999999", ""},
};

TEST(ExpandTemplate, References) {
  Regex regex;
  RegexEngine engine(regex.context);
  engine.SetPatternText(u"(a)(b)");
  ASSERT_TRUE(engine.SearchFirst(u"ab"));
  for (const TemplateCase& c : kTemplates) EXPECT_EQ(N(engine.ExpandTemplate(U(c.tmpl))), c.expected) << c.tmpl;
  EXPECT_TRUE(regex.context.errorReport.success);
}

TEST(ExpandTemplate, UnsetGroupInsertsNothing) {
  Regex regex;
  EXPECT_EQ(regex.Replace("(a)|(b)", "ab", "[$1|$2]"), "[a|][|b]");
}

TEST(RunTimeErrors, EachReportsUnknownErrorAtPositionZero) {
  Regex regex;
  auto expectError = [&](int code) {
    EXPECT_FALSE(regex.context.errorReport.success);
    EXPECT_EQ(regex.context.errorReport.code, code);
    EXPECT_EQ(regex.context.errorReport.position, 0);
    EXPECT_EQ(N(regex.context.errorReport.message), "Unknown Error");
    regex.context.errorReport = RegexErrorReport{};
  };
  {
    RegexEngine engine(regex.context);  // no pattern
    EXPECT_FALSE(engine.SearchFirst(u"a"));
    expectError(kRegexNoPattern);
    EXPECT_EQ(engine.ExpandTemplate(u"$0"), u"");
    expectError(kRegexNoPattern);
    engine.SetPatternText(u"");
    EXPECT_FALSE(engine.PatternText().has_value());
  }
  {
    RegexEngine engine(regex.context);
    engine.SetPatternText(u"a");
    EXPECT_FALSE(engine.SearchFrom(1));
    expectError(kRegexNoInput);
    EXPECT_EQ(engine.ExpandTemplate(u"x"), u"");
    expectError(kRegexNoInput);
    EXPECT_FALSE(engine.SearchNext());
    expectError(kRegexNoPreviousMatch);
    EXPECT_FALSE(engine.SearchFirst(u"b"));
    EXPECT_TRUE(regex.context.errorReport.success);
    EXPECT_FALSE(engine.SearchFrom(0));
    expectError(kRegexBadOffset);
    EXPECT_FALSE(engine.SearchFrom(3));  // beyond length + 1: no error
    EXPECT_TRUE(regex.context.errorReport.success);
    engine.SetModifierFlag(7, true);
    expectError(kRegexBadModifierIndex);
    engine.SetModifierFlag(0, true);
    expectError(kRegexBadModifierIndex);
  }
}

TEST(Engine, SearchFromAndGroupQueries) {
  Regex regex;
  RegexEngine engine(regex.context);
  engine.SetPatternText(u"a(x)?");
  EXPECT_EQ(engine.GroupPosition(0), -1);  // no input yet
  ASSERT_TRUE(engine.SearchFirst(u"bab a"));
  EXPECT_EQ(Regex::Where(engine, 0), "2+1");
  EXPECT_EQ(engine.GroupPosition(1), -1);
  EXPECT_EQ(engine.GroupLength(1), -1);
  EXPECT_EQ(engine.GroupPosition(15), -1);
  EXPECT_EQ(engine.GroupPosition(-1), -1);
  ASSERT_TRUE(engine.SearchFrom(3));
  EXPECT_EQ(Regex::Where(engine, 0), "5+1");
  EXPECT_FALSE(engine.SearchNext());
  EXPECT_EQ(engine.GroupPosition(0), -1);  // registers cleared by the failed search
}

TEST(Engine, ModifierFlagsRecompile) {
  Regex regex;
  RegexEngine engine(regex.context);
  EXPECT_EQ(engine.ModifierFlags(), kModifierR | kModifierS | kModifierG);
  engine.SetPatternText(u"a");
  EXPECT_FALSE(engine.SearchFirst(u"A"));
  engine.SetModifierFlag(1, true);
  EXPECT_TRUE(engine.SearchFirst(u"A"));
  engine.SetModifierFlag(1, false);
  EXPECT_FALSE(engine.SearchFirst(u"A"));
}

TEST(Engine, LinePairedSeparatorSetting) {
  Regex regex("+m");
  RegexEngine engine(regex.context);
  engine.SetPatternText(u"^b");
  engine.SetLinePairedSeparator(u"ab");
  EXPECT_TRUE(regex.context.errorReport.success);
  for (const char16_t* bad : {u"a", u"aa", u"abc"}) {
    engine.SetLinePairedSeparator(bad);
    EXPECT_EQ(regex.context.errorReport.code, kRegexBadPairedSeparator);
    EXPECT_EQ(regex.context.errorReport.position, 0);
    EXPECT_EQ(N(regex.context.errorReport.message),
              "LinePairedSeparator must countain two different chars or no chars at all");
  }
  // The pair "ab" is still set: "^" matches after a complete "ab".
  EXPECT_TRUE(engine.SearchFirst(u"xabb"));
  EXPECT_EQ(Regex::Where(engine, 0), "4+1");
  engine.SetLinePairedSeparator(u"");
  EXPECT_FALSE(engine.SearchFirst(u"xabb"));
}

TEST(EngineDefaults, StartValues) {
  const EngineDefaults defaults;
  EXPECT_EQ(defaults.modifiers, kModifierR | kModifierS | kModifierG);
  EXPECT_EQ(defaults.wordChars.size(), 70u);
  EXPECT_EQ(N(defaults.wordChars),
            "0123456789a\xC3\xA4" "bcdefghijklmno\xC3\xB6pqrs\xC3\x9Ftu\xC3\xBCvwxyzA\xC3\x84"
            "BCDEFGHIJKLMNO\xC3\x96PQRSTU\xC3\x9CVWXYZ_");
  EXPECT_EQ(defaults.spaceChars, StringUserToComp(u" $9$A$D$C"));
  EXPECT_EQ(defaults.lineSeparators, StringUserToComp(u"$d$a$b$c$85$2028$2029"));
  ASSERT_TRUE(defaults.linePairedSeparator.has_value());
  EXPECT_EQ(*defaults.linePairedSeparator, std::make_pair(u'\r', u'\n'));
}

TEST(EngineDefaults, EngineCopiesAtCreation) {
  Regex regex;
  RegexEngine before(regex.context);
  regex.context.engineDefaults.SetModifier(kModifierI, true);
  regex.context.engineDefaults.wordChars = u"x";
  RegexEngine after(regex.context);
  before.SetPatternText(u"\\w+");
  after.SetPatternText(u"(?-i)\\w+");
  ASSERT_TRUE(before.SearchFirst(u"abx"));
  EXPECT_EQ(Regex::Where(before, 0), "1+3");
  ASSERT_TRUE(after.SearchFirst(u"abx"));
  EXPECT_EQ(Regex::Where(after, 0), "3+1");
  EXPECT_EQ(after.ModifierFlags() & kModifierI, kModifierI);
  EXPECT_EQ(before.ModifierFlags() & kModifierI, 0);
}

TEST(EngineDefaults, WordCharactersWithDollar) {
  Regex regex;
  regex.context.engineDefaults.wordChars = StringUserToComp(u"abc$$");
  EXPECT_EQ(regex.All("\\w+", "ab$c d"), "1+4");
}

struct UserNotationCase {
  const char16_t* text;
  const char16_t* expected;
};

const UserNotationCase kUserNotation[] = {
    {u" $9$A$D$C", u" \t\n\r\f"},
    {u"$d$a$b$c$85$2028$2029", u"\r\n\v\f\u0085\u2028\u2029"},
    {u"abc", u"abc"},
    {u"ab$$", u"ab$"},
    {u"a$41$$", u"a$A"},
    {u"$$41$$", u"$A"},       // one "$" however often "$$" occurs
    {u"x$", u"x"},
    {u"$1F600", u"\uF600"},   // the lowest 16 bits
    {u"$fFfF", u"\uFFFF"},
    {u"", u""},
};

TEST(StringUserToComp, Conversions) {
  for (const UserNotationCase& c : kUserNotation) EXPECT_EQ(StringUserToComp(c.text), c.expected);
}

TEST(StringUserToComp, BadPieceRaisesWithThePiece) {
  for (const auto& [text, message] :
       {std::pair{u"$zz", "'$zz' is not a valid integer value"},
        std::pair{u"$41$ 9", "'$ 9' is not a valid integer value"},
        std::pair{u"a$-1", "'$-1' is not a valid integer value"},
        std::pair{u"$\u00E4", "'$\xC3\xA4' is not a valid integer value"}}) {
    try {
      StringUserToComp(text);
      ADD_FAILURE() << message;
    } catch (const TallowinError& e) {
      EXPECT_STREQ(e.what(), message);
    }
  }
}

TEST(Characters, CodeZeroIsAnOrdinaryCharacterOutsideClasses) {
  Regex regex;
  RegexEngine engine(regex.context);
  engine.SetPatternText(u"a\\x00b.");
  ASSERT_TRUE(engine.SearchFirst(std::u16string(u"xa\0b\0", 5)));
  EXPECT_EQ(Regex::Where(engine, 0), "2+4");
  engine.SetPatternText(u"[\\x00]");  // an empty member list
  EXPECT_FALSE(engine.SearchFirst(std::u16string(u"\0", 1)));
}

TEST(Characters, SurrogatePairsAreTwoUnits) {
  Regex regex;
  EXPECT_EQ(regex.First(".", "\xF0\x9F\x98\x80"), "1+1");
  EXPECT_EQ(regex.First("\\x{D83D}.", "\xF0\x9F\x98\x80"), "1+2");
}

// --- resource guards ------------------------------------------------------------

TEST(Limits, ExponentialPatternsStopWithAClearErrorAndFindNothing) {
  const std::u16string as(40, u'a');
  for (const auto& [pattern, input] : {std::pair{"(a+)+\\d", as + u"!"}, std::pair{"(a|aa)*\\d", as + u"!"},
                                       std::pair{"(\\w+\\s?)+\\d", as + u"!"}, std::pair{"(a+)+b", as + u"cb"},
                                       std::pair{"(a|aa)*c", as + u"bc"}}) {
    Regex regex;
    RegexEngine engine(regex.context);
    engine.SetLimits({.baseSteps = 200'000, .stepsPerUnit = 100, .maxBacktrackEntries = 1 << 20});
    engine.SetPatternText(U(pattern));
    EXPECT_FALSE(engine.SearchFirst(input)) << pattern;
    EXPECT_EQ(regex.context.errorReport.code, kRegexStepBudgetExhausted) << pattern;
    EXPECT_EQ(N(regex.context.errorReport.message),
              "Expression too complex for this text: search stopped after too many steps");
  }
}

TEST(Limits, RequiredLiteralAnswersExponentialPatternsAtOnce) {
  Regex regex;
  const std::string as(40, 'a');
  EXPECT_EQ(regex.First("(a+)+b", as), "-");
  EXPECT_EQ(regex.First("(a|aa)*c", as), "-");
  EXPECT_EQ(regex.First("(a|aa)*c", as + "c"), "1+41");
  EXPECT_TRUE(regex.context.errorReport.success);
}

// A long run of word characters in front of a short address (a base64 blob, a
// minified file): every start inside the run is a failed attempt, and none of them
// may make the search give up under the default limits.
TEST(Limits, LongWordInFrontOfAnAddressIsNoReasonToGiveUp) {
  struct Case {
    const char* pattern;
    const char* tail;      // after the word and a space
    const char* replaced;  // the tail as replaced
  };
  // The second case captures the run, so no start inside it can be skipped: each
  // attempt there counts the word's rest anew unless the count is remembered.
  const Case cases[] = {{"[\\w.]+@[\\w.]+", "x@y.z", "<x@y.z>"}, {"(\\w+)\\s+\\1", "ab ab", "<ab ab>"}};
  for (const Case& c : cases) {
    for (const size_t letters : {5'000u, 20'000u}) {
      Regex regex;
      const std::string word(letters, 'q');
      EXPECT_EQ(regex.Replace(c.pattern, word + " " + c.tail, "<$&>"), word + " " + c.replaced)
          << c.pattern << " " << letters;
      EXPECT_TRUE(regex.context.errorReport.success)
          << c.pattern << " " << letters << ": " << N(regex.context.errorReport.message);
    }
  }
  // Here every attempt inside the word gives back letter by letter (\d is a word
  // character): quadratic, some 10 million steps, a fraction of a second.
  Regex regex;
  const std::string word(4'500, 'q');
  EXPECT_EQ(regex.Replace("\\w+\\d", word + " a1", "<$&>"), word + " <a1>");
  EXPECT_TRUE(regex.context.errorReport.success) << N(regex.context.errorReport.message);
}

// The default limits still stop exponential work (and quickly: the step budget is
// sized in steps the matcher does in well under a second).
TEST(Limits, DefaultBudgetStopsExponentialPatterns) {
  Regex regex;
  RegexEngine engine(regex.context);
  engine.SetPatternText(u"(a+)+\\d");
  EXPECT_FALSE(engine.SearchFirst(std::u16string(40, u'a') + u"!"));
  EXPECT_EQ(regex.context.errorReport.code, kRegexStepBudgetExhausted);
}

TEST(Limits, BacktrackMemoryBoundStopsTheSearch) {
  Regex regex;
  regex.context.language = Language::German;
  RegexEngine engine(regex.context);
  engine.SetLimits({.baseSteps = 10'000'000, .stepsPerUnit = 100, .maxBacktrackEntries = 1000});
  engine.SetPatternText(u"(ab)*c");
  std::u16string text;
  for (int i = 0; i < 10000; ++i) text += u"ab";
  EXPECT_FALSE(engine.SearchFirst(text + u"c"));
  EXPECT_EQ(regex.context.errorReport.code, kRegexBacktrackMemoryExhausted);
  EXPECT_EQ(N(regex.context.errorReport.message),
            "Ausdruck zu aufwendig f\xC3\xBCr diesen Text: Suche wegen zu hohen Speicherbedarfs abgebrochen");
}

// 25 million code units: a 50 MB UTF-16 text. Linear work must complete.
TEST(LargeInput, FiftyMegabytesWithLoopsOverGroups) {
  std::u16string text(25'000'000, u'a');
  for (size_t i = 1; i < text.size(); i += 2) text[i] = u'b';
  Regex regex;
  {
    RegexEngine engine(regex.context);
    engine.SetPatternText(u"(a|b)*c");
    EXPECT_FALSE(engine.SearchFirst(text));
    text.back() = u'c';
    ASSERT_TRUE(engine.SearchFirst(text));
    EXPECT_EQ(engine.GroupLength(0), 25'000'000);
    EXPECT_EQ(engine.GroupPosition(1), 25'000'000 - 1);
  }
  {
    RegexEngine engine(regex.context);
    engine.SetPatternText(u"(.)*");
    ASSERT_TRUE(engine.SearchFirst(text));
    EXPECT_EQ(engine.GroupLength(0), 25'000'000);
    EXPECT_EQ(engine.GroupPosition(1), 25'000'000);
  }
  EXPECT_TRUE(regex.context.errorReport.success);
}

TEST(LargeInput, GeneralLoopsUseTheHeapNotTheCallStack) {
  std::u16string text;
  for (int i = 0; i < 300'000; ++i) text += i % 2 ? u"cd" : u"ab";
  Regex regex;
  for (const char* pattern : {"(ab|cd)*$", "(ab|cd)+?$", "((ab|cd){1,3})*$", "(?-s)(.)+$"}) {
    RegexEngine engine(regex.context);
    engine.SetPatternText(U(pattern));
    ASSERT_TRUE(engine.SearchFirst(text)) << pattern;
    EXPECT_EQ(engine.GroupLength(0), 600'000) << pattern;
  }
  EXPECT_TRUE(regex.context.errorReport.success);
}

}  // namespace
}  // namespace tallowin::testing
