#include <gtest/gtest.h>

#include <random>

#include "base/case_mapping.h"
#include "text/replace_all.h"
#include "text/search_replace.h"

namespace tallowin {
namespace {

// The straightforward scan: the definition the fast implementation must agree with.
std::u16string NaiveReplace(std::u16string_view text, std::u16string_view oldText, std::u16string_view newText) {
  if (text.empty() || oldText.empty()) return std::u16string(text);
  std::u16string out;
  std::size_t p = 0;
  while (p < text.size()) {
    if (text.substr(p, oldText.size()) == oldText) {
      out += newText;
      p += oldText.size();
    } else {
      out += text[p++];
    }
  }
  return out;
}

TEST(ReplaceAll, Cases) {
  const struct {
    std::u16string text, oldText, newText, exact, ignoreCase;
  } cases[] = {
      {u"AaA", u"a", u"b", u"AbA", u"bbb"},
      {u"aaa", u"aa", u"b", u"ba", u"ba"},
      {u"aa", u"a", u"aa", u"aaaa", u"aaaa"},  // the replacement is not searched again
      {u"straße", u"STRASSE", u"x", u"straße", u"straße"},
      {u"Äpfel und äpfel", u"ä", u"ae", u"Äpfel und aepfel", u"aepfel und aepfel"},
      {u"", u"a", u"b", u"", u""},
      {u"abc", u"", u"x", u"abc", u"abc"},
      {u"abc", u"abcd", u"x", u"abc", u"abc"},
      {u"line\r\nline", u"\r\n", u" ", u"line line", u"line line"},
      {u"aaaaaaaaab", u"aab", u"X", u"aaaaaaaX", u"aaaaaaaX"},
      {u"\U0001D11E\U0001D11E", u"\U0001D11E", u"-", u"--", u"--"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ReplaceAllExact(c.text, c.oldText, c.newText), c.exact);
    EXPECT_EQ(ReplaceAllIgnoreCase(c.text, c.oldText, c.newText), c.ignoreCase);
  }
}

TEST(ReplaceAll, AgreesWithTheNaiveScanOnRandomTextsIncludingPathologicalOnes) {
  std::mt19937 rng(7);
  for (int round = 0; round < 3000; ++round) {
    const int alphabet = 1 + static_cast<int>(rng() % 3);
    auto randomText = [&](std::size_t n) {
      std::u16string s;
      for (std::size_t i = 0; i < n; ++i) s += static_cast<char16_t>(u'a' + rng() % alphabet);
      return s;
    };
    // Long runs of one letter exercise the switch from the quick scan to the linear one.
    const std::u16string text = randomText(rng() % 600);
    const std::u16string oldText = randomText(1 + rng() % 12);
    const std::u16string newText = randomText(rng() % 3);
    ASSERT_EQ(ReplaceAllExact(text, oldText, newText), NaiveReplace(text, oldText, newText))
        << "round " << round;
  }
}

TEST(ReplaceAll, IgnoreCaseAgreesWithTheNaiveScanOfTheUpperCaseText) {
  // Letters whose upper cases collide ("i", "I", dotless "ı" all give "I") and
  // a unit without a single-unit upper case ("ß").
  const std::u16string alphabet = u"aAiI\u0131\u00DFs";
  std::mt19937 rng(11);
  for (int round = 0; round < 3000; ++round) {
    auto randomText = [&](std::size_t n) {
      std::u16string s;
      for (std::size_t i = 0; i < n; ++i) s += alphabet[rng() % alphabet.size()];
      return s;
    };
    const std::u16string text = randomText(rng() % 300);
    const std::u16string oldText = randomText(1 + rng() % 6);
    const std::u16string newText = randomText(rng() % 3);
    // Positions in the upper-case text are positions in the text, so the naive
    // scan of the upper-case text gives the match positions to splice.
    const std::u16string upper = UpperCaseUnits(text);
    const std::u16string upperOld = UpperCaseUnits(oldText);
    std::u16string expected;
    std::size_t p = 0;
    while (p < text.size()) {
      if (upper.compare(p, upperOld.size(), upperOld) == 0) {
        expected += newText;
        p += upperOld.size();
      } else {
        expected += text[p++];
      }
    }
    ASSERT_EQ(ReplaceAllIgnoreCase(text, oldText, newText), expected) << "round " << round;
  }
}

TEST(SearchReplace, ModesOfThePairAndTheRows) {
  EXPECT_EQ(ReplaceSinglePair(u"AaA", u"a", u"b", SearchMode::Plain, ReplacementMode::Template,
                              CaseMode::Insensitive, nullptr),
            u"bbb");
  EXPECT_EQ(ReplaceTableRow(u"AaA", {u"a", u"$0", u"-/x"}, CaseMode::Sensitive, nullptr), u"A$0A");
  EXPECT_EQ(ReplaceTableRow(u"AaA", {u"a", u"b", u"-"}, CaseMode::Insensitive, nullptr), u"bbb");
}

}  // namespace
}  // namespace tallowin
