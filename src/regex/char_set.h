#pragma once
// An immutable set of UTF-16 code units: a bit map below 256, a sorted list above.
// Used for classes and for the word, space and line-separator characters.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tallowin {

class CharSet {
 public:
  CharSet() = default;
  explicit CharSet(std::u16string_view members);

  bool Contains(char16_t c) const {
    if (c < 256) return (low_[c >> 6] >> (c & 63)) & 1;
    return ContainsHigh(c);
  }
  // All members in ascending order.
  std::u16string Members() const;

 private:
  bool ContainsHigh(char16_t c) const;

  std::array<uint64_t, 4> low_{};
  std::vector<char16_t> high_;  // sorted, without duplicates
};

}  // namespace tallowin
