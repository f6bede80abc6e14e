#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenu>

#include "ui/tray_icon.h"
#include "window_under_test.h"

namespace tallowin::testing {
namespace {

class TrayIconTest : public ::testing::Test {
 protected:
  explicit TrayIconTest(Language language = Language::English) : ui(language), window(ui.window) {}
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
  WindowUnderTest ui;
  std::unique_ptr<MainWindow>& window;
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

  // Switching capture from the tray is switching it in the program, and
  // switching it elsewhere shows in the tray.
  EXPECT_TRUE(window->Core().state.captureActive);
  entries[0]->trigger();
  EXPECT_FALSE(window->Core().state.captureActive);
  EXPECT_FALSE(captureSwitch->isChecked());
  EXPECT_EQ(window->Tray()->Icon()->toolTip(), QStringLiteral("Tallowin - capturing off"));
  entries[0]->trigger();
  EXPECT_TRUE(window->Core().state.captureActive);
  EXPECT_EQ(window->Tray()->Icon()->toolTip(), QStringLiteral("Tallowin - capturing"));

  ui.session.Capture().Set(false);
  EXPECT_FALSE(entries[0]->isChecked());
  EXPECT_EQ(window->Tray()->Icon()->toolTip(), QStringLiteral("Tallowin - capturing off"));
  ui.session.Capture().Set(true);
  EXPECT_TRUE(entries[0]->isChecked());
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
