#pragma once
// The texts of the main window and the start form in both interface languages,
// looked up by the name of the control that shows them.

#include <string>
#include <string_view>

#include "settings/capture_settings.h"

namespace tallowin {

inline constexpr std::u16string_view kApplicationTitle = u"Tallowin - Brannick Media";

// The text of `key` in `language`; an empty view when the key is unknown.
// Keys with several texts (list columns) carry a suffix: "zuletzt.0", "liste.2".
std::u16string_view UiText(std::string_view key, Language language);

// Language code "de" means German; anything else English.
inline Language LanguageFromCode(std::u16string_view code) {
  return code == u"de" ? Language::German : Language::English;
}

// The footer link line: rotates every 10 seconds among three captions.
enum class FooterLink { Donate, Help, Support };
FooterLink FooterLinkForTick(int tick);
std::u16string_view FooterLinkCaption(FooterLink link, Language language);

}  // namespace tallowin
