#pragma once
// The eight encodings of saved text files, as pure functions from UTF-16 text to
// the exact bytes of the file (signature included). They know nothing about files:
// the bytes go to a ByteSink in pieces, so a text of any size is encoded with a
// fixed amount of extra memory.
//
// Per code page value:
//   0      Windows-1252, no signature; a character without a byte (a surrogate
//          pair counts as one character, a lone surrogate as one) becomes '?'.
//   65000  UTF-7 of U+FEFF followed by the text, encoded as one text ("+/v8...").
//   64999  UTF-7 of the text alone, no signature.
//   65001  EF BB BF, then UTF-8; a lone surrogate becomes U+FFFD (EF BF BD).
//   1200   FF FE, then every code unit low byte first (lone surrogates kept).
//   1201   FE FF, then every code unit high byte first (lone surrogates kept).
//   65005  FF FE 00 00, then UTF-32 least significant byte first.
//   65006  00 00 FE FF, then UTF-32 most significant byte first.
// In UTF-32 a high surrogate without a following low one becomes '?', and a low
// surrogate never gives a code point of its own (it is dropped when it stands alone).
//
// UTF-7 writes directly: the letters, digits, ' ( ) , - . / : ? (set D), the
// optional direct characters ! " # $ % & * ; < = > @ [ ] ^ _ ` { | } (set O),
// space, tab, CR and LF. Backslash, tilde and everything else go into base64 runs
// ("+" then 16-bit units in 6-bit groups, no "=" filler). A "+" outside a run is
// "+-"; inside a run it is encoded in the run. A run ends before the next direct
// character with its leftover bits zero-filled to a full group, followed by "-"
// only when that character is a letter, digit, "/" or "-"; at the end of the text
// the run ends with the filled group and no "-".

#include <cstdint>
#include <string>
#include <string_view>

#include "base/byte_sink.h"

namespace tallowin {

// Values of `TextFileCodePage`. 0, 65000, 65001, 1200 and 1201 are the usual
// code page numbers; 64999, 65005 and 65006 are the program's own.
inline constexpr std::int32_t kCodePageAnsi = 0;
inline constexpr std::int32_t kCodePageUtf7 = 65000;
inline constexpr std::int32_t kCodePageUtf7Ansi = 64999;
inline constexpr std::int32_t kCodePageUtf8 = 65001;
inline constexpr std::int32_t kCodePageUtf16Le = 1200;
inline constexpr std::int32_t kCodePageUtf16Be = 1201;
inline constexpr std::int32_t kCodePageUtf32Le = 65005;
inline constexpr std::int32_t kCodePageUtf32Be = 65006;

// Whether `codePage` is one of the eight values above.
bool IsTextCodePage(std::int32_t codePage);

// Sends the complete file content for `codePage` to `sink`, in pieces of at most
// kEncodeChunkBytes. `codePage` must satisfy IsTextCodePage (std::invalid_argument
// otherwise, before anything reaches the sink).
inline constexpr std::size_t kEncodeChunkBytes = 64 * 1024;
void EncodeText(std::u16string_view text, std::int32_t codePage, ByteSink& sink);

// The complete file content for `codePage`, in memory.
std::string EncodeText(std::u16string_view text, std::int32_t codePage);

}  // namespace tallowin
