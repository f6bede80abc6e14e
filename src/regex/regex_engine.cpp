#include "regex/regex_engine.h"

#include <algorithm>

#include "regex/regex_compiler.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace tallowin {
namespace {

bool PassesAll(const char16_t* text, size_t i, const std::vector<UnitTest>& tests) {
  for (const UnitTest& t : tests) {
    if (!t.Matches(text[i + static_cast<size_t>(t.offset)])) return false;
  }
  return true;
}

#ifdef __SSE2__
// Bit 2k set: unit k of `chunk` is in the test's set.
int VectorMask(const UnitTest& t, __m128i chunk) {
  if (t.range) {
    const __m128i shifted = _mm_sub_epi16(chunk, _mm_set1_epi16(static_cast<short>(t.low)));
    const __m128i above = _mm_subs_epu16(shifted, _mm_set1_epi16(static_cast<short>(t.high - t.low)));
    return _mm_movemask_epi8(_mm_cmpeq_epi16(above, _mm_setzero_si128()));
  }
  __m128i hits = _mm_cmpeq_epi16(chunk, _mm_set1_epi16(static_cast<short>(t.units[0])));
  for (int k = 1; k < t.count; ++k) {
    hits = _mm_or_si128(hits, _mm_cmpeq_epi16(chunk, _mm_set1_epi16(static_cast<short>(t.units[static_cast<size_t>(k)]))));
  }
  return _mm_movemask_epi8(hits);
}
#endif

// The first start i in [from, last] whose units pass every test, or npos.
// `size` bounds the reads: i + offset < size for every test's offset.
size_t FindCandidate(const char16_t* text, size_t from, size_t last, size_t size, const std::vector<UnitTest>& tests) {
  size_t reach = 0;  // the largest offset
  for (const UnitTest& t : tests) reach = std::max(reach, static_cast<size_t>(t.offset));
  constexpr size_t npos = static_cast<size_t>(-1);
  if (size <= reach) return npos;
  last = std::min(last, size - 1 - reach);
  size_t i = from;
#ifdef __SSE2__
  if (!tests[0].range && tests[0].count == 1) {
    // One unit first (tests are ordered smallest set first): scan for it alone and
    // check the other test only where it occurs.
    const __m128i needle = _mm_set1_epi16(static_cast<short>(tests[0].units[0]));
    const char16_t* base = text + tests[0].offset;
    for (; i + 8 <= last + 1; i += 8) {
      unsigned mask = static_cast<unsigned>(
          _mm_movemask_epi8(_mm_cmpeq_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(base + i)), needle)));
      while (mask != 0) {
        const unsigned bit = static_cast<unsigned>(__builtin_ctz(mask));
        if (PassesAll(text, i + bit / 2, tests)) return i + bit / 2;
        mask &= ~(3u << bit);
      }
    }
  }
  for (; i + 8 <= last + 1; i += 8) {
    int mask = 0xFFFF;
    for (const UnitTest& t : tests) {
      mask &= VectorMask(t, _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i + static_cast<size_t>(t.offset))));
      if (mask == 0) break;
    }
    if (mask != 0) return i + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(mask))) / 2;
  }
#endif
  for (; i <= last; ++i) {
    if (PassesAll(text, i, tests)) return i;
  }
  return npos;
}

}  // namespace

RegexEngine::RegexEngine(RegexContext& context)
    : context_(context),
      modifiers_(context.engineDefaults.modifiers),
      wordChars_(context.engineDefaults.wordChars),
      spaceChars_(context.engineDefaults.spaceChars),
      lineSeparators_(context.engineDefaults.lineSeparators) {
  sets_.word = CharSet(wordChars_);
  sets_.space = CharSet(spaceChars_);
  sets_.lineSeparators = CharSet(lineSeparators_);
  sets_.pairedSeparator = context.engineDefaults.linePairedSeparator;
}

void RegexEngine::ReportError(int code, int position) {
  RegexErrorReport& report = context_.errorReport;
  report.success = false;
  report.message = ErrorText(code, context_.language);
  report.position = position;
  report.code = code;
}

void RegexEngine::DiscardProgram() {
  program_.reset();
  lastRequiredLiteral_ = -2;
  scratch_.runs.clear();
}

void RegexEngine::SetPatternText(std::u16string_view pattern) {
  const bool same = pattern_ ? *pattern_ == pattern : pattern.empty();
  if (same && program_) return;
  DiscardProgram();
  if (pattern.empty()) {
    pattern_.reset();
  } else {
    pattern_ = std::u16string(pattern);
  }
}

void RegexEngine::SetModifierFlag(int index, bool on) {
  const int bit = ModifierBit(index);
  if (bit == 0) {
    ReportError(kRegexBadModifierIndex);
    return;
  }
  modifiers_ = on ? (modifiers_ | bit) : (modifiers_ & ~bit);
}

void RegexEngine::SetLinePairedSeparator(std::u16string_view pair) {
  std::optional<std::pair<char16_t, char16_t>> value;
  if (pair.size() == 2 && pair[0] != pair[1]) {
    value = std::make_pair(pair[0], pair[1]);
  } else if (!pair.empty()) {
    ReportError(kRegexBadPairedSeparator);
    return;
  }
  if (value == sets_.pairedSeparator) return;
  sets_.pairedSeparator = value;
  DiscardProgram();
}

bool RegexEngine::CompilePattern() {
  DiscardProgram();
  if (!pattern_) {
    ReportError(kRegexNoPattern);
    return false;
  }
  CompileSettings settings;
  settings.modifiers = modifiers_;
  settings.wordChars = wordChars_;
  settings.spaceChars = spaceChars_;
  settings.lineAnchorsAvailable = !lineSeparators_.empty() || sets_.pairedSeparator.has_value();
  CompileResult result = CompileRegex(*pattern_, settings);
  for (const CompileError& error : result.errors) ReportError(error.code, error.position);
  program_ = std::move(result.program);
  return program_.has_value();
}

bool RegexEngine::EnsureProgram() {
  if (program_ && program_->modifiers != modifiers_) DiscardProgram();
  return program_ || CompilePattern();
}

bool RegexEngine::SearchFirst(std::u16string_view text) {
  ownedInput_.assign(text);
  return SearchFirstInPlace(ownedInput_);
}

bool RegexEngine::SearchFirstInPlace(std::u16string_view text) {
  input_ = text;
  hasInput_ = true;
  registers_.Clear();
  lastRequiredLiteral_ = -2;
  scratch_.runs.clear();
  stepsLeft_ = limits_.baseSteps + limits_.stepsPerUnit * static_cast<int64_t>(input_.size());
  return SearchFrom(1);
}

bool RegexEngine::SearchFrom(int offset) {
  registers_.Clear();
  if (!EnsureProgram()) return false;
  if (!hasInput_) {
    ReportError(kRegexNoInput);
    return false;
  }
  if (offset <= 0) {
    ReportError(kRegexBadOffset);
    return false;
  }
  const int64_t length = static_cast<int64_t>(input_.size());
  if (offset > length + 1) return false;

  const Program& program = *program_;
  const SearchHints& hints = program.hints;
  int64_t lastStart = length;  // last start position worth an attempt
  if (!hints.requiredLiteral.empty()) {
    if (lastRequiredLiteral_ == -2) {
      const size_t found = input_.rfind(hints.requiredLiteral);
      lastRequiredLiteral_ = found == std::u16string_view::npos ? -1 : static_cast<int64_t>(found);
    }
    // A match starting at p holds the literal at p or later.
    lastStart = lastRequiredLiteral_;
    if (lastStart < offset - 1) return false;
  }

  Matcher matcher(program, sets_, input_, registers_, scratch_,
                  MatchLimits{&stepsLeft_, limits_.maxBacktrackEntries});
  const bool singleAttempt = hints.anchored || hints.firstAttemptDecides;
  for (int64_t p = offset - 1; p <= lastStart;) {
    if (!hints.unitTests.empty()) {
      // Every match takes a unit at each test's offset, so the input end needs no attempt.
      const int64_t end = std::min(lastStart, length - 1);
      if (p > end) return false;
      const size_t found = FindCandidate(input_.data(), static_cast<size_t>(p), static_cast<size_t>(end),
                                         input_.size(), hints.unitTests);
      if (found == static_cast<size_t>(-1) || static_cast<int64_t>(found) > end) return false;
      p = static_cast<int64_t>(found);
    } else if (!hints.firstUnits.empty()) {
      const int64_t end = std::min(lastStart, length - 1);  // no empty match: the end needs no attempt
      while (p <= end && !hints.MayStartWith(input_[static_cast<size_t>(p)])) ++p;
      if (p > end) return false;
    }
    switch (matcher.Attempt(static_cast<int32_t>(p))) {
      case AttemptOutcome::Match:
        registers_.start[0] = static_cast<int32_t>(p);
        registers_.end[0] = matcher.matchEnd();
        return true;
      case AttemptOutcome::NoMatch:
        break;
      case AttemptOutcome::AttemptError:
        ReportError(matcher.errorCode());
        break;
      case AttemptOutcome::SearchError:
        ReportError(matcher.errorCode());
        return false;
    }
    if (singleAttempt) return false;
    p = std::max<int64_t>(p + 1, matcher.leadingRunEnd());
  }
  return false;
}

bool RegexEngine::SearchNext() {
  if (registers_.start[0] < 0 || registers_.end[0] < 0) {
    ReportError(kRegexNoPreviousMatch);
    return false;
  }
  const int length = GroupLength(0);
  return SearchFrom(GroupPosition(0) + length + (length == 0 ? 1 : 0));
}

int RegexEngine::GroupPosition(int index) const {
  if (index < 0 || index >= kMaxGroups || !hasInput_) return -1;
  const size_t i = static_cast<size_t>(index);
  if (registers_.start[i] < 0 || registers_.end[i] < 0) return -1;
  return registers_.start[i] + 1;
}

int RegexEngine::GroupLength(int index) const {
  if (index < 0 || index >= kMaxGroups || !hasInput_) return -1;
  const size_t i = static_cast<size_t>(index);
  if (registers_.start[i] < 0 || registers_.end[i] < 0) return -1;
  return registers_.end[i] - registers_.start[i];
}

namespace {

// Reads a group reference after "$" at `pos`: "{" optional, then "&" or decimal
// digits (none means 0), then "}" when "{" was given. Returns the group number
// (numbers too large for a group saturate at kMaxGroups) and moves `pos` past it, or
// returns -1 and leaves `pos` when there is no reference.
int ParseGroupReference(std::u16string_view tmpl, size_t& pos) {
  size_t p = pos;
  const bool braced = p < tmpl.size() && tmpl[p] == u'{';
  if (braced) ++p;
  int number = 0;
  if (p < tmpl.size() && tmpl[p] == u'&') {
    ++p;
  } else {
    for (; p < tmpl.size() && tmpl[p] >= u'0' && tmpl[p] <= u'9'; ++p) {
      number = std::min(number * 10 + (tmpl[p] - u'0'), kMaxGroups);
    }
  }
  if (braced) {
    if (p < tmpl.size() && tmpl[p] == u'}') {
      ++p;
    } else {
      p = pos;
    }
  }
  if (p == pos) return -1;
  pos = p;
  return number;
}

}  // namespace

std::u16string RegexEngine::ExpandTemplate(std::u16string_view tmpl) {
  std::u16string result;
  if (!EnsureProgram()) return result;
  if (!hasInput_) {
    ReportError(kRegexNoInput);
    return result;
  }
  result.reserve(tmpl.size());
  for (size_t pos = 0; pos < tmpl.size();) {
    const char16_t c = tmpl[pos++];
    if (c == u'$') {
      const int group = ParseGroupReference(tmpl, pos);
      if (group >= 0) {
        if (group < kMaxGroups) {
          const int start = GroupPosition(group);
          if (start > 0) result.append(input_.substr(static_cast<size_t>(start - 1),
                                                     static_cast<size_t>(GroupLength(group))));
        }
        continue;
      }
    } else if (c == u'\\' && pos < tmpl.size()) {
      result += tmpl[pos++];
      continue;
    }
    result += c;
  }
  return result;
}

}  // namespace tallowin
