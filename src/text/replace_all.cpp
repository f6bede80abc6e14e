#include "text/replace_all.h"

#include <algorithm>
#include <cstring>
#include <type_traits>
#include <cstdint>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "text/case_mapping.h"

namespace tallowin {
namespace {

// How one side of the comparison maps text units before they are compared.
struct ExactUnits {
  char16_t operator()(char16_t u) const { return u; }
};
struct UpperUnits {
  char16_t operator()(char16_t u) const { return UpperCaseUnit(u); }
};

// The units that map to `target`: just `target` when comparing exactly; every
// unit whose upper case is `target` otherwise ("d" and "D" for "D").
constexpr std::size_t kMaxUnitsPerClass = 4;
struct UnitClass {
  char16_t units[kMaxUnitsPerClass] = {};
  std::size_t count = 0;
  bool overflow = false;  // more units than the vector filter takes
};

UnitClass ClassOf(char16_t target, ExactUnits) {
  UnitClass c;
  c.units[c.count++] = target;
  return c;
}

// Every unit grouped by its upper case: the units of upper case u are
// units[start[u]] .. units[start[u + 1] - 1]. Built once.
struct UpperInverse {
  std::vector<std::uint32_t> start;
  std::vector<char16_t> units;
};

const UpperInverse& Inverse() {
  static const UpperInverse inverse = [] {
    UpperInverse inv;
    inv.start.assign(0x10001 + 1, 0);
    for (std::uint32_t u = 0; u <= 0xFFFF; ++u) ++inv.start[UpperCaseUnit(static_cast<char16_t>(u)) + 1];
    for (std::size_t i = 1; i < inv.start.size(); ++i) inv.start[i] += inv.start[i - 1];
    inv.units.resize(0x10000);
    std::vector<std::uint32_t> fill(inv.start.begin(), inv.start.end() - 1);
    for (std::uint32_t u = 0; u <= 0xFFFF; ++u) {
      inv.units[fill[UpperCaseUnit(static_cast<char16_t>(u))]++] = static_cast<char16_t>(u);
    }
    return inv;
  }();
  return inverse;
}

UnitClass ClassOf(char16_t target, UpperUnits) {
  const UpperInverse& inv = Inverse();
  UnitClass c;
  for (std::uint32_t i = inv.start[target]; i < inv.start[target + 1u]; ++i) {
    if (c.count == kMaxUnitsPerClass) {
      c.overflow = true;
      break;
    }
    c.units[c.count++] = inv.units[i];
  }
  return c;
}

// Knuth-Morris-Pratt failure function of `pattern` (already mapped).
std::vector<std::size_t> FailureTable(std::u16string_view pattern) {
  std::vector<std::size_t> fail(pattern.size(), 0);
  for (std::size_t i = 1, k = 0; i < pattern.size(); ++i) {
    while (k > 0 && pattern[i] != pattern[k]) k = fail[k - 1];
    if (pattern[i] == pattern[k]) ++k;
    fail[i] = k;
  }
  return fail;
}

// Leftmost non-overlapping matches from `from` on, in linear time.
template <class Map>
void FindMatchesKmp(std::u16string_view text, std::u16string_view pattern, std::size_t from, Map map,
                    std::vector<std::size_t>& matches) {
  const std::vector<std::size_t> fail = FailureTable(pattern);
  const std::size_t m = pattern.size();
  std::size_t k = 0;
  for (std::size_t i = from; i < text.size(); ++i) {
    const char16_t c = map(text[i]);
    while (k > 0 && c != pattern[k]) k = fail[k - 1];
    if (c == pattern[k]) ++k;
    if (k == m) {
      matches.push_back(i + 1 - m);
      k = 0;  // non-overlapping: the next match starts after this one
    }
  }
}

template <class Map>
bool MatchesAt(const char16_t* at, std::u16string_view pattern, Map map) {
  if constexpr (std::is_same_v<Map, ExactUnits>) {
    return std::memcmp(at, pattern.data(), pattern.size() * sizeof(char16_t)) == 0;
  } else {
    for (std::size_t k = 0; k < pattern.size(); ++k) {
      if (map(at[k]) != pattern[k]) return false;
    }
    return true;
  }
}

#if defined(__SSE2__)
__m128i EqualsAny(__m128i block, const UnitClass& c) {
  __m128i eq = _mm_cmpeq_epi16(block, _mm_set1_epi16(static_cast<short>(c.units[0])));
  for (std::size_t i = 1; i < c.count; ++i) {
    eq = _mm_or_si128(eq, _mm_cmpeq_epi16(block, _mm_set1_epi16(static_cast<short>(c.units[i]))));
  }
  return eq;
}
#endif

// Start positions of the leftmost non-overlapping occurrences of `pattern`
// (not empty, already mapped) in `text` compared through `map`.
//
// A vector filter keeps only the positions whose first and last units both fit,
// and those are compared in full. Once the comparisons cost more than a few
// passes over the text (a pathological pattern such as "aaab" in "aaaa..."), the
// rest of the scan switches to KMP, which finds the same matches in linear time.
template <class Map>
std::vector<std::size_t> FindMatches(std::u16string_view text, std::u16string_view pattern, Map map) {
  std::vector<std::size_t> matches;
  const std::size_t n = text.size();
  const std::size_t m = pattern.size();
  if (m == 0 || m > n) return matches;
  const std::size_t last = n - m;  // last possible start
  const std::size_t budget = 4 * n + 64;
  std::size_t work = 0;
  std::size_t p = 0;  // every start below p has been decided
  const char16_t* data = text.data();

#if defined(__SSE2__)
  const UnitClass first = ClassOf(pattern[0], map);
  const UnitClass lastUnit = ClassOf(pattern[m - 1], map);
  if (!first.overflow && !lastUnit.overflow) {
    // Blocks of 8 starts whose last-unit loads stay inside the text.
    while (p + 8 <= last + 1) {
      const std::size_t base = p;
      const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + base));
      const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + base + m - 1));
      unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(EqualsAny(a, first), EqualsAny(b, lastUnit))));
      std::size_t next = base + 8;
      while (mask != 0) {
        const std::size_t at = base + static_cast<std::size_t>(__builtin_ctz(mask) / 2);
        mask &= mask - 1;
        mask &= mask - 1;  // each unit sets two mask bits
        if (at < p) continue;
        work += m;
        if (MatchesAt(data + at, pattern, map)) {
          matches.push_back(at);
          p = at + m;
          next = std::max(next, p);
        }
      }
      p = std::max(p, next);
      if (work > budget) {
        FindMatchesKmp(text, pattern, p, map, matches);
        return matches;
      }
    }
  }
#endif
  for (; p <= last;) {
    work += 1;
    if (map(data[p]) == pattern[0] && MatchesAt(data + p, pattern, map)) {
      matches.push_back(p);
      p += m;
      work += m;
    } else {
      ++p;
    }
    if (work > budget) {
      FindMatchesKmp(text, pattern, p, map, matches);
      return matches;
    }
  }
  return matches;
}

// `text` with every match of length `oldLength` replaced by `newText`, built in one allocation.
std::u16string Splice(std::u16string_view text, const std::vector<std::size_t>& matches, std::size_t oldLength,
                      std::u16string_view newText) {
  if (matches.empty()) return std::u16string(text);
  if (oldLength == newText.size()) {
    // Same length: one bulk copy, then the replacements written over it.
    std::u16string out(text);
    for (std::size_t at : matches) std::memcpy(out.data() + at, newText.data(), oldLength * sizeof(char16_t));
    return out;
  }
  std::u16string out;
  out.resize(text.size() - matches.size() * oldLength + matches.size() * newText.size());
  char16_t* dst = out.data();
  std::size_t from = 0;
  for (std::size_t at : matches) {
    std::memcpy(dst, text.data() + from, (at - from) * sizeof(char16_t));
    dst += at - from;
    std::memcpy(dst, newText.data(), newText.size() * sizeof(char16_t));
    dst += newText.size();
    from = at + oldLength;
  }
  std::memcpy(dst, text.data() + from, (text.size() - from) * sizeof(char16_t));
  return out;
}

}  // namespace

std::u16string ReplaceAllExact(std::u16string_view text, std::u16string_view oldText, std::u16string_view newText) {
  if (text.empty() || oldText.empty() || oldText == newText) return std::u16string(text);
  return Splice(text, FindMatches(text, oldText, ExactUnits{}), oldText.size(), newText);
}

std::u16string ReplaceAllIgnoreCase(std::u16string_view text, std::u16string_view oldText,
                                    std::u16string_view newText) {
  if (text.empty() || oldText.empty()) return std::u16string(text);
  const std::u16string upperOld = UpperCaseUnits(oldText);
  return Splice(text, FindMatches(text, upperOld, UpperUnits{}), oldText.size(), newText);
}

}  // namespace tallowin
