#include "clipboard/secret_content.h"

namespace tallowin {

bool HintValueMeansSecret(std::string_view value) {
  while (!value.empty() && (value.back() == '\0' || value.back() == '\n' || value.back() == '\r')) {
    value.remove_suffix(1);
  }
  return value == "secret";
}

bool ContentMarkedSecret(Clipboard& clipboard) {
  const int count = clipboard.CountFormats();
  for (int i = 0; i < count; ++i) {
    const FormatNumber f = clipboard.FormatAt(i);
    if (f < kFirstRegisteredFormat) continue;
    const std::optional<std::string> name = clipboard.RegisteredFormatName(f);
    if (!name || *name != kPasswordManagerHintTarget) continue;
    const SharedBytes bytes = clipboard.FormatBytes(f);
    return bytes && HintValueMeansSecret(*bytes);
  }
  return false;
}

}  // namespace tallowin
