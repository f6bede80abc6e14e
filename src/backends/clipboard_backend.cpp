#include "backends/clipboard_backend.h"

#include <cstdlib>

#include "backends/x11_clipboard.h"
#include "backends/wayland_clipboard.h"

namespace tallowin {

ChosenBackend MakeClipboardBackend(ClipboardChoice choice) {
  const char* display = std::getenv("WAYLAND_DISPLAY");
  std::unique_ptr<WaylandDataControl> connection;
  const BackendDecision decision =
      DecideClipboardBackend(choice, display && *display, [&connection]() -> std::string {
        connection = std::make_unique<WaylandDataControl>();
        return connection->Protocol() == DataControlProtocol::kNone ? connection->Problem() : std::string();
      });
  ChosenBackend backend;
  backend.notice = decision.notice;
  backend.error = decision.error;
  if (decision.kind == ClipboardBackendKind::kWayland) {
    backend.clipboard = std::make_unique<WaylandClipboard>(std::move(connection));
    backend.wayland = true;
  } else if (decision.kind == ClipboardBackendKind::kX11) {
    backend.clipboard = std::make_unique<X11Clipboard>();
  }
  return backend;
}

}  // namespace tallowin
