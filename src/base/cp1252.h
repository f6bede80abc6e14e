#pragma once
// Windows-1252, the program's 8-bit ("ANSI") code page.
//
// Encoding maps a character without a byte to '?' (0x3F); there are no best-fit
// substitutions. Decoding maps the five unassigned bytes 0x81, 0x8D, 0x8F, 0x90
// and 0x9D to the C1 controls of the same value, so every byte decodes to exactly
// one UTF-16 unit and a decode never fails.

#include <string>
#include <string_view>

namespace tallowin {

inline constexpr char kCp1252DefaultChar = '?';

// One UTF-16 unit per byte.
std::u16string DecodeCp1252(std::string_view bytes);

// One byte per UTF-16 unit; a surrogate (either half) becomes '?'.
std::string EncodeCp1252(std::u16string_view text);

}  // namespace tallowin
