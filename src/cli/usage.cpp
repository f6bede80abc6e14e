#include "cli/command_line.h"

namespace tallowin {

std::string UsageText() {
  return "Usage:\n"
         "  tallowin [--clipboard=wayland|x11] [--set KEY=VALUE]... [FILE.twk]...\n"
         "      Start the program: it watches the clipboard and acts on every new content.\n"
         "      --set applies a setting (by its configuration key) when the main window first shows;\n"
         "      each FILE.twk is loaded as a configuration then, in order, instead of Auto.twk.\n"
         "      --clipboard forces a clipboard: by default the Wayland one when the compositor lets\n"
         "      programs watch it (data-control), else the X11 one.\n"
         "  tallowin apply [--config FILE.twk]... [--set KEY=VALUE]... [--row SEARCH REPLACE MARKER]...\n"
         "                 [--write-config FILE.twk] [--image] [--output FILE] [INPUT]\n"
         "      Run one capture pass over INPUT (a UTF-8 text file, or an image file with --image;\n"
         "      standard input when absent) and write the resulting clipboard content to standard\n"
         "      output (text as UTF-8) or to FILE (an image as PNG). Exit status 1 for an error the\n"
         "      program would report in its message box, 2 for bad usage. --config files are applied\n"
         "      in order, then the --set options; --write-config saves the settings as they then\n"
         "      stand (an existing file is updated in place).\n"
         "  tallowin run [--clipboard=wayland|x11] [--config FILE.twk]... [--set KEY=VALUE]...\n"
         "      Capture without a window: the same actions and file saving on every new clipboard\n"
         "      content, errors written to standard error, until SIGINT or SIGTERM (exit status 0).\n"
         "      The --config files (else Auto.twk of the program folder) and then the --set options\n"
         "      apply after the first look at the clipboard, as when the main window first shows.\n"
         "  tallowin formats [--clipboard=wayland|x11]\n"
         "      List every format on the clipboard as the details list shows it: name, number and\n"
         "      value separated by tabs, control characters written as \\xNN and a backslash\n"
         "      doubled, so every row is one line.\n"
         "  tallowin --help | --version\n";
}

std::string VersionText() { return std::string("tallowin ") + TALLOWIN_VERSION + "\n"; }

ClipboardArgument ReadClipboardArgument(std::string_view argument) {
  constexpr std::string_view kOption = "--clipboard=";
  if (!argument.starts_with(kOption)) return {};
  return {true, ParseClipboardChoice(argument.substr(kOption.size()))};
}

std::size_t OptionValueCount(std::string_view option) {
  if (option == "--set" || option == "--config" || option == "--output" || option == "--write-config") return 1;
  if (option == "--row") return 3;
  return 0;
}

}  // namespace tallowin
