#pragma once
// The program folder: where the start configuration lives and where output goes
// until the user chooses otherwise. Always ends with "/".

#include <string>

namespace tallowin {

// TALLOWIN_HOME when set; else the executable's folder when it is writable; else
// $XDG_DATA_HOME/tallowin/ (default ~/.local/share/tallowin/), created on demand.
std::string ResolveProgramFolder(const std::string& executableFolder);

// The interface language chosen by marker files "de" and "en" in `folder`: "de" wins.
bool GermanMarkerPresent(const std::string& folder);

}  // namespace tallowin
