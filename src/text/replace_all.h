#pragma once
// Plain replace-all: left to right, non-overlapping, the replacement never
// searched again. Both run in time linear in the text's length.

#include <string>
#include <string_view>

namespace tallowin {

// Case-sensitive. The text unchanged when `text` or `oldText` is empty or `oldText` equals `newText`.
std::u16string ReplaceAllExact(std::u16string_view text, std::u16string_view oldText, std::u16string_view newText);

// Compares the per-unit upper case of text and `oldText` ("ä" finds "Ä"; "ß" has no
// single-unit upper case, so "STRASSE" does not find "straße"). The replacement is
// inserted as given; the text around it keeps its case.
std::u16string ReplaceAllIgnoreCase(std::u16string_view text, std::u16string_view oldText,
                                    std::u16string_view newText);

}  // namespace tallowin
