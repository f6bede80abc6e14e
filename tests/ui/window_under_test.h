#pragma once
// A main window attached to a session over the real (offscreen) clipboard, as
// the program builds it, with the start form it belongs to.

#include <memory>
#include <string>

#include "desktop/session.h"
#include "ui/error_report.h"
#include "ui/main_window.h"
#include "ui/start_form.h"
#include "backends/x11_clipboard.h"
#include "ui_test_main.h"

namespace tallowin::testing {

inline SessionOptions WindowSessionOptions(Language language) {
  SessionOptions options;
  options.language = language;
  options.programFolder = u"/nonexistent-test-folder/";
  return options;
}

struct WindowUnderTest {
  explicit WindowUnderTest(Language language = Language::English, std::u16string docsFolder = {})
      : session(WindowSessionOptions(language), [] { return std::make_unique<X11Clipboard>(); }, errors),
        start(language),
        window(std::make_unique<MainWindow>(session, MainWindowOptions{std::move(docsFolder)}, &start)) {}

  QApplication& app = TestApplication();
  MessageBoxErrorSink errors;
  Session session;
  StartForm start;
  std::unique_ptr<MainWindow> window;
};

}  // namespace tallowin::testing
