// The language switch over the assembled core: what changes at once, and what
// keeps the language it was made in until the next capture.

#include <gtest/gtest.h>

#include "app/pipeline_fixture.h"
#include "app/program_core.h"
#include "regex/regex_errors.h"

namespace tallowin::testing {
namespace {

class CoreLanguageTest : public ::testing::Test {
 protected:
  void CopyImage() { clipboard.PlaceFromOtherProgram({{kFormatBitmap, {}}}, &picture); }

  MemoryClipboard clipboard;
  RasterImage picture = SmallImage();
};

TEST_F(CoreLanguageTest, TabAndHistoryTypeKeepTheirLanguageUntilTheNextCapture) {
  ProgramCore core(clipboard, Language::German);
  CopyImage();
  ASSERT_EQ(core.views.Tabs(), (std::vector<std::u16string>{u"Bild", u"Details"}));
  core.language.SwitchLanguage(Language::English);
  EXPECT_EQ(core.views.Tabs(), (std::vector<std::u16string>{u"Bild", u"Details"}));
  EXPECT_EQ(core.history.Entries().back().type, u"Bild");
  CopyImage();
  EXPECT_EQ(core.views.Tabs(), (std::vector<std::u16string>{u"Image", u"Details"}));
  ASSERT_EQ(core.history.Entries().size(), 2u);
  EXPECT_EQ(core.history.Entries()[0].type, u"Bild");
  EXPECT_EQ(core.history.Entries()[1].type, u"Image");
}

TEST_F(CoreLanguageTest, ExpressionErrorsAreWordedInTheLanguageOfTheMoment) {
  ProgramCore core(clipboard, Language::English);
  std::vector<std::u16string> messages;
  core.onRegexError = [&](std::u16string_view m) { messages.emplace_back(m); };
  core.settings.SetFlag(Setting::cb_suchenersetzen, true);
  core.settings.SetFlag(Setting::act_ers_text_suchen_regex, true);
  core.settings.SetText(Setting::act_ers_text_suchen, u"(a");
  const struct {
    Language language;
    Language expected;
  } steps[] = {{Language::German, Language::German}, {Language::English, Language::English},
               {Language::German, Language::German}};
  for (const auto& step : steps) {
    core.language.SwitchLanguage(step.language);
    messages.clear();
    clipboard.PlaceTextFromOtherProgram(u"abc");
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back(), ErrorText(kRegexUnmatchedGroup, step.expected));
  }
}

TEST_F(CoreLanguageTest, TheSwitchResetsTemplatesAndTheResizeFilterName) {
  ProgramCore core(clipboard, Language::English);
  core.settings.SetText(Setting::savetxt_name, u"mine %num%");
  core.settings.SetText(Setting::act_sizemethode, u"Bicubic");
  core.settings.SetText(Setting::saveimg_format, u"*.psd - Photoshop Image");
  core.language.SwitchLanguage(Language::German);
  EXPECT_EQ(core.settings.Text(Setting::savetxt_name), u"Text aus der Zwischenablage %num%");
  EXPECT_EQ(core.settings.Text(Setting::act_sizemethode), u"Bikubisch");
  EXPECT_EQ(core.settings.Text(Setting::saveimg_format), u"*.psd - Photoshop Bild");
  core.imageSteps.KonvertierWerteSetzen();
  EXPECT_EQ(core.imageSteps.CurrentResampleFilter(), ResampleFilter::Bicubic);  // not the start filter
}

}  // namespace
}  // namespace tallowin::testing
