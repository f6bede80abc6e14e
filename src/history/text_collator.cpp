#include "history/text_collator.h"

#include <unicode/ucol.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>

#include "base/case_mapping.h"

namespace tallowin {
namespace {

// "de_DE.UTF-8@euro" -> "de_DE"; "C" and "POSIX" -> "" (ICU's root).
std::string CollationLocaleOf(std::string_view name) {
  name = name.substr(0, name.find_first_of(".@"));
  if (name == "C" || name == "POSIX") return "";
  return std::string(name);
}

}  // namespace

void TextCollator::Closer::operator()(UCollator* collator) const { ucol_close(collator); }

TextCollator::TextCollator(std::string_view localeName) : collationLocale_(CollationLocaleOf(localeName)) {
  UErrorCode status = U_ZERO_ERROR;
  collator_.reset(ucol_open(collationLocale_.c_str(), &status));
  if (U_FAILURE(status)) {
    collator_.reset();
    status = U_ZERO_ERROR;
    collator_.reset(ucol_open("", &status));
    if (U_FAILURE(status)) collator_.reset();
  }
  if (collator_) ucol_setStrength(collator_.get(), UCOL_SECONDARY);
}

TextCollator::~TextCollator() = default;

std::string TextCollator::UserLocaleName(const char* lcAll, const char* lcCollate, const char* lang) {
  for (const char* value : {lcAll, lcCollate, lang}) {
    if (value && *value) return value;
  }
  return "";
}

std::shared_ptr<const TextCollator> TextCollator::ForUserLocale() {
  return std::make_shared<const TextCollator>(
      UserLocaleName(std::getenv("LC_ALL"), std::getenv("LC_COLLATE"), std::getenv("LANG")));
}

std::string TextCollator::SortKey(std::u16string_view text) const {
  if (!collator_) {
    // Without ICU data: the simple upper case of each unit, high byte first, so
    // byte order is code unit order and case is still ignored.
    std::string key;
    for (char16_t unit : UpperCaseUnits(text)) {
      key.push_back(static_cast<char>(unit >> 8));
      key.push_back(static_cast<char>(unit & 0xFF));
    }
    return key;
  }
  // ICU takes lengths as int32_t; a longer text is ordered by its first 2^30 units.
  const auto length = static_cast<std::int32_t>(std::min<std::size_t>(text.size(), std::size_t{1} << 30));
  std::string key(static_cast<std::size_t>(length) * 2 + 16, '\0');
  for (;;) {
    const std::int32_t needed = ucol_getSortKey(collator_.get(), text.data(), length,
                                                reinterpret_cast<std::uint8_t*>(key.data()),
                                                static_cast<std::int32_t>(std::min<std::size_t>(key.size(), INT32_MAX)));
    if (needed <= 0) return {};
    if (static_cast<std::size_t>(needed) <= key.size()) {
      key.resize(static_cast<std::size_t>(needed) - 1);  // without the terminating zero
      return key;
    }
    key.resize(static_cast<std::size_t>(needed));
  }
}

}  // namespace tallowin
