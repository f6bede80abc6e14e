#pragma once
// Qt widget tests run offscreen with one QApplication for the whole program.

#include <QApplication>

namespace tallowin::testing {

inline QApplication& TestApplication() {
  static int argc = 1;
  static char name[] = "test_ui";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

}  // namespace tallowin::testing
