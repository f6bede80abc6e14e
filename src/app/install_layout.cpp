#include "app/install_layout.h"

#include <filesystem>

#include "app/program_folder.h"

namespace tallowin {

bool IsInstalledLayout(const std::string& executableFolder) {
  if (executableFolder.empty()) return false;
  std::error_code ec;
  const std::filesystem::path bin(executableFolder);
  if (bin.filename() != "bin") return false;
  return std::filesystem::is_regular_file(bin.parent_path() / "share/tallowin/docs/index.html", ec);
}

std::string ProgramFolderCandidate(const std::string& executableFolder) {
  return IsInstalledLayout(executableFolder) ? std::string() : executableFolder;
}

std::string StartProgramFolder(const char* argv0) {
  return ResolveProgramFolder(ProgramFolderCandidate(ExecutableFolder(argv0)));
}

}  // namespace tallowin
