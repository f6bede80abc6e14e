#pragma once
// Per-unit upper-case mapping of UTF-16 text.
//
// The mapping is Unicode's simple uppercase mapping applied to each UTF-16 code
// unit on its own. Surrogates and units without a single-unit upper case ("ß")
// map to themselves, so the mapping never changes a text's length and positions
// in the mapped text are positions in the original.

#include <string>
#include <string_view>

namespace tallowin {

// The simple upper case of one UTF-16 code unit.
char16_t UpperCaseUnit(char16_t unit);

// `text` with every code unit mapped by UpperCaseUnit; same length.
std::u16string UpperCaseUnits(std::u16string_view text);

}  // namespace tallowin
