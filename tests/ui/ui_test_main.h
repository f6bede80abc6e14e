#pragma once
// Qt widget tests run offscreen with one QApplication for the whole program.

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <functional>
#include <optional>

namespace tallowin::testing {

inline QApplication& TestApplication() {
  static int argc = 1;
  static char name[] = "test_ui";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

// Runs `action`; a message box it opens modally is read and closed. Returns the
// box's text, or nothing when no box opened.
inline std::optional<QString> ModalBoxTextDuring(const std::function<void()>& action) {
  std::optional<QString> shown;
  QTimer watch;
  watch.setInterval(5);
  QObject::connect(&watch, &QTimer::timeout, [&shown] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      shown = box->text();
      box->accept();
    }
  });
  watch.start();
  action();
  watch.stop();
  return shown;
}

}  // namespace tallowin::testing
