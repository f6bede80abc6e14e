#pragma once
// The configuration menu's list of entries and the rules around it: the eight
// fixed entries, the file entries added after a save or load, the captions of
// file entries shortened to a width, the start configuration, the ".twk"
// arguments of the command line and the ".twk" files of the program folder.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tallowin {

inline constexpr std::string_view kConfigurationExtension = ".twk";
inline constexpr std::string_view kStartConfigurationName = "Auto.twk";

struct ConfigMenuEntry {
  std::string name;     // "m_konfig_save", ..., "m_konfig_8" for the first file entry
  std::string caption;  // a file entry's shortened path; empty for the fixed entries (captioned by language)
  std::string hint;     // the full path for m_konfig_start and file entries, else empty
};

class ConfigMenu {
 public:
  // The fixed entries, m_konfig_start carrying the start configuration's path.
  explicit ConfigMenu(const std::string& programFolder);

  const std::vector<ConfigMenuEntry>& Entries() const { return entries_; }
  std::string StartConfigurationPath() const { return startPath_; }
  void SetStartHint(const std::string& path);

  // KonfigurationAddMenu: adds a file entry for `path` unless an entry's hint
  // equals it exactly. `fits` tells whether a caption is narrow enough.
  // Returns the new entry, or nullptr when one was there already.
  const ConfigMenuEntry* Add(const std::string& path, const std::function<bool(std::string_view)>& fits);

 private:
  std::vector<ConfigMenuEntry> entries_;
  std::string startPath_;
};

// The caption of `path` for a menu: folders are dropped from the front, "..."
// standing for them, until `fits` accepts it or only the file name is left.
std::string ShortenConfigPath(std::string_view path, const std::function<bool(std::string_view)>& fits);

// The arguments whose extension (from the last dot, letter case respected) is ".twk", in order.
std::vector<std::string> ConfigurationArguments(const std::vector<std::string>& args);

// The full paths of the files "*.twk" in `folder` (ends with "/"), no folders,
// in the order the file system lists them. The extension is matched without
// regard to letter case, as the wildcard of the program's first platform did.
std::vector<std::string> ListConfigurationFiles(const std::string& folder);

}  // namespace tallowin
