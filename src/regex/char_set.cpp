#include "regex/char_set.h"

#include <algorithm>

namespace tallowin {

CharSet::CharSet(std::u16string_view members) {
  for (char16_t c : members) {
    if (c < 256) {
      low_[c >> 6] |= uint64_t{1} << (c & 63);
    } else {
      high_.push_back(c);
    }
  }
  std::sort(high_.begin(), high_.end());
  high_.erase(std::unique(high_.begin(), high_.end()), high_.end());
}

bool CharSet::ContainsHigh(char16_t c) const {
  return !high_.empty() && std::binary_search(high_.begin(), high_.end(), c);
}

std::u16string CharSet::Members() const {
  std::u16string out;
  for (unsigned c = 0; c < 256; ++c) {
    if (Contains(static_cast<char16_t>(c))) out += static_cast<char16_t>(c);
  }
  out.append(high_.begin(), high_.end());
  return out;
}

}  // namespace tallowin
