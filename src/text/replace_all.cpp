#include "text/replace_all.h"

#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "text/case_mapping.h"

namespace tallowin {
namespace {

// First position >= from at which `unit` occurs, or text.size().
std::size_t FindUnit(std::u16string_view text, std::size_t from, char16_t unit) {
  const char16_t* data = text.data();
  const std::size_t n = text.size();
  std::size_t i = from;
#if defined(__SSE2__)
  const __m128i needle = _mm_set1_epi16(static_cast<short>(unit));
  for (; i + 8 <= n; i += 8) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
    const int mask = _mm_movemask_epi8(_mm_cmpeq_epi16(block, needle));
    if (mask != 0) return i + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(mask)) / 2);
  }
#endif
  for (; i < n; ++i) {
    if (data[i] == unit) return i;
  }
  return n;
}

// Knuth-Morris-Pratt failure function of `pattern`.
std::vector<std::size_t> FailureTable(std::u16string_view pattern) {
  std::vector<std::size_t> fail(pattern.size(), 0);
  for (std::size_t i = 1, k = 0; i < pattern.size(); ++i) {
    while (k > 0 && pattern[i] != pattern[k]) k = fail[k - 1];
    if (pattern[i] == pattern[k]) ++k;
    fail[i] = k;
  }
  return fail;
}

// Start positions of the leftmost non-overlapping occurrences of `pattern` (not empty).
// A fast first-unit scan with direct comparison handles ordinary text; once the
// comparisons cost more than a few passes over the text (a pathological pattern
// such as "aaab" in "aaaa..."), the rest of the scan switches to KMP, which finds
// the same matches in linear time.
std::vector<std::size_t> FindMatches(std::u16string_view text, std::u16string_view pattern) {
  std::vector<std::size_t> matches;
  const std::size_t n = text.size();
  const std::size_t m = pattern.size();
  if (m == 0 || m > n) return matches;
  const std::size_t last = n - m;
  const std::size_t budget = 4 * n + 64;
  std::size_t work = 0;
  std::size_t p = 0;
  while (p <= last) {
    p = FindUnit(text.substr(0, last + 1), p, pattern[0]);
    if (p > last) return matches;
    if (std::memcmp(text.data() + p + 1, pattern.data() + 1, (m - 1) * sizeof(char16_t)) == 0) {
      matches.push_back(p);
      p += m;
    } else {
      ++p;
    }
    work += m;
    if (work > budget) break;
  }
  if (p > last) return matches;

  const std::vector<std::size_t> fail = FailureTable(pattern);
  std::size_t k = 0;
  for (std::size_t i = p; i < n; ++i) {
    while (k > 0 && text[i] != pattern[k]) k = fail[k - 1];
    if (text[i] == pattern[k]) ++k;
    if (k == m) {
      matches.push_back(i + 1 - m);
      k = 0;  // non-overlapping: the next match starts after this one
    }
  }
  return matches;
}

// `text` with every match of length `oldLength` replaced by `newText`, built in one allocation.
std::u16string Splice(std::u16string_view text, const std::vector<std::size_t>& matches, std::size_t oldLength,
                      std::u16string_view newText) {
  if (matches.empty()) return std::u16string(text);
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
  return Splice(text, FindMatches(text, oldText), oldText.size(), newText);
}

std::u16string ReplaceAllIgnoreCase(std::u16string_view text, std::u16string_view oldText,
                                    std::u16string_view newText) {
  if (text.empty() || oldText.empty()) return std::u16string(text);
  const std::u16string upperText = UpperCaseUnits(text);
  const std::u16string upperOld = UpperCaseUnits(oldText);
  return Splice(text, FindMatches(upperText, upperOld), oldText.size(), newText);
}

}  // namespace tallowin
