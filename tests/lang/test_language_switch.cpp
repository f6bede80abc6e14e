#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "image/resize_rules.h"
#include "lang/language_switch.h"
#include "lang/settings_language.h"
#include "lang/ui_texts.h"

namespace tallowin {
namespace {

TEST(LanguageSwitch, RunsEveryWindowInTheFixedOrderWithTheNewCode) {
  LanguageSwitch language;
  std::vector<std::string> runs;
  auto record = [&](const char* name) {
    return [&runs, &language, name](Language now, TemplateTexts) {
      EXPECT_EQ(language.Current(), now);  // the code is set before any routine runs
      runs.push_back(std::string(name) + (now == Language::German ? ":de" : ":en"));
    };
  };
  // Registered out of order; the switch applies the main window first, the
  // start form next, then the output, expression and cut-out dialogs.
  language.Register(LanguageWindow::Tcutauswahl, record("cut"));
  language.Register(LanguageWindow::Teinstregex, record("regex"));
  const int gone = language.Register(LanguageWindow::Tstart, record("gone"));
  language.Register(LanguageWindow::Tprog, record("core"));
  language.Register(LanguageWindow::Teinstausgabe, record("output"));
  language.Register(LanguageWindow::Tstart, record("start"));
  language.Register(LanguageWindow::Tprog, record("widgets"));
  language.Unregister(gone);

  language.SwitchLanguage(Language::German);
  EXPECT_EQ(language.Code(), u"de");
  EXPECT_EQ(runs, (std::vector<std::string>{"core:de", "widgets:de", "start:de", "output:de", "regex:de", "cut:de"}));
  runs.clear();
  language.SwitchLanguage(Language::English);
  EXPECT_EQ(language.Code(), u"en");
  EXPECT_EQ(runs.size(), 6u);
  EXPECT_EQ(runs.front(), "core:en");
}

TEST(LanguageSwitch, ARoutineMayRemoveALaterOneWhileTheSwitchRuns) {
  LanguageSwitch language;
  int dialogRuns = 0;
  int dialog = 0;
  language.Register(LanguageWindow::Tprog, [&](Language, TemplateTexts) { language.Unregister(dialog); });
  dialog = language.Register(LanguageWindow::Teinstregex, [&](Language, TemplateTexts) { ++dialogRuns; });
  language.SwitchLanguage(Language::German);
  EXPECT_EQ(dialogRuns, 0);
}

TEST(LanguageSwitch, ConfigurationLoadPassesKeepToEveryRoutine) {
  LanguageSwitch language(Language::German);
  std::vector<TemplateTexts> seen;
  language.Register(LanguageWindow::Tprog, [&](Language, TemplateTexts t) { seen.push_back(t); });
  language.SwitchLanguage(language.Current(), TemplateTexts::Keep);
  language.SwitchLanguage(Language::English);
  EXPECT_EQ(seen, (std::vector<TemplateTexts>{TemplateTexts::Keep, TemplateTexts::Reset}));
  EXPECT_EQ(language.Current(), Language::English);
}

TEST(StartLanguage, GermanMarkerWinsEnglishOtherwise) {
  const struct {
    std::vector<std::string> files;
    bool deIsFolder;
    Language expected;
  } cases[] = {
      {{}, false, Language::English},
      {{"en"}, false, Language::English},
      {{"de"}, false, Language::German},
      {{"en", "de"}, false, Language::German},
      {{"de.txt", "DE"}, false, Language::English},  // only a file named exactly "de"
      {{}, true, Language::English},                 // a folder named "de" is no marker file
  };
  int n = 0;
  for (const auto& c : cases) {
    const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                         ("tallowin-markers-" + std::to_string(::getpid()) + "-" + std::to_string(n++));
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    for (const std::string& f : c.files) std::ofstream(folder / f) << "";
    if (c.deIsFolder) std::filesystem::create_directory(folder / "de");
    EXPECT_EQ(StartLanguageFromMarkers(folder.string()), c.expected) << n;
    std::filesystem::remove_all(folder);
  }
}

TEST(MainWindowLanguage, BildAndImageAreExchangedCaseSensitivelyInTextAndItems) {
  const struct {
    std::u16string english;
    std::u16string german;
  } cases[] = {
      {u"*.psd - Photoshop Image", u"*.psd - Photoshop Bild"},
      {u"*.jpg - JPEG-Image", u"*.jpg - JPEG-Bild"},
      {u"*.png - Portable Network Graphics", u"*.png - Portable Network Graphics"},
      {u"Image Image.bmp", u"Bild Bild.bmp"},         // every occurrence
      {u"*.tga - image IMAGE", u"*.tga - image IMAGE"},  // other cases stay
  };
  for (const auto& c : cases) {
    CaptureSettings settings(Language::English);
    settings.SetText(Setting::saveimg_format, c.english);
    ApplyMainWindowLanguage(settings, Language::German, TemplateTexts::Reset);
    EXPECT_EQ(settings.Text(Setting::saveimg_format), c.german);
    ApplyMainWindowLanguage(settings, Language::English, TemplateTexts::Reset);
    EXPECT_EQ(settings.Text(Setting::saveimg_format), c.english);
  }
  // "bild" in lower case is not the word the switch exchanges.
  CaptureSettings settings(Language::German);
  settings.SetText(Setting::saveimg_format, u"*.x - bild Bild");
  ApplyMainWindowLanguage(settings, Language::English, TemplateTexts::Reset);
  EXPECT_EQ(settings.Text(Setting::saveimg_format), u"*.x - bild Image");
}

TEST(MainWindowLanguage, EveryFormatItemFollowsTheSwitchAndComesBack) {
  CaptureSettings settings(Language::English);
  const std::vector<std::u16string> english = settings.Items(Setting::saveimg_format);
  ASSERT_FALSE(english.empty());
  ApplyMainWindowLanguage(settings, Language::German, TemplateTexts::Reset);
  const std::vector<std::u16string>& german = settings.Items(Setting::saveimg_format);
  ASSERT_EQ(german.size(), english.size());
  for (const std::u16string& item : german) EXPECT_EQ(item.find(u"Image"), std::u16string::npos);
  EXPECT_EQ(german[2], u"*.jpg - JPEG-Bild");
  // The rule takes the word wherever it stands, so the switch also turns the
  // format's own name into "Tagged Bild File Format"; the way back restores it.
  EXPECT_EQ(german[11], u"*.tif - Tagged Bild File Format");
  ApplyMainWindowLanguage(settings, Language::English, TemplateTexts::Reset);
  EXPECT_EQ(settings.Items(Setting::saveimg_format), english);
}

TEST(MainWindowLanguage, ASwitchPutsTheDefaultTemplateOverTheUsersOwn) {
  CaptureSettings settings(Language::English);
  int reactions = 0;
  settings.AttachReaction(Setting::savetxt_name, [&] { ++reactions; });
  settings.SetText(Setting::savetxt_name, u"notes %date%");
  settings.SetText(Setting::saveimg_name, u"shot %num%");
  ApplyMainWindowLanguage(settings, Language::German, TemplateTexts::Reset);
  EXPECT_EQ(settings.Text(Setting::savetxt_name), u"Text aus der Zwischenablage %num%");
  EXPECT_EQ(settings.Text(Setting::saveimg_name), u"Bild aus der Zwischenablage %num%");
  EXPECT_EQ(settings.Items(Setting::savetxt_name), DefaultItems(Setting::savetxt_name, Language::German));
  EXPECT_EQ(settings.Items(Setting::saveimg_name), DefaultItems(Setting::saveimg_name, Language::German));
  EXPECT_EQ(reactions, 2);  // the user's text, then the switch's, each as a real change

  ApplyMainWindowLanguage(settings, Language::English, TemplateTexts::Reset);
  EXPECT_EQ(settings.Text(Setting::savetxt_name), u"Clipboard Text %num%");
  EXPECT_EQ(settings.Text(Setting::saveimg_name), u"Clipboard Image %num%");
}

TEST(MainWindowLanguage, AfterAConfigurationLoadTheLoadedTemplatesStay) {
  CaptureSettings settings(Language::English);
  settings.SetText(Setting::savetxt_name, u"loaded %num%");
  ApplyMainWindowLanguage(settings, Language::German, TemplateTexts::Keep);
  EXPECT_EQ(settings.Text(Setting::savetxt_name), u"loaded %num%");
  EXPECT_EQ(settings.Items(Setting::savetxt_name), DefaultItems(Setting::savetxt_name, Language::German));
}

TEST(OutputSettingsLanguage, FilterNamesAreExchangedAndTheFilterStaysChosen) {
  const struct {
    std::u16string german;
    std::u16string english;
    ResampleFilter filter;
  } cases[] = {
      {u"Nächster Nachbar", u"Nearest", ResampleFilter::Nearest},
      {u"Bikubisch", u"Bicubic", ResampleFilter::Bicubic},
      {u"Bilinear", u"Bilinear", ResampleFilter::Bilinear},
  };
  for (const auto& c : cases) {
    CaptureSettings settings(Language::German);
    settings.SetText(Setting::act_sizemethode, c.german);
    ApplyOutputSettingsLanguage(settings, Language::English);
    EXPECT_EQ(settings.Text(Setting::act_sizemethode), c.english);
    EXPECT_EQ(FilterFromName(settings.Text(Setting::act_sizemethode)), c.filter);
    EXPECT_EQ(settings.Items(Setting::act_sizemethode), DefaultItems(Setting::act_sizemethode, Language::English));
    ApplyOutputSettingsLanguage(settings, Language::German);
    EXPECT_EQ(settings.Text(Setting::act_sizemethode), c.german);
    EXPECT_EQ(settings.Items(Setting::act_sizemethode), DefaultItems(Setting::act_sizemethode, Language::German));
  }
}

TEST(UiTextTable, EveryRowHasBothTextsAndNoKeyTwiceInAWindow) {
  const auto rows = UiTextTable();
  for (std::size_t i = 0; i < rows.size(); ++i) {
    EXPECT_FALSE(rows[i].english.empty()) << rows[i].window << " " << rows[i].control;
    EXPECT_FALSE(rows[i].german.empty()) << rows[i].window << " " << rows[i].control;
    for (std::size_t j = i + 1; j < rows.size(); ++j) {
      EXPECT_FALSE(rows[i].window == rows[j].window && rows[i].control == rows[j].control)
          << rows[i].window << " " << rows[i].control;
    }
  }
  // The same control name on two windows keeps each window's own text.
  EXPECT_EQ(UiText("Tprog", "Label4", Language::English), u"Directory:");
  EXPECT_EQ(UiText("Teinstregex", "Label4", Language::German),
            u"Informationen und Hilfe zur Benutzung von regulären Ausdrücken:");
  EXPECT_EQ(UiText("Tprog", "Label15", Language::German), u"Links");
  EXPECT_EQ(UiText("Tcutauswahl", "Label15", Language::German), u"Links");
  EXPECT_TRUE(UiText("Tprog", "no_such_control", Language::German).empty());
}

}  // namespace
}  // namespace tallowin
