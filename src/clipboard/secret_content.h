#pragma once
// Content a password manager has marked as secret.
//
// Password managers (KeePassXC and others) offer the target
// x-kde-passwordManagerHint with the value "secret" next to a copied password.
// Such content must never reach the history, a replacement or a saved file, so
// the capture pass treats it as if capturing were off.

#include <string_view>

#include "clipboard/clipboard.h"

namespace tallowin {

inline constexpr char kPasswordManagerHintTarget[] = "x-kde-passwordManagerHint";

// Whether the bytes of the hint target say "secret". Trailing NUL units and
// line breaks that some owners append are ignored; any other value is not a mark.
bool HintValueMeansSecret(std::string_view value);

// Whether the clipboard's current content carries the hint with the value
// "secret". Only the hint target itself is read, through the clipboard's own
// (bounded) read; a hint that cannot be read is no mark. Errors of the
// clipboard (one that cannot be opened) propagate as for every other read.
bool ContentMarkedSecret(Clipboard& clipboard);

}  // namespace tallowin
