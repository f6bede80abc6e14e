#pragma once
// Turns an expression into a Program (layout in regex_program.h).
//
// This file's external interface is CompileRegex. Errors never throw: they are
// returned in order, each with the number of expression characters consumed when it
// arose. Some errors let compilation continue; then `program` is set all the same.

#include <optional>
#include <string_view>
#include <vector>

#include "regex/regex_program.h"

namespace tallowin {

struct CompileSettings {
  int modifiers = 0;
  std::u16string_view wordChars;   // what \w adds inside a class
  std::u16string_view spaceChars;  // what \s adds inside a class
  // Line separators non-empty or a paired separator set: only then does
  // multi-line mode make "^" and "$" line anchors.
  bool lineAnchorsAvailable = true;
};

struct CompileError {
  int code;
  int position;
  friend bool operator==(const CompileError&, const CompileError&) = default;
};

struct CompileResult {
  std::optional<Program> program;  // absent when compilation failed
  std::vector<CompileError> errors;
};

CompileResult CompileRegex(std::u16string_view pattern, const CompileSettings& settings);

}  // namespace tallowin
