#pragma once
// Verb helpers for the regex tests: build an engine from a fresh context, search,
// and render results as short strings ("pos+len", "-" for no match).

#include <string>
#include <vector>

#include "regex/regex_engine.h"
#include "base/utf.h"

namespace tallowin::testing {

inline std::u16string U(const std::string& utf8) { return Utf8ToUtf16(utf8); }
inline std::string N(const std::u16string& utf16) { return Utf16ToUtf8(utf16); }

// Modifier overrides applied to the defaults: "+i-s" switches i on and s off.
inline void ApplyModifiers(EngineDefaults& defaults, const std::string& modifierLetters) {
  bool on = true;
  for (char c : modifierLetters) {
    if (c == '+' || c == '-') {
      on = c == '+';
      continue;
    }
    const std::string letters = "irsgmx";
    defaults.SetModifier(static_cast<RegexModifier>(1 << letters.find(c)), on);
  }
}

struct Regex {
  RegexContext context;
  explicit Regex(const std::string& modifiers = "") { ApplyModifiers(context.engineDefaults, modifiers); }

  // "pos+len" of the first match, "-" for none.
  std::string First(const std::string& pattern, const std::string& input) {
    RegexEngine engine(context);
    engine.SetPatternText(U(pattern));
    if (!engine.SearchFirst(U(input))) return "-";
    return Where(engine, 0);
  }
  // Every match as "pos+len", space-separated.
  std::string All(const std::string& pattern, const std::string& input) {
    RegexEngine engine(context);
    engine.SetPatternText(U(pattern));
    std::string out;
    for (bool found = engine.SearchFirst(U(input)); found; found = engine.SearchNext()) {
      if (!out.empty()) out += ' ';
      out += Where(engine, 0);
    }
    return out.empty() ? "-" : out;
  }
  // The text of group `group` in the first match, "<unset>" or "-" for no match.
  std::string Group(const std::string& pattern, const std::string& input, int group) {
    RegexEngine engine(context);
    engine.SetPatternText(U(pattern));
    if (!engine.SearchFirst(U(input))) return "-";
    if (engine.GroupPosition(group) < 0) return "<unset>";
    return N(U(input).substr(static_cast<size_t>(engine.GroupPosition(group) - 1),
                             static_cast<size_t>(engine.GroupLength(group))));
  }
  // Replace-all the way search and replace does it, with a template.
  std::string Replace(const std::string& pattern, const std::string& input, const std::string& tmpl) {
    RegexEngine engine(context);
    engine.SetPatternText(U(pattern));
    const std::u16string text = U(input);
    std::u16string out;
    size_t copied = 0;
    for (bool found = engine.SearchFirst(text); found; found = engine.SearchNext()) {
      const size_t at = static_cast<size_t>(engine.GroupPosition(0) - 1);
      out.append(text, copied, at - copied);
      out += engine.ExpandTemplate(U(tmpl));
      copied = at + static_cast<size_t>(engine.GroupLength(0));
    }
    out.append(text, copied);
    return N(out);
  }
  // Compiles and reports "ok" or "code@position" of the last error, plus "!" when
  // compilation failed.
  std::string Compile(const std::string& pattern) {
    context.errorReport = RegexErrorReport{};
    RegexEngine engine(context);
    engine.SetPatternText(U(pattern));
    const bool compiled = engine.CompilePattern();
    std::string out = context.errorReport.success
                          ? "ok"
                          : std::to_string(context.errorReport.code) + "@" +
                                std::to_string(context.errorReport.position);
    if (!compiled) out += "!";
    return out;
  }
  std::string Dump(const std::string& pattern) {
    RegexEngine engine(context);
    engine.SetPatternText(U(pattern));
    engine.CompilePattern();
    return engine.CompiledProgram() ? engine.CompiledProgram()->Dump() : "<none>";
  }

  // The compiled program (it must compile).
  tallowin::Program Compiled(const std::string& pattern) {
    RegexEngine engine(context);
    engine.SetPatternText(U(pattern));
    engine.CompilePattern();
    return engine.CompiledProgram() ? *engine.CompiledProgram() : tallowin::Program{};
  }

  static std::string Where(const RegexEngine& engine, int group) {
    return std::to_string(engine.GroupPosition(group)) + "+" + std::to_string(engine.GroupLength(group));
  }
};

}  // namespace tallowin::testing
