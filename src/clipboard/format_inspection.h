#pragma once
// Names and textual values of clipboard formats for the details list.

#include <string>

#include "clipboard/clipboard.h"

namespace tallowin {

enum class ValueReading { Utf16, EightBit };

// Formats whose content is shown as UTF-16 text; every other one as raw 8-bit bytes.
inline bool IsUtf16Format(FormatNumber f) { return f == 13 || f == 49159; }

// The predefined name of `format` without any prefix, or the registered name.
// Raises TallowinError("System Error.  Code: %d.\r\n%s") for a number that has neither.
std::u16string ClipboardFormatName(Clipboard& clipboard, FormatNumber format);

// UTF-16: the block's text as the clipboard's UnicodeBlockExtent() says. 8-bit: every byte of the block,
// zero bytes included, decoded from Windows-1252, one unit per byte. Empty when
// the format has no byte block.
std::u16string ClipboardFormatValue(Clipboard& clipboard, FormatNumber format, ValueReading reading);

}  // namespace tallowin
