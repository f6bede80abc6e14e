#include <gtest/gtest.h>

#include <memory>
#include <set>

#include "settings/capture_settings.h"
#include "app/section_layout.h"
#include "settings/setting_values.h"

namespace tallowin {
namespace {

TEST(CaptureSettingsTable, NamesAreUniqueFindableAndInControlOrder) {
  std::set<std::string_view> names;
  std::size_t i = 0;
  for (const SettingDescriptor& d : AllSettings()) {
    EXPECT_EQ(Index(d.id), i++);
    EXPECT_TRUE(names.insert(d.name).second) << d.name;
    EXPECT_EQ(FindSetting(d.name), d.id);
  }
  EXPECT_EQ(i, kSettingCount);
  EXPECT_FALSE(FindSetting("m_einst_aktiv").has_value());  // the capture switch is no setting
  EXPECT_FALSE(FindSetting("CB_SUCHENERSETZEN").has_value());
}

TEST(CaptureSettingsTable, StartValuesFollowTheInterfaceLanguage) {
  const CaptureSettings en(Language::English);
  const CaptureSettings de(Language::German);
  EXPECT_EQ(en.Text(Setting::saveimg_name), u"Clipboard Image %num%");
  EXPECT_EQ(de.Text(Setting::saveimg_name), u"Bild aus der Zwischenablage %num%");
  EXPECT_EQ(en.Text(Setting::saveimg_format), u"*.jpg - JPEG-Image");
  EXPECT_EQ(de.Text(Setting::saveimg_format), u"*.jpg - JPEG-Bild");
  EXPECT_EQ(de.Text(Setting::act_sizemethode), u"Bikubisch");
  EXPECT_EQ(*Describe(Setting::savetxt_name).resetText, u"Clipboard Text %num%");
  EXPECT_EQ(de.Items(Setting::saveimg_format).size(), 26u);
  EXPECT_EQ(en.Items(Setting::saveimg_format)[13], u"*.psd - Photoshop Image");
  EXPECT_EQ(de.Items(Setting::saveimg_format)[25], u"*.tga - Truevision Targa Bild");
  EXPECT_EQ(de.Items(Setting::act_sizemethode)[2], u"Nächster Nachbar");
}

TEST(CaptureSettingsTable, SelectedStartValues) {
  const CaptureSettings s;
  EXPECT_TRUE(s.Flag(Setting::cb_history_txt));
  EXPECT_FALSE(s.Flag(Setting::cb_suchenersetzen));
  EXPECT_TRUE(s.Flag(Setting::act_ers_casesensitive));
  EXPECT_TRUE(s.Flag(Setting::save_img_nachher));
  EXPECT_TRUE(s.Flag(Setting::rb_beibehalten));
  EXPECT_TRUE(s.Flag(Setting::rb_cutimg_auswahl));
  EXPECT_TRUE(s.Flag(Setting::m_konfig_autosave_nie));
  EXPECT_FALSE(s.Flag(Setting::m_konfig_autosave_alles));
  EXPECT_TRUE(s.Flag(Setting::cb_singleline_s));
  EXPECT_EQ(s.Integer(Setting::ScrollBar1), 90);
  EXPECT_EQ(s.Text(Setting::out_quality), u"90");
  EXPECT_EQ(s.Text(Setting::zk_space), u" $9$A$D$C");
  EXPECT_EQ(s.Text(Setting::act_zuschlinks), u"0");
  EXPECT_FALSE(s.Flag(Setting::pa003b));
  EXPECT_TRUE(s.Flag(Setting::pa_savetxt));
  EXPECT_EQ(s.Geometry().clientWidth, 758);
  EXPECT_EQ(s.Geometry().clientHeight, 569);
}

TEST(CaptureSettings, ReactionsAndObserversRunOnlyOnRealChanges) {
  CaptureSettings s;
  int reactions = 0;
  std::vector<Setting> observed;
  s.AttachReaction(Setting::act_ers_text_suchen, [&] { ++reactions; });
  const ObserverHandle handle = s.AddObserver([&](Setting changed) { observed.push_back(changed); });

  EXPECT_TRUE(s.SetText(Setting::act_ers_text_suchen, u"a"));
  EXPECT_FALSE(s.SetText(Setting::act_ers_text_suchen, u"a"));
  EXPECT_FALSE(s.SetFlag(Setting::cb_history_txt, true));
  EXPECT_EQ(reactions, 1);
  EXPECT_EQ(observed, std::vector<Setting>{Setting::act_ers_text_suchen});
}

TEST(CaptureSettings, AnObserverStaysRegisteredExactlyAsLongAsItsHandle) {
  std::vector<int> calls;
  auto settings = std::make_unique<CaptureSettings>();
  ObserverHandle first = settings->AddObserver([&](Setting) { calls.push_back(1); });
  {
    ObserverHandle second = settings->AddObserver([&](Setting) { calls.push_back(2); });
    ObserverHandle moved = std::move(second);  // the move carries the registration
    EXPECT_FALSE(second.Active());
    settings->SetFlag(Setting::cb_textadd, true);
  }
  settings->SetFlag(Setting::cb_textadd, false);
  EXPECT_EQ(calls, (std::vector<int>{1, 2, 1}));
  first = settings->AddObserver([&](Setting) { calls.push_back(3); });  // replaces and drops observer 1
  settings->SetFlag(Setting::cb_textadd, true);
  EXPECT_EQ(calls, (std::vector<int>{1, 2, 1, 3}));
  settings.reset();
  EXPECT_FALSE(first.Active());  // outliving the settings is harmless
  first.Reset();
}

TEST(SettingValues, EachKindReadsAndWritesItsTextForm) {
  using V = CaptureSettings::Value;
  struct Case {
    SettingKind kind;
    std::u16string_view text;
    std::optional<V> value;
  };
  const Case cases[] = {
      {SettingKind::Flag, u"1", V(true)},         {SettingKind::Flag, u"2", V(true)},
      {SettingKind::Flag, u"-1", V(true)},        {SettingKind::Flag, u"0x10", V(true)},
      {SettingKind::Flag, u"$0", V(false)},       {SettingKind::Flag, u"0x0", V(false)},
      {SettingKind::Flag, u"yes", std::nullopt},  {SettingKind::Flag, u"", std::nullopt},
      {SettingKind::Choice, u"0", V(false)},      {SettingKind::Visibility, u"1", V(true)},
      {SettingKind::MenuFlag, u"7", V(true)},     {SettingKind::Integer, u"-12", V(std::int32_t{-12})},
      {SettingKind::Integer, u"$1F", V(std::int32_t{31})},  {SettingKind::Integer, u"0X10", V(std::int32_t{16})},
      {SettingKind::Integer, u"1.5", std::nullopt},
      {SettingKind::Text, u" a\vb ", V(std::u16string(u" a\vb "))},
      {SettingKind::EditableChoice, u"x=y", V(std::u16string(u"x=y"))},
      {SettingKind::Memo, u"a\vb\v", V(std::u16string(u"a\nb\n"))},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseSettingValue(c.kind, c.text), c.value) << std::string(c.text.begin(), c.text.end());
  }
  EXPECT_EQ(FormatSettingValue(SettingKind::Flag, V(true)), u"1");
  EXPECT_EQ(FormatSettingValue(SettingKind::Choice, V(false)), u"0");
  EXPECT_EQ(FormatSettingValue(SettingKind::Integer, V(std::int32_t{-5})), u"-5");
  // CR LF pairs from the left, then lone CR and LF: the value never leaves its line.
  EXPECT_EQ(FormatSettingValue(SettingKind::Memo, V(std::u16string(u"a\r\nb\nc\rd\r\r\n"))), u"a\vb\vc\vd\v\v");
  EXPECT_EQ(FormatSettingValue(SettingKind::Text, V(std::u16string(u"a\vb"))), u"a\vb");
}

TEST(CaptureSettingsTable, ImageFormatItemsComeFromTheProviderWhenOneIsSet) {
  SetImageFormatItemsProvider([](Language language) {
    return std::vector<std::u16string>{language == Language::German ? u"*.png - Bild" : u"*.png - Image"};
  });
  EXPECT_EQ(DefaultItems(Setting::saveimg_format, Language::German), std::vector<std::u16string>{u"*.png - Bild"});
  EXPECT_EQ(CaptureSettings(Language::English).Items(Setting::saveimg_format),
            std::vector<std::u16string>{u"*.png - Image"});
  SetImageFormatItemsProvider(nullptr);
  EXPECT_EQ(DefaultItems(Setting::saveimg_format, Language::English).size(), 26u);
  EXPECT_EQ(DefaultItems(Setting::act_sizemethode, Language::German)[0], u"Bikubisch");
  EXPECT_EQ(DefaultItems(Setting::act_sizemethode, Language::English)[2], u"Nearest");
  EXPECT_EQ(DefaultItems(Setting::act_zuschlinks, Language::German).back(), u"1000");
  EXPECT_TRUE(DefaultItems(Setting::cb_textadd, Language::English).empty());
}

TEST(CaptureSettings, ChoosingARadioButtonTurnsTheOthersOffThroughTheirOwnReactions) {
  CaptureSettings s;
  int beibehaltenOff = 0;
  s.AttachReaction(Setting::rb_beibehalten, [&] { beibehaltenOff += s.Flag(Setting::rb_beibehalten) ? 0 : 1; });

  s.SetFlag(Setting::rb_utf16le, true);
  EXPECT_FALSE(s.Flag(Setting::rb_beibehalten));
  EXPECT_EQ(beibehaltenOff, 1);
  for (Setting other : GroupMembers(RadioGroup::TextEncoding)) {
    EXPECT_EQ(s.Flag(other), other == Setting::rb_utf16le);
  }
  // Turning one off leaves the others alone: a loaded file may leave none on.
  s.SetFlag(Setting::rb_utf16le, false);
  for (Setting other : GroupMembers(RadioGroup::TextEncoding)) EXPECT_FALSE(s.Flag(other));
  // The cut mode group is independent.
  EXPECT_TRUE(s.Flag(Setting::rb_cutimg_auswahl));
}

TEST(CaptureSettings, QualityBoxAndScrollBarFollowEachOther) {
  CaptureSettings s;
  AttachQualityLink(s);
  s.SetInteger(Setting::ScrollBar1, 42);
  EXPECT_EQ(s.Text(Setting::out_quality), u"42");
  s.SetText(Setting::out_quality, u"75");
  EXPECT_EQ(s.Integer(Setting::ScrollBar1), 75);
  s.SetText(Setting::out_quality, u"abc");  // no integer: the bar stays
  EXPECT_EQ(s.Integer(Setting::ScrollBar1), 75);
  s.SetText(Setting::out_quality, u"250");  // the bar clamps to 100 and writes that back
  EXPECT_EQ(s.Integer(Setting::ScrollBar1), 100);
  EXPECT_EQ(s.Text(Setting::out_quality), u"100");
  s.SetText(Setting::out_quality, u"300");  // the bar is already at 100: the typed text stays
  EXPECT_EQ(s.Text(Setting::out_quality), u"300");
  s.SetText(Setting::out_quality, u"$10");
  EXPECT_EQ(s.Integer(Setting::ScrollBar1), 16);
}

class SectionLayoutTest : public ::testing::Test {
 protected:
  std::vector<bool> Bodies() const {
    std::vector<bool> shown;
    for (const SectionInfo& section : Sections()) shown.push_back(settings.Flag(section.body));
    return shown;
  }
  CaptureSettings settings;
  SectionLayout layout{settings};
};

TEST_F(SectionLayoutTest, AtMostTheLastClickedSectionIsOpen) {
  settings.SetFlag(Setting::cb_suchenersetzen, true);
  EXPECT_EQ(Bodies(), (std::vector<bool>{true, false, false, false, false, false}));
  settings.SetFlag(Setting::cb_savetxt, true);
  EXPECT_EQ(Bodies(), (std::vector<bool>{false, false, true, false, false, false}));
  // Switching section 3 off leaves every body hidden although section 1 is still on.
  settings.SetFlag(Setting::cb_savetxt, false);
  EXPECT_EQ(Bodies(), std::vector<bool>(6, false));
  settings.SetFlag(Setting::cb_suchenersetzen, false);
  settings.SetFlag(Setting::cb_suchenersetzen, true);
  EXPECT_EQ(Bodies(), (std::vector<bool>{true, false, false, false, false, false}));
  layout.Run(std::nullopt);
  EXPECT_EQ(Bodies(), std::vector<bool>(6, false));
}

TEST_F(SectionLayoutTest, StackingAndScrollRange) {
  const ActionsAreaGeometry& g = layout.Geometry();
  EXPECT_EQ(g.scrollRange, 6 * 22 + 5);
  EXPECT_EQ(g.headerTop[5], 5 * 22);

  settings.SetFlag(Setting::cb_textadd, true);
  EXPECT_EQ(g.bodyTop[1], 2 * 22);
  EXPECT_EQ(g.headerTop[2], 2 * 22 + 129);
  EXPECT_EQ(g.scrollRange, 6 * 22 + 129 + 5);

  settings.SetFlag(Setting::cb_suchenersetzen, true);
  EXPECT_EQ(g.scrollRange, 6 * 22 + 171 + 5);
  EXPECT_EQ(g.searchGroupHeight, 165);
  // The table option resizes section 1 without changing which body is open.
  settings.SetFlag(Setting::cb_se_mehrfach, true);
  EXPECT_EQ(g.scrollRange, 6 * 22 + 266 + 5);
  EXPECT_EQ(g.searchGroupHeight, 260);
  EXPECT_TRUE(settings.Flag(Setting::pa001b));
  EXPECT_EQ(g.headerTop[1], 22 + 266);
}

}  // namespace
}  // namespace tallowin
