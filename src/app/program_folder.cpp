#include "app/program_folder.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <system_error>
#include <vector>

#include "base/errors.h"

namespace tallowin {
namespace {

std::string WithSlash(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder.push_back('/');
  return folder;
}

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

std::string AccountHome() {
  std::vector<char> buffer(16384);
  struct passwd entry;
  struct passwd* found = nullptr;
  if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found || !found->pw_dir) {
    return "";
  }
  return found->pw_dir;
}

// Why `folder` may not hold the program's files, or std::nullopt when it may:
// anyone else who can write there could plant the start configuration or
// replace the saved files.
std::optional<std::string> UnsafeFolderReason(const std::string& folder) {
  std::string name = folder;
  if (name.size() > 1 && name.back() == '/') name.pop_back();
  struct stat link;
  if (::lstat(name.c_str(), &link) != 0) return std::string("cannot be examined: ") + std::strerror(errno);
  if (S_ISLNK(link.st_mode) && link.st_uid != ::geteuid()) return std::string("is a link owned by another user");
  struct stat info;
  if (::stat(name.c_str(), &info) != 0) return std::string("cannot be examined: ") + std::strerror(errno);
  if (!S_ISDIR(info.st_mode)) return std::string("is not a folder");
  if (info.st_uid != ::geteuid()) return std::string("is owned by another user");
  if (info.st_mode & (S_IWGRP | S_IWOTH)) return std::string("can be written by other users");
  return std::nullopt;
}

// Creates `folder`'s missing parents as usual and the folder itself for the user
// alone. Returns false when it does not exist afterwards.
bool CreatePrivateFolder(const std::string& folder) {
  std::error_code ignored;
  const std::filesystem::path path(folder);
  std::filesystem::create_directories(path.parent_path().parent_path(), ignored);
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return false;
  struct stat info;
  return ::lstat(folder.substr(0, folder.size() - 1).c_str(), &info) == 0;
}

}  // namespace

ProgramFolderSources ProgramFolderSources::FromProcess(const std::string& executableFolder) {
  ProgramFolderSources s;
  s.tallowinHome = Environment("TALLOWIN_HOME");
  s.executableFolder = executableFolder;
  s.xdgDataHome = Environment("XDG_DATA_HOME");
  s.home = Environment("HOME");
  s.accountHome = AccountHome();
  s.temporaryRoot = Environment("TMPDIR");
  if (s.temporaryRoot.empty() || s.temporaryRoot[0] != '/') s.temporaryRoot = "/tmp";
  return s;
}

std::string ResolveProgramFolder(const ProgramFolderSources& s) {
  if (!s.tallowinHome.empty()) return WithSlash(s.tallowinHome);
  if (!s.executableFolder.empty() && ::access(s.executableFolder.c_str(), W_OK) == 0) {
    return WithSlash(s.executableFolder);
  }
  // Relative settings would depend on the working folder; they are ignored.
  std::vector<std::string> candidates;
  if (!s.xdgDataHome.empty() && s.xdgDataHome[0] == '/') {
    candidates.push_back(WithSlash(s.xdgDataHome) + "tallowin/");
  } else if (!s.home.empty() && s.home[0] == '/') {
    candidates.push_back(WithSlash(s.home) + ".local/share/tallowin/");
  } else if (!s.accountHome.empty() && s.accountHome[0] == '/') {
    candidates.push_back(WithSlash(s.accountHome) + ".local/share/tallowin/");
  }
  candidates.push_back(WithSlash(s.temporaryRoot) + "tallowin-" + std::to_string(::geteuid()) + "/");
  for (const std::string& folder : candidates) {
    if (!CreatePrivateFolder(folder)) continue;
    if (const std::optional<std::string> reason = UnsafeFolderReason(folder)) {
      throw TallowinError("The program folder " + folder + " " + *reason +
                          "; it is not used. Make it a folder of your own that only you can write to, "
                          "or name another one in TALLOWIN_HOME.");
    }
    return folder;
  }
  throw TallowinError("No program folder could be created (tried " + candidates.front() +
                      (candidates.size() > 1 ? " and " + candidates.back() : std::string()) +
                      "); name one in TALLOWIN_HOME.");
}

std::string ResolveProgramFolder(const std::string& executableFolder) {
  return ResolveProgramFolder(ProgramFolderSources::FromProcess(executableFolder));
}

std::string ExecutableFolder(const char* argv0) {
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) {
    if (!argv0) return {};
    exe = std::filesystem::absolute(argv0, ec);
    if (ec) return {};
  }
  return exe.parent_path().string();
}

}  // namespace tallowin
