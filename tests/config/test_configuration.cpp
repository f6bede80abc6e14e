#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <filesystem>
#include <map>

#include "settings/capture_settings.h"
#include "base/errors.h"
#include "settings/setting_values.h"
#include "config/configuration.h"
#include "config/ini_file.h"
#include "base/integer_text.h"
#include "text/scratch_folder.h"

namespace tallowin {
namespace {

using testing::ScratchFolder;

// Every setting moved off its start-up value (one other button of each radio group on).
void ChangeEverySetting(CaptureSettings& s) {
  for (const SettingDescriptor& d : AllSettings()) {
    switch (d.kind) {
      case SettingKind::Choice:
        break;
      case SettingKind::Integer:
        s.SetInteger(d.id, 37);
        break;
      case SettingKind::Memo:
        s.SetText(d.id, u"line 1\n\u00E4 \u4E2D line 2\n");
        break;
      case SettingKind::Text:
      case SettingKind::EditableChoice:
        s.SetText(d.id, u" x " + std::u16string(d.name.begin(), d.name.end()) + u" \u20AC ");
        break;
      default:
        s.SetFlag(d.id, !d.startOn);
    }
  }
  s.SetFlag(Setting::rb_cutimg_direkt, true);
  s.SetFlag(Setting::rb_utf32be, true);
  s.Geometry() = {false, 600, 400, 12, -7};
}

TEST(Configuration, EverySettingSurvivesASaveAndALoad) {
  ScratchFolder folder;
  const std::string path = (folder.path() / "all.twk").string();
  CaptureSettings saved;
  ChangeEverySetting(saved);
  KonfigurationSpeichern(saved, path);

  CaptureSettings loaded;
  int layouts = 0;
  ConfigurationWindow window;
  window.sectionLayout = [&] { ++layouts; };
  KonfigurationLaden(loaded, path, false, window);
  for (const SettingDescriptor& d : AllSettings()) {
    EXPECT_EQ(loaded.Get(d.id), saved.Get(d.id)) << d.name;
    if (d.kind != SettingKind::Choice || d.id == Setting::rb_cutimg_direkt || d.id == Setting::rb_utf32be) {
      EXPECT_NE(loaded.Get(d.id), CaptureSettings().Get(d.id)) << d.name << " was not changed by the fixture";
    }
  }
  EXPECT_EQ(loaded.Geometry().clientWidth, 600);
  EXPECT_EQ(loaded.Geometry().clientHeight, 400);
  EXPECT_EQ(loaded.Geometry().top, 12);
  EXPECT_EQ(loaded.Geometry().left, -7);
  EXPECT_EQ(layouts, 1);

  // The file itself: UTF-16 with its mark, the described sections, memo line breaks as U+000B.
  const std::string bytes = folder.Read("all.twk");
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
  const IniDocument doc = IniDocument::Parse(bytes);
  EXPECT_EQ(doc.Read(u"PBME", u"act_textadd_vorne"), u"line 1\v\u00E4 \u4E2D line 2\v");
  EXPECT_EQ(doc.Read(u"PBRB", u"rb_cutimg_direkt"), u"1");
  EXPECT_EQ(doc.Read(u"EASB", u"ScrollBar1"), u"37");
  EXPECT_EQ(doc.Read(u"AS", u"N"), u"0");
  EXPECT_EQ(doc.Read(u"AS", u"A"), u"1");
  EXPECT_EQ(doc.Read(u"SP", u"PL"), u"-7");
  std::vector<std::u16string> sections;
  for (const std::u16string& line : doc.lines()) {
    if (line.starts_with(u"[")) sections.push_back(line);
  }
  EXPECT_EQ(sections, (std::vector<std::u16string>{u"[PBPA]", u"[PBCH]", u"[PBCB]", u"[PBED]", u"[PBME]", u"[PBRB]",
                                                   u"[RXCH]", u"[RXED]", u"[EACB]", u"[EASB]", u"[EACH]", u"[EARB]",
                                                   u"[SP]", u"[AS]"}));
}

TEST(Configuration, SavingOverAFileKeepsForeignLinesAndEachKeyOnce) {
  ScratchFolder folder;
  const std::string path = (folder.path() / "c.twk").string();
  folder.CreateFile("c.twk", "[Other]\r\nmine=1\r\n[pbch]\r\nCB_SAVETXT=0\r\nold_control=5\r\n");
  CaptureSettings s;
  s.SetFlag(Setting::cb_savetxt, true);
  KonfigurationSpeichern(s, path);
  s.SetText(Setting::savetxt_format, u".log");
  KonfigurationSpeichern(s, path);

  const std::string bytes = folder.Read("c.twk");
  EXPECT_NE(bytes.substr(0, 2), "\xFF\xFE");  // an existing file keeps its encoding
  const IniDocument doc = IniDocument::Parse(bytes);
  EXPECT_EQ(doc.Read(u"Other", u"mine"), u"1");
  EXPECT_EQ(doc.Read(u"PBCH", u"old_control"), u"5");
  EXPECT_EQ(doc.Read(u"PBCH", u"cb_savetxt"), u"1");
  EXPECT_EQ(doc.Read(u"PBCB", u"savetxt_format"), u".log");
  std::map<std::u16string, int> seen;
  for (const std::u16string& line : doc.lines()) ++seen[line.substr(0, line.find(u'='))];
  for (const auto& [key, count] : seen) {
    EXPECT_EQ(count, key.empty() ? count : 1) << std::string(key.begin(), key.end());
  }
  EXPECT_EQ(doc.lines()[0], u"[Other]");
  EXPECT_EQ(doc.lines()[3], u"CB_SAVETXT=1");  // replaced in place, spelling kept
}

TEST(Configuration, AnAnsiFileIsReadAndUpdatedAsAnsi) {
  ScratchFolder folder;
  const std::string path = (folder.path() / "ansi.twk").string();
  folder.CreateFile("ansi.twk", "[PBCB]\r\nsavetxt_name=M\xE4rz %num%\r\n");
  CaptureSettings s;
  KonfigurationLaden(s, path, false);
  EXPECT_EQ(s.Text(Setting::savetxt_name), u"M\u00E4rz %num%");
  s.SetText(Setting::savetxt_name, u"\u00C4pfel");
  KonfigurationSpeichern(s, path);
  const std::string bytes = folder.Read("ansi.twk");
  EXPECT_TRUE(bytes.starts_with("[PBCB]\r\nsavetxt_name=\xC4pfel\r\nsaveimg_format=")) << bytes.substr(0, 40);
  EXPECT_EQ(bytes.find('\0'), std::string::npos);
}

TEST(Configuration, FlagsAndIntegersReadAsDescribed) {
  struct Case {
    const char* value;
    bool on;  // starting from off
  };
  const Case cases[] = {{"2", true}, {"-1", true}, {"0x10", true}, {"$1", true},
                        {"0", false}, {"0x0", false}, {"yes", false}, {"", false}};
  for (const Case& c : cases) {
    CaptureSettings s;
    ApplyConfigurationBytes(s, std::string("[PBCH]\r\ncb_savetxt=") + c.value + "\r\n", false);
    EXPECT_EQ(s.Flag(Setting::cb_savetxt), c.on) << c.value;
  }
  // "yes" keeps an on flag on as well.
  CaptureSettings on;
  ApplyConfigurationBytes(on, "[PBCH]\r\ncb_history_txt=yes\r\n", false);
  EXPECT_TRUE(on.Flag(Setting::cb_history_txt));
}

TEST(Configuration, RadioButtonsAreAppliedOneAfterAnother) {
  struct Case {
    const char* auswahl;
    const char* direkt;
    bool auswahlOn, direktOn;
  };
  const Case cases[] = {{"1", "1", false, true}, {"0", "0", false, false}, {"1", "0", true, false},
                        {"0", "1", false, true}};
  for (const Case& c : cases) {
    CaptureSettings s;
    ApplyConfigurationBytes(
        s, std::string("[PBRB]\r\nrb_cutimg_auswahl=") + c.auswahl + "\r\nrb_cutimg_direkt=" + c.direkt + "\r\n", false);
    EXPECT_EQ(s.Flag(Setting::rb_cutimg_auswahl), c.auswahlOn) << c.auswahl << c.direkt;
    EXPECT_EQ(s.Flag(Setting::rb_cutimg_direkt), c.direktOn) << c.auswahl << c.direkt;
  }
  // The exit-save pair is set independently: both can end up checked.
  CaptureSettings s;
  ApplyConfigurationBytes(s, "[AS]\r\nN=1\r\nA=1\r\n", false);
  EXPECT_TRUE(s.Flag(Setting::m_konfig_autosave_nie));
  EXPECT_TRUE(s.Flag(Setting::m_konfig_autosave_alles));
}

TEST(Configuration, TheScrollBarIsBroughtIntoItsRangeAndTheQualityFollows) {
  const std::pair<const char*, std::int32_t> cases[] = {{"500", 100}, {"0", 1}, {"-3", 1}, {"$20", 32}};
  for (const auto& [stored, position] : cases) {
    CaptureSettings s;
    AttachQualityLink(s);
    ApplyConfigurationBytes(s, std::string("[EASB]\r\nScrollBar1=") + stored + "\r\n", false);
    EXPECT_EQ(s.Integer(Setting::ScrollBar1), position) << stored;
    EXPECT_EQ(s.Text(Setting::out_quality), DecimalText(position)) << stored;
  }
}

TEST(Configuration, AGermanFileLoadedInEnglishShowsTheEnglishTexts) {
  CaptureSettings german(Language::German);
  ScratchFolder folder;
  const std::string path = (folder.path() / "de.twk").string();
  german.SetText(Setting::saveimg_format, u"*.psd - Photoshop Bild (Bild)");
  KonfigurationSpeichern(german, path);

  CaptureSettings english(Language::English);
  ConfigurationWindow window;
  window.applyLanguage = [&english] { ApplyLanguageToSettings(english, Language::English); };
  KonfigurationLaden(english, path, false, window);
  EXPECT_EQ(english.Text(Setting::saveimg_format), u"*.psd - Photoshop Image (Image)");
  EXPECT_EQ(english.Text(Setting::act_sizemethode), u"Bicubic");
  EXPECT_EQ(english.Text(Setting::saveimg_name), u"Bild aus der Zwischenablage %num%");  // the text stays
  EXPECT_EQ(english.Items(Setting::saveimg_name)[0], u"Clipboard Image %num%");
  EXPECT_EQ(english.Items(Setting::act_sizemethode)[2], u"Nearest");
}

TEST(Configuration, WindowNumbersApplyOnlyWithinTheScreen) {
  const std::string file = "[SP]\r\nPF=0\r\nPB=700\r\nPH=500\r\nPT=2000\r\nPL=-50\r\n";
  CaptureSettings s;
  s.Geometry().top = 30;
  ConfigurationWindow window;
  window.screenWidth = 1280;
  window.screenHeight = 1024;
  int applied = 0;
  window.applyGeometry = [&] { ++applied; };
  ApplyConfigurationBytes(s, file, false, window);
  EXPECT_EQ(s.Geometry().clientWidth, 700);
  EXPECT_EQ(s.Geometry().clientHeight, 500);
  EXPECT_EQ(s.Geometry().top, 30);    // beyond the screen: kept
  EXPECT_EQ(s.Geometry().left, -50);  // no lower bound
  EXPECT_EQ(applied, 1);

  // Maximized: at start-up on the first activation, otherwise at once; the numbers are ignored.
  for (const bool startup : {true, false}) {
    CaptureSettings m;
    int onActivate = 0, atOrigin = 0;
    window.maximizeOnActivate = [&] { ++onActivate; };
    window.maximizeAtOrigin = [&] { ++atOrigin; };
    ApplyConfigurationBytes(m, "[SP]\r\nPF=1\r\nPB=100\r\n", startup, window);
    EXPECT_EQ(onActivate, startup ? 1 : 0);
    EXPECT_EQ(atOrigin, startup ? 0 : 1);
    EXPECT_EQ(m.Geometry().clientWidth, 758);
  }
}

TEST(Configuration, AMissingFileOrAPartialOneChangesOnlyWhatItHolds) {
  ScratchFolder folder;
  CaptureSettings s;
  s.SetText(Setting::zk_word, u"abc");
  const CaptureSettings::Value before = s.Get(Setting::zk_word);
  KonfigurationLaden(s, (folder.path() / "missing.twk").string(), true);
  for (const SettingDescriptor& d : AllSettings()) {
    EXPECT_EQ(s.Get(d.id), d.id == Setting::zk_word ? before : CaptureSettings().Get(d.id)) << d.name;
  }
  EXPECT_FALSE(std::filesystem::exists(folder.path() / "missing.twk"));

  ApplyConfigurationBytes(s, "[PBCH]\r\ncb_savetxt=1\r\n", false);
  EXPECT_TRUE(s.Flag(Setting::cb_savetxt));
  EXPECT_EQ(s.Get(Setting::zk_word), before);
}

TEST(Configuration, LongTextsComeBackCutAtTheReadLimit) {
  ScratchFolder folder;
  const std::string path = (folder.path() / "long.twk").string();
  CaptureSettings s;
  s.SetText(Setting::act_ers_text_suchen, std::u16string(3000, u'a'));
  KonfigurationSpeichern(s, path);
  CaptureSettings loaded;
  KonfigurationLaden(loaded, path, false);
  EXPECT_EQ(loaded.Text(Setting::act_ers_text_suchen), std::u16string(kIniReadLimit, u'a'));
}

// A save that cannot be completed leaves the old file as it was and says why.
TEST(Configuration, AFailedSaveLeavesTheOldFileIntact) {
  ScratchFolder folder;
  const std::string path = (folder.path() / "keep.twk").string();
  const std::string old = "[PBCH]\r\ncb_savetxt=1\r\n";
  folder.CreateFile("keep.twk", old);

  // Files may grow to 200 bytes only; the full configuration is larger.
  struct rlimit saved;
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto previous = ::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 200;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  CaptureSettings s;
  std::string message;
  try {
    KonfigurationSpeichern(s, path);
  } catch (const TallowinError& e) {
    message = e.what();
  }
  ::setrlimit(RLIMIT_FSIZE, &saved);
  ::signal(SIGXFSZ, previous);
  EXPECT_EQ(message, "Unable to write to " + path);
  EXPECT_EQ(folder.Read("keep.twk"), old);
  std::size_t files = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder.path())) ++files;
  EXPECT_EQ(files, 1u);  // no temporary file left behind

  // A missing file in a missing folder cannot be created.
  const std::string nowhere = (folder.path() / "no" / "such.twk").string();
  try {
    KonfigurationSpeichern(s, nowhere);
    ADD_FAILURE() << "no error";
  } catch (const TallowinError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot create file \"" + nowhere + "\". No such file or directory");
  }
}

TEST(Configuration, TheResetRestoresEveryStartValueButTheLanguageOnes) {
  CaptureSettings s(Language::German);
  ChangeEverySetting(s);
  s.SetItems(Setting::saveimg_name, {u"kept"});
  KonfigurationLadenStandard(s, u"/prog/");
  const CaptureSettings english(Language::English);
  for (const SettingDescriptor& d : AllSettings()) {
    if (d.kind == SettingKind::Text && d.window == OwningWindow::Main) {
      EXPECT_EQ(s.Text(d.id), u"/prog/") << d.name;
    } else {
      // The language-dependent texts get their English values in both languages.
      EXPECT_EQ(s.Get(d.id), english.Get(d.id)) << d.name;
    }
  }
  EXPECT_EQ(s.Items(Setting::saveimg_name), std::vector<std::u16string>{u"kept"});
  EXPECT_EQ(s.Geometry().clientWidth, 600);  // the window is left alone
}

}  // namespace
}  // namespace tallowin
