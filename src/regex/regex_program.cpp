#include "regex/regex_program.h"

#include <cstdio>

#include "base/utf.h"

namespace tallowin {

const char* NodeKindName(NodeKind kind) {
  switch (kind) {
    case NodeKind::MatchEnd: return "MatchEnd";
    case NodeKind::Alternative: return "Alternative";
    case NodeKind::GroupOpen: return "GroupOpen";
    case NodeKind::GroupClose: return "GroupClose";
    case NodeKind::Literal: return "Literal";
    case NodeKind::LiteralFolded: return "LiteralFolded";
    case NodeKind::AnyChar: return "AnyChar";
    case NodeKind::AnyButLineBreak: return "AnyButLineBreak";
    case NodeKind::CharIn: return "CharIn";
    case NodeKind::CharNotIn: return "CharNotIn";
    case NodeKind::CharInFolded: return "CharInFolded";
    case NodeKind::CharNotInFolded: return "CharNotInFolded";
    case NodeKind::Digit: return "Digit";
    case NodeKind::NonDigit: return "NonDigit";
    case NodeKind::WordChar: return "WordChar";
    case NodeKind::NonWordChar: return "NonWordChar";
    case NodeKind::SpaceChar: return "SpaceChar";
    case NodeKind::NonSpaceChar: return "NonSpaceChar";
    case NodeKind::InputStart: return "InputStart";
    case NodeKind::InputEnd: return "InputEnd";
    case NodeKind::LineStart: return "LineStart";
    case NodeKind::LineEnd: return "LineEnd";
    case NodeKind::WordBoundary: return "WordBoundary";
    case NodeKind::NotWordBoundary: return "NotWordBoundary";
    case NodeKind::BackRef: return "BackRef";
    case NodeKind::BackRefFolded: return "BackRefFolded";
    case NodeKind::RepeatSimple: return "RepeatSimple";
    case NodeKind::RepeatSimpleLazy: return "RepeatSimpleLazy";
    case NodeKind::LoopEntry: return "LoopEntry";
    case NodeKind::LoopGreedy: return "LoopGreedy";
    case NodeKind::LoopLazy: return "LoopLazy";
    case NodeKind::LoopBack: return "LoopBack";
    case NodeKind::Empty: return "Empty";
    case NodeKind::NoOp: return "NoOp";
    case NodeKind::RepeatOneChar: return "RepeatOneChar";
  }
  return "?";
}

std::string Program::Dump() const {
  std::string out;
  char line[160];
  for (size_t i = 0; i < nodes.size(); ++i) {
    const Node& n = nodes[i];
    std::snprintf(line, sizeof line, "%3zu %-16s", i, NodeKindName(n.kind));
    out += line;
    switch (n.kind) {
      case NodeKind::Literal:
      case NodeKind::LiteralFolded:
        out += " \"" + Utf16ToUtf8(LiteralText(n)) + "\"";
        break;
      case NodeKind::CharIn:
      case NodeKind::CharNotIn:
      case NodeKind::CharInFolded:
      case NodeKind::CharNotInFolded:
        out += " [" + Utf16ToUtf8(classes[static_cast<size_t>(n.arg)].Members()) + "]";
        break;
      case NodeKind::GroupOpen:
      case NodeKind::GroupClose:
      case NodeKind::BackRef:
      case NodeKind::BackRefFolded:
        out += " " + std::to_string(n.arg);
        break;
      case NodeKind::Alternative:
      case NodeKind::LoopEntry:
        out += " operand " + std::to_string(n.operand);
        break;
      case NodeKind::RepeatSimple:
      case NodeKind::RepeatSimpleLazy:
      case NodeKind::LoopGreedy:
      case NodeKind::LoopLazy:
        std::snprintf(line, sizeof line, " {%d,%d} %s %d", n.min, n.max,
                      n.kind == NodeKind::LoopGreedy || n.kind == NodeKind::LoopLazy ? "back"
                                                                                    : "operand",
                      n.operand);
        out += line;
        if (n.kind == NodeKind::RepeatSimple && n.arg2) out += " possessive";
        break;
      case NodeKind::RepeatOneChar:
        std::snprintf(line, sizeof line, " {%d,} group %d operand %d", n.min, n.arg, n.operand);
        out += line;
        if (n.arg2) out += " possessive";
        break;
      case NodeKind::LoopBack:
        std::snprintf(line, sizeof line, " back %d loop %d exit %d", n.operand, n.arg, n.arg2);
        out += line;
        break;
      default:
        break;
    }
    if (n.next != kNoNode) out += " -> " + std::to_string(n.next);
    out += '\n';
  }
  return out;
}

}  // namespace tallowin
