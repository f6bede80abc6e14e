#pragma once
// Naming of the automatically saved text and image files: the folder check and
// creation, the extension rules and the "%num%", "%date%" and "%time%" placeholders.
//
// Paths use "/" as separator and are UTF-16; they are converted to UTF-8 only
// for the file system (a lone surrogate then becomes U+FFFD). A path holding
// U+0000 never reaches the file system.

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

// Whether `path` (trailing "/" already appended) names a usable output folder:
// "/" itself, or an absolute path not beginning with "//" whose innermost folder
// name (after one trailing "/" is removed) is non-empty and holds none of
// : ? / > | \ < * ". The folders in between are not examined.
bool IsValidFolderPath(std::u16string_view path);

// Appends "/" when missing (an empty text fails), checks the path and creates the folder with every
// missing parent. Returns the folder path with its trailing "/" when the folder
// exists afterwards, std::nullopt otherwise (the caller skips the save silently).
std::optional<std::u16string> PrepareOutputFolder(std::u16string_view folderText);

// Where the folder picker of a folder box starts: the folder the text names when
// it exists, else the nearest folder above it that does ("/" at the latest),
// without a trailing "/" (except "/" itself). Empty, leaving the choice to the
// picker, for a text that is no absolute path.
std::u16string PickerStartFolder(std::u16string_view folderText);

// folder + name + extension, where the extension is `format` when it begins
// with "." and "." + `format` otherwise.
std::u16string TextFilePath(std::u16string_view folder, std::u16string_view name, std::u16string_view format);

// folder + name + the extension taken from a `saveimg_format` item such as
// "*.png - Portable Network Graphics": the part before the first " - " without
// any "*"; ".bmp" when there is no " - " or that part does not begin with ".".
std::u16string ImageFilePath(std::u16string_view folder, std::u16string_view name, std::u16string_view format);

// Resolves "%num%" with `counter`: the counter is increased and put in place of
// every "%num%" until no file (a folder does not count) has the resulting name,
// tested before the date and time are filled in; the counter keeps the last
// number used. A path without "%num%" leaves the counter alone. Then every
// "%date%" and every "%time%" is replaced, `now` read once for each of the two.
// Placeholders match case-sensitively ("%NUM%" is plain text).
std::u16string ResolvePlaceholders(std::u16string_view path, std::int32_t& counter, const LocalTimeSource& now);

// One save's complete naming, in the order a save makes it: std::nullopt, with
// `counter` untouched and no folder created, when the folder, name or format
// text is empty or the name with its extension is no plain file name (it holds
// "/", or is "." or ".."); std::nullopt as well when PrepareOutputFolder fails; otherwise the resolved path of TextFilePath /
// ImageFilePath (the counter advanced as ResolvePlaceholders says, also when the
// write that follows fails).
std::optional<std::u16string> PrepareTextOutputPath(std::u16string_view folderText, std::u16string_view name,
                                                    std::u16string_view format, std::int32_t& counter,
                                                    const LocalTimeSource& now);
std::optional<std::u16string> PrepareImageOutputPath(std::u16string_view folderText, std::u16string_view name,
                                                     std::u16string_view format, std::int32_t& counter,
                                                     const LocalTimeSource& now);

// "yyyy-mm-dd" and "hh-nn-ss" (24 hours).
std::u16string GetDate(const std::tm& t);
std::u16string GetTime(const std::tm& t);

}  // namespace tallowin
