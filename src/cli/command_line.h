#pragma once
// The command-line faces of the program that need no window.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "wayland/backend_choice.h"

namespace tallowin {

// `tallowin apply ...`: one capture pass over a text or image given on the
// command line, printed or written back out. Returns the process exit status:
// 0 done, 1 an error the program would report in its message box, 2 bad usage.
int RunApplyCommand(const std::vector<std::string>& args);

// `tallowin formats`: the rows the details list would show for the current
// clipboard, one per line: name, number and value separated by tabs, each as
// OneLineText writes it (control characters as \xNN, a backslash as \\).
int RunFormatsCommand(const std::vector<std::string>& args);

// `tallowin run [--config FILE.twk]... [--set KEY=VALUE]...`: the capture
// pipeline on the real clipboard without a window, until SIGINT or SIGTERM
// (exit status 0). 1 when it cannot start, 2 for bad usage.
int RunRunCommand(int& argc, char** argv, const std::vector<std::string>& args);

class Clipboard;
std::string DetailsLines(Clipboard& clipboard);

// How many arguments follow `option` as its values: 1 for --set, --config and
// --output, 3 for --row (SEARCH REPLACE MARKER), 0 for anything else. A value
// is never read as an option, even when it reads "--help".
std::size_t OptionValueCount(std::string_view option);

// The one reading of "--clipboard=NAME" for every face: `given` when the
// argument is that option; `choice` the backend it names, unset for an unknown
// name (the face reports "unknown clipboard ARGUMENT" and ends with status 2).
struct ClipboardArgument {
  bool given = false;
  std::optional<ClipboardChoice> choice;
};
ClipboardArgument ReadClipboardArgument(std::string_view argument);

// Usage and version texts shared by the program and its commands.
std::string UsageText();
std::string VersionText();

}  // namespace tallowin
