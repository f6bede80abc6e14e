#pragma once
// The compiled form of an expression: a flat array of nodes linked by index.
//
// This file documents the node layout once; the compiler (regex_compiler.cpp) emits
// it and the matcher (regex_matcher.cpp) runs it.
//
// Every node has a kind, `next` (the node that follows it in sequence, or kNoNode)
// and operands. Matching a node and then "continuing" means matching `next`.
//
//   Alternation a|b|c, also the whole expression and every group body:
//       Alternative(operand -> a...) -next-> Alternative(operand -> b...) -next->
//       Alternative(operand -> c...) -next-> End
//     where End is GroupClose (group) or MatchEnd (whole expression), and the last
//     node of every alternative's sequence links to End. An empty alternative is a
//     single Empty node. A chain of one Alternative just continues into its operand.
//   Group (x):         GroupOpen(n) -> Alternative chain of x -> GroupClose(n)
//   Simple operand s (one-character literal, class, \d \D \w \W \s \S, ".",
//   escaped character, back-reference):
//       s* s+ s{n,m}   RepeatSimple(min, max, operand -> s)          (s is off-chain)
//       lazy forms     RepeatSimpleLazy(min, max, operand -> s)
//       s??            RepeatSimpleLazy(0, 1, operand -> s)
//   Complex operand x (everything else):
//       x* greedy      A1: Alternative(operand -> x -> LoopBack(back -> A1))
//                      -next-> A2: Alternative(operand -> E) -next-> E: Empty
//       x+ greedy      x -> A1: Alternative(operand -> LoopBack(back -> x))
//                      -next-> A2: Alternative(operand -> E) -next-> E: Empty
//       x{n,m}, lazy x*, x+, x?
//                      LoopEntry -next-> L: LoopGreedy|LoopLazy(min, max, back -> x)
//                      (x's last node links to L; LoopEntry's own operand is x)
//   x? greedy (simple or complex):
//                      A1: Alternative(operand -> x -> E) -next->
//                      A2: Alternative(operand -> E) -next-> E: Empty
//   A LoopBack carries `loopId` (its own slot for the position where the current
//   iteration began) and `exit` (the Empty node after the loop): an iteration that
//   consumed nothing leaves the loop instead of looping back.
//
//   RepeatOneChar(min 0|1, group, operand) replaces the greedy x* / x+ layouts above
//   when x is a group whose every alternative is one single-character node. `group` (0 for none)
//   is set to the last character taken. `operand` is either that node or the group's
//   first Alternative. Results are those of the general layout; it only avoids one
//   backtracking entry per iteration.
//
// Literal texts live in `literals` (offset, length); class members in `classes`.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "regex/char_set.h"

namespace tallowin {

constexpr int32_t kNoNode = -1;
constexpr int kMaxGroups = 15;        // group 0 is the whole match
constexpr int kMaxCountedLoops = 10;  // nesting limit of LoopEntry loops
constexpr int32_t kUnlimited = 2147483646;

enum class NodeKind : uint8_t {
  MatchEnd,
  Alternative,
  GroupOpen,
  GroupClose,
  Literal,
  LiteralFolded,
  AnyChar,
  AnyButLineBreak,
  CharIn,
  CharNotIn,
  CharInFolded,
  CharNotInFolded,
  Digit,
  NonDigit,
  WordChar,
  NonWordChar,
  SpaceChar,
  NonSpaceChar,
  InputStart,
  InputEnd,
  LineStart,
  LineEnd,
  WordBoundary,
  NotWordBoundary,
  BackRef,
  BackRefFolded,
  RepeatSimple,
  RepeatSimpleLazy,
  LoopEntry,
  LoopGreedy,
  LoopLazy,
  LoopBack,
  Empty,
  NoOp,
  RepeatOneChar,
};

const char* NodeKindName(NodeKind kind);

struct Node {
  NodeKind kind = NodeKind::Empty;
  int32_t next = kNoNode;
  // Alternative: first node of its alternative. RepeatSimple*, RepeatOneChar,
  // LoopEntry: the operand. LoopGreedy, LoopLazy, LoopBack: where to loop back to.
  int32_t operand = kNoNode;
  // Group number (GroupOpen, GroupClose, BackRef*, RepeatOneChar), literal offset,
  // class index, or loop id (LoopBack).
  int32_t arg = 0;
  // Literal length; LoopBack: its exit node; RepeatSimple, RepeatOneChar: 1 when
  // giving back repetitions can never help (no choice points are kept).
  int32_t arg2 = 0;
  int32_t min = 0;
  int32_t max = 0;
  // `next` with the nodes that only pass control on skipped: Empty, NoOp, and an
  // Alternative that is its chain's last (entering it is entering its operand). The
  // matcher follows this; `next` keeps the layout above for the compiler and Dump.
  int32_t follow = kNoNode;
};

// A set of code units small enough for a vector test: up to eight units, or one
// range low..high; and the offset from a match's start where a unit of it must be.
struct UnitTest {
  int32_t offset = 0;
  bool range = false;
  char16_t low = 0;
  char16_t high = 0;
  int count = 0;  // units used (not a range)
  std::array<char16_t, 8> units{};
  bool Matches(char16_t c) const {
    if (range) return static_cast<char16_t>(c - low) <= static_cast<char16_t>(high - low);
    for (int i = 0; i < count; ++i) {
      if (units[static_cast<size_t>(i)] == c) return true;
    }
    return false;
  }
};

// Search hints; they never change a result, they only skip hopeless attempts.
struct SearchHints {
  bool anchored = false;          // starts with InputStart: one attempt at the offset
  // At most two tests every match passes (a unit at offset 0, or two units of a
  // fixed-width start such as the "-" of \d{4}-\d{2} at 4 and 7); start positions
  // that fail one are skipped by a vector scan before any attempt.
  std::vector<UnitTest> unitTests;
  std::u16string requiredLiteral;  // must occur in every match; empty for none
  // Starts with an unbounded repetition of "." with s on: a failed attempt at p means
  // every later start fails too (any later match would extend to p).
  bool firstAttemptDecides = false;
  // The node of a leading greedy repeat of a one-unit operand, without maximum, that
  // gives nothing back (possessive); kNoNode for none. When an attempt at s fails
  // after that repeat took [s, q), an attempt at any s' in (s, q] fails too: the
  // repeat takes [s', q) and the rest starts at q exactly as before, with the same
  // registers (nothing before it sets any). So the search goes on at q.
  int32_t leadingRun = kNoNode;
  // Bit c set: a match can begin with code unit c. Empty when a match can begin
  // anywhere (or be empty), so every position needs an attempt.
  std::vector<uint64_t> firstUnits;
  bool MayStartWith(char16_t c) const { return (firstUnits[c >> 6] >> (c & 63)) & 1; }
};

struct Program {
  std::vector<Node> nodes;
  int32_t start = kNoNode;  // the top-level Alternative
  int32_t entry = kNoNode;  // where the matcher begins: `start` with pass-through nodes skipped
  std::u16string literals;
  std::vector<CharSet> classes;
  int loopBackCount = 0;  // number of LoopBack loop ids
  int modifiers = 0;      // the modifier set the program was compiled with
  SearchHints hints;

  std::u16string_view LiteralText(const Node& node) const {
    return std::u16string_view(literals).substr(static_cast<size_t>(node.arg),
                                                static_cast<size_t>(node.arg2));
  }
  // One line per node: index, kind, operands, next. For debugging and tests.
  std::string Dump() const;
};

// ASCII letters swap case; every other unit, including all of 128 and above, is kept.
inline char16_t FoldCase(char16_t c) {
  if (c >= u'a' && c <= u'z') return static_cast<char16_t>(c - 32);
  if (c >= u'A' && c <= u'Z') return static_cast<char16_t>(c + 32);
  return c;
}

}  // namespace tallowin
