#pragma once
// Writes a captured text to a file in one of the eight text encodings.

#include <cstdint>
#include <string>
#include <string_view>

namespace tallowin {

// Code page values of `TextFileCodePage`.
inline constexpr std::int32_t kCodePageAnsi = 0;
inline constexpr std::int32_t kCodePageUtf7 = 65000;
inline constexpr std::int32_t kCodePageUtf8 = 65001;

// Whether every UTF-16 unit of `text` is at most U+00FF.
bool IsAnsiText(std::u16string_view text);

// Writes `text` to `path` (UTF-16 path, converted to UTF-8 for the file system)
// in the encoding `codePage` selects, overwriting an existing file. Raises
// TallowinError with "Cannot create file "%s". %s" or "Stream write error".
void WriteTextFile(std::u16string_view text, std::u16string_view path, std::int32_t codePage);

}  // namespace tallowin
