#include "regex/regex_matcher.h"

#include <algorithm>

#include "regex/regex_errors.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

// Invariants:
// - The stack holds undo records and choice points. Failing pops entries, applying
//   each undo record, down to the newest choice point, which resumes matching; so
//   registers, loop frames and loop-back positions are always those of the path
//   being tried, and an attempt that fails leaves them as it found them.
// - A change made while no choice point is on the stack gets no undo record: no
//   resumed path can see it, and the failure of the attempt, which is then the only
//   way back, restores it (RestoreAfterFailure).
// - Every counted loop (LoopEntry) owns one frame while it is active; the loop node
//   always works on the innermost frame, which is its own.
// - An iteration that ends where it began leaves its loop: this is what makes
//   loops over operands that can match the empty text terminate.

namespace tallowin {
namespace {

// Index of the first `unit` in text[from, size), or size.
int32_t FindUnit(const char16_t* text, int32_t from, int32_t size, char16_t unit) {
  int32_t i = from;
#ifdef __SSE2__
  const __m128i needle = _mm_set1_epi16(static_cast<short>(unit));
  for (; i + 8 <= size; i += 8) {
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
    const int mask = _mm_movemask_epi8(_mm_cmpeq_epi16(chunk, needle));
    if (mask != 0) return i + __builtin_ctz(static_cast<unsigned>(mask)) / 2;
  }
#endif
  for (; i < size; ++i) {
    if (text[i] == unit) return i;
  }
  return size;
}

}  // namespace

Matcher::Matcher(const Program& program, const MatchSets& sets, std::u16string_view input,
                 MatchRegisters& registers, MatcherScratch& scratch, MatchLimits limits)
    : program_(program),
      nodes_(program.nodes),
      sets_(sets),
      input_(input.data()),
      length_(static_cast<int32_t>(input.size())),
      registers_(registers),
      scratch_(scratch),
      stack_(scratch.stack),
      limits_(limits) {
  scratch_.loopBackStart.assign(static_cast<size_t>(program.loopBackCount), -1);
  if (scratch_.runs.size() != nodes_.size()) scratch_.runs.assign(nodes_.size(), {});
}

bool Matcher::MatchesOne(const Node& node, int32_t pos) const {
  const char16_t c = input_[pos];
  switch (node.kind) {
    case NodeKind::Literal:
      return c == program_.literals[static_cast<size_t>(node.arg)];
    case NodeKind::LiteralFolded: {
      const char16_t t = program_.literals[static_cast<size_t>(node.arg)];
      return c == t || c == FoldCase(t);
    }
    case NodeKind::AnyChar:
      return true;
    case NodeKind::AnyButLineBreak:
      if (sets_.lineSeparators.Contains(c)) return false;
      return !(sets_.pairedSeparator && c == sets_.pairedSeparator->first && pos + 1 < length_ &&
               input_[pos + 1] == sets_.pairedSeparator->second);
    case NodeKind::CharIn:
    case NodeKind::CharInFolded:
      return program_.classes[static_cast<size_t>(node.arg)].Contains(c);
    case NodeKind::CharNotIn:
    case NodeKind::CharNotInFolded:
      return !program_.classes[static_cast<size_t>(node.arg)].Contains(c);
    case NodeKind::Digit:
      return c >= u'0' && c <= u'9';
    case NodeKind::NonDigit:
      return !(c >= u'0' && c <= u'9');
    case NodeKind::WordChar:
      return sets_.word.Contains(c);
    case NodeKind::NonWordChar:
      return !sets_.word.Contains(c);
    case NodeKind::SpaceChar:
      return sets_.space.Contains(c);
    case NodeKind::NonSpaceChar:
      return !sets_.space.Contains(c);
    default:
      return false;
  }
}

bool Matcher::MatchesOneCharOperand(const Node& node, int32_t pos) const {
  if (node.kind != NodeKind::Alternative) return MatchesOne(node, pos);
  for (const Node* alt = &node;; alt = &N(alt->next)) {
    if (MatchesOne(N(alt->operand), pos)) return true;
    if (alt->next == kNoNode || N(alt->next).kind != NodeKind::Alternative) return false;
  }
}

int32_t Matcher::ViableAlternative(int32_t alt, int32_t pos) const {
  for (;;) {
    const Node& a = N(alt);
    const Node& first = N(a.operand);
    bool viable = true;
    if (first.kind == NodeKind::Literal || first.kind == NodeKind::LiteralFolded) {
      const char16_t t = program_.literals[static_cast<size_t>(first.arg)];
      viable = pos < length_ &&
               (input_[pos] == t || (first.kind == NodeKind::LiteralFolded && input_[pos] == FoldCase(t)));
    }
    if (viable) return alt;
    if (a.next == kNoNode || N(a.next).kind != NodeKind::Alternative) return kNoNode;
    alt = a.next;
  }
}

bool Matcher::EnterAlternative(int32_t alt, int32_t pos, int32_t& node) {
  alt = ViableAlternative(alt, pos);
  if (alt == kNoNode) return false;
  const Node& a = N(alt);
  if (a.next != kNoNode && N(a.next).kind == NodeKind::Alternative) {
    const int32_t following = ViableAlternative(a.next, pos);
    if (following != kNoNode) PushChoice(kChoiceAlternative, following, pos);
  }
  node = a.operand;
  return true;
}

bool Matcher::MatchLiteral(const Node& node, int32_t pos) const {
  const std::u16string_view text = program_.LiteralText(node);
  if (static_cast<int64_t>(text.size()) > length_ - pos) return false;
  const char16_t* in = input_ + pos;
  if (node.kind == NodeKind::Literal) return std::equal(text.begin(), text.end(), in);
  for (size_t i = 0; i < text.size(); ++i) {
    if (in[i] != text[i] && in[i] != FoldCase(text[i])) return false;
  }
  return true;
}

int32_t Matcher::BackRefLength(int group) const {
  const int32_t s = registers_.start[static_cast<size_t>(group)];
  const int32_t e = registers_.end[static_cast<size_t>(group)];
  if (s < 0 || e < 0) return -1;
  return std::max(0, e - s);  // inside its own group the end can still be the old one
}

bool Matcher::MatchBackRefAt(int group, bool folded, int32_t pos) const {
  const int32_t len = BackRefLength(group);
  if (len < 0 || len > length_ - pos) return false;
  const char16_t* text = input_ + registers_.start[static_cast<size_t>(group)];
  const char16_t* in = input_ + pos;
  for (int32_t i = 0; i < len; ++i) {
    if (in[i] != text[i] && !(folded && in[i] == FoldCase(text[i]))) return false;
  }
  return true;
}

bool Matcher::IsLineStart(int32_t pos) const {
  if (pos == 0) return true;
  const char16_t prev = input_[pos - 1];
  if (const auto& pair = sets_.pairedSeparator) {
    if (pos >= 2 && prev == pair->second && input_[pos - 2] == pair->first) return true;
    if (prev == pair->first && pos < length_ && input_[pos] == pair->second) return false;
  }
  return sets_.lineSeparators.Contains(prev);
}

bool Matcher::IsLineEnd(int32_t pos) const {
  if (pos == length_) return true;
  const char16_t c = input_[pos];
  if (const auto& pair = sets_.pairedSeparator) {
    if (c == pair->first && pos + 1 < length_ && input_[pos + 1] == pair->second) return true;
    if (pos > 0 && input_[pos - 1] == pair->first && c == pair->second) return false;
  }
  return sets_.lineSeparators.Contains(c);
}

int32_t Matcher::LookAhead(const Node& repeat) const {
  if (repeat.follow == kNoNode) return -1;
  const Node& next = N(repeat.follow);
  if (next.kind != NodeKind::Literal || next.arg2 == 0) return -1;
  return program_.literals[static_cast<size_t>(next.arg)];
}

// A quantified back-reference repeats the group's whole text: the count is bounded by
// the input, and backtracking gives back one whole repetition at a time. An empty or
// unset group text repeats without moving, so only one count is tried.
int32_t Matcher::CountRepeats(const Node& repeat, int32_t start) const {
  const Node& operand = N(repeat.operand);
  int32_t count = 0;
  if (operand.kind == NodeKind::BackRef || operand.kind == NodeKind::BackRefFolded) {
    const int32_t len = BackRefLength(operand.arg);
    if (len < 0) return 0;
    if (len == 0) return repeat.min;
    const bool folded = operand.kind == NodeKind::BackRefFolded;
    for (int32_t p = start; count < repeat.max && len <= length_ - p; p += len, ++count) {
      if (!MatchBackRefAt(operand.arg, folded, p)) break;
    }
  } else {
    const int32_t limit = static_cast<int32_t>(std::min<int64_t>(repeat.max, length_ - start));
    if (operand.kind == NodeKind::AnyChar) return limit;
    MatcherScratch::Run& run = scratch_.runs[static_cast<size_t>(&repeat - nodes_.data())];
    if (run.begin <= start && start <= run.end) return std::min(limit, run.end - start);
    // Set operands are tested in a tight loop instead of one dispatch per unit.
    const CharSet* set = nullptr;
    bool negated = false;
    switch (operand.kind) {
      case NodeKind::CharNotIn: case NodeKind::CharNotInFolded: negated = true; [[fallthrough]];
      case NodeKind::CharIn: case NodeKind::CharInFolded: set = &program_.classes[static_cast<size_t>(operand.arg)]; break;
      case NodeKind::NonWordChar: negated = true; [[fallthrough]];
      case NodeKind::WordChar: set = &sets_.word; break;
      case NodeKind::NonSpaceChar: negated = true; [[fallthrough]];
      case NodeKind::SpaceChar: set = &sets_.space; break;
      default: break;
    }
    const char16_t* in = input_ + start;
    if (set != nullptr) {
      while (count < limit && set->Contains(in[count]) != negated) ++count;
    } else if (operand.kind == NodeKind::Digit) {
      while (count < limit && static_cast<char16_t>(in[count] - u'0') <= 9) ++count;
    } else {
      while (count < limit && MatchesOneCharOperand(operand, start + count)) ++count;
    }
    // A count cut short by the maximum says nothing about where the run ends.
    if (count < repeat.max) run = {start, start + count};
  }
  *limits_.stepsLeft -= count;
  return count;
}

bool Matcher::ContinueRepeat(int32_t node, int32_t start, int32_t from, int32_t& next,
                             int32_t& pos) {
  const Node& n = N(node);
  const int32_t width = RepeatWidth(n);
  const int32_t lookAhead = LookAhead(n);
  const int32_t lowest = n.arg2 ? std::max(from, n.min) : n.min;  // possessive: the full count only
  for (int32_t k = from; k >= lowest; --k) {
    const int32_t p = start + k * width;
    if (lookAhead >= 0 && (p >= length_ || input_[p] != lookAhead)) continue;
    if (k > lowest) PushChoice(kChoiceRepeat, node, start, k);
    if (n.kind == NodeKind::RepeatOneChar && n.arg != 0 && k > 0) {
      SetStart(n.arg, p - 1);
      SetEnd(n.arg, p);
    }
    pos = p;
    next = n.follow;
    return true;
  }
  return false;
}

// Whether repetition number `count` (0-based) matches after `count` repetitions from
// `start`, within the repeat's maximum. An empty repetition never adds a count.
bool Matcher::MatchOneMore(const Node& repeat, int32_t start, int32_t count) const {
  const Node& operand = N(repeat.operand);
  const int32_t width = RepeatWidth(repeat);
  if (count >= repeat.max || width == 0) return false;
  const int32_t p = start + count * width;
  if (operand.kind == NodeKind::BackRef || operand.kind == NodeKind::BackRefFolded) {
    return MatchBackRefAt(operand.arg, operand.kind == NodeKind::BackRefFolded, p);
  }
  return p < length_ && MatchesOne(operand, p);
}

// Tries counts upward from `count`, whose repetitions have matched, so a lazy
// repeat never looks further than the count it settles on.
bool Matcher::ContinueRepeatLazy(int32_t node, int32_t start, int32_t count, int32_t& next,
                                 int32_t& pos) {
  const Node& n = N(node);
  const int32_t width = RepeatWidth(n);
  const int32_t lookAhead = LookAhead(n);
  if (lookAhead >= 0 && N(n.operand).kind == NodeKind::AnyChar) {
    // Every unit is one more repetition: the count settles at the next unit that the
    // rest can begin with, within the maximum.
    const int32_t from = start + count;
    const int32_t limit = static_cast<int32_t>(std::min<int64_t>(length_, int64_t{start} + n.max + 1));
    const int32_t found = from < limit ? FindUnit(input_, from, limit, static_cast<char16_t>(lookAhead)) : limit;
    *limits_.stepsLeft -= found - from;
    if (found >= limit) return false;
    count = found - start;
    if (count < n.max) PushChoice(kChoiceRepeatLazy, node, start, count);
    pos = found;
    next = n.follow;
    return true;
  }
  for (;; ++count) {
    const int32_t p = start + count * width;
    if (lookAhead < 0 || (p < length_ && input_[p] == lookAhead)) {
      if (count < n.max && width > 0) PushChoice(kChoiceRepeatLazy, node, start, count);
      pos = p;
      next = n.follow;
      return true;
    }
    --*limits_.stepsLeft;
    if (!MatchOneMore(n, start, count)) return false;
  }
}

// Verifies the first `min` repetitions of a lazy repeat; false when they do not match.
bool Matcher::MatchMinimum(const Node& repeat, int32_t start) {
  const Node& operand = N(repeat.operand);
  if (operand.kind == NodeKind::BackRef || operand.kind == NodeKind::BackRefFolded) {
    const int32_t len = BackRefLength(operand.arg);
    if (len < 0) return repeat.min == 0;
    const bool folded = operand.kind == NodeKind::BackRefFolded;
    for (int32_t k = 0, p = start; k < repeat.min && len > 0; ++k, p += len) {
      if (!MatchBackRefAt(operand.arg, folded, p)) return false;
    }
    return true;
  }
  if (repeat.min > length_ - start) return false;
  for (int32_t k = 0; k < repeat.min; ++k) {
    if (!MatchesOne(operand, start + k)) return false;
  }
  *limits_.stepsLeft -= repeat.min;
  return true;
}

void Matcher::EnterIteration(int32_t pos) {
  MatcherScratch::LoopFrame& frame = scratch_.loops.back();
  PushUndo(kSetLoop, frame.count, frame.iterStart);
  ++frame.count;
  frame.iterStart = pos;
}

void Matcher::LeaveLoop() {
  const MatcherScratch::LoopFrame frame = scratch_.loops.back();
  PushUndo(kPushLoop, frame.count, frame.iterStart);
  scratch_.loops.pop_back();
}

bool Matcher::ApplyUndo(const BacktrackEntry& e) {
  switch (static_cast<EntryKind>(e.tag & 31)) {
    case kRestoreStart:
      registers_.start[static_cast<size_t>(e.a)] = e.b;
      return true;
    case kRestoreEnd:
      registers_.end[static_cast<size_t>(e.a)] = e.b;
      return true;
    case kRestoreLoopBack:
      scratch_.loopBackStart[static_cast<size_t>(e.a)] = e.b;
      return true;
    case kPopLoop:
      scratch_.loops.pop_back();
      return true;
    case kPushLoop:
      scratch_.loops.push_back({e.a, e.b});
      return true;
    case kSetLoop:
      scratch_.loops.back() = {e.a, e.b};
      return true;
    default:
      return false;
  }
}

bool Matcher::Backtrack(int32_t& node, int32_t& pos) {
  while (!stack_.empty()) {
    const BacktrackEntry e = stack_.back();
    stack_.pop_back();
    if (ApplyUndo(e)) continue;
    --choices_;
    const int32_t at = static_cast<int32_t>(e.tag >> 5);
    switch (static_cast<EntryKind>(e.tag & 31)) {
      case kChoiceAlternative:
        pos = e.a;
        if (EnterAlternative(at, pos, node)) return true;
        break;
      case kChoiceRepeat:
        if (ContinueRepeat(at, e.a, e.b - 1, node, pos)) return true;
        break;
      case kChoiceRepeatLazy:
        if (MatchOneMore(N(at), e.a, e.b) && ContinueRepeatLazy(at, e.a, e.b + 1, node, pos)) return true;
        break;
      case kChoiceLoopExit:
        pos = e.a;
        LeaveLoop();
        node = N(at).follow;
        return true;
      case kChoiceLoopIterate:
        pos = e.a;
        EnterIteration(pos);
        node = N(at).operand;
        return true;
      default:
        break;
    }
  }
  return false;
}

void Matcher::Unwind() {
  while (!stack_.empty()) {
    ApplyUndo(stack_.back());  // choice points are dropped without resuming
    stack_.pop_back();
  }
  RestoreAfterFailure();
}

void Matcher::RestoreAfterFailure() {
  for (uint32_t changed = changedAtBottom_; changed != 0; changed &= changed - 1) {
    const int bit = __builtin_ctz(changed);
    if (bit < 16) {
      registers_.start[static_cast<size_t>(bit)] = savedStart_[static_cast<size_t>(bit)];
    } else {
      registers_.end[static_cast<size_t>(bit - 16)] = savedEnd_[static_cast<size_t>(bit - 16)];
    }
  }
  changedAtBottom_ = 0;
  choices_ = 0;
  scratch_.loops.clear();  // empty when an attempt begins
  if (loopBackChangedAtBottom_) std::fill(scratch_.loopBackStart.begin(), scratch_.loopBackStart.end(), -1);
  loopBackChangedAtBottom_ = false;
}

AttemptOutcome Matcher::Attempt(int32_t start) {
  stack_.clear();
  scratch_.loops.clear();
  choices_ = 0;
  changedAtBottom_ = 0;
  loopBackChangedAtBottom_ = false;
  int32_t node = program_.entry;
  int32_t pos = start;
  leadingRunEnd_ = -1;
  int64_t& steps = *limits_.stepsLeft;
  const int32_t nodeCount = static_cast<int32_t>(nodes_.size());
  for (;;) {
    if (--steps < 0) {
      errorCode_ = kRegexStepBudgetExhausted;
      Unwind();
      return AttemptOutcome::SearchError;
    }
    if (stack_.size() > limits_.maxBacktrackEntries) {
      errorCode_ = kRegexBacktrackMemoryExhausted;
      Unwind();
      return AttemptOutcome::SearchError;
    }
    if (node < 0 || node >= nodeCount) {
      errorCode_ = kRegexBrokenLink;
      Unwind();
      return AttemptOutcome::AttemptError;
    }
    const Node& n = N(node);
    bool ok = true;
    switch (n.kind) {
      case NodeKind::MatchEnd:
        matchEnd_ = pos;
        stack_.clear();
        scratch_.loops.clear();
        std::fill(scratch_.loopBackStart.begin(), scratch_.loopBackStart.end(), -1);
        return AttemptOutcome::Match;
      case NodeKind::Alternative:
        if (EnterAlternative(node, pos, node)) continue;
        ok = false;
        break;
      case NodeKind::GroupOpen:
        SetStart(n.arg, pos);
        break;
      case NodeKind::GroupClose:
        SetEnd(n.arg, pos);
        break;
      case NodeKind::Literal:
      case NodeKind::LiteralFolded:
        ok = MatchLiteral(n, pos);
        if (ok) pos += n.arg2;
        break;
      case NodeKind::AnyChar:
      case NodeKind::AnyButLineBreak:
      case NodeKind::CharIn:
      case NodeKind::CharNotIn:
      case NodeKind::CharInFolded:
      case NodeKind::CharNotInFolded:
      case NodeKind::Digit:
      case NodeKind::NonDigit:
      case NodeKind::WordChar:
      case NodeKind::NonWordChar:
      case NodeKind::SpaceChar:
      case NodeKind::NonSpaceChar:
        ok = pos < length_ && MatchesOne(n, pos);
        if (ok) ++pos;
        break;
      case NodeKind::InputStart:
        ok = pos == 0;
        break;
      case NodeKind::InputEnd:
        ok = pos == length_;
        break;
      case NodeKind::LineStart:
        ok = IsLineStart(pos);
        break;
      case NodeKind::LineEnd:
        ok = IsLineEnd(pos);
        break;
      case NodeKind::WordBoundary:
        ok = IsWordAt(pos - 1) != IsWordAt(pos);
        break;
      case NodeKind::NotWordBoundary:
        ok = IsWordAt(pos - 1) == IsWordAt(pos);
        break;
      case NodeKind::BackRef:
      case NodeKind::BackRefFolded: {
        const int32_t len = BackRefLength(n.arg);
        ok = len >= 0 && MatchBackRefAt(n.arg, n.kind == NodeKind::BackRefFolded, pos);
        if (ok) pos += len;
        break;
      }
      case NodeKind::RepeatSimple:
      case NodeKind::RepeatOneChar: {
        const int32_t count = CountRepeats(n, pos);
        if (node == program_.hints.leadingRun) leadingRunEnd_ = pos + count;
        if (ContinueRepeat(node, pos, count, node, pos)) continue;
        ok = false;
        break;
      }
      case NodeKind::RepeatSimpleLazy:
        if (MatchMinimum(n, pos) && ContinueRepeatLazy(node, pos, n.min, node, pos)) continue;
        ok = false;
        break;
      case NodeKind::LoopEntry:
        if (scratch_.loops.size() >= static_cast<size_t>(kMaxCountedLoops)) {
          errorCode_ = kRegexLoopNestingTooDeep;
          Unwind();
          return AttemptOutcome::AttemptError;
        }
        scratch_.loops.push_back({0, pos});
        PushUndo(kPopLoop, 0);
        break;
      case NodeKind::LoopGreedy:
      case NodeKind::LoopLazy: {
        if (scratch_.loops.empty()) {
          errorCode_ = kRegexLoopWithoutEntry;
          Unwind();
          return AttemptOutcome::AttemptError;
        }
        const MatcherScratch::LoopFrame frame = scratch_.loops.back();
        const bool emptyIteration = frame.count > 0 && pos == frame.iterStart;
        if (!emptyIteration && frame.count < n.min) {
          EnterIteration(pos);
          node = n.operand;
          continue;
        }
        const bool mayIterate = !emptyIteration && frame.count < n.max;
        if (n.kind == NodeKind::LoopGreedy && mayIterate) {
          PushChoice(kChoiceLoopExit, node, pos);
          EnterIteration(pos);
          node = n.operand;
          continue;
        }
        if (n.kind == NodeKind::LoopLazy && mayIterate) PushChoice(kChoiceLoopIterate, node, pos);
        LeaveLoop();
        break;
      }
      case NodeKind::LoopBack: {
        int32_t& last = scratch_.loopBackStart[static_cast<size_t>(n.arg)];
        if (last == pos) {  // the iteration consumed nothing: leave the loop
          node = n.arg2;
          continue;
        }
        if (choices_ > 0) {
          Push(kRestoreLoopBack, 0, n.arg, last);
        } else {
          loopBackChangedAtBottom_ = true;
        }
        last = pos;
        node = n.operand;
        continue;
      }
      case NodeKind::Empty:
      case NodeKind::NoOp:
        break;
      default:
        errorCode_ = kRegexUnknownNode;
        Unwind();
        return AttemptOutcome::AttemptError;
    }
    if (ok) {
      node = n.follow;
      continue;
    }
    if (!Backtrack(node, pos)) {
      RestoreAfterFailure();
      return AttemptOutcome::NoMatch;
    }
  }
}

}  // namespace tallowin
