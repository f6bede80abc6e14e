#include <gtest/gtest.h>

#include "settings/capture_settings.h"
#include "base/errors.h"
#include "app/regex_options_logic.h"
#include "regex/engine_defaults.h"

namespace tallowin {
namespace {

class RegexOptionsLogicTest : public ::testing::Test {
 protected:
  // Applies and returns the error message, empty when the apply went through.
  std::string Apply() {
    try {
      ApplyRegexOptions(settings, defaults);
    } catch (const TallowinError& e) {
      return e.what();
    }
    return {};
  }
  CaptureSettings settings;
  EngineDefaults defaults;
  const EngineDefaults start;
};

TEST_F(RegexOptionsLogicTest, StartTextsGiveTheStartValues) {
  EXPECT_EQ(Apply(), "");
  EXPECT_EQ(defaults.modifiers, start.modifiers);
  EXPECT_EQ(defaults.wordChars, start.wordChars);
  EXPECT_EQ(defaults.spaceChars, start.spaceChars);
  EXPECT_EQ(defaults.lineSeparators, start.lineSeparators);
}

// Without the boxes' own reactions attached, only the apply copies them: this shows
// where in the order each value is set.
TEST_F(RegexOptionsLogicTest, ApplyStopsAtTheFirstBadTextKeepingWhatWasSetBefore) {
  settings.SetFlag(Setting::cb_caseinsensitive_i, true);
  settings.SetText(Setting::zk_word, u"abc$$");
  settings.SetText(Setting::zk_space, u"$zz");
  settings.SetText(Setting::zk_lineseparators, u"$d");
  EXPECT_EQ(Apply(), "'$zz' is not a valid integer value");
  EXPECT_EQ(defaults.modifiers, start.modifiers) << "the space check runs before anything is set";
  EXPECT_EQ(defaults.wordChars, start.wordChars);

  settings.SetText(Setting::zk_space, u" $9");
  settings.SetText(Setting::zk_lineseparators, u"$d$ 20");
  EXPECT_EQ(Apply(), "'$ 20' is not a valid integer value");
  EXPECT_EQ(defaults.modifiers, start.modifiers | kModifierI);
  EXPECT_EQ(defaults.wordChars, u"abc$");
  EXPECT_EQ(defaults.spaceChars, u" \t");
  EXPECT_EQ(defaults.lineSeparators, start.lineSeparators);

  settings.SetText(Setting::zk_lineseparators, u"");
  EXPECT_EQ(Apply(), "");
  EXPECT_EQ(defaults.lineSeparators, u"") << "an empty box gives no separators at all";
}

TEST_F(RegexOptionsLogicTest, BoxesTakeEffectAtOnceAndStandardRestoresOnlyThem) {
  AttachModifierReactions(settings, defaults);
  const struct {
    Setting box;
    RegexModifier modifier;
  } boxes[] = {{Setting::cb_caseinsensitive_i, kModifierI}, {Setting::cb_multiline_m, kModifierM},
               {Setting::cb_singleline_s, kModifierS},      {Setting::cb_greedymode_g, kModifierG},
               {Setting::cb_whitespacecomments_x, kModifierX}};
  for (const auto& b : boxes) {
    const bool was = (defaults.modifiers & b.modifier) != 0;
    settings.SetFlag(b.box, !was);
    EXPECT_EQ((defaults.modifiers & b.modifier) != 0, !was) << Describe(b.box).name;
  }
  EXPECT_EQ(defaults.modifiers & kModifierR, kModifierR);

  settings.SetText(Setting::zk_word, u"xyz");
  settings.SetText(Setting::zk_space, u"$zz");
  RestoreRegexOptionDefaults(settings);  // then the window is closed without apply
  EXPECT_EQ(defaults.modifiers, start.modifiers);
  EXPECT_EQ(settings.Text(Setting::zk_word), Describe(Setting::zk_word).startText);
  EXPECT_EQ(settings.Text(Setting::zk_space), u" $9$A$D$C");
  EXPECT_EQ(defaults.wordChars, start.wordChars);
  EXPECT_FALSE(settings.Flag(Setting::cb_caseinsensitive_i));
  EXPECT_TRUE(settings.Flag(Setting::cb_greedymode_g));
}

}  // namespace
}  // namespace tallowin
