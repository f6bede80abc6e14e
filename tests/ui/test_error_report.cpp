#include <gtest/gtest.h>

#include <QDialog>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <vector>

#include "ui/error_report.h"
#include "ui_test_main.h"

namespace tallowin::testing {
namespace {

std::vector<QMessageBox*> OpenBoxes() {
  std::vector<QMessageBox*> boxes;
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) boxes.push_back(box);
  }
  for (QWidget* w : QApplication::allWidgets()) {
    auto* box = qobject_cast<QMessageBox*>(w);
    if (box && box->isVisible() && box->parentWidget() &&
        std::find(boxes.begin(), boxes.end(), box) == boxes.end()) {
      boxes.push_back(box);
    }
  }
  return boxes;
}

// Runs `inside` once from the event loop of the first box that opens, then
// closes every open box. A box left open by a fault (one opened inside `inside`,
// whose event loop blocks it) is closed by a second timer after two seconds, so a
// failing test does not hang: a timer's slot is not entered again while it runs.
void ShowAndRunInside(const QString& message, const std::function<void()>& inside) {
  bool started = false;
  bool done = false;
  QElapsedTimer since;
  since.start();
  QTimer watch;
  watch.setInterval(5);
  QObject::connect(&watch, &QTimer::timeout, [&] {
    if (!started && QApplication::activeModalWidget()) {
      started = true;
      inside();
      done = true;
    }
    if (done) {
      for (QMessageBox* box : OpenBoxes()) box->accept();
    }
  });
  QTimer safety;
  safety.setInterval(50);
  QObject::connect(&safety, &QTimer::timeout, [&] {
    if (since.elapsed() > 2000) {
      for (QMessageBox* box : OpenBoxes()) box->accept();
    }
  });
  watch.start();
  safety.start();
  ShowErrorReport(message);
  watch.stop();
  safety.stop();
}

class ErrorReportTest : public ::testing::Test {
 protected:
  ErrorReportTest() { SetErrorReportLanguage(Language::English); }
  ~ErrorReportTest() override { SetErrorReportLanguage(Language::English); }
  QApplication& app = TestApplication();
};

TEST_F(ErrorReportTest, RepeatsWhileTheBoxIsOpenAreCountedInIt) {
  const QString message = QStringLiteral("Cannot create file \"/ro/Clipboard Text 1.txt\". Permission denied");
  std::size_t open = 0;
  QString shown;
  ShowAndRunInside(message, [&] {
    for (int i = 0; i < 3; ++i) ShowErrorReport(message);  // each returns at once
    open = OpenBoxes().size();
    shown = OpenBoxes().empty() ? QString() : OpenBoxes().front()->text();
  });
  EXPECT_EQ(open, 1u);
  EXPECT_EQ(shown, message + QStringLiteral(".\n\n(repeated 3 times)"));

  // Once the box is closed, the same error opens a new box with the plain text.
  ShowAndRunInside(message, [&] { shown = OpenBoxes().empty() ? QString() : OpenBoxes().front()->text(); });
  EXPECT_EQ(shown, message + QStringLiteral("."));
}

// One box at a time: other errors raised while it is open (a burst of failing
// saves, each naming its own file) are counted into it, the last one named.
TEST_F(ErrorReportTest, OtherErrorsAreCountedIntoTheOpenBoxAndTheLinesFollowTheLanguage) {
  SetErrorReportLanguage(Language::German);
  std::size_t open = 0;
  QString shown;
  ShowAndRunInside(QStringLiteral("first"), [&] {
    ShowErrorReport(QStringLiteral("first"));
    for (int i = 2; i <= 600; ++i) ShowErrorReport(QStringLiteral("Cannot create file \"x%1.txt\"").arg(i));
    open = OpenBoxes().size();
    shown = OpenBoxes().empty() ? QString() : OpenBoxes().front()->text();
  });
  EXPECT_EQ(open, 1u);
  EXPECT_EQ(shown, QStringLiteral("first.\n\n(1-mal wiederholt)\n(und 599 weitere Fehler, zuletzt: "
                                  "Cannot create file \"x600.txt\")"));

  SetErrorReportLanguage(Language::English);
  ShowAndRunInside(QStringLiteral("first"), [&] {
    ShowErrorReport(QStringLiteral("second"));
    shown = OpenBoxes().empty() ? QString() : OpenBoxes().front()->text();
  });
  EXPECT_EQ(shown, QStringLiteral("first.\n\n(and 1 more error: second.)"));
}

// A dialog that stays on top must not hide the box its own button raised.
TEST_F(ErrorReportTest, TheBoxStandsOverTheActiveWindow) {
  QDialog dialog(nullptr, Qt::Dialog | Qt::WindowStaysOnTopHint);
  dialog.resize(200, 100);
  dialog.show();
  dialog.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
  QWidget* owner = nullptr;
  ShowAndRunInside(QStringLiteral("'$zz' is not a valid integer value"), [&] {
    if (!OpenBoxes().empty()) owner = OpenBoxes().front()->parentWidget();
  });
  EXPECT_EQ(owner, &dialog);
}

}  // namespace
}  // namespace tallowin::testing
