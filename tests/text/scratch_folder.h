#pragma once
// A fresh, empty folder under the system's temporary folder, removed with
// everything in it when the object goes out of scope.

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "base/utf.h"

namespace tallowin::testing {

class ScratchFolder {
 public:
  ScratchFolder() {
    std::random_device seed;
    path_ = std::filesystem::temp_directory_path() / ("tallowin-text-" + std::to_string(seed()));
    std::filesystem::create_directories(path_);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }

  // The folder or a name inside it, as the UTF-16 text the core takes.
  std::u16string Text(const std::string& name = "") const {
    return Utf8ToUtf16(name.empty() ? path_.string() : (path_ / name).string());
  }

  void CreateFile(const std::string& name, const std::string& content = "old") const {
    std::ofstream(path_ / name, std::ios::binary) << content;
  }

  std::string Read(const std::string& name) const {
    std::ifstream in(path_ / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

 private:
  std::filesystem::path path_;
};

}  // namespace tallowin::testing
