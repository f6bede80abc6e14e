#pragma once
// One text form per kind of setting, shared by `--set KEY=VALUE` and the
// configuration files: flags, radio buttons, panels and menu entries as "1"/"0"
// (read back as any whole number, on when not 0); texts as they are, except
// that a multi-line text's line breaks travel as U+000B; the scroll bar as a
// decimal number (read back in decimal or with a "$"/"0x" prefix).

#include <optional>
#include <string>
#include <string_view>

#include "settings/capture_settings.h"

namespace tallowin {

// The value `text` stands for, or nothing when it is no value of that kind (a
// flag or integer that is no whole number). An integer is not clamped here.
std::optional<CaptureSettings::Value> ParseSettingValue(SettingKind kind, std::u16string_view text);

// The text form of `value`, which must be of the kind's type.
std::u16string FormatSettingValue(SettingKind kind, const CaptureSettings::Value& value);

// Multi-line texts: each CR LF pair (scanned from the left, without overlap) and
// each remaining CR or LF becomes U+000B, so the value stays on one line; on
// reading every U+000B becomes LF, the line break of this platform.
std::u16string EncodeLineBreaks(std::u16string_view text);
std::u16string DecodeLineBreaks(std::u16string_view text);

}  // namespace tallowin
