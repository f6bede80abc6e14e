#pragma once
// Runs a Program against an input at one start position: a backtracking matcher
// with an explicit stack, so its C++ stack use does not grow with the input.
//
// This file's external interface is Matcher. Contract: the Program, the sets and
// the input must outlive the Matcher; registers and scratch belong to the caller.

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "regex/char_set.h"
#include "regex/regex_program.h"

namespace tallowin {

// The engine's character sets, as the matching nodes see them.
struct MatchSets {
  CharSet word;
  CharSet space;
  CharSet lineSeparators;
  std::optional<std::pair<char16_t, char16_t>> pairedSeparator;  // (head, tail)
};

// Start and end (0-based, end exclusive) of groups 0..14; -1 when unset.
struct MatchRegisters {
  std::array<int32_t, kMaxGroups> start;
  std::array<int32_t, kMaxGroups> end;
  MatchRegisters() { Clear(); }
  void Clear() {
    start.fill(-1);
    end.fill(-1);
  }
};

// One backtracking-stack entry: either an undo record or a choice point.
struct BacktrackEntry {
  uint32_t tag;  // kind in the low 5 bits, node index above
  int32_t a;
  int32_t b;
  int32_t c;
};

// Kept by the engine between attempts so that the vectors keep their capacity.
struct MatcherScratch {
  std::vector<BacktrackEntry> stack;
  struct LoopFrame {
    int32_t count;      // iterations begun
    int32_t iterStart;  // position where the current iteration began
  };
  std::vector<LoopFrame> loops;       // active counted loops, innermost last
  std::vector<int32_t> loopBackStart;  // per LoopBack id: position of its last loop-back
  // Per node, for repeats of one-unit operands: the last run counted, [begin, end),
  // where every unit in it matches the operand and the unit at end does not (or end
  // is the input's end). A count from any start inside it is then known without
  // reading the units again: attempts from consecutive starts inside one word
  // would otherwise count the rest of the word again each time. Whether a unit
  // matches depends only on the input and the position, so the runs hold for as
  // long as the input and the program stay; the engine empties this when either
  // changes.
  struct Run {
    int32_t begin = -1;
    int32_t end = -1;
  };
  std::vector<Run> runs;
};

struct MatchLimits {
  int64_t* stepsLeft;          // shared by all attempts of one input; counts nodes and characters
  size_t maxBacktrackEntries;  // the attempt's memory bound
};

enum class AttemptOutcome {
  Match,         // registers hold the groups; matchEnd is set
  NoMatch,
  AttemptError,  // errorCode says why; the search goes on with the next position
  SearchError,   // errorCode says why; the whole search stops
};

class Matcher {
 public:
  Matcher(const Program& program, const MatchSets& sets, std::u16string_view input,
          MatchRegisters& registers, MatcherScratch& scratch, MatchLimits limits);

  // One attempt at `start` (0-based). On every outcome but Match, the registers are
  // as they were before the attempt.
  AttemptOutcome Attempt(int32_t start);
  int32_t matchEnd() const { return matchEnd_; }
  // Where the program's leading run (SearchHints::leadingRun) ended in the last
  // attempt, or -1 when the attempt did not reach it.
  int32_t leadingRunEnd() const { return leadingRunEnd_; }
  int errorCode() const { return errorCode_; }

 private:
  enum EntryKind : uint32_t {
    kRestoreStart,
    kRestoreEnd,
    kRestoreLoopBack,
    kPopLoop,
    kPushLoop,
    kSetLoop,
    kChoiceAlternative,
    kChoiceRepeat,
    kChoiceRepeatLazy,
    kChoiceLoopExit,
    kChoiceLoopIterate,
  };

  const Node& N(int32_t index) const { return nodes_[static_cast<size_t>(index)]; }
  void Push(EntryKind kind, int32_t node, int32_t a, int32_t b = 0, int32_t c = 0) {
    stack_.push_back({static_cast<uint32_t>(kind) | (static_cast<uint32_t>(node) << 5), a, b, c});
  }
  void PushChoice(EntryKind kind, int32_t node, int32_t a, int32_t b = 0) {
    ++choices_;
    Push(kind, node, a, b);
  }
  // An undo record matters only above a choice point. Below all of them, failing ends
  // the attempt, and RestoreAfterFailure puts back what was changed there: loop
  // frames and loop-back positions have known start values, and the registers'
  // first values are kept once in savedStart_ / savedEnd_.
  void PushUndo(EntryKind kind, int32_t a, int32_t b = 0) {
    if (choices_ > 0) Push(kind, 0, a, b);
  }
  void SetStart(int group, int32_t value) { SetRegister(registers_.start, savedStart_, kRestoreStart, group, 0, value); }
  void SetEnd(int group, int32_t value) { SetRegister(registers_.end, savedEnd_, kRestoreEnd, group, 16, value); }
  void SetRegister(std::array<int32_t, kMaxGroups>& regs, std::array<int32_t, kMaxGroups>& saved, EntryKind kind,
                   int group, int bitBase, int32_t value) {
    const size_t g = static_cast<size_t>(group);
    if (choices_ > 0) {
      Push(kind, 0, group, regs[g]);
    } else if (const uint32_t bit = uint32_t{1} << (bitBase + group); !(changedAtBottom_ & bit)) {
      changedAtBottom_ |= bit;
      saved[g] = regs[g];
    }
    regs[g] = value;
  }
  void RestoreAfterFailure();

  bool MatchesOne(const Node& node, int32_t pos) const;
  bool MatchesOneCharOperand(const Node& node, int32_t pos) const;
  bool MatchLiteral(const Node& node, int32_t pos) const;
  // The first alternative of the chain from `alt` that is not ruled out by its
  // leading literal at `pos`, or kNoNode.
  int32_t ViableAlternative(int32_t alt, int32_t pos) const;
  // Continues into the first viable alternative from `alt`, keeping a choice point
  // for the next viable one; false when none is viable.
  bool EnterAlternative(int32_t alt, int32_t pos, int32_t& node);
  int32_t BackRefLength(int group) const;
  bool MatchBackRefAt(int group, bool folded, int32_t pos) const;
  bool IsLineStart(int32_t pos) const;
  bool IsLineEnd(int32_t pos) const;
  bool IsWordAt(int32_t pos) const { return pos >= 0 && pos < length_ && sets_.word.Contains(input_[pos]); }
  int32_t LookAhead(const Node& repeat) const;

  // Repetition of a simple operand; the Continue functions return false when no
  // count is left.
  int32_t CountRepeats(const Node& repeat, int32_t start) const;
  bool ContinueRepeat(int32_t node, int32_t start, int32_t from, int32_t& next, int32_t& pos);
  // Units per repetition: the group's text length for a back-reference, else one.
  // Defined here so that the repeat paths inline it.
  int32_t RepeatWidth(const Node& repeat) const {
    const Node& operand = N(repeat.operand);
    if (operand.kind == NodeKind::BackRef || operand.kind == NodeKind::BackRefFolded) {
      return std::max(BackRefLength(operand.arg), 0);
    }
    return 1;
  }
  bool MatchOneMore(const Node& repeat, int32_t start, int32_t count) const;
  bool ContinueRepeatLazy(int32_t node, int32_t start, int32_t count, int32_t& next, int32_t& pos);
  bool MatchMinimum(const Node& repeat, int32_t start);

  void EnterIteration(int32_t pos);
  void LeaveLoop();

  // Applies `e` when it is an undo record; false for a choice point.
  bool ApplyUndo(const BacktrackEntry& e);
  bool Backtrack(int32_t& node, int32_t& pos);
  void Unwind();

  const Program& program_;
  const std::vector<Node>& nodes_;
  const MatchSets& sets_;
  const char16_t* input_;
  int32_t length_;
  MatchRegisters& registers_;
  MatcherScratch& scratch_;
  std::vector<BacktrackEntry>& stack_;
  MatchLimits limits_;
  int32_t choices_ = 0;  // choice points on the stack
  // Registers changed below every choice point: start of group g at bit g, end at
  // bit 16 + g; their values before the attempt are in savedStart_ / savedEnd_.
  uint32_t changedAtBottom_ = 0;
  bool loopBackChangedAtBottom_ = false;
  std::array<int32_t, kMaxGroups> savedStart_{};
  std::array<int32_t, kMaxGroups> savedEnd_{};
  int32_t matchEnd_ = -1;
  int32_t leadingRunEnd_ = -1;
  int errorCode_ = 0;
};

}  // namespace tallowin
