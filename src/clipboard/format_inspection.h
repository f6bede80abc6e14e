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

// The value of a format, decoded only when read: a UTF-16 value shares the
// clipboard's buffer, an 8-bit one keeps the raw block and decodes it on the
// first request (a list cell needs only its beginning).
class FormatValue {
 public:
  FormatValue() = default;
  FormatValue(std::u16string text);  // NOLINT(google-explicit-constructor): a value is its text
  FormatValue(const char16_t* text) : FormatValue(std::u16string(text)) {}  // NOLINT(google-explicit-constructor)
  static FormatValue Utf16(SharedText text);
  static FormatValue EightBit(SharedBytes block);

  // The whole value.
  const std::u16string& Text() const;
  // The first `units` units (all when shorter), without decoding the rest.
  std::u16string Prefix(std::size_t units) const;
  std::size_t Size() const;

  friend bool operator==(const FormatValue& a, std::u16string_view b) { return a.Text() == b; }

 private:
  mutable SharedText text_;   // null until decoded
  mutable SharedBytes block_;  // an 8-bit value not decoded yet
};

// UTF-16: the block's text as the clipboard's UnicodeBlockExtent() says (its
// FormatText). 8-bit: every byte of the block,
// zero bytes included, decoded from Windows-1252, one unit per byte. Empty when
// the format has no byte block.
FormatValue ReadFormatValue(Clipboard& clipboard, FormatNumber format, ValueReading reading);
std::u16string ClipboardFormatValue(Clipboard& clipboard, FormatNumber format, ValueReading reading);

// A name or value as one line, the way the details list and `tallowin formats`
// show it: every control character (U+0000 to U+001F, U+007F to U+009F) as
// "\xNN", the line and paragraph separators U+2028 and U+2029 as "\u2028" and
// "\u2029", and a backslash doubled, so a value's own "\x0A" is not taken for a
// line break. The stored value is never changed; this is for showing only.
std::u16string OneLineText(std::u16string_view text);

}  // namespace tallowin
