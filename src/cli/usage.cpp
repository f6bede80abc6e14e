#include "cli/command_line.h"

namespace tallowin {

std::string UsageText() {
  return "Usage:\n"
         "  tallowin [--set KEY=VALUE]... [FILE.twk]...\n"
         "      Start the program: it watches the clipboard and acts on every new content.\n"
         "      --set applies a setting (by its configuration key) when the main window first shows.\n"
         "  tallowin apply [--config FILE.twk]... [--set KEY=VALUE]... [--row SEARCH REPLACE MARKER]...\n"
         "                 [--image] [--output FILE] [INPUT]\n"
         "      Run one capture pass over INPUT (a UTF-8 text file, or an image file with --image;\n"
         "      standard input when absent) and write the resulting clipboard content to standard\n"
         "      output (text as UTF-8) or to FILE (an image as PNG). Exit status 1 for an error the\n"
         "      program would report in its message box, 2 for bad usage.\n"
         "  tallowin formats\n"
         "      List every format on the clipboard as the details list shows it: name, number and\n"
         "      value separated by tabs, control characters written as \\xNN.\n"
         "  tallowin --help | --version\n";
}

std::string VersionText() { return std::string("tallowin ") + TALLOWIN_VERSION + "\n"; }

std::size_t OptionValueCount(std::string_view option) {
  if (option == "--set" || option == "--config" || option == "--output") return 1;
  if (option == "--row") return 3;
  return 0;
}

}  // namespace tallowin
