#pragma once
// The interface language: the one type every part of the program uses for it.
// No dependencies, so any layer may include it.

#include <string_view>

namespace tallowin {

enum class Language { English, German };

// The language code "de" means German; any other code English.
constexpr Language LanguageFromCode(std::u16string_view code) {
  return code == u"de" ? Language::German : Language::English;
}
constexpr Language LanguageFromCode(std::string_view code) {
  return code == "de" ? Language::German : Language::English;
}

constexpr std::u16string_view LanguageCode(Language language) {
  return language == Language::German ? u"de" : u"en";
}

// Picks the German or the English one of two values.
template <class T>
constexpr const T& ByLanguage(Language language, const T& german, const T& english) {
  return language == Language::German ? german : english;
}

}  // namespace tallowin
