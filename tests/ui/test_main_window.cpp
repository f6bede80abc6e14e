#include <gtest/gtest.h>

#include <QAccessible>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QMouseEvent>
#include <QTimer>
#include <ctime>
#include <map>
#include <optional>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QStatusBar>
#include <QSplitter>
#include <QTreeView>
#include <QTreeWidget>
#include <QGuiApplication>
#include <QPushButton>
#include <QTemporaryDir>
#include <QFileDialog>
#include <QAbstractItemView>
#include <QStyleOptionViewItem>
#include <QAbstractItemDelegate>

#include "lang/ui_texts.h"
#include "ui/main_window.h"
#include "backends/qt_text.h"
#include "ui/start_form.h"
#include "ui_test_main.h"
#include "window_under_test.h"

namespace tallowin::testing {
namespace {

class MainWindowTest : public ::testing::Test {
 protected:
  template <class W>
  W* Find(const char* name) {
    W* w = window->findChild<W*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  WindowUnderTest built;
  std::unique_ptr<MainWindow>& window = built.window;
};

TEST_F(MainWindowTest, SectionsStackWithOnlyTheClickedBodyOpen) {
  window->show();
  QApplication::processEvents();
  QWidget* headers[6];
  const char* names[6] = {"pa001a", "pa002a", "pa003a", "pa004a", "pa005a", "pa006a"};
  for (int i = 0; i < 6; ++i) headers[i] = Find<QWidget>(names[i]);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(headers[i]->y(), 22 * i) << names[i] << " " << headers[i]->metaObject()->className() << " " << headers[i]->parentWidget()->objectName().toStdString();

  Find<QCheckBox>("cb_textadd")->click();
  QApplication::processEvents();
  EXPECT_TRUE(Find<QWidget>("pa002b")->isVisible());
  EXPECT_EQ(Find<QWidget>("pa002b")->height(), 129);
  EXPECT_EQ(headers[2]->y(), 2 * 22 + 129);
  EXPECT_TRUE(window->Core().settings.Flag(Setting::cb_textadd));

  Find<QCheckBox>("cb_suchenersetzen")->click();
  QApplication::processEvents();
  EXPECT_FALSE(Find<QWidget>("pa002b")->isVisible());
  EXPECT_TRUE(Find<QWidget>("pa001b")->isVisible());
  EXPECT_EQ(headers[1]->y(), 22 + 171);
}

TEST_F(MainWindowTest, WidgetsFollowSettingsChangedElsewhere) {
  CaptureSettings& s = window->Core().settings;
  s.SetText(Setting::act_textadd_vorne, u"line1\r\nline2");
  EXPECT_EQ(Find<QPlainTextEdit>("act_textadd_vorne")->toPlainText(), QStringLiteral("line1\nline2"));
  // Line breaks typed or pasted into a field are stored as LF, the Linux
  // clipboard's line break (a pasted CR LF too).
  Find<QPlainTextEdit>("act_textadd_hinten")->setPlainText(QStringLiteral("a\nb"));
  EXPECT_EQ(s.Text(Setting::act_textadd_hinten), u"a\nb");
  Find<QPlainTextEdit>("act_textadd_hinten")->setPlainText(QStringLiteral("HEAD\r\nx\ny"));
  EXPECT_EQ(s.Text(Setting::act_textadd_hinten), u"HEAD\nx\ny");
  QTest::keyClicks(Find<QPlainTextEdit>("act_ers_text_suchen"), QStringLiteral("p"));
  QTest::keyClick(Find<QPlainTextEdit>("act_ers_text_suchen"), Qt::Key_Return);
  QTest::keyClick(Find<QPlainTextEdit>("act_ers_text_suchen"), Qt::Key_Return, Qt::ShiftModifier);
  QTest::keyClicks(Find<QPlainTextEdit>("act_ers_text_suchen"), QStringLiteral("q"));
  EXPECT_EQ(s.Text(Setting::act_ers_text_suchen), u"p\n\nq");
  s.SetFlag(Setting::cb_history_img, false);
  EXPECT_FALSE(Find<QCheckBox>("cb_history_img")->isChecked());
}

TEST_F(MainWindowTest, TextsAndInitialGeometry) {
  EXPECT_EQ(window->windowTitle(), QStringLiteral("Tallowin - Brannick Media"));
  EXPECT_EQ(Find<QLabel>("Panel7")->text(), QStringLiteral("  History"));
  EXPECT_EQ(Find<QLabel>("Panel9")->text(), QStringLiteral("  Actions"));
  EXPECT_EQ(Find<QLabel>("Panel11")->text(), QStringLiteral("  Clipboard Content"));
  EXPECT_EQ(Find<QCheckBox>("cb_suchenersetzen")->text(), QStringLiteral("Clipboard Text: Search and Replace"));
  EXPECT_EQ(Find<QTreeView>("zuletzt")->model()->headerData(2, Qt::Horizontal).toString(), QStringLiteral("Content"));
  // The program folder became both output folders.
  EXPECT_EQ(window->Core().settings.Text(Setting::savetxt_ordner), u"/nonexistent-test-folder/");
}

TEST_F(MainWindowTest, ResizeRuleSplitsColumnsAndRows) {
  auto* splitter1 = Find<QSplitter>("Splitter1");
  auto* splitter2 = Find<QSplitter>("Splitter2");
  window->show();
  QApplication::processEvents();
  auto sum = [](QSplitter* s) { return s->sizes()[0] + s->sizes()[1]; };
  // Grow the window so that the columns share 755 pixels and the right column's parts 549.
  window->resize(window->width() + 755 - sum(splitter1), window->height() + 549 - sum(splitter2));
  QApplication::processEvents();
  ASSERT_EQ(sum(splitter1), 755);
  ASSERT_EQ(sum(splitter2), 549);
  EXPECT_EQ(splitter1->sizes()[0], 251);
  EXPECT_EQ(splitter2->sizes()[1], 327);
  // A splitter drag holds until the next resize of the window.
  splitter1->setSizes({270, 485});
  EXPECT_EQ(splitter1->sizes()[0], 270);
  window->ApplyResizeRule();
  EXPECT_EQ(splitter1->sizes()[0], 251);
}

TEST_F(MainWindowTest, TypedCharactersAreFilteredPastedOnesAreNot) {
  auto* name = Find<QComboBox>("savetxt_name");
  auto* folder = Find<QLineEdit>("savetxt_ordner");
  auto* margin = Find<QComboBox>("act_zuschlinks");
  name->setEditText(QString());
  QTest::keyClicks(name->lineEdit(), QStringLiteral("a:b*c?d/e"));
  EXPECT_EQ(name->currentText(), QStringLiteral("abcde"));
  folder->clear();
  QTest::keyClicks(folder, QStringLiteral("/data/x\\y|z"));
  EXPECT_EQ(folder->text(), QStringLiteral("/data/xyz"));
  EXPECT_EQ(window->Core().settings.Text(Setting::savetxt_ordner), u"/data/xyz");
  margin->setEditText(QString());
  QTest::keyClicks(margin->lineEdit(), QStringLiteral("1a2-3"));
  EXPECT_EQ(margin->currentText(), QStringLiteral("123"));
  // Text put in any other way is not filtered.
  window->Core().settings.SetText(Setting::act_zuschlinks, u"abc");
  EXPECT_EQ(margin->currentText(), QStringLiteral("abc"));
  QTest::mouseDClick(folder, Qt::LeftButton);
  EXPECT_EQ(folder->selectedText(), QStringLiteral("/data/xyz"));
}

// An editable combo box keeps the focus and passes its keys to its line edit
// directly, so keys sent to the combo box (as a real keyboard does) must be
// filtered there.
TEST_F(MainWindowTest, KeysTypedIntoComboBoxesAreFiltered) {
  const struct {
    const char* box;
    QString typed;
    QString kept;
  } cases[] = {
      {"savetxt_name", QStringLiteral("a\"b*c/d:e<f>g?h\\i|j"), QStringLiteral("abcdefghij")},
      {"savetxt_format", QStringLiteral(".t?x*t"), QStringLiteral(".txt")},
      {"saveimg_name", QStringLiteral("x|y:z"), QStringLiteral("xyz")},
      {"saveimg_format", QStringLiteral("*.p<n>g"), QStringLiteral(".png")},
      {"act_zuschlinks", QStringLiteral("a1b2-"), QStringLiteral("12")},
      {"act_zuschunten", QStringLiteral("9x"), QStringLiteral("9")},
      {"act_sizebenutzer_x", QStringLiteral("a3b3-"), QStringLiteral("33")},
      {"act_sizebenutzer_y", QStringLiteral("3 4"), QStringLiteral("34")},
  };
  window->show();
  QApplication::processEvents();
  for (const auto& c : cases) {
    auto* combo = Find<QComboBox>(c.box);
    combo->setEditText(QString());
    combo->setFocus();
    QTest::keyClicks(combo, c.typed);
    EXPECT_EQ(combo->currentText(), c.kept) << c.box;
  }
  // Backspace passes the digit filter.
  auto* margin = Find<QComboBox>("act_zuschlinks");
  QTest::keyClick(margin, Qt::Key_Backspace);
  EXPECT_EQ(margin->currentText(), QStringLiteral("1"));
  EXPECT_EQ(window->Core().settings.Text(Setting::act_zuschlinks), u"1");
}

// The Delete key of an X11 keyboard brings the character U+007F; like every
// control key it passes the digit filter and deletes.
TEST_F(MainWindowTest, TheDeleteKeyAsX11DeliversItPassesTheDigitFilter) {
  window->show();
  QApplication::processEvents();
  for (const char* box : {"act_zuschlinks", "act_zuschrechts", "act_zuschoben", "act_zuschunten",
                          "act_sizebenutzer_x", "act_sizebenutzer_y"}) {
    auto* combo = Find<QComboBox>(box);
    combo->setEditText(QStringLiteral("123"));
    combo->setFocus();
    combo->lineEdit()->home(false);
    QTest::sendKeyEvent(QTest::Click, combo, Qt::Key_Delete, QStringLiteral("\x7f"), Qt::NoModifier);
    EXPECT_EQ(combo->currentText(), QStringLiteral("23")) << box;
    EXPECT_EQ(window->Core().settings.Text(*FindSetting(box)), u"23") << box;
  }
}

// The row an opened list highlights (selects): the combo box's current item,
// -1 for none.
int HighlightedWhenOpened(QComboBox* combo) {
  combo->showPopup();
  const QModelIndexList selected = combo->view()->selectionModel()->selectedIndexes();
  combo->hidePopup();
  if (selected.isEmpty()) return -1;
  return selected.size() == 1 ? selected.front().row() : -2;
}

// A choice box's current item is the one its text names, or none when no item
// does, whatever set the text: the start, the settings, a language switch or
// typing; so its list opens on that item (and the arrow keys go on from it).
TEST_F(MainWindowTest, AChoiceBoxsCurrentItemIsTheOneItsTextNames) {
  window->show();
  QApplication::processEvents();
  CaptureSettings& s = window->Core().settings;
  auto* imageFormat = Find<QComboBox>("saveimg_format");
  ASSERT_EQ(imageFormat->currentText(), QStringLiteral("*.jpg - JPEG-Image"));
  EXPECT_EQ(HighlightedWhenOpened(imageFormat), imageFormat->findText(QStringLiteral("*.jpg - JPEG-Image")));

  for (const char* name : {"savetxt_name", "savetxt_format", "saveimg_name", "saveimg_format", "act_zuschlinks",
                           "act_zuschrechts", "act_zuschoben", "act_zuschunten", "act_sizebenutzer_x",
                           "act_sizebenutzer_y"}) {
    auto* combo = Find<QComboBox>(name);
    const Setting setting = *FindSetting(name);
    const int start = combo->findText(combo->currentText());
    EXPECT_EQ(combo->currentIndex(), start) << name << " at start";
    const int last = combo->count() - 1;
    ASSERT_GT(last, 0) << name;
    s.SetText(setting, ToU16(combo->itemText(last)));
    EXPECT_EQ(HighlightedWhenOpened(combo), last) << name;
    s.SetText(setting, u"98765");
    EXPECT_EQ(combo->currentText(), QStringLiteral("98765")) << name;
    EXPECT_EQ(HighlightedWhenOpened(combo), -1) << name;
    s.SetText(setting, ToU16(combo->itemText(1)));
    EXPECT_EQ(HighlightedWhenOpened(combo), 1) << name;
  }

  // The items are made anew in the other language; the text's item stays current.
  s.SetText(Setting::saveimg_format, u"*.png - Portable Network Graphics");
  window->Core().language.SwitchLanguage(Language::German);
  EXPECT_EQ(imageFormat->currentIndex(), imageFormat->findText(imageFormat->currentText()));
  EXPECT_GE(imageFormat->currentIndex(), 0);
  window->Core().language.SwitchLanguage(Language::English);

  // Typing: an item's text makes it current, one more key none, and the text and
  // the cursor stay as typed.
  auto* margin = Find<QComboBox>("act_zuschlinks");
  margin->setEditText(QString());
  margin->setFocus();
  QTest::keyClicks(margin, QStringLiteral("250"));
  EXPECT_EQ(margin->currentText(), QStringLiteral("250"));
  EXPECT_EQ(margin->currentIndex(), margin->findText(QStringLiteral("250")));
  QTest::keyClick(margin, Qt::Key_End);
  QTest::keyClicks(margin, QStringLiteral("0"));
  EXPECT_EQ(margin->currentText(), QStringLiteral("2500"));
  EXPECT_EQ(margin->lineEdit()->cursorPosition(), 4);
  EXPECT_EQ(margin->currentIndex(), -1);
  QTest::keyClick(margin, Qt::Key_Left);
  QTest::keyClicks(margin, QStringLiteral("1"));
  EXPECT_EQ(margin->currentText(), QStringLiteral("25010"));
  EXPECT_EQ(margin->lineEdit()->cursorPosition(), 4);
  QTest::keyClick(margin, Qt::Key_Backspace);
  QTest::keyClick(margin, Qt::Key_End);
  QTest::keyClick(margin, Qt::Key_Backspace);
  EXPECT_EQ(margin->currentText(), QStringLiteral("250"));
  EXPECT_EQ(HighlightedWhenOpened(margin), margin->findText(QStringLiteral("250")));
  EXPECT_EQ(s.Text(Setting::act_zuschlinks), u"250");
}

// Both folder pickers start in the folder their box names, or in the nearest
// folder above it that exists; cancelling leaves the box as it was.
TEST_F(MainWindowTest, TheFolderPickerStartsAtTheFolderOfItsBox) {
  QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs, true);  // a QFileDialog the test can read
  QTemporaryDir scratch;
  ASSERT_TRUE(QDir(scratch.path()).mkpath(QStringLiteral("shots/2024")));
  window->show();
  QApplication::processEvents();
  CaptureSettings& s = window->Core().settings;
  const std::pair<Setting, const char*> pickers[] = {{Setting::savetxt_ordner, "savetxt_ordnerwahl"},
                                                     {Setting::saveimg_ordner, "saveimg_ordnerwahl"}};
  const std::pair<QString, QString> starts[] = {
      {scratch.path() + "/shots/2024/", scratch.path() + "/shots/2024"},
      {scratch.path() + "/shots/missing/deeper", scratch.path() + "/shots"},
  };
  for (const auto& [folder, button] : pickers) {
    for (const auto& [text, start] : starts) {
      s.SetText(folder, ToU16(text));
      std::optional<QString> shown;
      QTimer watch;
      watch.setInterval(5);
      QObject::connect(&watch, &QTimer::timeout, [&shown] {
        if (auto* picker = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
          shown = picker->directory().absolutePath();
          picker->reject();
        }
      });
      watch.start();
      Find<QPushButton>(button)->click();
      watch.stop();
      EXPECT_EQ(shown.value_or(QStringLiteral("(no picker)")).toStdString(), start.toStdString())
          << button << " " << text.toStdString();
      EXPECT_EQ(s.Text(folder), ToU16(text)) << button;
    }
  }
  QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs, false);
}

// A box toggled by anything but a click (an accessibility action, a key, the
// program) changes its setting exactly once, with the setting's reactions, and
// a setting shown by the box is not reported back as a second change.
TEST_F(MainWindowTest, EveryStateChangeOfABoxReachesItsSettingOnce) {
  window->show();
  QApplication::processEvents();
  CaptureSettings& s = window->Core().settings;
  std::map<Setting, int> changes;
  ObserverHandle observer = s.AddObserver([&changes](Setting changed) { ++changes[changed]; });
  for (Setting setting : {Setting::act_ers_casesensitive, Setting::cb_textadd, Setting::cb_history_img}) {
    auto* box = Find<QCheckBox>(std::string(Describe(setting).name).c_str());
    const bool before = s.Flag(setting);
    changes.clear();
    box->toggle();
    EXPECT_EQ(s.Flag(setting), !before) << Describe(setting).name;
    EXPECT_EQ(changes[setting], 1) << Describe(setting).name;
    changes.clear();
    s.SetFlag(setting, before);
    EXPECT_EQ(box->isChecked(), before) << Describe(setting).name;
    EXPECT_EQ(changes[setting], 1) << Describe(setting).name;
  }
  // A section switch toggled that way opens its section.
  Find<QCheckBox>("cb_textadd")->setChecked(true);
  QApplication::processEvents();
  EXPECT_TRUE(s.Flag(Setting::cb_textadd));
  EXPECT_TRUE(Find<QWidget>("pa002b")->isVisible());
}

// Read at once after show(): the offscreen screen is smaller than the window
// plus 50 pixels, so the first activation (in the event loop) maximizes it.
TEST_F(MainWindowTest, FirstShowingHasTheClientSizeAndFollowsTheResizeRule) {
  window->show();
  EXPECT_EQ(window->centralWidget()->size(), QSize(758, 569));
  auto* splitter1 = Find<QSplitter>("Splitter1");
  auto* splitter2 = Find<QSplitter>("Splitter2");
  const int rows = splitter2->sizes()[0] + splitter2->sizes()[1];
  const int columns = splitter1->sizes()[0] + splitter1->sizes()[1];
  EXPECT_GT(rows, 500);
  EXPECT_EQ(splitter2->sizes()[1], (rows / 5) * 3);
  EXPECT_EQ(splitter1->sizes()[0], columns / 3);
  EXPECT_EQ(Find<QWidget>("Panel4")->height(), (rows / 5) * 3);
}

TEST_F(MainWindowTest, AProcessedChangeReplacesWhatWasTypedIntoTheTextView) {
  auto* view = Find<QPlainTextEdit>("display_txt");
  QTest::keyClicks(view, QStringLiteral("typed by hand"));
  ASSERT_EQ(view->toPlainText(), QStringLiteral("typed by hand"));
  window->Core().views.ClearText();  // a change without text
  EXPECT_EQ(view->toPlainText(), QString());
  QTest::keyClicks(view, QStringLiteral("again"));
  window->Core().views.ClearText();
  window->Core().views.AddTextLine(MakeSharedText(u"copied"));
  EXPECT_EQ(view->toPlainText(), QStringLiteral("copied\n"));
}

TEST_F(MainWindowTest, RecopiedImageMessageIsCentredOnTheScreen) {
  // The window nearly fills the small offscreen screen, so the two centres are
  // close there; a box owned by the window would be placed over the window
  // (and follow it), so the box must have no owner.
  window->show();
  QApplication::processEvents();
  HistoryModel& history = window->Core().history;
  history.AddImageEntry(10, 10, Language::English, std::tm{});
  history.SetSelected(0, true);
  std::optional<QPoint> centre;
  QWidget* owner = nullptr;
  QTimer watch;
  watch.setInterval(5);
  QObject::connect(&watch, &QTimer::timeout, [&centre, &owner] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      centre = box->frameGeometry().center();
      owner = box->parentWidget();
      box->accept();
    }
  });
  watch.start();
  auto* list = Find<QTreeView>("zuletzt");
  emit list->doubleClicked(list->model()->index(0, 0));
  watch.stop();
  ASSERT_TRUE(centre.has_value());
  EXPECT_EQ(owner, nullptr);
  const QPoint screenCentre = window->screen()->geometry().center();
  EXPECT_LE((*centre - screenCentre).manhattanLength(), 4) << centre->x() << "," << centre->y();
}

// The language menu: one click re-texts the whole window at once, the help
// menus of the other language are hidden, the check mark moves, the file name
// template becomes the new default, and texts the table names come back exactly.
TEST_F(MainWindowTest, LanguageMenuSwitchesEveryTextAtOnce) {
  QAction* german = Find<QAction>("einst_spr_de");
  QAction* english = Find<QAction>("einst_spr_en");
  ASSERT_TRUE(german->isEnabled());
  EXPECT_TRUE(english->isChecked());
  window->Core().settings.SetText(Setting::savetxt_name, u"mine %num%");
  const struct {
    QAction* entry;
    Language language;
  } steps[] = {{german, Language::German}, {english, Language::English}, {german, Language::German}};
  for (const auto& step : steps) {
    step.entry->trigger();
    const bool de = step.language == Language::German;
    EXPECT_EQ(german->isChecked(), de);
    EXPECT_EQ(english->isChecked(), !de);
    for (const UiTextRow& row : UiTextTable()) {
      if (row.window != "Tprog" || row.control.find('.') != std::string_view::npos) continue;
      const QString name = QString::fromLatin1(row.control.data(), static_cast<qsizetype>(row.control.size()));
      QObject* control = window->findChild<QObject*>(name);
      if (!control || row.control == "Tprog") continue;  // texts of entries made when shown (pop1, pop2)
      QString shown;
      if (auto* b = qobject_cast<QAbstractButton*>(control)) shown = b->text();
      if (auto* l = qobject_cast<QLabel*>(control)) shown = l->text();
      if (auto* a = qobject_cast<QAction*>(control)) shown = a->text();
      if (auto* m = qobject_cast<QMenu*>(control)) shown = m->title();
      EXPECT_EQ(shown, ToQString(row.In(step.language))) << row.control;
    }
    EXPECT_EQ(Find<QTreeView>("zuletzt")->model()->headerData(1, Qt::Horizontal).toString(),
              de ? QStringLiteral("Art") : QStringLiteral("Type"));
    EXPECT_EQ(Find<QTreeView>("zuletzt")->accessibleName(), de ? QStringLiteral("Verlauf") : QStringLiteral("History"));
    EXPECT_EQ(Find<QTreeWidget>("liste")->headerItem()->text(2), de ? QStringLiteral("Wert") : QStringLiteral("Value"));
    EXPECT_EQ(Find<QComboBox>("saveimg_format")->lineEdit()->accessibleName(),
              de ? QStringLiteral("Dateiformat für Bilder (Eingabe)") : QStringLiteral("File format for images (typed text)"));
    EXPECT_EQ(Find<QMenu>("Hilfe1")->menuAction()->isVisible(), de);
    EXPECT_EQ(Find<QMenu>("m_soft_de")->menuAction()->isVisible(), de);
    EXPECT_EQ(Find<QMenu>("Information1")->menuAction()->isVisible(), !de);
    EXPECT_EQ(Find<QMenu>("m_soft_en")->menuAction()->isVisible(), !de);
    EXPECT_EQ(Find<QComboBox>("savetxt_name")->currentText(),
              de ? QStringLiteral("Text aus der Zwischenablage %num%") : QStringLiteral("Clipboard Text %num%"));
    EXPECT_EQ(Find<QComboBox>("saveimg_format")->currentText(),
              de ? QStringLiteral("*.jpg - JPEG-Bild") : QStringLiteral("*.jpg - JPEG-Image"));
    EXPECT_EQ(Find<QComboBox>("saveimg_format")->itemText(13),
              de ? QStringLiteral("*.psd - Photoshop Bild") : QStringLiteral("*.psd - Photoshop Image"));
    EXPECT_EQ(window->DocPath(QStringLiteral("index.html")).endsWith(QStringLiteral("index_de.html")), de);
  }
}

TEST_F(MainWindowTest, TheStatusLineSaysSoWhileTheClipboardConnectionIsLost) {
  const auto lost = [](Language language) { return ToQString(UiText("Tprog", "statusBar.waylandLost", language)); };
  window->ShowClipboardConnection(true);
  QStatusBar* bar = window->statusBar();
  EXPECT_EQ(bar->currentMessage(), lost(Language::English));
  Find<QAction>("einst_spr_de")->trigger();
  EXPECT_EQ(bar->currentMessage(), lost(Language::German));
  window->ShowClipboardConnection(false);
  EXPECT_EQ(bar->currentMessage(), QString());
  Find<QAction>("einst_spr_en")->trigger();
  EXPECT_EQ(bar->currentMessage(), QString());
}

// What a screen reader reads: every control that can take the focus has a
// name, and no two have the same, in both languages.
TEST(MainWindowNames, EveryFocusableControlHasItsOwnName) {
  TestApplication();
  for (Language language : {Language::English, Language::German}) {
    WindowUnderTest built(language);
    MainWindow& window = *built.window;
    std::map<QString, QString> owners;
    for (QWidget* w : window.findChildren<QWidget*>()) {
      if (w->focusPolicy() == Qt::NoFocus || w->focusProxy()) continue;
      QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
      ASSERT_NE(a, nullptr);
      const QString name = a->text(QAccessible::Name);
      const QString who = QString::fromLatin1(w->metaObject()->className()) + " " + w->objectName() + " in " +
                          (w->parentWidget() ? w->parentWidget()->objectName() : QString());
      EXPECT_FALSE(name.isEmpty()) << who.toStdString();
      if (name.isEmpty()) continue;
      const auto [it, fresh] = owners.emplace(name, who);
      EXPECT_TRUE(fresh) << name.toStdString() << ": " << who.toStdString() << " and " << it->second.toStdString();
    }
  }
}

TEST(MainWindowHelp, PagesOpenInTheInterfaceLanguage) {
  TestApplication();
  for (Language language : {Language::English, Language::German}) {
    WindowUnderTest built(language, ToU16(QStringLiteral(TALLOWIN_SOURCE_DIR "/docs/")));
    MainWindow& window = *built.window;
    for (const QString& page : QDir(QStringLiteral(TALLOWIN_SOURCE_DIR "/docs/")).entryList({"*.html"})) {
      if (page.endsWith(QLatin1String("_de.html"))) continue;
      const QString path = window.DocPath(page);
      EXPECT_TRUE(QFileInfo::exists(path)) << path.toStdString();
      EXPECT_EQ(path.endsWith(QLatin1String("_de.html")), language == Language::German) << path.toStdString();
    }
  }
}

// Without a browser that can be started, a help menu entry or a link says so
// in the message box instead of doing nothing. (Qt's offscreen platform, which
// these tests run on, opens no pages at all.)
TEST(MainWindowHelp, WithoutABrowserTheHelpEntriesAndLinksSaySo) {
  TestApplication();
  if (QGuiApplication::platformName() != QLatin1String("offscreen")) GTEST_SKIP() << "needs a platform without a browser";
  const QString docs = QStringLiteral(TALLOWIN_SOURCE_DIR "/docs/");
  for (Language language : {Language::English, Language::German}) {
    WindowUnderTest built(language, ToU16(docs));
    MainWindow& window = *built.window;
    const bool de = language == Language::German;
    const std::pair<const char*, const char*> entries[] = {
        {de ? "Hilfe1_index" : "Information1_index", de ? "index_de.html" : "index.html"},
        {de ? "Hilfe1_regex" : "Information1_regex", de ? "regex_de.html" : "regex.html"},
        {de ? "m_soft_de_about" : "m_soft_en_about", de ? "about_de.html" : "about.html"},
        {"m_bugreport", de ? "support_de.html" : "support.html"},
    };
    const QString said = de ? QStringLiteral("Es konnte kein Webbrowser gestartet werden, um die Seite %1 anzuzeigen.")
                            : QStringLiteral("No web browser could be started to show the page %1.");
    for (const auto& [entry, page] : entries) {
      QAction* action = window.findChild<QAction*>(QString::fromLatin1(entry));
      ASSERT_NE(action, nullptr) << entry;
      const std::optional<QString> box = ModalBoxTextDuring([action] { action->trigger(); });
      EXPECT_EQ(box.value_or(QStringLiteral("(no box)")).toStdString(), said.arg(docs + page).toStdString()) << entry;
    }
    auto* footer = window.findChild<QLabel*>(QStringLiteral("laspenden"));
    ASSERT_NE(footer, nullptr);
    const std::optional<QString> box =
        ModalBoxTextDuring([footer] { emit footer->linkActivated(QStringLiteral("donate.html")); });
    EXPECT_EQ(box.value_or(QStringLiteral("(no box)")).toStdString(),
              said.arg(docs + (de ? "donate_de.html" : "donate.html")).toStdString());
  }
}

TEST(StartFormWindow, IsASplashWindowWithoutTaskbarEntry) {
  TestApplication();
  StartForm start(Language::English);
  EXPECT_EQ(start.windowType(), Qt::SplashScreen);
}

// Events other than mouse events reach the image view too (showing, painting,
// entering); none of them may be read as a mouse event.
TEST_F(MainWindowTest, ImageViewTakesEveryKindOfEvent) {
  window->show();
  QApplication::processEvents();
  auto* image = Find<QWidget>("display_img");
  QEvent enter(QEvent::Enter);
  QApplication::sendEvent(image, &enter);
  QResizeEvent resize(QSize(20, 20), QSize(10, 10));
  QApplication::sendEvent(image, &resize);
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(1, 1), QPointF(101, 201), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QApplication::sendEvent(image, &press);
  EXPECT_EQ(window->Core().views.DragOrigin().x, 101);
  EXPECT_EQ(window->Core().views.DragOrigin().y, 201);
}

TEST_F(MainWindowTest, F3TogglesCapturing) {
  window->show();
  window->activateWindow();
  QApplication::processEvents();
  EXPECT_TRUE(window->Core().state.captureActive);
  QTest::keyClick(window.get(), Qt::Key_F3);
  EXPECT_FALSE(window->Core().state.captureActive);
  QTest::keyClick(window.get(), Qt::Key_F3);
  EXPECT_TRUE(window->Core().state.captureActive);
}

TEST_F(MainWindowTest, OutputSettingsEntryOpensOneDialogCentredOnTheWindowSharingItsSettings) {
  window->show();
  QApplication::processEvents();
  QAction* entry = Find<QAction>("einst_akt");
  ASSERT_NE(entry, nullptr);
  EXPECT_TRUE(entry->isEnabled());
  entry->trigger();
  QApplication::processEvents();
  auto* dialog = window->findChild<QDialog*>(QStringLiteral("Teinstausgabe"));
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_LE((dialog->frameGeometry().center() - window->frameGeometry().center()).manhattanLength(), 4);
  auto* progressive = dialog->findChild<QCheckBox*>(QStringLiteral("progressivaktiv"));
  ASSERT_NE(progressive, nullptr);
  progressive->click();
  EXPECT_FALSE(window->Core().settings.Flag(Setting::progressivaktiv));
  dialog->close();
  entry->trigger();
  EXPECT_EQ(window->findChildren<QDialog*>(QStringLiteral("Teinstausgabe")).size(), 1);
  EXPECT_TRUE(dialog->isVisible());
}

// Another face (a tray) flips the session's switch: the menu entry shows it, and
// F3 then turns it back from there.
TEST_F(MainWindowTest, TheMenuEntryFollowsTheSessionsCaptureSwitch) {
  window->show();
  window->activateWindow();
  QApplication::processEvents();
  auto* entry = window->findChild<QAction*>(QStringLiteral("m_einst_aktiv"));
  ASSERT_NE(entry, nullptr);
  built.session.Capture().Set(false);
  EXPECT_FALSE(entry->isChecked());
  QTest::keyClick(window.get(), Qt::Key_F3);
  EXPECT_TRUE(built.session.Capture().On());
  EXPECT_TRUE(entry->isChecked());
}

// The text view lays out what it is given whole, so a long text is given only
// its beginning, with a note under it; a short one is shown exactly, no note.
// The details cell of a long value gets its beginning too.
TEST_F(MainWindowTest, TheTextViewHoldsTheBeginningOfALongTextAndSaysSo) {
  window->Core().state.captureActive = false;  // the start-up pass must not clear what is set here
  window->show();
  ContentViewsModel& views = window->Core().views;
  auto* view = Find<QPlainTextEdit>("display_txt");
  auto* note = Find<QLabel>("display_txt_cut");

  views.ClearText();
  views.AddTextLine(MakeSharedText(u"short\nline"));
  QApplication::processEvents();
  EXPECT_EQ(view->toPlainText(), QStringLiteral("short\nline\n"));
  EXPECT_FALSE(note->isVisible());

  std::u16string text(3'000'000, u'x');
  for (std::size_t i = 0; i < text.size(); i += 97) text[i] = u'a' + static_cast<char16_t>(i % 26);
  views.ClearText();
  views.AddTextLine(MakeSharedText(text));
  QApplication::processEvents();
  EXPECT_EQ(view->toPlainText(), ToQString(text.substr(0, 65536)));
  EXPECT_TRUE(note->isVisible());
  EXPECT_EQ(note->text(), QStringLiteral("The text view shows the first 65,536 of 3,000,002 characters."));

  DetailsModel& details = window->Core().details;
  details.Clear();
  details.Append({u"UNICODETEXT", kFormatUnicodeText, FormatValue::Utf16(MakeSharedText(text))});
  QApplication::processEvents();
  auto* list = Find<QTreeWidget>("liste");
  ASSERT_EQ(list->topLevelItemCount(), 1);
  EXPECT_EQ(list->topLevelItem(0)->text(2), ToQString(text.substr(0, 4096)));

  views.ClearText();
  QApplication::processEvents();
  EXPECT_TRUE(view->toPlainText().isEmpty());
  EXPECT_FALSE(note->isVisible());
}

// A details cell shows one line: a binary value (a picture in a format nothing
// decodes, here as 8-bit text) and a text with line breaks show their control
// characters as escapes, and every row keeps the height of one line of text.
TEST_F(MainWindowTest, DetailsCellsShowValuesOnOneLine) {
  window->Core().state.captureActive = false;
  window->show();
  DetailsModel& details = window->Core().details;
  details.Clear();
  const std::string binary("\x89PNG\r\n\x1A\n\0\0\0\rIHDR\0\0\x01\0", 20);
  details.Append({u"application/x-qt-image", 49161, FormatValue::EightBit(std::make_shared<const std::string>(binary))});
  details.Append({u"UNICODETEXT", kFormatUnicodeText, FormatValue(u"first line\r\nsecond\tline\n\u2028third\\")});
  details.Append({u"TEXT", 1, FormatValue(u"x")});
  auto* list = Find<QTreeWidget>("liste");
  window->Core().views.ShowPage(ContentPage::Details);
  QApplication::processEvents();
  ASSERT_EQ(list->topLevelItemCount(), 3);
  EXPECT_EQ(list->topLevelItem(0)->text(2),
            QStringLiteral("\u2030PNG\\x0D\\x0A\\x1A\\x0A\\x00\\x00\\x00\\x0DIHDR\\x00\\x00\\x01\\x00"));
  EXPECT_EQ(list->topLevelItem(1)->text(2),
            QStringLiteral("first line\\x0D\\x0Asecond\\x09line\\x0A\\u2028third\\\\"));
  const int oneLine = list->visualItemRect(list->topLevelItem(2)).height();
  EXPECT_LT(oneLine, 2 * list->fontMetrics().height());
  for (int row = 0; row < 2; ++row) {
    EXPECT_EQ(list->visualItemRect(list->topLevelItem(row)).height(), oneLine) << row;
    // Drawn without uniform heights too, a cell asks for one line.
    EXPECT_LT(list->itemDelegate()->sizeHint(QStyleOptionViewItem(), list->model()->index(row, 2)).height(),
              2 * list->fontMetrics().height())
        << row;
  }
}

// The image view shows the raster's pixels (blue, green, red, alpha in memory)
// with their colours, as painted on the screen.
TEST_F(MainWindowTest, TheImageViewShowsTheRastersColours) {
  window->Core().state.captureActive = false;
  window->show();
  RasterImage raster = CreateRaster(3, 2);
  for (std::size_t i = 0; i < raster.pixels.size(); i += 4) {
    raster.pixels[i] = static_cast<std::uint8_t>(10 * i);       // blue
    raster.pixels[i + 1] = static_cast<std::uint8_t>(5 * i + 1);  // green
    raster.pixels[i + 2] = static_cast<std::uint8_t>(200 - i);    // red
    raster.pixels[i + 3] = 255;
  }
  window->Core().views.ShowImage(raster);
  QApplication::processEvents();
  auto* view = Find<QWidget>("display_img");
  ASSERT_EQ(view->size(), QSize(3, 2));
  const QImage shown = view->grab().toImage();
  ASSERT_EQ(shown.size(), QSize(3, 2));
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x) {
      const std::size_t i = 4 * static_cast<std::size_t>(y * 3 + x);
      EXPECT_EQ(shown.pixel(x, y), qRgba(raster.pixels[i + 2], raster.pixels[i + 1], raster.pixels[i], 255))
          << x << "," << y;
    }
  }
}

}  // namespace
}  // namespace tallowin::testing
