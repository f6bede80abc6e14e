#include <gtest/gtest.h>

#include <string>

#include "regex/regex_errors.h"
#include "text/search_replace_fixture.h"

namespace tallowin::testing {
namespace {

using RegexErrorDisplayTest = SearchReplaceTest;

TEST_F(RegexErrorDisplayTest, NothingIsShownBeforeAnyOfTheFourFieldsWasChanged) {
  settings.SetFlag(Setting::act_ers_text_suchen_regex, true);
  int redraws = 0;
  errorDisplay.onChanged = [&redraws] { ++redraws; };
  errorDisplay.RegExFehlerInMemoMarkieren(u"boom");
  EXPECT_EQ(errorDisplay.LastEditedField(), ReplaceField::None);
  EXPECT_FALSE(Shown(ReplaceField::Search));
  EXPECT_FALSE(Shown(ReplaceField::Replacement));
  EXPECT_EQ(errorDisplay.Mark(ReplaceField::Search).caption, u"RegEx");
  EXPECT_EQ(redraws, 0);
}

// The error goes to the field edited last, whichever pair or row caused it; the
// add-text fields count as their partners.
TEST_F(RegexErrorDisplayTest, ErrorIsShownAtTheFieldEditedLast) {
  AddRow(u"a(", u"x", true, true);  // leaves the replacement field edited last
  const struct {
    Setting edited;
    ReplaceField shownAt;
  } cases[] = {
      {Setting::act_ers_text_suchen, ReplaceField::Search},
      {Setting::act_ers_text_ersetzen, ReplaceField::Replacement},
      {Setting::act_textadd_vorne, ReplaceField::Search},
      {Setting::act_textadd_hinten, ReplaceField::Replacement},
  };
  for (const auto& c : cases) {
    settings.SetText(Setting::act_ers_text_suchen, u"");
    settings.SetText(Setting::act_ers_text_ersetzen, u"");
    settings.SetText(Setting::act_textadd_vorne, u"");
    settings.SetText(Setting::act_textadd_hinten, u"");
    settings.SetText(c.edited, u"typed");
    EXPECT_EQ(Capture(u"a(b"), u"a(b");
    const ReplaceField other = c.shownAt == ReplaceField::Search ? ReplaceField::Replacement : ReplaceField::Search;
    EXPECT_TRUE(Shown(c.shownAt)) << Describe(c.edited).name;
    EXPECT_FALSE(Shown(other)) << Describe(c.edited).name;
    EXPECT_EQ(errorDisplay.Mark(c.shownAt).caption, ErrorText(kRegexUnmatchedGroup, Language::English));
  }
}

TEST_F(RegexErrorDisplayTest, ShownErrorStaysUntilItsFieldOrPartnerChanges) {
  Pair(u"a(", u"x", true, false);
  EXPECT_EQ(Capture(u"a"), u"a");
  ASSERT_TRUE(Shown(ReplaceField::Replacement));

  // A later successful replacement does not remove it, nor does a change on the other side.
  settings.SetText(Setting::act_ers_text_suchen, u"a");
  EXPECT_EQ(Capture(u"a"), u"x");
  EXPECT_TRUE(Shown(ReplaceField::Replacement));

  settings.SetText(Setting::act_textadd_hinten, u"!");
  EXPECT_FALSE(Shown(ReplaceField::Replacement));
  EXPECT_EQ(errorDisplay.LastEditedField(), ReplaceField::Replacement);
}

// A broken row passes the text on unchanged; the rows after it still apply.
TEST_F(RegexErrorDisplayTest, BrokenRowDoesNotStopTheOthers) {
  AddRow(u"a", u"b");
  AddRow(u"(", u"?", true, false);
  AddRow(u"b", u"c");
  settings.SetText(Setting::act_ers_text_ersetzen, u"z");
  settings.SetText(Setting::act_ers_text_suchen, u"z");  // a pair that changes nothing, edited last
  EXPECT_EQ(Capture(u"za"), u"zc");
  EXPECT_TRUE(Shown(ReplaceField::Search));
  EXPECT_EQ(errorDisplay.Mark(ReplaceField::Search).caption, ErrorText(kRegexUnmatchedGroup, Language::English));
}

}  // namespace
}  // namespace tallowin::testing
