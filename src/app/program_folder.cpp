#include "app/program_folder.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace tallowin {
namespace {

std::string WithSlash(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder.push_back('/');
  return folder;
}

}  // namespace

std::string ResolveProgramFolder(const std::string& executableFolder) {
  if (const char* home = std::getenv("TALLOWIN_HOME"); home && *home) return WithSlash(home);
  if (!executableFolder.empty() && ::access(executableFolder.c_str(), W_OK) == 0) return WithSlash(executableFolder);
  std::string data;
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) {
    data = xdg;
  } else if (const char* user = std::getenv("HOME"); user && *user) {
    data = std::string(user) + "/.local/share";
  } else {
    data = "/tmp";
  }
  const std::string folder = WithSlash(data) + "tallowin/";
  std::error_code ignored;
  std::filesystem::create_directories(folder, ignored);
  return folder;
}

bool GermanMarkerPresent(const std::string& folder) {
  std::error_code ignored;
  const std::string marker = WithSlash(folder.empty() ? "." : folder) + "de";
  return std::filesystem::exists(marker, ignored) && !std::filesystem::is_directory(marker, ignored);
}

}  // namespace tallowin
