#include "wayland/backend_choice.h"

namespace tallowin {

std::optional<ClipboardChoice> ParseClipboardChoice(std::string_view value) {
  if (value == "wayland") return ClipboardChoice::kWayland;
  if (value == "x11") return ClipboardChoice::kX11;
  return std::nullopt;
}

BackendDecision DecideClipboardBackend(ClipboardChoice choice, bool waylandSession,
                                       const std::function<std::string()>& probeProblem) {
  BackendDecision decision;
  if (choice == ClipboardChoice::kX11 || (choice == ClipboardChoice::kAuto && !waylandSession)) return decision;
  const std::string problem =
      waylandSession || choice == ClipboardChoice::kWayland ? probeProblem() : std::string("no Wayland session");
  if (problem.empty()) {
    decision.kind = ClipboardBackendKind::kWayland;
  } else if (choice == ClipboardChoice::kWayland) {
    decision.kind = ClipboardBackendKind::kNone;
    decision.error = "--clipboard=wayland: " + problem;
  } else {
    decision.notice = problem +
                      "; the clipboard is watched through X11 (XWayland), which sees the copies of Wayland "
                      "programs only while a window of this program has the focus";
  }
  return decision;
}

}  // namespace tallowin
