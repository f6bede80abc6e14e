#include "regex/regex_compiler.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "base/integer_text.h"
#include "regex/engine_defaults.h"
#include "regex/regex_errors.h"

// Invariants of the parser:
// - pos_ counts consumed expression characters; it is the position of every error.
// - Every parse function returns the index of the first node of what it parsed, or
//   kNoNode after an error that makes compilation fail.
// - A parsed piece is a chain: following `next` from its first node reaches its last
//   node, whose `next` is kNoNode until the caller links it (Tail). Operands of
//   Alternative, RepeatSimple and loops hang off that chain.
// - Recursion only follows group nesting, which the 14-group limit bounds.

namespace tallowin {
namespace {

// Flags of a parsed atom or piece.
constexpr int kHasWidth = 1;  // cannot match the empty text
constexpr int kSimple = 2;    // exactly one node matching one character (or a back-reference)
constexpr int kSpStart = 4;   // starts with an expensive repetition

constexpr char16_t kRussianLower[] =
    u"\u0430\u0431\u0432\u0433\u0434\u0435\u0451\u0436\u0437\u0438\u0439\u043A\u043B\u043C"
    u"\u043D\u043E\u043F\u0440\u0441\u0442\u0443\u0444\u0445\u0446\u0447\u0448\u0449\u044A"
    u"\u044B\u044C\u044D\u044E\u044F";
constexpr char16_t kRussianUpper[] =
    u"\u0410\u0411\u0412\u0413\u0414\u0415\u0401\u0416\u0417\u0418\u0419\u041A\u041B\u041C"
    u"\u041D\u041E\u041F\u0420\u0421\u0422\u0423\u0424\u0425\u0426\u0427\u0428\u0429\u042A"
    u"\u042B\u042C\u042D\u042E\u042F";

bool IsQuantifierChar(int c) { return c == '*' || c == '+' || c == '?' || c == '{'; }
bool IsMeta(char16_t c) {
  switch (c) {
    case '^': case '$': case '.': case '[': case '(': case ')': case '|':
    case '?': case '+': case '*': case '\\': case '{':
      return true;
    default:
      return false;
  }
}
bool IsExtendedBlank(int c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsDecimalDigit(int c) { return c >= '0' && c <= '9'; }

bool IsOneCharKind(const Node& node) {
  switch (node.kind) {
    case NodeKind::Literal:
    case NodeKind::LiteralFolded:
      return node.arg2 == 1;
    case NodeKind::AnyChar: case NodeKind::AnyButLineBreak:
    case NodeKind::CharIn: case NodeKind::CharNotIn:
    case NodeKind::CharInFolded: case NodeKind::CharNotInFolded:
    case NodeKind::Digit: case NodeKind::NonDigit:
    case NodeKind::WordChar: case NodeKind::NonWordChar:
    case NodeKind::SpaceChar: case NodeKind::NonSpaceChar:
      return true;
    default:
      return false;
  }
}

class Parser {
 public:
  Parser(std::u16string_view pattern, const CompileSettings& settings)
      : pattern_(pattern), settings_(settings), modifiers_(settings.modifiers) {}

  CompileResult Run() {
    program_.modifiers = settings_.modifiers;
    int flags = 0;
    const int32_t start = ParseAlternation(/*group=*/false, flags);
    CompileResult result;
    result.errors = std::move(errors_);
    if (start == kNoNode) return result;
    program_.start = start;
    ComputeHints(flags);
    LinkPastPassThroughNodes();
    result.program = std::move(program_);
    return result;
  }

 private:
  // --- input -------------------------------------------------------------------
  bool AtEnd() const { return pos_ >= pattern_.size(); }
  int Ch() const { return At(pos_); }
  int At(size_t i) const { return i < pattern_.size() ? pattern_[i] : -1; }
  void Error(int code) { errors_.push_back({code, static_cast<int>(pos_)}); }

  // --- emitting ----------------------------------------------------------------
  int32_t Emit(NodeKind kind, int32_t arg = 0) {
    Node node;
    node.kind = kind;
    node.arg = arg;
    program_.nodes.push_back(node);
    return static_cast<int32_t>(program_.nodes.size() - 1);
  }
  Node& N(int32_t index) { return program_.nodes[static_cast<size_t>(index)]; }

  // Links the last node of the chain starting at `p` to `target`.
  void Tail(int32_t p, int32_t target) {
    while (N(p).next != kNoNode) p = N(p).next;
    N(p).next = target;
  }
  // For an Alternative: links the end of its alternative to `target`.
  void OpTail(int32_t p, int32_t target) {
    if (N(p).kind == NodeKind::Alternative) Tail(N(p).operand, target);
  }

  int32_t EmitLiteral(std::u16string_view text) {
    const int32_t node =
        Emit((modifiers_ & kModifierI) ? NodeKind::LiteralFolded : NodeKind::Literal);
    N(node).arg = static_cast<int32_t>(program_.literals.size());
    N(node).arg2 = static_cast<int32_t>(text.size());
    program_.literals.append(text);
    return node;
  }

  // --- alternation, sequence, piece --------------------------------------------
  int32_t ParseAlternation(bool group, int& flags) {
    flags = kHasWidth;
    const int savedModifiers = modifiers_;
    int32_t first = kNoNode;
    int groupNumber = 0;
    if (group) {
      if (groupCount_ >= kMaxGroups) {
        Error(kRegexTooManyGroups);
        return kNoNode;
      }
      groupNumber = groupCount_++;
      first = Emit(NodeKind::GroupOpen, groupNumber);
    }
    int32_t last = first;  // the chain's last node, so that linking a branch is O(1)
    while (true) {
      int branchFlags = 0;
      const int32_t branch = ParseSequence(branchFlags);
      if (branch == kNoNode) return kNoNode;
      if (first == kNoNode) {
        first = branch;
      } else {
        N(last).next = branch;
      }
      last = branch;
      // A group has width only when every alternative has width.
      if (!(branchFlags & kHasWidth)) flags &= ~kHasWidth;
      flags |= branchFlags & kSpStart;
      if (Ch() != '|') break;
      ++pos_;
    }
    const int32_t end = group ? Emit(NodeKind::GroupClose, groupNumber) : Emit(NodeKind::MatchEnd);
    N(last).next = end;
    for (int32_t p = first; p != kNoNode; p = N(p).next) OpTail(p, end);

    if (group) {
      if (Ch() != ')') {
        Error(kRegexUnmatchedGroup);
        return kNoNode;
      }
      ++pos_;
    } else if (!AtEnd()) {
      Error(Ch() == ')' ? kRegexUnmatchedCloseParen : kRegexJunkOnEnd);
      return kNoNode;
    }
    modifiers_ = savedModifiers;
    return first;
  }

  int32_t ParseSequence(int& flags) {
    flags = 0;
    const int32_t alternative = Emit(NodeKind::Alternative);
    int32_t chain = kNoNode;
    bool leading = true;
    while (!AtEnd() && Ch() != '|' && Ch() != ')') {
      int pieceFlags = 0;
      const int32_t piece = ParsePiece(pieceFlags);
      if (piece == kNoNode) return kNoNode;
      flags |= pieceFlags & kHasWidth;
      // Modifier groups and comments in front do not hide what the sequence starts with.
      if (leading) flags |= pieceFlags & kSpStart;
      leading = leading && N(piece).kind == NodeKind::NoOp;
      if (chain == kNoNode) {
        N(alternative).operand = piece;
      } else {
        Tail(chain, piece);
      }
      chain = piece;
    }
    if (chain == kNoNode) N(alternative).operand = Emit(NodeKind::Empty);
    return alternative;
  }

  int32_t ParsePiece(int& flags) {
    int atomFlags = 0;
    const int32_t atom = ParseAtom(atomFlags);
    if (atom == kNoNode) return kNoNode;
    flags = atomFlags;  // an atom left unquantified keeps its own flags
    const int op = Ch();
    if (!IsQuantifierChar(op)) return atom;
    if (!(atomFlags & kHasWidth) && op != '?') {
      Error(kRegexOperandCouldBeEmpty);
      return atom;
    }
    const bool simple = atomFlags & kSimple;
    int32_t piece = atom;
    int min = 0;
    int max = 0;
    switch (op) {
      case '*':
        min = 0, max = kUnlimited, flags = kSpStart;
        break;
      case '+':
        min = 1, max = kUnlimited, flags = kSpStart | kHasWidth;
        break;
      case '?':
        min = 0, max = 1, flags = 0;
        break;
      default:
        if (!ParseBraces(min, max)) return atom;
        flags = max > 0 ? kHasWidth | kSpStart : 0;
        break;
    }
    const bool lazyMark = At(pos_ + 1) == '?';
    const bool lazy = lazyMark || !(modifiers_ & kModifierG);
    if (simple && (op != '?' || lazy)) {
      piece = EmitRepeatSimple(atom, min, max, lazy);
    } else if (op == '?' && !lazy) {
      piece = EmitOptional(atom);
    } else if (op == '*' && !lazy) {
      piece = EmitStar(atom);
    } else if (op == '+' && !lazy) {
      piece = EmitPlus(atom);
    } else {
      piece = EmitCountedLoop(atom, min, max, lazy);
    }
    if (lazyMark) ++pos_;
    ++pos_;
    if (IsQuantifierChar(Ch())) Error(kRegexNestedQuantifier);
    return piece;
  }

  // Reads {n}, {n,} or {n,m} at pos_. A malformed one leaves pos_ at the "{" and
  // returns false (the "{" is literal text then); n > m reports an error, leaves
  // pos_ at the "}" and returns false. On success pos_ is at the "}".
  bool ParseBraces(int& min, int& max) {
    const size_t brace = pos_;
    ++pos_;
    size_t digits = pos_;
    while (IsDecimalDigit(Ch())) ++pos_;
    if ((Ch() != '}' && Ch() != ',') || digits == pos_) {
      pos_ = brace;
      return false;
    }
    min = ParseCount(digits, pos_);
    if (Ch() == ',') {
      ++pos_;
      digits = pos_;
      while (IsDecimalDigit(Ch())) ++pos_;
      if (Ch() != '}') {
        pos_ = brace;
        return false;
      }
      max = digits == pos_ ? kUnlimited : ParseCount(digits, pos_);
    } else {
      max = min;
    }
    if (min > max) {
      Error(kRegexBracesMinGreaterMax);
      return false;
    }
    return true;
  }

  int ParseCount(size_t from, size_t to) {
    if (to - from > 8) {
      Error(kRegexBracesArgTooBig);
      return 0;
    }
    int value = 0;
    for (size_t i = from; i < to; ++i) value = value * 10 + (pattern_[i] - '0');
    return value;
  }

  // --- quantifier layouts (see regex_program.h) ----------------------------------
  int32_t EmitRepeatSimple(int32_t atom, int min, int max, bool lazy) {
    const int32_t node = Emit(lazy ? NodeKind::RepeatSimpleLazy : NodeKind::RepeatSimple);
    N(node).operand = atom;
    N(node).min = min;
    N(node).max = max;
    return node;
  }

  int32_t EmitOptional(int32_t atom) {
    const int32_t first = Emit(NodeKind::Alternative);
    const int32_t second = Emit(NodeKind::Alternative);
    const int32_t empty = Emit(NodeKind::Empty);
    N(first).operand = atom;
    N(first).next = second;
    N(second).operand = empty;
    N(second).next = empty;
    Tail(atom, empty);
    return first;
  }

  // The loop's exit alternative: Alternative(operand -> Empty) -next-> Empty.
  int32_t EmitLoopExit(int32_t loopAlternative) {
    const int32_t second = Emit(NodeKind::Alternative);
    const int32_t empty = Emit(NodeKind::Empty);
    N(loopAlternative).next = second;
    N(second).operand = empty;
    N(second).next = empty;
    return empty;
  }

  int32_t EmitLoopBack(int32_t target) {
    const int32_t back = Emit(NodeKind::LoopBack, program_.loopBackCount++);
    N(back).operand = target;
    return back;
  }

  int32_t EmitStar(int32_t atom) {
    if (const int32_t fast = TryRepeatOneChar(atom, 0); fast != kNoNode) return fast;
    const int32_t loop = Emit(NodeKind::Alternative);
    N(loop).operand = atom;
    const int32_t back = EmitLoopBack(loop);
    Tail(atom, back);
    N(back).arg2 = EmitLoopExit(loop);
    return loop;
  }

  int32_t EmitPlus(int32_t atom) {
    if (const int32_t fast = TryRepeatOneChar(atom, 1); fast != kNoNode) return fast;
    const int32_t loop = Emit(NodeKind::Alternative);
    Tail(atom, loop);
    const int32_t back = EmitLoopBack(atom);
    N(loop).operand = back;
    N(back).arg2 = EmitLoopExit(loop);
    return atom;
  }

  int32_t EmitCountedLoop(int32_t atom, int min, int max, bool lazy) {
    const int32_t entry = Emit(NodeKind::LoopEntry);
    const int32_t loop = Emit(lazy ? NodeKind::LoopLazy : NodeKind::LoopGreedy);
    N(entry).operand = atom;
    N(entry).next = loop;
    N(loop).operand = atom;
    N(loop).min = min;
    N(loop).max = max;
    Tail(atom, loop);
    return entry;
  }

  // A greedy x* or x+ whose x always takes exactly one character: a bare "." with
  // s off, or a group of single-character alternatives.
  int32_t TryRepeatOneChar(int32_t atom, int min) {
    const Node& a = N(atom);
    int32_t operand = kNoNode;
    int group = 0;
    if (a.kind == NodeKind::AnyButLineBreak && a.next == kNoNode) {
      operand = atom;
    } else if (a.kind == NodeKind::GroupOpen) {
      int32_t p = a.next;
      int32_t close = kNoNode;
      for (; p != kNoNode && N(p).kind == NodeKind::Alternative; p = N(p).next) {
        const Node& single = N(N(p).operand);
        if (!IsOneCharKind(single)) return kNoNode;
        if (close == kNoNode) close = single.next;
        if (single.next != close) return kNoNode;
      }
      if (p == kNoNode || p != close || N(p).kind != NodeKind::GroupClose || N(p).next != kNoNode) {
        return kNoNode;
      }
      operand = a.next;
      group = a.arg;
    } else {
      return kNoNode;
    }
    const int32_t node = Emit(NodeKind::RepeatOneChar, group);
    N(node).operand = operand;
    N(node).min = min;
    N(node).max = kUnlimited;
    return node;
  }

  // --- atoms -----------------------------------------------------------------
  int32_t ParseAtom(int& flags) {
    flags = 0;
    if (AtEnd()) {
      Error(kRegexInternalUrp);
      return kNoNode;
    }
    const char16_t c = pattern_[pos_++];
    const bool lineMode = (modifiers_ & kModifierM) && settings_.lineAnchorsAvailable;
    switch (c) {
      case '^':
        return Emit(lineMode ? NodeKind::LineStart : NodeKind::InputStart);
      case '$':
        return Emit(lineMode ? NodeKind::LineEnd : NodeKind::InputEnd);
      case '.':
        if (modifiers_ & kModifierS) {
          flags = kHasWidth | kSimple;
          return Emit(NodeKind::AnyChar);
        }
        // One unit or none: a CR before an LF is refused, never taken with the LF.
        flags = kHasWidth | kSimple;
        return Emit(NodeKind::AnyButLineBreak);
      case '[':
        return ParseClass(flags);
      case '(':
        return ParseParenthesis(flags);
      case '|':
      case ')':
        Error(kRegexInternalUrp);
        return kNoNode;
      case '?':
      case '+':
      case '*':
        Error(kRegexQuantifierFollowsNothing);
        return kNoNode;
      case '\\':
        return ParseEscape(flags);
      default:
        --pos_;
        return ParseLiteralText(flags);
    }
  }

  int32_t ParseParenthesis(int& flags) {
    if (Ch() != '?') {
      int groupFlags = 0;
      const int32_t group = ParseAlternation(/*group=*/true, groupFlags);
      if (group == kNoNode) return kNoNode;
      flags = groupFlags & (kHasWidth | kSpStart);
      return group;
    }
    if (At(pos_ + 1) == '#') {
      pos_ += 2;
      while (!AtEnd() && Ch() != ')') ++pos_;
      if (AtEnd()) {
        Error(kRegexUnclosedComment);
        return kNoNode;
      }
      ++pos_;
      return Emit(NodeKind::NoOp);
    }
    ++pos_;
    const size_t begin = pos_;
    while (!AtEnd() && Ch() != ')') ++pos_;
    if (AtEnd() || !ApplyInlineModifiers(pattern_.substr(begin, pos_ - begin))) {
      Error(kRegexUnrecognizedModifier);
      return kNoNode;
    }
    ++pos_;
    return Emit(NodeKind::NoOp);
  }

  bool ApplyInlineModifiers(std::u16string_view letters) {
    bool on = true;
    for (char16_t letter : letters) {
      if (letter == '-') {
        on = false;
        continue;
      }
      int bit = 0;
      switch (letter) {
        case 'i': case 'I': bit = kModifierI; break;
        case 'r': case 'R': bit = kModifierR; break;
        case 's': case 'S': bit = kModifierS; break;
        case 'g': case 'G': bit = kModifierG; break;
        case 'm': case 'M': bit = kModifierM; break;
        case 'x': case 'X': bit = kModifierX; break;
        default: return false;
      }
      modifiers_ = on ? (modifiers_ | bit) : (modifiers_ & ~bit);
    }
    return true;
  }

  // pos_ is just after the backslash.
  int32_t ParseEscape(int& flags) {
    if (AtEnd()) {
      Error(kRegexTrailingBackslash);
      return kNoNode;
    }
    const char16_t c = pattern_[pos_];
    int32_t node = kNoNode;
    flags = kHasWidth | kSimple;
    switch (c) {
      case 'd': node = Emit(NodeKind::Digit); break;
      case 'D': node = Emit(NodeKind::NonDigit); break;
      case 'w': node = Emit(NodeKind::WordChar); break;
      case 'W': node = Emit(NodeKind::NonWordChar); break;
      case 's': node = Emit(NodeKind::SpaceChar); break;
      case 'S': node = Emit(NodeKind::NonSpaceChar); break;
      case 'b': node = Emit(NodeKind::WordBoundary), flags = 0; break;
      case 'B': node = Emit(NodeKind::NotWordBoundary), flags = 0; break;
      case 'A': node = Emit(NodeKind::InputStart), flags = 0; break;
      case 'Z': node = Emit(NodeKind::InputEnd), flags = 0; break;
      default:
        if (c >= '1' && c <= '9') {
          node = Emit((modifiers_ & kModifierI) ? NodeKind::BackRefFolded : NodeKind::BackRef,
                      c - '0');
        } else {
          const std::optional<char16_t> ch = UnquoteChar();
          if (!ch) return kNoNode;
          node = EmitLiteral(std::u16string_view(&*ch, 1));
        }
        break;
    }
    ++pos_;
    return node;
  }

  // pos_ is at the character after a backslash. Leaves pos_ at the last character of
  // the escape. Returns nothing after an error that makes compilation fail.
  std::optional<char16_t> UnquoteChar() {
    switch (Ch()) {
      case 't': return u'\t';
      case 'n': return u'\n';
      case 'r': return u'\r';
      case 'f': return u'\f';
      case 'a': return u'\a';
      case 'e': return u'\x1B';
      case 'x': break;
      default: return static_cast<char16_t>(Ch());
    }
    unsigned value = 0;
    ++pos_;
    if (AtEnd()) {
      Error(kRegexNoHexCodeAfterX);
      return std::nullopt;
    }
    if (Ch() != '{') {
      value = HexDigit();
      ++pos_;
      if (AtEnd()) {
        Error(kRegexNoHexCodeAfterX);
        return std::nullopt;
      }
      return static_cast<char16_t>((value << 4) | HexDigit());
    }
    do {
      ++pos_;
      if (AtEnd()) {
        Error(kRegexNoHexCodeAfterX);
        return std::nullopt;
      }
      if (Ch() != '}') {
        if (value >> 12) {
          Error(kRegexHexCodeTooBig);  // the offending digit is skipped by the caller
          return static_cast<char16_t>(value);
        }
        value = (value << 4) | HexDigit();
      }
    } while (Ch() != '}');
    return static_cast<char16_t>(value);
  }

  unsigned HexDigit() {
    const int c = Ch();
    const int digit = c < 0 ? -1 : HexDigitValue(static_cast<char32_t>(c));
    if (digit >= 0) return static_cast<unsigned>(digit);
    Error(kRegexBadHexDigit);
    return 0;
  }

  // pos_ is just after "[".
  int32_t ParseClass(int& flags) {
    bool negated = false;
    if (Ch() == '^') {
      negated = true;
      ++pos_;
    }
    std::u16string members;
    bool canBeRange = false;
    char16_t rangeBegin = 0;
    auto addSingle = [&](char16_t ch) {
      rangeBegin = ch;
      members += ch;
      canBeRange = true;
    };
    auto addPlain = [&](std::u16string_view text) {
      members.append(text);
      canBeRange = false;
    };
    if (Ch() == ']') {
      addSingle(u']');
      ++pos_;
    }
    while (!AtEnd() && Ch() != ']') {
      if (Ch() == '-' && At(pos_ + 1) != -1 && At(pos_ + 1) != ']' && canBeRange) {
        ++pos_;
        char16_t rangeEnd = pattern_[pos_];
        if (rangeEnd == '\\') {
          switch (At(pos_ + 1)) {
            case 'd': case 'D': case 's': case 'S': case 'w': case 'W':
              addPlain(u"-");  // the escape is read on its own next
              continue;
            default:
              break;
          }
          ++pos_;
          if (AtEnd()) {
            Error(kRegexClassTrailingBackslash);
            return kNoNode;
          }
          const std::optional<char16_t> ch = UnquoteChar();
          if (!ch) return kNoNode;
          rangeEnd = *ch;
        }
        if (!AddRange(rangeBegin, rangeEnd, members)) return kNoNode;
        canBeRange = false;
        ++pos_;
        continue;
      }
      if (Ch() == '\\') {
        ++pos_;
        if (AtEnd()) {
          Error(kRegexClassTrailingBackslash);
          return kNoNode;
        }
        switch (Ch()) {
          case 'd': addPlain(u"0123456789"); break;
          case 'w': addPlain(settings_.wordChars); break;
          case 's': addPlain(settings_.spaceChars); break;
          default: {
            const std::optional<char16_t> ch = UnquoteChar();
            if (!ch) return kNoNode;
            addSingle(*ch);
          }
        }
      } else {
        addSingle(pattern_[pos_]);
      }
      ++pos_;
    }
    if (Ch() != ']') {
      Error(kRegexUnmatchedBracket);
      return kNoNode;
    }
    ++pos_;
    // The member list ends at a character of code 0.
    if (const size_t nul = members.find(u'\0'); nul != std::u16string::npos) members.resize(nul);
    const bool folded = modifiers_ & kModifierI;
    if (folded) {
      const size_t n = members.size();
      for (size_t i = 0; i < n; ++i) {
        if (FoldCase(members[i]) != members[i]) members += FoldCase(members[i]);
      }
    }
    program_.classes.emplace_back(members);
    flags = kHasWidth | kSimple;
    NodeKind kind = negated ? NodeKind::CharNotIn : NodeKind::CharIn;
    if (folded) kind = negated ? NodeKind::CharNotInFolded : NodeKind::CharInFolded;
    return Emit(kind, static_cast<int32_t>(program_.classes.size() - 1));
  }

  bool AddRange(char16_t first, char16_t last, std::u16string& members) {
    if (modifiers_ & kModifierR) {
      const bool fromLower = first == u'\u0430';
      if (fromLower && last == u'\u044F') {
        members += kRussianLower;
        return true;
      }
      if (first == u'\u0410' && last == u'\u042F') {
        members += kRussianUpper;
        return true;
      }
      if (fromLower && last == u'\u042F') {
        members += kRussianLower;
        members += kRussianUpper;
        return true;
      }
    }
    if (first > last) {
      Error(kRegexInvalidRange);
      return false;
    }
    members += last;
    for (unsigned c = first + 1u; c < last; ++c) members += static_cast<char16_t>(c);
    return true;
  }

  // pos_ is at the first character of the text.
  int32_t ParseLiteralText(int& flags) {
    const bool extended = modifiers_ & kModifierX;
    if (extended && (Ch() == '#' || IsExtendedBlank(Ch()))) {
      if (Ch() == '#') {
        while (!AtEnd() && Ch() != '\r' && Ch() != '\n') ++pos_;
        while (Ch() == '\r' || Ch() == '\n') ++pos_;
      } else {
        while (IsExtendedBlank(Ch())) ++pos_;
      }
      return Emit(NodeKind::NoOp);
    }
    size_t length = PlainRunLength(pos_);
    if (length == 0) {
      if (Ch() != '{') {
        Error(kRegexParseAtomDisaster);
        return kNoNode;
      }
      length = PlainRunLength(pos_ + 1) + 1;
    }
    // Leave the last character for a following quantifier, which applies to it alone.
    if (length > 1 && IsQuantifierChar(At(pos_ + length))) --length;
    flags = kHasWidth | (length == 1 ? kSimple : 0);
    std::u16string text;
    for (; length > 0 && !(extended && Ch() == '#'); --length, ++pos_) {
      if (!extended || !IsExtendedBlank(Ch())) text += pattern_[pos_];
    }
    return EmitLiteral(text);
  }

  size_t PlainRunLength(size_t from) const {
    size_t i = from;
    while (i < pattern_.size() && !IsMeta(pattern_[i])) ++i;
    return i - from;
  }

  // --- links the matcher follows --------------------------------------------------
  // The first node from `p` that does something: Empty and NoOp pass on to `next`, the
  // last Alternative of a chain (or the only one) to its operand. A cycle of such
  // nodes cannot be built; the guard keeps a broken program from hanging here.
  int32_t SkipPassThrough(int32_t p) {
    for (size_t guard = 0; p != kNoNode && guard <= program_.nodes.size(); ++guard) {
      const Node& n = N(p);
      if (n.kind == NodeKind::Empty || n.kind == NodeKind::NoOp) {
        p = n.next;
      } else if (n.kind == NodeKind::Alternative && (n.next == kNoNode || N(n.next).kind != NodeKind::Alternative)) {
        p = n.operand;
      } else {
        break;
      }
    }
    return p;
  }

  void LinkPastPassThroughNodes() {
    for (Node& n : program_.nodes) n.follow = SkipPassThrough(n.next);
    program_.entry = SkipPassThrough(program_.start);
  }

  // --- search hints ------------------------------------------------------------
  // Over-approximates the code units that the path from `start` can consume first,
  // by walking the nodes passed before the first character (explicit stack: patterns
  // can be long). Empty when that is unknown: the path can end (MatchEnd) without a
  // character, can take any character, has a back-reference, or (when
  // `anchorsUnknown`) meets a zero-width assertion.
  std::vector<uint64_t> FirstUnitsFrom(int32_t start, bool anchorsUnknown) {
    std::vector<uint64_t> bits(1024, 0);
    if (!AddFirstUnits(start, anchorsUnknown, bits)) bits.clear();
    return bits;
  }

  bool AddFirstUnits(int32_t start, bool anchorsUnknown, std::vector<uint64_t>& bits) {
    std::vector<char> seen(program_.nodes.size(), 0);
    std::vector<int32_t> todo{start};
    auto push = [&](int32_t p) {
      if (p != kNoNode && !seen[static_cast<size_t>(p)]) todo.push_back(p);
    };
    while (!todo.empty()) {
      const int32_t index = todo.back();
      todo.pop_back();
      if (seen[static_cast<size_t>(index)]) continue;
      seen[static_cast<size_t>(index)] = 1;
      const Node& n = N(index);
      switch (n.kind) {
        case NodeKind::MatchEnd:
        case NodeKind::AnyChar:
        case NodeKind::AnyButLineBreak:
        case NodeKind::BackRef:
        case NodeKind::BackRefFolded:
          return false;
        case NodeKind::InputStart: case NodeKind::InputEnd:
        case NodeKind::LineStart: case NodeKind::LineEnd:
        case NodeKind::WordBoundary: case NodeKind::NotWordBoundary:
          if (anchorsUnknown) return false;
          push(n.next);
          break;
        case NodeKind::Alternative:
          push(n.operand);
          if (n.next != kNoNode && N(n.next).kind == NodeKind::Alternative) push(n.next);
          break;
        case NodeKind::RepeatSimple:
        case NodeKind::RepeatSimpleLazy:
        case NodeKind::RepeatOneChar:
          if (!AddOperandUnits(n, bits)) return false;
          if (n.min == 0) push(n.next);
          break;
        case NodeKind::LoopGreedy:
        case NodeKind::LoopLazy:
        case NodeKind::LoopBack:
          push(n.operand);
          push(n.kind == NodeKind::LoopBack ? n.arg2 : n.next);
          break;
        default:
          if (!AddOneCharUnits(n, bits)) push(n.next);  // other zero-width nodes pass through
          break;
      }
    }
    return true;
  }

  // What one repetition of a repeat's operand can take; false if unknown.
  bool AddOperandUnits(const Node& repeat, std::vector<uint64_t>& bits) {
    const Node& operand = N(repeat.operand);
    if (operand.kind != NodeKind::Alternative) return AddOneCharUnits(operand, bits);
    for (int32_t a = repeat.operand; a != kNoNode && N(a).kind == NodeKind::Alternative; a = N(a).next) {
      if (!AddOneCharUnits(N(N(a).operand), bits)) return false;
    }
    return true;
  }

  // Adds what the first character of a consuming node accepts; false for a node that
  // consumes nothing or whose first character is unknown.
  bool AddOneCharUnits(const Node& n, std::vector<uint64_t>& bits) {
    auto add = [&](char16_t c) { bits[c >> 6] |= uint64_t{1} << (c & 63); };
    auto addRange = [&](unsigned first, unsigned last) {
      for (unsigned c = first; c <= last; ++c) add(static_cast<char16_t>(c));
    };
    auto addAllBut = [&](const CharSet& set) {
      for (unsigned c = 0; c < 65536; ++c) {
        if (!set.Contains(static_cast<char16_t>(c))) add(static_cast<char16_t>(c));
      }
    };
    switch (n.kind) {
      case NodeKind::Literal:
        add(program_.LiteralText(n)[0]);
        return true;
      case NodeKind::LiteralFolded:
        add(program_.LiteralText(n)[0]);
        add(FoldCase(program_.LiteralText(n)[0]));
        return true;
      case NodeKind::CharIn: case NodeKind::CharInFolded:
        for (char16_t c : program_.classes[static_cast<size_t>(n.arg)].Members()) add(c);
        return true;
      case NodeKind::CharNotIn: case NodeKind::CharNotInFolded:
        addAllBut(program_.classes[static_cast<size_t>(n.arg)]);
        return true;
      case NodeKind::Digit: addRange('0', '9'); return true;
      case NodeKind::NonDigit: addRange(0, '0' - 1), addRange('9' + 1, 0xFFFF); return true;
      case NodeKind::WordChar: for (char16_t c : settings_.wordChars) add(c); return true;
      case NodeKind::NonWordChar: addAllBut(CharSet(settings_.wordChars)); return true;
      case NodeKind::SpaceChar: for (char16_t c : settings_.spaceChars) add(c); return true;
      case NodeKind::NonSpaceChar: addAllBut(CharSet(settings_.spaceChars)); return true;
      default: return false;
    }
  }

  // A greedy repeat of one-character operands needs no choice points when what
  // follows it can never begin with a character the operand takes: giving back
  // repetitions would put such a character in front of the rest, which then fails.
  void MarkPossessiveRepeats() {
    int budget = 32;  // each check walks the program; long patterns keep the rest
    for (Node& n : program_.nodes) {
      if ((n.kind != NodeKind::RepeatSimple && n.kind != NodeKind::RepeatOneChar) || n.next == kNoNode) continue;
      if (budget-- == 0) return;
      std::vector<uint64_t> operand(1024, 0);
      if (!AddOperandUnits(n, operand)) continue;
      const std::vector<uint64_t> rest = FirstUnitsFrom(n.next, /*anchorsUnknown=*/true);
      if (rest.empty()) continue;
      bool disjoint = true;
      for (size_t i = 0; i < rest.size() && disjoint; ++i) disjoint = (rest[i] & operand[i]) == 0;
      if (disjoint) n.arg2 = 1;
    }
  }

  // The unit set of `bits` as a vector test at `offset`, if it is small enough.
  static std::optional<UnitTest> MakeUnitTest(const std::vector<uint64_t>& bits, int32_t offset) {
    UnitTest test;
    test.offset = offset;
    int first = -1, last = -1, count = 0;
    for (int c = 0; c < 65536; ++c) {
      if (bits[static_cast<size_t>(c >> 6)] == 0) {
        c |= 63;  // an empty word
        continue;
      }
      if (!((bits[static_cast<size_t>(c >> 6)] >> (c & 63)) & 1)) continue;
      if (first < 0) first = c;
      last = c;
      if (count < 8) test.units[static_cast<size_t>(count)] = static_cast<char16_t>(c);
      ++count;
    }
    if (count == 0) return std::nullopt;
    if (count <= 8) {
      test.count = count;
      return test;
    }
    if (last - first + 1 != count) return std::nullopt;
    test.range = true;
    test.low = static_cast<char16_t>(first);
    test.high = static_cast<char16_t>(last);
    return test;
  }

  // Unit sets at fixed offsets of every match: the single alternative's start is read
  // up to the first node of variable width; zero-width nodes other than groups,
  // comments and modifier groups end it too.
  std::vector<std::pair<int32_t, std::vector<uint64_t>>> FixedStart(int32_t p) {
    std::vector<std::pair<int32_t, std::vector<uint64_t>>> sets;
    int32_t offset = 0;
    auto single = [&](char16_t a, char16_t b) {
      std::vector<uint64_t> bits(1024, 0);
      bits[a >> 6] |= uint64_t{1} << (a & 63);
      bits[b >> 6] |= uint64_t{1} << (b & 63);
      sets.emplace_back(offset++, std::move(bits));
    };
    for (int guard = 0; p != kNoNode && guard < 64 && offset < 64; ++guard) {
      const Node& n = N(p);
      switch (n.kind) {
        case NodeKind::NoOp:
        case NodeKind::GroupOpen:
        case NodeKind::GroupClose:
          p = n.next;
          continue;
        case NodeKind::Alternative:
          if (n.next != kNoNode && N(n.next).kind == NodeKind::Alternative) return sets;
          p = n.operand;
          continue;
        case NodeKind::Literal:
        case NodeKind::LiteralFolded:
          for (char16_t c : program_.LiteralText(n)) {
            single(c, n.kind == NodeKind::LiteralFolded ? FoldCase(c) : c);
          }
          p = n.next;
          continue;
        case NodeKind::RepeatSimple:
        case NodeKind::RepeatSimpleLazy: {
          std::vector<uint64_t> bits(1024, 0);
          if (N(n.operand).kind == NodeKind::BackRef || N(n.operand).kind == NodeKind::BackRefFolded ||
              !AddOperandUnits(n, bits)) {
            return sets;
          }
          for (int k = 0; k < n.min && offset < 64; ++k) sets.emplace_back(offset++, bits);
          if (n.min != n.max) return sets;
          p = n.next;
          continue;
        }
        default: {
          std::vector<uint64_t> bits(1024, 0);
          if (n.kind == NodeKind::AnyButLineBreak || !AddOneCharUnits(n, bits)) return sets;
          sets.emplace_back(offset++, std::move(bits));
          p = n.next;
          continue;
        }
      }
    }
    return sets;
  }

  // Picks the vector tests: the two smallest sets of the fixed start (the later one on
  // a tie, as it is further from the first), else the set of first units.
  void ComputeUnitTests(bool singleAlternative, int32_t firstIndex) {
    std::vector<UnitTest> tests;
    if (singleAlternative) {
      for (const auto& [offset, bits] : FixedStart(firstIndex)) {
        if (std::optional<UnitTest> t = MakeUnitTest(bits, offset)) tests.push_back(*t);
      }
    }
    auto size = [](const UnitTest& t) { return t.range ? t.high - t.low + 1 : t.count; };
    std::stable_sort(tests.begin(), tests.end(),
                     [&](const UnitTest& a, const UnitTest& b) { return size(a) < size(b); });
    if (tests.size() > 2) {
      // Of the tests as small as the second, take the one furthest from the first.
      size_t best = 1;
      for (size_t i = 2; i < tests.size() && size(tests[i]) == size(tests[1]); ++i) {
        if (std::abs(tests[i].offset - tests[0].offset) > std::abs(tests[best].offset - tests[0].offset)) best = i;
      }
      tests = {tests[0], tests[best]};
    }
    if (tests.empty() && !program_.hints.firstUnits.empty()) {
      if (std::optional<UnitTest> t = MakeUnitTest(program_.hints.firstUnits, 0)) tests.push_back(*t);
    }
    program_.hints.unitTests = std::move(tests);
  }

  void ComputeHints(int flags) {
    MarkPossessiveRepeats();
    program_.hints.firstUnits = FirstUnitsFrom(program_.start, /*anchorsUnknown=*/false);
    const Node& top = N(program_.start);
    const bool singleAlternative = N(top.next).kind == NodeKind::MatchEnd;
    ComputeUnitTests(singleAlternative, top.operand);
    if (!singleAlternative) return;
    int32_t firstIndex = top.operand;
    while (N(firstIndex).kind == NodeKind::NoOp && N(firstIndex).next != kNoNode) firstIndex = N(firstIndex).next;
    const Node& first = N(firstIndex);
    SearchHints& hints = program_.hints;
    if (first.kind == NodeKind::InputStart) {
      hints.anchored = true;
    } else if ((first.kind == NodeKind::RepeatSimple || first.kind == NodeKind::RepeatSimpleLazy) &&
               first.max == kUnlimited && N(first.operand).kind == NodeKind::AnyChar) {
      hints.firstAttemptDecides = true;
    }
    const NodeKind operandKind = first.operand == kNoNode ? NodeKind::Empty : N(first.operand).kind;
    if (first.arg2 == 1 && first.max == kUnlimited &&
        ((first.kind == NodeKind::RepeatSimple && operandKind != NodeKind::BackRef &&
          operandKind != NodeKind::BackRefFolded) ||
         (first.kind == NodeKind::RepeatOneChar && first.arg == 0))) {
      hints.leadingRun = firstIndex;
    }
    if (!(flags & kSpStart)) return;
    std::u16string_view longest;
    bool found = false;
    for (int32_t p = top.operand; p != kNoNode; p = N(p).next) {
      const Node& node = N(p);
      if (node.kind == NodeKind::Literal && program_.LiteralText(node).size() >= longest.size()) {
        longest = program_.LiteralText(node);
        found = true;
      }
    }
    if (found) hints.requiredLiteral = std::u16string(longest);
  }

  std::u16string_view pattern_;
  const CompileSettings& settings_;
  int modifiers_;
  size_t pos_ = 0;
  int groupCount_ = 1;
  Program program_;
  std::vector<CompileError> errors_;
};

}  // namespace

CompileResult CompileRegex(std::u16string_view pattern, const CompileSettings& settings) {
  return Parser(pattern, settings).Run();
}

}  // namespace tallowin
