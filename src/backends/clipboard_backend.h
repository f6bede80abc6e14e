#pragma once
// Makes the clipboard backend the program runs on (see backend_choice.h).

#include <memory>
#include <string>

#include "clipboard/desktop_clipboard.h"
#include "wayland/backend_choice.h"

namespace tallowin {

struct ChosenBackend {
  std::unique_ptr<DesktopClipboard> clipboard;  // null when `error` is set
  bool wayland = false;
  std::string notice;  // a Wayland session fell back to X11: say so once
  std::string error;   // a forced backend cannot be used
};

// Needs the QGuiApplication (the X11 backend goes through Qt's clipboard, and
// both ask Qt's image readers which pictures they can decode).
ChosenBackend MakeClipboardBackend(ClipboardChoice choice);

}  // namespace tallowin
