#pragma once
// The program folder: where the start configuration lives and where output goes
// until the user chooses otherwise. Always ends with "/".

#include <string>

namespace tallowin {

// What the choice of the program folder depends on, read from the process by
// FromProcess(); tests fill it in themselves.
struct ProgramFolderSources {
  std::string tallowinHome;     // TALLOWIN_HOME
  std::string executableFolder; // the folder of the running program ("" when unknown)
  std::string xdgDataHome;      // XDG_DATA_HOME
  std::string home;             // HOME
  std::string accountHome;      // the home folder of the user's account
  std::string temporaryRoot;    // TMPDIR, "/tmp" when unset
  static ProgramFolderSources FromProcess(const std::string& executableFolder);
};

// The folder of the running executable, read from /proc/self/exe; when that
// cannot be read, the folder of `argv0` made absolute, or "" without one.
std::string ExecutableFolder(const char* argv0 = nullptr);

// TALLOWIN_HOME when set; else the executable's folder when it is writable; else
// a folder of the user's own: $XDG_DATA_HOME/tallowin/, ~/.local/share/tallowin/
// (HOME, or the account's home when HOME is unset), or, when none of these can
// be created, <temporary root>/tallowin-<uid>/. A folder the program creates
// there gets mode 0700. Such a fallback folder that already exists is used only
// when it is a folder owned by the user and writable by nobody else; otherwise
// TallowinError explains why the program cannot start.
std::string ResolveProgramFolder(const ProgramFolderSources& sources);
std::string ResolveProgramFolder(const std::string& executableFolder);

}  // namespace tallowin
