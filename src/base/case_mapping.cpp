#include "base/case_mapping.h"

#include <array>
#include <cstdint>

namespace tallowin {
namespace {

struct CasePair {
  std::uint16_t unit;
  std::uint16_t upper;
};

constexpr CasePair kUpperCasePairs[] = {
#include "base/upper_case_table.inc"
};

// A full 64K table: one load per unit on the hot path of case-insensitive search.
using UpperTable = std::array<char16_t, 0x10000>;

const UpperTable& Table() {
  static const UpperTable table = [] {
    UpperTable t{};
    for (std::size_t i = 0; i < t.size(); ++i) t[i] = static_cast<char16_t>(i);
    for (const CasePair& p : kUpperCasePairs) t[p.unit] = static_cast<char16_t>(p.upper);
    return t;
  }();
  return table;
}

}  // namespace

char16_t UpperCaseUnit(char16_t unit) { return Table()[unit]; }

std::u16string UpperCaseUnits(std::u16string_view text) {
  const UpperTable& table = Table();
  std::u16string out(text.size(), u'\0');
  for (std::size_t i = 0; i < text.size(); ++i) out[i] = table[text[i]];
  return out;
}

}  // namespace tallowin
