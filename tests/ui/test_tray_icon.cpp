#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenu>

#include "ui/main_window.h"
#include "ui/start_form.h"
#include "ui/tray_icon.h"
#include "ui_test_main.h"

namespace tallowin::testing {
namespace {

class TrayIconTest : public ::testing::Test {
 protected:
  explicit TrayIconTest(Language language = Language::English) : start(language) {
    MainWindowOptions options;
    options.language = language;
    options.programFolder = u"/nonexistent-test-folder/";
    window = std::make_unique<MainWindow>(options, &start);
  }
  QAction* MainAction(const char* name) {
    return window->findChild<QAction*>(QString::fromLatin1(name));
  }
  QList<QAction*> Entries() {
    QList<QAction*> entries;
    for (QAction* a : window->Tray()->Menu()->actions()) {
      if (!a->isSeparator()) entries.push_back(a);
    }
    return entries;
  }
  QApplication& app = TestApplication();
  StartForm start;
  std::unique_ptr<MainWindow> window;
};

TEST_F(TrayIconTest, MenuSharesTheCaptureSwitchAndCloseOfTheMainWindow) {
  ASSERT_NE(window->Tray(), nullptr);
  const QList<QAction*> entries = Entries();
  ASSERT_EQ(entries.size(), 3);
  QAction* captureSwitch = MainAction("m_einst_aktiv");
  ASSERT_NE(captureSwitch, nullptr);
  EXPECT_EQ(entries[0], captureSwitch);
  EXPECT_EQ(entries[1], window->Tray()->ShowHideAction());
  EXPECT_EQ(entries[2], MainAction("m_close"));
  EXPECT_EQ(entries[0]->text(), QStringLiteral("Clipboard-Exploring active"));
  EXPECT_EQ(entries[2]->text(), QStringLiteral("Close"));

  // Switching capture from the tray is switching it in the program.
  EXPECT_TRUE(window->Core().state.captureActive);
  entries[0]->trigger();
  EXPECT_FALSE(window->Core().state.captureActive);
  EXPECT_FALSE(captureSwitch->isChecked());
  EXPECT_EQ(window->Tray()->Icon()->toolTip(), QStringLiteral("Tallowin - capturing off"));
  entries[0]->trigger();
  EXPECT_TRUE(window->Core().state.captureActive);
  EXPECT_EQ(window->Tray()->Icon()->toolTip(), QStringLiteral("Tallowin - capturing"));
}

TEST_F(TrayIconTest, ShowHideFollowsTheWindowHoweverItWasShownOrHidden) {
  QAction* showHide = window->Tray()->ShowHideAction();
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(showHide->text(), QStringLiteral("Show window"));

  showHide->trigger();
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(showHide->text(), QStringLiteral("Hide window"));

  showHide->trigger();
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(showHide->text(), QStringLiteral("Show window"));

  // Shown by other means (the splash timer does this): the caption follows.
  window->show();
  QApplication::processEvents();
  EXPECT_EQ(showHide->text(), QStringLiteral("Hide window"));
  window->hide();
  QApplication::processEvents();
  EXPECT_EQ(showHide->text(), QStringLiteral("Show window"));
}

class GermanTrayIconTest : public TrayIconTest {
 protected:
  GermanTrayIconTest() : TrayIconTest(Language::German) {}
};

TEST_F(GermanTrayIconTest, EntriesAreGerman) {
  const QList<QAction*> entries = Entries();
  ASSERT_EQ(entries.size(), 3);
  EXPECT_EQ(entries[0]->text(), QStringLiteral("Clipboard-Erfassung aktiv"));
  EXPECT_EQ(entries[1]->text(), QStringLiteral("Fenster anzeigen"));
  EXPECT_EQ(entries[2]->text(), QStringLiteral("Beenden"));
  EXPECT_EQ(window->Tray()->Icon()->toolTip(), QStringLiteral("Tallowin - Erfassung aktiv"));
}

}  // namespace
}  // namespace tallowin::testing
