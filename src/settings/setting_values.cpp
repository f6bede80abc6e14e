#include "settings/setting_values.h"

#include "base/integer_text.h"

namespace tallowin {

std::u16string EncodeLineBreaks(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
      out += u'\v';
      ++i;
    } else if (c == u'\r' || c == u'\n') {
      out += u'\v';
    } else {
      out += c;
    }
  }
  return out;
}

std::u16string DecodeLineBreaks(std::u16string_view text) {
  std::u16string out(text);
  for (char16_t& c : out) {
    if (c == u'\v') c = u'\n';
  }
  return out;
}

std::optional<CaptureSettings::Value> ParseSettingValue(SettingKind kind, std::u16string_view text) {
  switch (kind) {
    case SettingKind::Text:
    case SettingKind::EditableChoice:
      return CaptureSettings::Value(std::u16string(text));
    case SettingKind::Memo:
      return CaptureSettings::Value(DecodeLineBreaks(text));
    case SettingKind::Integer:
      if (auto number = ParseIntegerText(text)) return CaptureSettings::Value(*number);
      return std::nullopt;
    case SettingKind::Flag:
    case SettingKind::Choice:
    case SettingKind::Visibility:
    case SettingKind::MenuFlag:
      if (auto number = ParseIntegerText(text)) return CaptureSettings::Value(*number != 0);
      return std::nullopt;
  }
  return std::nullopt;
}

std::u16string FormatSettingValue(SettingKind kind, const CaptureSettings::Value& value) {
  switch (kind) {
    case SettingKind::Text:
    case SettingKind::EditableChoice:
      return std::get<std::u16string>(value);
    case SettingKind::Memo:
      return EncodeLineBreaks(std::get<std::u16string>(value));
    case SettingKind::Integer:
      return DecimalText(std::get<std::int32_t>(value));
    case SettingKind::Flag:
    case SettingKind::Choice:
    case SettingKind::Visibility:
    case SettingKind::MenuFlag:
      return std::get<bool>(value) ? u"1" : u"0";
  }
  return {};
}

}  // namespace tallowin
