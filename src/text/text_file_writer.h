#pragma once
// Writes a captured text to a file in one of the eight text encodings
// (text/text_encoders.h gives the code page values and the exact bytes).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "text/text_encoders.h"

namespace tallowin {

// Whether every UTF-16 unit of `text` is at most U+00FF ("€" is not; an empty
// text is).
bool IsAnsiText(std::u16string_view text);

// The code page the choice "ANSI if possible, else UTF-8" (`rb_beibehalten`)
// picks for `text`: kCodePageAnsi when IsAnsiText holds, kCodePageUtf8 otherwise.
std::int32_t CodePageForAnsiOrUtf8(std::u16string_view text);

// The value an encoding radio button sets in `TextFileCodePage` when clicked
// ("rb_ansi" 0, "rb_utf7" 65000, "rb_utf7ansi" 64999, "rb_utf8" and
// "rb_beibehalten" 65001, "rb_utf16le" 1200, "rb_utf_be" 1201, "rb_utf32le"
// 65005, "rb_utf32be" 65006); std::nullopt for any other name.
std::optional<std::int32_t> CodePageForEncodingButton(std::string_view buttonName);

// Writes `text` to `path` (UTF-16 path, converted to UTF-8 for the file system)
// in the encoding `codePage` selects, replacing an existing file completely but
// only with a complete one: the bytes go to a temporary file beside it that is
// renamed over the name once written (text/atomic_file.h). A symbolic link at
// `path` is replaced, its target never written.
//
// Returns false, creating and changing nothing, when the extension of the last
// path component is ".bmp", ".gif", ".jpg" or ".jpeg" in any letter case; true
// when the file was written. Raises TallowinError with
//   "Cannot create file "<path>". <strerror text>"  when the file cannot be
//       made (missing folder, no access; a folder at `path` gives "Is a
//       directory", a FIFO, device or socket "Operation not supported"), and
//   "Stream write error"  when a write stores fewer bytes than given or the
//       file cannot be synced or closed cleanly.
// Either way the old file of that name is left as it was and nothing else
// remains in its folder.
// A path holding U+0000 cannot name a file and fails to open (EINVAL).
// `codePage` must satisfy IsTextCodePage (std::invalid_argument otherwise,
// before the file is touched).
bool WriteTextFile(std::u16string_view text, std::u16string_view path, std::int32_t codePage);

}  // namespace tallowin
