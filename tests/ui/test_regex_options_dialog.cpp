#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "app/regex_options_logic.h"
#include "ui/regex_options_dialog.h"
#include "ui_test_main.h"

namespace tallowin::testing {
namespace {

class RegexOptionsDialogTest : public ::testing::Test {
 protected:
  RegexOptionsDialogTest() {
    AttachModifierReactions(settings, defaults);
    dialog.SetPageOpener([this](const QUrl& url) {
      opened.push_back(url);
      return browserStarts;
    });
    dialog.show();
    QApplication::processEvents();
  }
  template <class W>
  W* Find(const char* name) {
    W* w = dialog.findChild<W*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  void Type(const char* box, const QString& text) {
    QLineEdit* edit = Find<QLineEdit>(box);
    edit->setText(text);
  }
  // Clicks `button` and returns the text of the error message box it opened (closing it), or nothing.
  std::optional<QString> ClickExpectingError(const char* button) {
    return ModalBoxTextDuring([this, button] { Find<QPushButton>(button)->click(); });
  }

  QApplication& app = TestApplication();
  CaptureSettings settings;
  EngineDefaults defaults;
  const EngineDefaults start;
  Teinstregex dialog{settings, defaults, Language::English, QStringLiteral("/opt/tallowin/docs/")};
  std::vector<QUrl> opened;
  bool browserStarts = true;
};

TEST_F(RegexOptionsDialogTest, WindowAndTextsInBothLanguages) {
  EXPECT_EQ(dialog.size(), QSize(404, 504));
  EXPECT_FALSE(dialog.isModal());
  EXPECT_TRUE(dialog.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Options regarding Regular Expressions"));
  EXPECT_EQ(Find<QPushButton>("Button2")->text(), QStringLiteral("Assume"));
  EXPECT_EQ(Find<QCheckBox>("cb_whitespacecomments_x")->text(), QStringLiteral("Modifier x: Extended Syntax"));
  EXPECT_TRUE(Find<QLabel>("examples")->text().contains(QStringLiteral("((?i)[a-z])\\s[a-z]")));

  dialog.Sprache(Language::German);
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Einstellungen für Reguläre Ausdrücke"));
  EXPECT_EQ(Find<QGroupBox>("GroupBox2")->title(), QStringLiteral("Zeichenklassen"));
  EXPECT_EQ(Find<QPushButton>("Button2")->text(), QStringLiteral("Übernehmen"));
  EXPECT_EQ(Find<QCheckBox>("cb_whitespacecomments_x")->text(), QStringLiteral("Modifiktaor x: Extended Syntax"));
  EXPECT_EQ(Find<QPushButton>("Button3")->text(), QStringLiteral("Standard"));
  for (QWidget* w : dialog.findChildren<QWidget*>()) {
    if (qobject_cast<QAbstractButton*>(w) || qobject_cast<QLineEdit*>(w) || w->objectName().startsWith("Label")) {
      EXPECT_FALSE(w->accessibleName().isEmpty()) << w->objectName().toStdString();
    }
  }
  EXPECT_EQ(Find<QLabel>("Label2")->accessibleName(), QStringLiteral("Hilfeseite zu regulären Ausdrücken"));
}

TEST_F(RegexOptionsDialogTest, HelpLinksOpenTheLanguagesPageInTheDocsFolder) {
  emit Find<QLabel>("Label7")->linkActivated(dialog.InformationPage(Language::English, true).toString());
  dialog.Sprache(Language::German);
  QLabel* label2 = Find<QLabel>("Label2");
  EXPECT_TRUE(label2->text().contains(QStringLiteral("regex_de.html")));
  emit label2->linkActivated(dialog.InformationPage(Language::German, false).toString());
  ASSERT_EQ(opened.size(), 2u);
  EXPECT_EQ(opened[0], QUrl(QStringLiteral("file:///opt/tallowin/docs/regex.html#modifiers")));
  EXPECT_EQ(opened[1], QUrl(QStringLiteral("file:///opt/tallowin/docs/regex_de.html")));
  EXPECT_TRUE(dialog.isVisible());
}

TEST_F(RegexOptionsDialogTest, AHelpLinkThatFindsNoBrowserSaysSo) {
  browserStarts = false;
  auto* link = Find<QLabel>("Label7");
  EXPECT_EQ(ModalBoxTextDuring(
                [&] { emit link->linkActivated(dialog.InformationPage(Language::English, true).toString()); }),
            QStringLiteral("No web browser could be started to show the page /opt/tallowin/docs/regex.html."));
  dialog.Sprache(Language::German);
  EXPECT_EQ(ModalBoxTextDuring(
                [&] { emit link->linkActivated(dialog.InformationPage(Language::German, true).toString()); }),
            QStringLiteral("Es konnte kein Webbrowser gestartet werden, um die Seite "
                           "/opt/tallowin/docs/regex_de.html anzuzeigen."));
  EXPECT_EQ(opened.size(), 2u);
}

TEST_F(RegexOptionsDialogTest, ModifierBoxesTakeEffectAtOnce) {
  Find<QCheckBox>("cb_caseinsensitive_i")->click();
  EXPECT_TRUE(settings.Flag(Setting::cb_caseinsensitive_i));
  EXPECT_EQ(defaults.modifiers, start.modifiers | kModifierI);
  Find<QCheckBox>("cb_singleline_s")->click();
  EXPECT_EQ(defaults.modifiers, (start.modifiers | kModifierI) & ~kModifierS);
}

TEST_F(RegexOptionsDialogTest, BadSpaceTextShowsTheErrorAndChangesNothing) {
  Type("zk_word", QStringLiteral("abc"));
  Type("zk_space", QStringLiteral("$zz"));
  EXPECT_EQ(ClickExpectingError("Button2"), QStringLiteral("'$zz' is not a valid integer value."));
  EXPECT_EQ(defaults.wordChars, start.wordChars);
  EXPECT_EQ(defaults.spaceChars, start.spaceChars);

  // OK with the same error keeps the window open.
  EXPECT_TRUE(ClickExpectingError("Button1").has_value());
  EXPECT_TRUE(dialog.isVisible());
}

TEST_F(RegexOptionsDialogTest, OkAppliesTheListsAndCloses) {
  Type("zk_word", QStringLiteral("abc$$"));
  Type("zk_lineseparators", QStringLiteral("$a"));
  EXPECT_EQ(ClickExpectingError("Button1"), std::nullopt);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(defaults.wordChars, u"abc$");
  EXPECT_EQ(defaults.lineSeparators, u"\n");
  EXPECT_EQ(defaults.spaceChars, start.spaceChars);
}

TEST_F(RegexOptionsDialogTest, StandardThenCloseRestoresTheBoxesButNotTheLists) {
  Find<QCheckBox>("cb_multiline_m")->click();
  Find<QCheckBox>("cb_greedymode_g")->click();
  Type("zk_word", QStringLiteral("xyz"));
  ASSERT_EQ(ClickExpectingError("Button2"), std::nullopt);
  ASSERT_EQ(defaults.wordChars, u"xyz");
  Type("zk_space", QStringLiteral("\t"));

  Find<QPushButton>("Button3")->click();
  dialog.close();
  EXPECT_EQ(defaults.modifiers, start.modifiers);
  EXPECT_TRUE(Find<QCheckBox>("cb_greedymode_g")->isChecked());
  EXPECT_FALSE(Find<QCheckBox>("cb_multiline_m")->isChecked());
  EXPECT_EQ(Find<QLineEdit>("zk_space")->text(), QStringLiteral(" $9$A$D$C"));
  EXPECT_EQ(defaults.wordChars, u"xyz") << "the lists change only with apply";
}

// A long character list shows its beginning when the dialog opens.
TEST(RegexOptionsDialogStart, CharacterBoxesShowTheStartOfTheirText) {
  TestApplication();
  CaptureSettings settings;
  EngineDefaults defaults;
  settings.SetText(Setting::zk_word, std::u16string(200, u'w') + u"END");
  Teinstregex dialog{settings, defaults, Language::English, QStringLiteral("/opt/tallowin/docs/")};
  dialog.show();
  QApplication::processEvents();
  auto* word = dialog.findChild<QLineEdit*>(QStringLiteral("zk_word"));
  ASSERT_NE(word, nullptr);
  EXPECT_EQ(word->cursorPosition(), 0);
}

}  // namespace
}  // namespace tallowin::testing
