#include "text/output_naming.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>

#include "text/replace_all.h"
#include "base/utf.h"

// Paths arrive as UTF-16 and are converted to UTF-8 only where they meet the
// file system. A path holding U+0000 never reaches it: the C interfaces would
// silently cut it there and act on a different path.

namespace tallowin {
namespace {

constexpr char16_t kSeparator = u'/';
constexpr std::u16string_view kNumPlaceholder = u"%num%";
constexpr std::u16string_view kDatePlaceholder = u"%date%";
constexpr std::u16string_view kTimePlaceholder = u"%time%";

std::optional<std::string> FileSystemName(std::u16string_view path) {
  if (path.find(u'\0') != std::u16string_view::npos) return std::nullopt;
  return Utf16ToUtf8(path);
}

bool IsDirectory(const std::string& name) {
  struct stat info;
  return ::stat(name.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Anything but a folder counts as a taken name, a dangling symbolic link included,
// so numbering never writes through a link the user left there.
bool IsTakenByFile(std::u16string_view path) {
  const std::optional<std::string> name = FileSystemName(path);
  if (!name) return false;
  struct stat info;
  if (::lstat(name->c_str(), &info) != 0) return false;
  return !IsDirectory(*name);
}

std::u16string_view WithoutTrailingSeparator(std::u16string_view path) {
  if (!path.empty() && path.back() == kSeparator) path.remove_suffix(1);
  return path;
}

// Makes `dir` after its missing parents. Failures are not reported here: the
// caller only asks afterwards whether the folder exists.
void CreateFolderWithParents(std::string dir) {
  if (!dir.empty() && dir.back() == '/') dir.pop_back();
  if (dir.size() < 2 || IsDirectory(dir)) return;
  CreateFolderWithParents(dir.substr(0, dir.rfind('/') + 1));
  ::mkdir(dir.c_str(), 0777);
}

std::u16string Decimal(std::int32_t value) { return Utf8ToUtf16(std::to_string(value)); }

// The counter wraps like the 32-bit integer it is instead of overflowing.
std::int32_t Next(std::int32_t counter) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(counter) + 1u);
}

std::u16string HyphenatedNumbers(const char* format, int a, int b, int c) {
  char text[48];
  std::snprintf(text, sizeof text, format, a, b, c);
  return Utf8ToUtf16(text);
}

// The name and extension must make one file name inside the chosen folder: a
// "/" would let a name such as "../x" reach another folder, and "." or ".."
// name folders, not files.
bool IsUsableFileName(std::u16string_view fileName) {
  return fileName.find(kSeparator) == std::u16string_view::npos && fileName != u"." && fileName != u"..";
}

// The save's fixed order: non-empty settings, folder, path, placeholders.
template <class MakePath>
std::optional<std::u16string> PrepareOutputPath(std::u16string_view folderText, std::u16string_view name,
                                                std::u16string_view format, std::int32_t& counter,
                                                const LocalTimeSource& now, MakePath makePath) {
  if (folderText.empty() || name.empty() || format.empty()) return std::nullopt;
  if (!IsUsableFileName(makePath(u"", name, format))) return std::nullopt;
  const std::optional<std::u16string> folder = PrepareOutputFolder(folderText);
  if (!folder) return std::nullopt;
  return ResolvePlaceholders(makePath(*folder, name, format), counter, now);
}

}  // namespace

std::tm SystemLocalTime() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  return local;
}

bool IsValidFolderPath(std::u16string_view path) {
  if (path.empty() || path[0] != kSeparator) return false;
  if (path == u"/") return true;
  if (path.size() >= 2 && path[1] == kSeparator) return false;
  const std::u16string_view trimmed = WithoutTrailingSeparator(path);
  const std::u16string_view innermost = trimmed.substr(trimmed.rfind(kSeparator) + 1);
  return !innermost.empty() && innermost.find_first_of(u":?/>|\\<*\"") == std::u16string_view::npos;
}

std::optional<std::u16string> PrepareOutputFolder(std::u16string_view folderText) {
  // An empty text would turn into "/" once the separator is appended; it names no folder.
  if (folderText.empty()) return std::nullopt;
  std::u16string folder(folderText);
  if (folder.back() != kSeparator) folder.push_back(kSeparator);
  if (!IsValidFolderPath(folder)) return std::nullopt;
  const std::optional<std::string> name = FileSystemName(folder);
  if (!name) return std::nullopt;
  CreateFolderWithParents(*name);
  if (!IsDirectory(*name)) return std::nullopt;
  return folder;
}

std::u16string PickerStartFolder(std::u16string_view folderText) {
  if (folderText.empty() || folderText[0] != kSeparator || !FileSystemName(folderText)) return {};
  std::u16string_view folder = folderText;
  while (folder.size() > 1) {
    while (folder.size() > 1 && folder.back() == kSeparator) folder.remove_suffix(1);
    if (IsDirectory(Utf16ToUtf8(folder))) return std::u16string(folder);
    folder = folder.substr(0, std::max<std::size_t>(folder.rfind(kSeparator), 1));
  }
  return u"/";
}

std::u16string TextFilePath(std::u16string_view folder, std::u16string_view name, std::u16string_view format) {
  std::u16string path(folder);
  path.append(name);
  if (format.empty() || format[0] != u'.') path.push_back(u'.');
  return path.append(format);
}

std::u16string ImageFilePath(std::u16string_view folder, std::u16string_view name, std::u16string_view format) {
  std::u16string extension = u".bmp";
  const std::size_t dash = format.find(u" - ");
  if (dash != std::u16string_view::npos) {
    std::u16string candidate = ReplaceAllExact(format.substr(0, dash), u"*", u"");
    if (!candidate.empty() && candidate[0] == u'.') extension = std::move(candidate);
  }
  return std::u16string(folder).append(name).append(extension);
}

std::u16string ResolvePlaceholders(std::u16string_view path, std::int32_t& counter, const LocalTimeSource& now) {
  std::u16string resolved(path);
  if (resolved.find(kNumPlaceholder) != std::u16string::npos) {
    // Tested before the date and time are filled in, so a dated name never
    // pushes the number on.
    do {
      counter = Next(counter);
      resolved = ReplaceAllExact(path, kNumPlaceholder, Decimal(counter));
    } while (IsTakenByFile(resolved));
  }
  // The clock is read once per placeholder kind, at the moment of its replacement.
  if (resolved.find(kDatePlaceholder) != std::u16string::npos) {
    resolved = ReplaceAllExact(resolved, kDatePlaceholder, GetDate(now()));
  }
  if (resolved.find(kTimePlaceholder) != std::u16string::npos) {
    resolved = ReplaceAllExact(resolved, kTimePlaceholder, GetTime(now()));
  }
  return resolved;
}

std::optional<std::u16string> PrepareTextOutputPath(std::u16string_view folderText, std::u16string_view name,
                                                    std::u16string_view format, std::int32_t& counter,
                                                    const LocalTimeSource& now) {
  return PrepareOutputPath(folderText, name, format, counter, now, TextFilePath);
}

std::optional<std::u16string> PrepareImageOutputPath(std::u16string_view folderText, std::u16string_view name,
                                                     std::u16string_view format, std::int32_t& counter,
                                                     const LocalTimeSource& now) {
  return PrepareOutputPath(folderText, name, format, counter, now, ImageFilePath);
}

std::u16string GetDate(const std::tm& t) {
  return HyphenatedNumbers("%04d-%02d-%02d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday);
}

std::u16string GetTime(const std::tm& t) {
  return HyphenatedNumbers("%02d-%02d-%02d", t.tm_hour, t.tm_min, t.tm_sec);
}

}  // namespace tallowin
