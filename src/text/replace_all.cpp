#include "text/replace_all.h"

#include <algorithm>
#include <cstring>
#include <type_traits>
#include <cstdint>
#include <optional>
#include <vector>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

#include "base/case_mapping.h"

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

#if defined(__SSE2__)
// What the vector filters need to know of one search.
struct BlockScan {
  std::u16string_view text;
  std::u16string_view pattern;
  const UnitClass& first;
  const UnitClass& last;
  std::size_t budget;
};

bool HasAvx2() {
  static const bool avx2 = __builtin_cpu_supports("avx2");
  return avx2;
}

// One block of starts [base, base + lanes): `mask` has two bits per start whose
// first and last units fit. Checks the units between and records matches.
// Returns the first start not yet decided.
template <class Map>
std::size_t TakeCandidates(const BlockScan& scan, Map map, std::size_t base, std::size_t lanes, std::uint64_t mask,
                           std::size_t p, std::size_t& work, std::vector<std::size_t>& matches) {
  const std::size_t m = scan.pattern.size();
  const std::u16string_view middle = m > 2 ? scan.pattern.substr(1, m - 2) : std::u16string_view();
  std::size_t next = base + lanes;
  while (mask != 0) {
    const std::size_t at = base + static_cast<std::size_t>(__builtin_ctzll(mask) / 2);
    mask &= mask - 1;
    mask &= mask - 1;  // each unit sets two mask bits
    if (at < p) continue;
    work += m;
    if (middle.empty() || MatchesAt(scan.text.data() + at + 1, middle, map)) {
      matches.push_back(at);
      p = at + m;
      next = std::max(next, p);
    }
  }
  return std::max(p, next);
}

// The filter over blocks of 8 starts whose last-unit loads stay inside the text.
// Returns true when the text is scanned to its end; false when the tail (or, with
// `work` over the budget, the rest) is left to the caller.
template <class Map>
bool ScanBlocksSse2(const BlockScan& scan, Map map, std::size_t& p, std::size_t& work,
                    std::vector<std::size_t>& matches) {
  const char16_t* data = scan.text.data();
  const std::size_t m = scan.pattern.size();
  const std::size_t last = scan.text.size() - m;
  while (p + 8 <= last + 1) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + p));
    __m128i hits = EqualsAny(a, scan.first);
    if (m > 1) {
      const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + p + m - 1));
      hits = _mm_and_si128(hits, EqualsAny(b, scan.last));
    }
    const auto mask = static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(hits)));
    p = mask == 0 ? p + 8 : TakeCandidates(scan, map, p, 8, mask, p, work, matches);
    if (work > scan.budget) return false;
  }
  return false;
}

__attribute__((target("avx2"))) __m256i EqualsAny256(__m256i block, const UnitClass& c) {
  __m256i eq = _mm256_cmpeq_epi16(block, _mm256_set1_epi16(static_cast<short>(c.units[0])));
  for (std::size_t i = 1; i < c.count; ++i) {
    eq = _mm256_or_si256(eq, _mm256_cmpeq_epi16(block, _mm256_set1_epi16(static_cast<short>(c.units[i]))));
  }
  return eq;
}

// The same filter over blocks of 16 starts, where the processor has AVX2.
template <class Map>
__attribute__((target("avx2"))) bool ScanBlocksAvx2(const BlockScan& scan, Map map, std::size_t& p,
                                                    std::size_t& work, std::vector<std::size_t>& matches) {
  const char16_t* data = scan.text.data();
  const std::size_t m = scan.pattern.size();
  const std::size_t last = scan.text.size() - m;
  while (p + 16 <= last + 1) {
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + p));
    __m256i hits = EqualsAny256(a, scan.first);
    if (m > 1) {
      const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + p + m - 1));
      hits = _mm256_and_si256(hits, EqualsAny256(b, scan.last));
    }
    const auto mask = static_cast<std::uint64_t>(static_cast<unsigned>(_mm256_movemask_epi8(hits)));
    p = mask == 0 ? p + 16 : TakeCandidates(scan, map, p, 16, mask, p, work, matches);
    if (work > scan.budget) return false;
  }
  return ScanBlocksSse2(scan, map, p, work, matches);
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
    const BlockScan scan{text, pattern, first, lastUnit, budget};
    const bool done = HasAvx2() ? ScanBlocksAvx2(scan, map, p, work, matches) : ScanBlocksSse2(scan, map, p, work, matches);
    if (work > budget) {
      FindMatchesKmp(text, pattern, p, map, matches);
      return matches;
    }
    if (done) return matches;
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
    if (oldLength == 1) {
      for (std::size_t at : matches) out[at] = newText[0];
    } else {
      for (std::size_t at : matches) std::memcpy(out.data() + at, newText.data(), oldLength * sizeof(char16_t));
    }
    return out;
  }
  // Appending into reserved room copies each piece once and never zero-fills.
  std::u16string out;
  out.reserve(text.size() - matches.size() * oldLength + matches.size() * newText.size());
  std::size_t from = 0;
  for (std::size_t at : matches) {
    out.append(text.data() + from, at - from);
    out.append(newText);
    from = at + oldLength;
  }
  out.append(text.data() + from, text.size() - from);
  return out;
}

// One unit replaced by one unit: every unit of `from` becomes `to`, in one
// pass that needs no list of positions (matches of length one cannot overlap).
std::optional<std::u16string> ReplaceSingleUnits(std::u16string_view text, const UnitClass& from, char16_t to) {
  if (from.overflow) return std::nullopt;
  std::u16string out(text.size(), u'\0');
  const char16_t* src = text.data();
  char16_t* dst = out.data();
  std::size_t i = 0;
#if defined(__SSE2__)
  const __m128i replacement = _mm_set1_epi16(static_cast<short>(to));
  for (; i + 8 <= text.size(); i += 8) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
    const __m128i hit = EqualsAny(block, from);
    const __m128i blended = _mm_or_si128(_mm_and_si128(hit, replacement), _mm_andnot_si128(hit, block));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), blended);
  }
#endif
  for (; i < text.size(); ++i) {
    const char16_t u = src[i];
    bool hit = false;
    for (std::size_t k = 0; k < from.count; ++k) hit = hit || u == from.units[k];
    dst[i] = hit ? to : u;
  }
  return out;
}

}  // namespace

std::u16string ReplaceAllExact(std::u16string_view text, std::u16string_view oldText, std::u16string_view newText) {
  if (text.empty() || oldText.empty() || oldText == newText) return std::u16string(text);
  if (oldText.size() == 1 && newText.size() == 1) {
    return std::move(*ReplaceSingleUnits(text, ClassOf(oldText[0], ExactUnits{}), newText[0]));
  }
  return Splice(text, FindMatches(text, oldText, ExactUnits{}), oldText.size(), newText);
}

std::u16string ReplaceAllIgnoreCase(std::u16string_view text, std::u16string_view oldText,
                                    std::u16string_view newText) {
  if (text.empty() || oldText.empty()) return std::u16string(text);
  const std::u16string upperOld = UpperCaseUnits(oldText);
  if (oldText.size() == 1 && newText.size() == 1) {
    if (auto out = ReplaceSingleUnits(text, ClassOf(upperOld[0], UpperUnits{}), newText[0])) return std::move(*out);
  }
  return Splice(text, FindMatches(text, upperOld, UpperUnits{}), oldText.size(), newText);
}

}  // namespace tallowin
