#pragma once
// The error record the expression engine fills instead of raising, and the error texts.
//
// Engines never throw. Every reported error clears `success`, and the last reported
// error's message and position stay in the record. Callers set `success` to true
// before they use an engine and read the record afterwards.

#include <string>
#include <string_view>

#include "base/language.h"

namespace tallowin {

// Compile errors (100..128) carry the number of expression characters the parser
// had consumed; run-time errors (1000 and up) carry position 0.
enum RegexErrorCode : int {
  kRegexNoErrors = 0,
  kRegexNullArgument = 100,
  kRegexTooBig = 101,
  kRegexTooManyGroups = 102,
  kRegexUnmatchedGroup = 103,
  kRegexUnmatchedCloseParen = 104,
  kRegexJunkOnEnd = 105,
  kRegexOperandCouldBeEmpty = 106,
  kRegexNestedQuantifier = 107,
  kRegexBadHexDigit = 108,
  kRegexInvalidRange = 109,
  kRegexClassTrailingBackslash = 110,
  kRegexNoHexCodeAfterX = 111,
  kRegexHexCodeTooBig = 112,
  kRegexUnmatchedBracket = 113,
  kRegexInternalUrp = 114,
  kRegexQuantifierFollowsNothing = 115,
  kRegexTrailingBackslash = 116,
  kRegexParseAtomDisaster = 119,
  kRegexBracesArgTooBig = 122,
  kRegexBracesMinGreaterMax = 124,
  kRegexUnclosedComment = 125,
  kRegexUnrecognizedModifier = 127,
  kRegexBadPairedSeparator = 128,

  kRegexRepeatOnComplexOperand = 1000,
  kRegexUnknownNode = 1001,
  kRegexBrokenLink = 1002,
  kRegexNoPattern = 1003,
  kRegexBrokenProgram = 1004,
  kRegexNoInput = 1005,
  kRegexBadOffset = 1006,
  kRegexNoPreviousMatch = 1007,
  kRegexBadModifierIndex = 1013,
  kRegexLoopNestingTooDeep = 1014,
  kRegexLoopWithoutEntry = 1015,
  // The matcher's resource guards: a search that exceeds its step budget or its
  // backtracking memory stops and finds nothing. A replace-all that meets one of
  // these should leave its text unchanged.
  kRegexStepBudgetExhausted = 1016,
  kRegexBacktrackMemoryExhausted = 1017,
};

// The message for `code` in `language`.
// Other codes, the run-time codes below 1016 among them, give "Unknown Error" /
// "Unbekannter Fehler".
std::u16string ErrorText(int code, Language language);

struct RegexErrorReport {
  bool success = true;
  std::u16string message;
  int position = 0;
  int code = kRegexNoErrors;  // the last reported code, for tests and diagnostics
};

}  // namespace tallowin
