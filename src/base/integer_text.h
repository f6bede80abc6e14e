#pragma once
// Whole-number texts as the program's boxes and configuration files accept them:
// optional leading blanks, an optional sign, then decimal digits, or hexadecimal
// digits after a "$", "x", "X", "0x" or "0X" prefix. Nothing may follow. A decimal
// value must fit a signed 32-bit integer; a hexadecimal one may use all 32 bits
// ("$FFFFFFFF" is -1). An empty text is no integer.

#include <cstdint>
#include <optional>
#include <string_view>

namespace tallowin {

// The value of one hexadecimal digit (0-9, a-f, A-F); -1 for any other character.
constexpr int HexDigitValue(char32_t c) {
  if (c >= U'0' && c <= U'9') return static_cast<int>(c - U'0');
  if (c >= U'a' && c <= U'f') return static_cast<int>(c - U'a') + 10;
  if (c >= U'A' && c <= U'F') return static_cast<int>(c - U'A') + 10;
  return -1;
}

std::optional<std::int32_t> ParseIntegerText(std::u16string_view text);

inline bool IsIntegerText(std::u16string_view text) { return ParseIntegerText(text).has_value(); }

}  // namespace tallowin

#include <string>

namespace tallowin {

// `value` in decimal, with a leading "-" when negative.
std::u16string DecimalText(std::int64_t value);

}  // namespace tallowin
