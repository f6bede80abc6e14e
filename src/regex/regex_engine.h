#pragma once
// RegexEngine: the program's own expression engine, used for one search-and-replace
// call at a time.
//
// Typical use (a replace-all):
//   context.errorReport.success = true;
//   RegexEngine engine(context);
//   engine.SetPatternText(expression);
//   for (bool found = engine.SearchFirst(text); found; found = engine.SearchNext()) {
//     ... GroupPosition(0), GroupLength(0), ExpandTemplate(template) ...
//   }
//   if (!context.errorReport.success) show context.errorReport.message;
//
// Nothing here throws. Errors go to the context's RegexErrorReport: the flag is
// cleared and the last error's message (in the context's language) and position
// stay. Positions are 1-based UTF-16 code units.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "regex/engine_defaults.h"
#include "regex/regex_errors.h"
#include "regex/regex_matcher.h"
#include "regex/regex_program.h"

namespace tallowin {

// The program-wide regex state: the defaults new engines copy, the error report all
// engines fill, and the interface language their messages use. One instance lives
// in the application; tests make their own.
struct RegexContext {
  EngineDefaults engineDefaults;
  RegexErrorReport errorReport;
  Language language = Language::English;  // the language switch keeps it current
};

class RegexEngine {
 public:
  // Copies the context's EngineDefaults; later changes to them do not affect this
  // engine. `context` must outlive the engine.
  explicit RegexEngine(RegexContext& context);

  // --- pattern and options ---------------------------------------------------
  // Stores a new expression (compiled on first use). An empty text leaves no pattern.
  void SetPatternText(std::u16string_view pattern);
  const std::optional<std::u16string>& PatternText() const { return pattern_; }

  // index 1..6 = i r s g m x; any other index reports error 1013 and changes nothing.
  void SetModifierFlag(int index, bool on);
  int ModifierFlags() const { return modifiers_; }

  // Two different characters set the pair, the empty text unsets it; anything else
  // reports error 128 and changes nothing.
  void SetLinePairedSeparator(std::u16string_view pair);

  // Compiles the pattern now; false (with the errors reported) when it cannot.
  bool CompilePattern();
  // The compiled program, or null; for tests and debugging (see Program::Dump).
  const Program* CompiledProgram() const { return program_ ? &*program_ : nullptr; }

  // --- searching ---------------------------------------------------------------
  // Copies `text` as the new input and searches from position 1.
  bool SearchFirst(std::u16string_view text);
  // Like SearchFirst, but searches `text` itself without copying it: the text must
  // stay alive and unchanged for as long as this engine searches it or expands
  // templates from its matches (until the next SearchFirst*).
  bool SearchFirstInPlace(std::u16string_view text);
  // Searches from the 1-based `offset` of the current input.
  bool SearchFrom(int offset);
  // Searches after the last match, one further when it was empty.
  bool SearchNext();

  // 1-based start of group `index` (0 = whole match), or -1 when unknown.
  int GroupPosition(int index) const;
  // Length of group `index`, or -1 under the same conditions.
  int GroupLength(int index) const;

  // The template with "$n", "${n}", "$&" replaced by group texts of the last match
  // and "\c" by c. Empty when no program can be made or no input is set.
  std::u16string ExpandTemplate(std::u16string_view tmpl);

  // --- limits ------------------------------------------------------------------
  // The search stops with error 1016 once the matcher has used
  // baseSteps + stepsPerUnit * input length steps since the input was set, and with
  // error 1017 when one attempt needs more than maxBacktrackEntries stack entries.
  struct Limits {
    // About a third of a second of matching: enough for quadratic work on texts of
    // several thousand units, while exponential expressions still stop quickly.
    int64_t baseSteps = 30'000'000;
    int64_t stepsPerUnit = 100;
    size_t maxBacktrackEntries = size_t{1} << 24;  // 16 bytes each
  };
  void SetLimits(const Limits& limits) { limits_ = limits; }

 private:
  void ReportError(int code, int position = 0);
  bool EnsureProgram();
  void DiscardProgram();

  RegexContext& context_;
  std::optional<std::u16string> pattern_;
  int modifiers_;
  std::u16string wordChars_;
  std::u16string spaceChars_;
  std::u16string lineSeparators_;
  MatchSets sets_;

  std::optional<Program> program_;

  bool hasInput_ = false;
  std::u16string ownedInput_;    // SearchFirst's copy
  std::u16string_view input_;    // what is searched: ownedInput_ or the caller's text
  MatchRegisters registers_;
  MatcherScratch scratch_;
  Limits limits_;
  int64_t stepsLeft_ = 0;
  // Start of the last occurrence of the required literal in the input; -1 for none,
  // -2 when not computed yet for this input and program.
  int64_t lastRequiredLiteral_ = -2;
};

}  // namespace tallowin
