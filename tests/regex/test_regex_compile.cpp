// Compile errors (code, position, continue or fail), error texts, and the dialect.

#include <gtest/gtest.h>

#include "regex_test_util.h"

namespace tallowin::testing {
namespace {

struct CompileCase {
  const char* pattern;
  const char* expected;  // "ok", or "code@position" of the last error, "!" when compilation fails
};

// Positions count the expression characters consumed when the error arose.
const CompileCase kCompileCases[] = {
    {"a(b|c)*d", "ok"},
    {"(((((((((((((((a)))))))))))))))", "102@15!"},  // a 15th group
    {"((((((((((((((a))))))))))))))", "ok"},          // 14 groups
    {"(a", "103@2!"},
    {"a(b|c", "103@5!"},
    {"a)", "104@1!"},
    {"()*", "115@3!"},        // 106 at 2, then "*" in atom position
    {"^*", "115@2!"},
    {"\\b+", "115@3!"},
    {"(?i)+", "115@5!"},      // the modifier group has no width
    {"^{2}", "106@1"},        // "{" is read as literal text and compilation goes on
    {"a**", "115@3!"},        // 107 at 2, then 115
    {"a+?*", "115@4!"},
    {"a*{2}", "107@2"},       // "{2}" is literal text
    {"\\xG1", "108@2"},       // the bad digit counts as 0
    {"\\x{4G}", "108@4"},
    {"[z-a]", "109@3!"},
    {"[a-\\x20]", "109@6!"},
    {"[a\\", "110@3!"},
    {"[a-\\", "110@4!"},
    {"\\x", "111@2!"},
    {"\\x4", "111@3!"},
    {"\\x{41", "111@5!"},
    {"[\\x", "111@3!"},
    {"\\x{10000}", "112@7"},  // value so far, the digit skipped, "}" literal
    {"[ab", "113@3!"},
    {"[]", "113@2!"},
    {"*a", "115@1!"},
    {"a|*", "115@3!"},
    {"a\\", "116@2!"},
    {"a{123456789}", "122@11"},  // the count is 0
    {"a{1,123456789}", "124@13"},  // max becomes 0, then min > max
    {"a{3,2}", "124@5"},
    {"(?#abc", "125@6!"},
    {"(?:a)", "127@4!"},
    {"(?=a)", "127@4!"},
    {"(?i", "127@3!"},
    {"(?iq)", "127@4!"},
    {"(?)", "ok"},
    {"(?i-s-m)", "ok"},
    {"a{,3}", "ok"},
    {"a{3", "ok"},
    {"{", "ok"},
    {"x{2,}?y", "ok"},
};

class CompileErrors : public ::testing::TestWithParam<CompileCase> {};

TEST_P(CompileErrors, ReportCodePositionAndOutcome) {
  Regex regex;
  EXPECT_EQ(regex.Compile(GetParam().pattern), GetParam().expected) << GetParam().pattern;
}

INSTANTIATE_TEST_SUITE_P(Table, CompileErrors, ::testing::ValuesIn(kCompileCases));

TEST(CompileErrors, FirstErrorOfAChainIsOverwrittenByTheLast) {
  Regex regex;
  RegexEngine engine(regex.context);
  engine.SetPatternText(U("\\xG1\\x{10000}"));
  EXPECT_TRUE(engine.CompilePattern());
  EXPECT_EQ(regex.context.errorReport.code, kRegexHexCodeTooBig);
  EXPECT_EQ(regex.context.errorReport.position, 11);
  EXPECT_EQ(N(regex.context.errorReport.message), "Hex Code After \\x Too Big");
}

TEST(CompileErrors, MessageFollowsTheLanguageCode) {
  Regex regex;
  regex.context.language = Language::German;
  regex.Compile("(a");
  EXPECT_EQ(N(regex.context.errorReport.message), "Fehlende Klammer ()");
  regex.context.language = Language::English;
  regex.Compile("(a");
  EXPECT_EQ(N(regex.context.errorReport.message), "Unmatched ()");
}

TEST(CompileErrors, FailedCompilationFindsNothing) {
  Regex regex;
  EXPECT_EQ(regex.First("a(", "a("), "-");
  EXPECT_FALSE(regex.context.errorReport.success);
  EXPECT_EQ(regex.context.errorReport.code, kRegexUnmatchedGroup);
}

struct TextCase {
  int code;
  const char* english;
  const char* german;
};

const TextCase kTexts[] = {
    {0, "No Errors", "Keine Fehler"},
    {100, "Null Argument", "Null Argument"},
    {101, "RegExp Too Big", "RegExp zu lang"},
    {102, "Too Many ()", "Zu viele ()"},
    {103, "Unmatched ()", "Fehlende Klammer ()"},
    {104, "Unmatched ()", "Fehlende Klammer ()"},
    {105, "Junk On End", "Fehlerhaftes Ende"},
    {106, "*+ Operand Could Be Empty", "*+ Operant kann leer sein"},
    {107, "Nested *?+", "Verschachteltes *?+"},
    {108, "Bad Hex Digit", "Falsche HEX Zahl"},
    {109, "Invalid [] Range", "Invalide Menge []"},
    {110, "Trailing \\", "Abschließendes \\"},
    {111, "No Hex Code After \\x", "Kein HEX Code nach \\x"},
    {112, "Hex Code After \\x Too Big", "HEX Code nach \\x zu groß"},
    {113, "Unmatched []", "Fehlende Klammer []"},
    {114, "Internal Urp", "Internal Urp"},
    {115, "?+*{ Follows Nothing", "?+*{ folgt nichts"},
    {116, "Trailing \\", "Abschließendes \\"},
    {119, "RarseAtom Internal Disaster", "RarseAtom Internal Disaster"},
    {122, "Braces Argument Too Big", "Quantor {} zu groß"},
    {124, "Brace Min Param Greater then Max", "Min-Quantor größer als Max-Quantor"},
    {125, "Unclosed (?#Comment)", "Ungeschlossener (?#Kommentar)"},
    {127, "Urecognized Modifier", "Unbekannter Modifikator"},
    {128, "LinePairedSeparator must countain two different chars or no chars at all",
     "LinePairedSeparator muss zwei verschiedene oder kein Char enthalten"},
    {1003, "Unknown Error", "Unbekannter Fehler"},
    {1014, "Unknown Error", "Unbekannter Fehler"},
    {117, "Unknown Error", "Unbekannter Fehler"},
    {1016, "Expression too complex for this text: search stopped after too many steps",
     "Ausdruck zu aufwendig für diesen Text: Suche nach zu vielen Schritten abgebrochen"},
    {1017, "Expression too complex for this text: search stopped, too much backtracking memory",
     "Ausdruck zu aufwendig für diesen Text: Suche wegen zu hohen Speicherbedarfs abgebrochen"},
};

TEST(ErrorTexts, BothLanguagesForEveryCode) {
  for (const TextCase& t : kTexts) {
    EXPECT_EQ(N(ErrorText(t.code, Language::English)), t.english) << t.code;
    EXPECT_EQ(N(ErrorText(t.code, Language::German)), t.german) << t.code;
  }
  EXPECT_EQ(N(ErrorText(103, LanguageFromCode(u"de"))), "Fehlende Klammer ()");
}

struct DialectCase {
  const char* modifiers;  // changes to the defaults, e.g. "+i-s"
  const char* pattern;
  const char* input;
  const char* expected;  // "pos+len" of the first match, "-" for none
};

const DialectCase kDialectCases[] = {
    // Inline modifiers and their scope.
    {"", "(?i)[a-z]", "Q", "1+1"},
    {"+i", "[a-z]\\s(?-i)[a-z]", "A b", "1+3"},
    {"+i", "[a-z]\\s(?-i)[a-z]", "A B", "-"},
    {"", "((?i)[a-z])\\s[a-z]", "A b", "1+3"},
    {"", "((?i)[a-z])\\s[a-z]", "a B", "-"},
    {"", "(?i)a|b", "B", "1+1"},             // reaches later alternatives
    {"", "x(?i-i)y|Y", "Y", "1+1"},
    {"", "(?i--i)A", "a", "-"},             // after "-" every letter switches off
    {"+i", "(?I-I)a", "A", "-"},
    {"", "(?ms-g)^.+$", "a\nb", "1+1"},
    {"", "(?s-s).", "\n", "-"},
    // Quantifier forms that are literal text.
    {"", "a{,3}", "a{,3}", "1+5"},
    {"", "a{3", "aa{3", "2+3"},
    {"", "a{3,2}", "aaa}", "3+2"},           // compiled as "a}"
    {"", "a{1,123456789}", "a}", "1+2"},
    {"", "a{123456789}", "b", "1+0"},
    {"", "^{2}", "{2}", "1+3"},
    {"", "a*{2}", "aa{2}", "1+5"},
    {"", "ab{", "ab{", "1+3"},
    {"", "}]", "}]", "1+2"},
    // Escapes.
    {"", "\\x41\\x{42}\\x{0043}", "ABC", "1+3"},
    {"", "\\x{000041}", "A", "1+1"},
    {"", "\\x{10000}", "\xE1\x80\x80}", "1+2"},  // U+1000 then "}"
    {"", "\\xG1", "\x01", "1+1"},
    {"", "\\t\\n\\r\\f\\a\\e", "\t\n\r\f\a\x1B", "1+6"},
    {"", "\\0\\\\\\q\\.", "0\\q.", "1+4"},
    {"", "\\10", "aa0", "-"},
    {"", "(a)\\10", "aa0", "1+3"},          // group 1, then the digit 0
    {"", "\\Aab\\Z", "ab", "1+2"},
    {"+m", "\\Ab", "a\nb", "-"},
    // Classes.
    {"", "[\\D]", "D", "1+1"},
    {"", "[\\D]", "5", "-"},
    {"", "[\\S\\W\\b]", "b", "1+1"},
    {"", "[a\\-z]", "-", "1+1"},
    {"", "[a\\-z]", "m", "-"},
    {"", "[]a]", "]", "1+1"},
    {"", "[^]a]", "]", "-"},
    {"", "[]-a]", "_", "1+1"},             // "]" to "a"
    {"", "[-a]", "-", "1+1"},
    {"", "[a-]", "-", "1+1"},
    {"", "[a-c-e]", "-", "1+1"},           // "-" after a range
    {"", "[a-c-e]", "d", "-"},
    {"", "[\\d-z]", "-", "1+1"},
    {"", "[a-\\d]", "-", "1+1"},           // "-" then \d on its own
    {"", "[a-\\d]", "7", "1+1"},
    {"", "[a-\\d]", "b", "-"},
    {"", "[a-\\x7A]", "q", "1+1"},
    {"", "[\\w]", "\xC3\x9F", "1+1"},        // ß is a word character
    {"", "[\\s]", "\f", "1+1"},
    {"", "[a\\x00b]", "b", "-"},            // the list ends at code 0
    {"", "[a\\x00b]", "a", "1+1"},
    {"", "[^\\x00-z]", "a", "1+1"},         // empty list, negated
    {"+r", "[\xD0\xB0-\xD1\x8F]", "\xD1\x91", "1+1"},  // [а-я] holds ё
    {"-r", "[\xD0\xB0-\xD1\x8F]", "\xD1\x91", "-"},
    {"+r", "[\xD0\x90-\xD0\xAF]", "\xD0\x81", "1+1"},  // [А-Я] holds Ё
    {"+r", "[\xD0\xB0-\xD0\xAF]", "\xD0\x81", "1+1"},  // [а-Я] is accepted
    {"+i", "[a-c]", "B", "1+1"},
    {"+i", "[^a-c]", "B", "-"},
    {"+i", "\xC3\xA4", "\xC3\x84", "-"},                // ä and Ä differ in every mode
    {"+i", "[\xC3\xA4]", "\xC3\x84", "-"},
    // Extended syntax.
    {"+x", "a b # comment", "ab", "1+2"},
    {"+x", "a b # comment", "a b", "-"},
    {"+x", "a#c\r\n\nb", "ab", "1+2"},
    {"+x", "[ ]", " ", "1+1"},               // blanks inside classes count
    {"+x", "a\\ b", "a b", "1+3"},
    {"", "(?x) a b", "ab", "1+2"},
    {"+x", "(?-x)a b", "a b", "1+3"},
    // Widths.
    {"", "(a{0,3})*", "aaaa", "1+4"},
    {"", "(a{0,3})*b", "b", "1+1"},
};

class Dialect : public ::testing::TestWithParam<DialectCase> {};

TEST_P(Dialect, FirstMatch) {
  const DialectCase& c = GetParam();
  Regex regex(c.modifiers);
  EXPECT_EQ(regex.First(c.pattern, c.input), c.expected)
      << "pattern " << c.pattern << " modifiers " << c.modifiers;
}

INSTANTIATE_TEST_SUITE_P(Table, Dialect, ::testing::ValuesIn(kDialectCases));

TEST(Dialect, ExtendedModifierFromDefaultsActsLikeALeadingInlineX) {
  Regex withDefault("+x");
  Regex inlineX;
  for (const char* pattern : {"a b*", "a # c\nb", " x{2} ", "a *"}) {
    for (const char* input : {"ab", "abbb", "a b", "xx", "a"}) {
      EXPECT_EQ(withDefault.First(pattern, input), inlineX.First(std::string("(?x)") + pattern, input))
          << pattern << " on " << input;
    }
  }
}

// Word lists pasted as one alternation: compile work must grow linearly with the
// number of alternatives (300,000 took minutes when each new one walked the chain).
TEST(LongPatterns, HugeAlternationCompilesAndFindsEveryPart) {
  auto word = [](int i) {
    std::string w;
    for (int v = i + 1; v > 0; v /= 26) w += static_cast<char>('a' + v % 26);
    return w + "!";
  };
  constexpr int kWords = 300'000;
  std::string pattern;
  for (int i = 0; i < kWords; ++i) pattern += (i ? "|" : "") + word(i);
  Regex regex;
  EXPECT_EQ(regex.First(pattern, "  " + word(kWords - 1)), "3+" + std::to_string(word(kWords - 1).size()));
  EXPECT_EQ(regex.First(pattern, "- " + word(0) + word(1234)), "3+2");
  EXPECT_EQ(regex.First(pattern, "zzzzzzzz"), "-");
  EXPECT_TRUE(regex.context.errorReport.success);
}

// Modifier groups and comments compile to no-op nodes; in front of an expression
// they must not hide what the search skips by (anchoring, leading run, literals,
// first units and the vector tests).
TEST(SearchHints, LeadingModifierGroupOrCommentHidesNothing) {
  auto describe = [](const SearchHints& h) {
    std::string out = std::to_string(h.anchored) + std::to_string(h.firstAttemptDecides) +
                      std::to_string(h.leadingRun != kNoNode) + " lit=" + N(h.requiredLiteral) + " units=";
    for (uint64_t word : h.firstUnits) out += word ? std::to_string(word) + "," : "";
    for (const UnitTest& t : h.unitTests) {
      out += " @" + std::to_string(t.offset) + (t.range ? " range " + std::to_string(t.low) + "-" + std::to_string(t.high)
                                                      : " units " + N(std::u16string(t.units.data(), static_cast<size_t>(t.count))));
    }
    return out;
  };
  Regex regex;
  for (const char* body : {"\\Aabc", "[a-z]+@", "abc", "\\d{4}-\\d\\d", "[a-z]+x+y"}) {
    const std::string plain = describe(regex.Compiled(body).hints);
    for (const char* lead : {"(?m)", "(?-s)", "(?#note)", "(?m)(?#two)"}) {
      EXPECT_EQ(describe(regex.Compiled(std::string(lead) + body).hints), plain) << lead << body;
    }
  }
  EXPECT_EQ(describe(regex.Compiled("\\Aabc").hints).substr(0, 3), "100");
  EXPECT_EQ(describe(regex.Compiled("[a-z]+@").hints).substr(0, 3), "001");
}

TEST(ProgramLayout, DumpShowsTheDocumentedShapes) {
  Regex regex;
  EXPECT_EQ(regex.Dump("a|bc*"),
            "  0 Alternative      operand 1 -> 2\n"
            "  1 Literal          \"a\" -> 6\n"
            "  2 Alternative      operand 3 -> 6\n"
            "  3 Literal          \"b\" -> 5\n"
            "  4 Literal          \"c\"\n"
            "  5 RepeatSimple     {0,2147483646} operand 4 -> 6\n"
            "  6 MatchEnd        \n");
  EXPECT_EQ(regex.Dump("(ab)+?"),
            "  0 Alternative      operand 5 -> 7\n"
            "  1 GroupOpen        1 -> 2\n"
            "  2 Alternative      operand 3 -> 4\n"
            "  3 Literal          \"ab\" -> 4\n"
            "  4 GroupClose       1 -> 6\n"
            "  5 LoopEntry        operand 1 -> 6\n"
            "  6 LoopLazy         {1,2147483646} back 1 -> 7\n"
            "  7 MatchEnd        \n");
}

}  // namespace
}  // namespace tallowin::testing
