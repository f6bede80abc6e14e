#include "lang/language_switch.h"

#include <algorithm>
#include <filesystem>

namespace tallowin {

int LanguageSwitch::Register(LanguageWindow window, Routine routine) {
  const int handle = nextHandle_++;
  entries_.push_back({handle, window, std::move(routine)});
  return handle;
}

void LanguageSwitch::Unregister(int handle) {
  std::erase_if(entries_, [handle](const Entry& e) { return e.handle == handle; });
}

void LanguageSwitch::SwitchLanguage(Language language, TemplateTexts templates) {
  current_ = language;
  // A routine may register or remove routines (a dialog created or destroyed by
  // it), so the order is taken from a snapshot of the handles.
  std::vector<Entry> order = entries_;
  std::stable_sort(order.begin(), order.end(),
                   [](const Entry& a, const Entry& b) { return a.window < b.window; });
  for (const Entry& e : order) {
    const bool stillThere =
        std::any_of(entries_.begin(), entries_.end(), [&e](const Entry& now) { return now.handle == e.handle; });
    if (stillThere) e.routine(current_, templates);
  }
}

Language StartLanguageFromMarkers(const std::string& folder) {
  std::error_code ignored;
  const std::filesystem::path base(folder.empty() ? "." : folder);
  const std::filesystem::path marker = base / "de";
  const bool german = std::filesystem::exists(marker, ignored) && !std::filesystem::is_directory(marker, ignored);
  return german ? Language::German : Language::English;
}

}  // namespace tallowin
