#pragma once
// Naming of the automatically saved text and image files: the folder check and
// creation, the extension rules and the "%num%", "%date%" and "%time%" placeholders.

#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tallowin {

// The current local time, broken down; tests pass a fixed one.
using LocalTimeSource = std::function<std::tm()>;
std::tm SystemLocalTime();

// Whether `path` (trailing "/" already appended) names a usable output folder.
bool IsValidFolderPath(std::u16string_view path);

// Appends "/" when missing, checks the path and creates the folder with every
// missing parent. Returns the folder path with its trailing "/" when the folder
// exists afterwards, std::nullopt otherwise (the caller skips the save silently).
std::optional<std::u16string> PrepareOutputFolder(std::u16string_view folderText);

// folder + name + extension, where the extension is `format` when it begins
// with "." and "." + `format` otherwise.
std::u16string TextFilePath(std::u16string_view folder, std::u16string_view name, std::u16string_view format);

// folder + name + the extension taken from a `saveimg_format` item such as
// "*.png - Portable Network Graphics"; ".bmp" when the text yields none.
std::u16string ImageFilePath(std::u16string_view folder, std::u16string_view name, std::u16string_view format);

// Resolves "%num%" with `counter` (advanced past every existing file of the
// candidate's name), then "%date%" and "%time%" from `now`.
std::u16string ResolvePlaceholders(std::u16string_view path, std::int32_t& counter, const LocalTimeSource& now);

// "yyyy-mm-dd" and "hh-nn-ss" (24 hours).
std::u16string GetDate(const std::tm& t);
std::u16string GetTime(const std::tm& t);

}  // namespace tallowin
