#pragma once
// Whether the program runs from an installation (bin/tallowin beside
// share/tallowin/docs/) rather than from a build or an unpacked folder.
//
// An installed executable's folder (/usr/bin, /usr/local/bin) is shared by
// every user of the machine: it must not become anybody's program folder, not
// even when the user (root) could write there. An installed program therefore
// takes the user's own folder ($XDG_DATA_HOME/tallowin/).

#include <string>

namespace tallowin {

bool IsInstalledLayout(const std::string& executableFolder);

// The folder the program folder may be taken from: `executableFolder`, or ""
// (none) for an installed program, so the user's own folder is used.
std::string ProgramFolderCandidate(const std::string& executableFolder);

// The program folder of this process, by the one rule every face (the window,
// `run`, `apply`) follows: ResolveProgramFolder over the candidate above.
// Raises TallowinError when no folder can be used.
std::string StartProgramFolder(const char* argv0 = nullptr);

}  // namespace tallowin
