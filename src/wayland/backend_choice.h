#pragma once
// Which clipboard backend the program uses: the Wayland data-control one when
// the session is a Wayland one and its compositor offers the protocol, X11
// (XWayland or a plain X session) otherwise, or the one forced on the command
// line with --clipboard=wayland|x11.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tallowin {

enum class ClipboardChoice { kAuto, kWayland, kX11 };
enum class ClipboardBackendKind { kWayland, kX11, kNone };

// "wayland" or "x11", the value of --clipboard=.
std::optional<ClipboardChoice> ParseClipboardChoice(std::string_view value);

struct BackendDecision {
  ClipboardBackendKind kind = ClipboardBackendKind::kX11;
  // Why a Wayland session falls back to X11 (English, for standard error); empty otherwise.
  std::string notice;
  // Why a forced backend cannot be used; kind is then kNone.
  std::string error;
};

// `waylandSession`: WAYLAND_DISPLAY is set. `probeProblem` connects to the
// compositor and returns why data-control cannot be used, empty when it can;
// it is called only when the answer matters.
BackendDecision DecideClipboardBackend(ClipboardChoice choice, bool waylandSession,
                                       const std::function<std::string()>& probeProblem);

}  // namespace tallowin
