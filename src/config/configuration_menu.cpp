#include "config/configuration_menu.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cctype>

namespace tallowin {

ConfigMenu::ConfigMenu(const std::string& programFolder)
    : startPath_(programFolder + std::string(kStartConfigurationName)) {
  for (const char* name : {"m_konfig_save", "m_konfig_save_start", "m_konfig_load", "N3", "m_konfig_autosave", "N4",
                           "m_konfig_standard", "m_konfig_start"}) {
    entries_.push_back({name, "", ""});
  }
  entries_.back().hint = startPath_;
}

void ConfigMenu::SetStartHint(const std::string& path) { entries_[7].hint = path; }

const ConfigMenuEntry* ConfigMenu::Add(const std::string& path, const std::function<bool(std::string_view)>& fits) {
  for (const ConfigMenuEntry& e : entries_) {
    if (e.hint == path) return nullptr;
  }
  entries_.push_back({"m_konfig_" + std::to_string(entries_.size()), ShortenConfigPath(path, fits), path});
  return &entries_.back();
}

std::string ShortenConfigPath(std::string_view path, const std::function<bool(std::string_view)>& fits) {
  const std::size_t cut = path.find_last_of("/:");
  std::string folder(cut == std::string_view::npos ? std::string_view() : path.substr(0, cut + 1));
  const std::string file(cut == std::string_view::npos ? path : path.substr(cut + 1));
  std::string drive;
  if (folder.size() >= 2 && folder[1] == ':') {
    drive = folder.substr(0, 2);
    folder.erase(0, 2);
  }
  std::string caption = drive + folder + file;
  while (!fits(caption) && (!folder.empty() || !drive.empty())) {
    if (folder == "/.../") {
      drive.clear();
      folder = ".../";
    } else if (folder.empty()) {
      drive.clear();
    } else if (folder == "/") {
      folder.clear();
    } else {
      const bool rooted = folder.front() == '/';
      if (rooted) folder.erase(0, 1);
      if (!folder.empty() && folder.front() == '.') folder.erase(0, std::min<std::size_t>(4, folder.size()));
      const std::size_t slash = folder.find('/');
      folder = slash == std::string::npos ? std::string() : ".../" + folder.substr(slash + 1);
      if (rooted) folder.insert(0, "/");
    }
    caption = drive + folder + file;
  }
  return caption;
}

std::vector<std::string> ConfigurationArguments(const std::vector<std::string>& args) {
  std::vector<std::string> files;
  for (const std::string& a : args) {
    const std::size_t dot = a.rfind('.');
    if (dot != std::string::npos && a.compare(dot, std::string::npos, kConfigurationExtension) == 0) {
      files.push_back(a);
    }
  }
  return files;
}

std::vector<std::string> ListConfigurationFiles(const std::string& folder) {
  std::vector<std::string> files;
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return files;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.size() < kConfigurationExtension.size()) continue;
    bool match = true;
    for (std::size_t i = 0; i < kConfigurationExtension.size(); ++i) {
      const char c = name[name.size() - kConfigurationExtension.size() + i];
      match = match && std::tolower(static_cast<unsigned char>(c)) == kConfigurationExtension[i];
    }
    if (!match) continue;
    const std::string full = folder + name;
    struct stat info;
    if (::stat(full.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) continue;
    files.push_back(full);
  }
  ::closedir(dir);
  return files;
}

}  // namespace tallowin
