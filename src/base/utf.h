#pragma once
// Conversions between the core's UTF-16 text and UTF-8 at the program's edges
// (file names, the command line, standard input and output).

#include <string>
#include <string_view>

namespace tallowin {

// Invalid UTF-8 sequences become U+FFFD, one per maximal invalid subpart.
std::u16string Utf8ToUtf16(std::string_view utf8);

// A lone surrogate becomes U+FFFD (it has no UTF-8 form).
std::string Utf16ToUtf8(std::u16string_view utf16);

}  // namespace tallowin
