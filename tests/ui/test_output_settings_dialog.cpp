#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>

#include "app/program_core.h"
#include "clipboard/memory_clipboard.h"
#include "ui/output_settings_dialog.h"
#include "ui_test_main.h"

namespace tallowin::testing {
namespace {

class OutputSettingsDialogTest : public ::testing::Test {
 protected:
  OutputSettingsDialogTest() {
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
  QComboBox* Quality() { return Find<QComboBox>("out_quality"); }
  QScrollBar* Slider() { return Find<QScrollBar>("ScrollBar1"); }
  // Keys as typed into the quality box (its edit has the focus).
  void Type(const QString& keys) {
    for (QChar c : keys) QTest::keyClick(Quality()->lineEdit(), c.toLatin1());
  }
  void Press(Qt::Key key) { QTest::keyClick(Quality()->lineEdit(), key); }
  void SelectAll() { Quality()->lineEdit()->selectAll(); }

  QApplication& app = TestApplication();
  MemoryClipboard clipboard;
  ProgramCore core{clipboard, Language::English};
  Teinstausgabe dialog{core.settings, Language::English, QStringLiteral("/opt/tallowin/docs/")};
  std::vector<QUrl> opened;
  bool browserStarts = true;
};

TEST_F(OutputSettingsDialogTest, WindowStartValuesAndTextsInBothLanguages) {
  EXPECT_EQ(dialog.size(), QSize(347, 473));
  EXPECT_FALSE(dialog.isModal());
  EXPECT_TRUE(dialog.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_EQ(Quality()->currentText(), QStringLiteral("90"));
  EXPECT_EQ(Quality()->count(), 10);
  EXPECT_EQ(Slider()->value(), 90);
  EXPECT_EQ(Slider()->minimum(), 1);
  EXPECT_EQ(Slider()->maximum(), 100);
  EXPECT_TRUE(Find<QCheckBox>("progressivaktiv")->isChecked());
  EXPECT_TRUE(Find<QRadioButton>("rb_beibehalten")->isChecked());
  EXPECT_EQ(core.state.textFileCodePage, 65001);

  struct Case {
    const char* name;
    const char16_t* english;
    const char16_t* german;
  };
  const Case cases[] = {
      {"GroupBox1", u"Image Output", u"Bildausgabe"},
      {"GroupBox3", u"Image Resizing", u"Vergrößerung oder Verkleinerung der Bilder"},
      {"GroupBox2", u"Coding of Text Files", u"Kodierung von Textdateien"},
      {"progressivaktiv", u"Use Progressiv-Function for Formats JPEF, JNG and MNG",
       u"Progressiv-Funktion für Formate JPEG, JNG und MNG verwenden"},
      {"act_sizebigger", u"Process if Original is larger than Maximum Size",
       u"Ändern wenn Ursprungsbild größer als Maximalgröße"},
      {"Label2", u"Resize Method:", u"Skaliermethode:"},
      {"rb_utf7ansi", u"Unicode UTF-7 saved as ANSI", u"Unicode UTF-7 als ANSI gespeichert"},
      {"rb_utf16le", u"Unicode UTF-16 Little Endian (Standard Windows Unicode)",
       u"Unicode UTF-16 Little Endian (Standard Windows Unicode)"},
      {"Label4", u"Information to the File Formats, you can get on:",
       u"Informationen zu den Formaten erhalten Sie auf dieser Seite:"},
  };
  auto shown = [this](const char* name) {
    QWidget* w = Find<QWidget>(name);
    if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title();
    if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
    if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
    return QString();
  };
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Settings"));
  for (const Case& c : cases) EXPECT_EQ(shown(c.name), QString::fromUtf16(c.english)) << c.name;
  EXPECT_TRUE(Find<QLabel>("Label7")->text().contains(QStringLiteral("/opt/tallowin/docs/image-formats.html")));
  dialog.Sprache(Language::German);
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Einstellungen"));
  for (const Case& c : cases) EXPECT_EQ(shown(c.name), QString::fromUtf16(c.german)) << c.name;
  EXPECT_TRUE(Find<QLabel>("Label7")->text().contains(QStringLiteral("/opt/tallowin/docs/image-formats_de.html")));
  EXPECT_TRUE(Find<QLabel>("Label7")->text().contains(QStringLiteral("#B3820F")));
  for (QWidget* w : dialog.findChildren<QWidget*>()) {
    // The dialog's own controls (the list views of the boxes bring unnamed scroll bars).
    if (w->objectName().isEmpty() || w->objectName().startsWith("qt_")) continue;
    if (qobject_cast<QAbstractButton*>(w) || qobject_cast<QComboBox*>(w) || qobject_cast<QScrollBar*>(w) ||
        w->objectName().startsWith("Label")) {
      EXPECT_FALSE(w->accessibleName().isEmpty()) << w->objectName().toStdString() << " " << w->metaObject()->className();
    }
  }
}

TEST_F(OutputSettingsDialogTest, Screenshot) {
  if (const char* shot = std::getenv("TALLOWIN_SCREENSHOT_DIR")) {
    dialog.grab().save(QString::fromLocal8Bit(shot) + "/output_settings_en.png");
    dialog.Sprache(Language::German);
    QApplication::processEvents();  // the layout follows the new captions
    dialog.grab().save(QString::fromLocal8Bit(shot) + "/output_settings_de.png");
  }
}

TEST_F(OutputSettingsDialogTest, LinkOpensTheFormatsPageOfTheLanguage) {
  emit Find<QLabel>("Label7")->linkActivated(dialog.InformationPage(Language::English).toString());
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0], QUrl::fromLocalFile(QStringLiteral("/opt/tallowin/docs/image-formats.html")));
  EXPECT_EQ(dialog.InformationPage(Language::German), QUrl::fromLocalFile("/opt/tallowin/docs/image-formats_de.html"));
}

// When no browser can be started, the link says so in the message box, in the
// language of the window, and the window stays as it was.
TEST_F(OutputSettingsDialogTest, ALinkThatFindsNoBrowserSaysSo) {
  browserStarts = false;
  auto* link = Find<QLabel>("Label7");
  EXPECT_EQ(ModalBoxTextDuring([&] { emit link->linkActivated(dialog.InformationPage(Language::English).toString()); }),
            QStringLiteral("No web browser could be started to show the page /opt/tallowin/docs/image-formats.html."));
  dialog.Sprache(Language::German);
  EXPECT_EQ(ModalBoxTextDuring([&] { emit link->linkActivated(dialog.InformationPage(Language::German).toString()); }),
            QStringLiteral("Es konnte kein Webbrowser gestartet werden, um die Seite "
                           "/opt/tallowin/docs/image-formats_de.html anzuzeigen."));
  EXPECT_EQ(opened.size(), 2u);
  EXPECT_TRUE(dialog.isVisible());
  // A browser that starts shows no box.
  browserStarts = true;
  EXPECT_EQ(ModalBoxTextDuring([&] { emit link->linkActivated(dialog.InformationPage(Language::German).toString()); }),
            std::nullopt);
}

TEST_F(OutputSettingsDialogTest, SliderAndBoxFollowEachOther) {
  Slider()->setValue(1);
  EXPECT_EQ(Quality()->currentText(), QStringLiteral("1"));
  EXPECT_EQ(core.settings.Text(Setting::out_quality), u"1");
  Quality()->setCurrentIndex(Quality()->findText(QStringLiteral("20")));
  EXPECT_EQ(Slider()->value(), 20);
  EXPECT_EQ(core.settings.Integer(Setting::ScrollBar1), 20);
  SelectAll();
  Type("50");
  EXPECT_EQ(Quality()->currentText(), QStringLiteral("50"));
  EXPECT_EQ(Slider()->value(), 50);
  // Above 100 from a slider below 100: the slider moves to 100 and writes it back.
  SelectAll();
  Type("150");
  EXPECT_EQ(Slider()->value(), 100);
  EXPECT_EQ(Quality()->currentText(), QStringLiteral("100"));
  // With the slider at 100 already, a typed 1000 stays in the box.
  Quality()->lineEdit()->end(false);
  Type("0");
  EXPECT_EQ(Quality()->currentText(), QStringLiteral("1000"));
  EXPECT_EQ(Slider()->value(), 100);
  EXPECT_EQ(core.settings.Text(Setting::out_quality), u"1000");
}

TEST_F(OutputSettingsDialogTest, KeyFilterOfTheQualityBox) {
  // Only digits and backspace.
  SelectAll();
  Type("7x.-a");
  EXPECT_EQ(Quality()->currentText(), QStringLiteral("7"));
  Press(Qt::Key_Backspace);
  EXPECT_EQ(Quality()->currentText(), QString());
  // An empty box takes its first digit.
  Type("3");
  EXPECT_EQ(Quality()->currentText(), QStringLiteral("3"));
  EXPECT_EQ(Slider()->value(), 3);

  // A box holding a number outside 1..100 refuses every key, backspace included.
  // (The slider stands at the end the number is clamped to, so it does not move
  // and write its own position back.)
  for (auto [held, slider] : {std::pair{"0", 1}, std::pair{"1000", 100}, std::pair{"-5", 1}}) {
    core.settings.SetInteger(Setting::ScrollBar1, slider);
    core.settings.SetText(Setting::out_quality, QString::fromLatin1(held).toStdU16String());
    Quality()->lineEdit()->end(false);
    Type("5");
    Press(Qt::Key_Backspace);
    SelectAll();
    Type("4");
    EXPECT_EQ(Quality()->currentText(), QString::fromLatin1(held)) << held;
  }
  // The Delete key empties the selection; then digits are taken again.
  SelectAll();
  Press(Qt::Key_Delete);
  EXPECT_EQ(Quality()->currentText(), QString());
  Type("8");
  EXPECT_EQ(Quality()->currentText(), QStringLiteral("8"));
  // The same with the key as X11 delivers it, with the character U+007F, sent to
  // the box that has the focus.
  core.settings.SetText(Setting::out_quality, u"1000");
  SelectAll();
  QTest::sendKeyEvent(QTest::Click, Quality(), Qt::Key_Delete, QStringLiteral("\x7f"), Qt::NoModifier);
  EXPECT_EQ(Quality()->currentText(), QString());
  Type("8");
  EXPECT_EQ(Quality()->currentText(), QStringLiteral("8"));
}

// The list of a box opens on the item its text names: "90" at start, then
// whatever the slider or the language switch put there.
TEST_F(OutputSettingsDialogTest, ListsOpenOnTheItemTheTextNames) {
  auto highlighted = [](QComboBox* combo) {
    combo->showPopup();
    const QModelIndexList selected = combo->view()->selectionModel()->selectedIndexes();
    combo->hidePopup();
    if (selected.isEmpty()) return -1;
    return selected.size() == 1 ? selected.front().row() : -2;
  };
  EXPECT_EQ(highlighted(Quality()), Quality()->findText(QStringLiteral("90")));
  Slider()->setValue(1);
  EXPECT_EQ(highlighted(Quality()), Quality()->findText(QStringLiteral("1")));
  Slider()->setValue(33);
  EXPECT_EQ(highlighted(Quality()), -1);
  QComboBox* method = Find<QComboBox>("act_sizemethode");
  EXPECT_EQ(highlighted(method), 0);
  method->setCurrentIndex(2);
  dialog.Sprache(Language::German);
  EXPECT_EQ(method->currentText(), QStringLiteral("Nächster Nachbar"));
  EXPECT_EQ(highlighted(method), 2);
}

TEST_F(OutputSettingsDialogTest, EncodingButtonsSetTheirCodePages) {
  const std::pair<const char*, int> buttons[] = {
      {"rb_ansi", 0},       {"rb_utf7", 65000},    {"rb_utf7ansi", 64999}, {"rb_utf8", 65001},
      {"rb_utf16le", 1200}, {"rb_utf_be", 1201},   {"rb_utf32le", 65005},  {"rb_utf32be", 65006},
      {"rb_ansi", 0},       {"rb_beibehalten", 65001}};
  for (auto [name, codePage] : buttons) {
    // A radio button takes clicks on its circle and caption only.
    QRadioButton* button = Find<QRadioButton>(name);
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
    EXPECT_EQ(core.state.textFileCodePage, codePage) << name;
    int checked = 0;
    for (QRadioButton* b : dialog.findChildren<QRadioButton*>()) checked += b->isChecked() ? 1 : 0;
    EXPECT_EQ(checked, 1) << name;
    EXPECT_TRUE(Find<QRadioButton>(name)->isChecked());
  }
}

TEST_F(OutputSettingsDialogTest, LanguageSwitchKeepsTheChosenResizeMethod) {
  QComboBox* method = Find<QComboBox>("act_sizemethode");
  dialog.Sprache(Language::German);
  EXPECT_EQ(method->currentText(), QStringLiteral("Bikubisch"));
  method->setCurrentIndex(method->findText(QStringLiteral("Nächster Nachbar")));
  EXPECT_EQ(core.settings.Text(Setting::act_sizemethode), u"Nächster Nachbar");
  dialog.Sprache(Language::English);
  EXPECT_EQ(method->currentText(), QStringLiteral("Nearest"));
  QStringList items;
  for (int i = 0; i < method->count(); ++i) items << method->itemText(i);
  EXPECT_EQ(items, (QStringList{"Bicubic", "Bilinear", "Nearest"}));
  core.imageSteps.KonvertierWerteSetzen();
  EXPECT_EQ(core.imageSteps.CurrentResampleFilter(), ResampleFilter::Nearest);
  // Bilinear and a typed name are left as they are.
  method->setCurrentIndex(method->findText(QStringLiteral("Bilinear")));
  dialog.Sprache(Language::German);
  EXPECT_EQ(method->currentText(), QStringLiteral("Bilinear"));
  method->setEditText(QStringLiteral("Nearest neighbour"));
  dialog.Sprache(Language::English);
  EXPECT_EQ(method->currentText(), QStringLiteral("Nearest neighbour"));
}

}  // namespace
}  // namespace tallowin::testing
