// Fuzz target for the expression engine: arbitrary expressions, modifiers, options,
// inputs and templates, run through the replace-all path.
//
// Input layout: byte 0 = modifier bits (i r s g m x), byte 1 = option bits, then the
// expression, the input and the template separated by 0xFF bytes. Bytes below 0x80
// are themselves, 0x80..0xBF pick from a table of interesting code units, and a byte
// from 0xC0 to 0xFE combines with the next byte into any 16-bit unit.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "regex/regex_engine.h"

namespace {

using tallowin::RegexContext;
using tallowin::RegexEngine;

constexpr char16_t kInteresting[] = {
    u'\u00E4', u'\u00C4', u'\u00DF', u'\u00FC', u'\u0451', u'\u0401', u'\u0430', u'\u044F',
    u'\u0410', u'\u042F', u'\u2028', u'\u2029', u'\u0085', u'\u000B', u'\r',     u'\n',
    char16_t{0xD83D}, char16_t{0xDE00}, u'\0',     u'\uFFFF', u'\u1000', u'\u00E9', u'\t',     u'\f',
};

std::u16string DecodePart(const uint8_t*& p, const uint8_t* end) {
  std::u16string out;
  while (p < end && *p != 0xFF) {
    const uint8_t b = *p++;
    if (b < 0x80) {
      out += static_cast<char16_t>(b);
    } else if (b < 0xC0) {
      out += kInteresting[(b - 0x80) % (sizeof kInteresting / sizeof kInteresting[0])];
    } else if (p < end) {
      out += static_cast<char16_t>(((b - 0xC0) << 10) ^ (*p++ << 2) ^ b);
    }
  }
  if (p < end) ++p;  // the separator
  return out;
}

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const uint8_t modifiers = data[0];
  const uint8_t options = data[1];
  const uint8_t* p = data + 2;
  const uint8_t* end = data + size;
  const std::u16string pattern = DecodePart(p, end);
  const std::u16string input = DecodePart(p, end);
  const std::u16string tmpl = DecodePart(p, end);

  RegexContext context;
  context.languageCode = (options & 1) ? "de" : "en";
  context.engineDefaults.modifiers = modifiers & 63;
  if (options & 2) context.engineDefaults.lineSeparators.clear();
  if (options & 4) context.engineDefaults.linePairedSeparator.reset();
  if (options & 8) context.engineDefaults.wordChars = u"ab\u00E4_";

  RegexEngine engine(context);
  engine.SetLimits({.baseSteps = 100'000, .stepsPerUnit = 50, .maxBacktrackEntries = 1 << 16});
  engine.SetPatternText(pattern);
  if (options & 16) engine.SetLinePairedSeparator(u"ab");
  if (options & 32) engine.SetModifierFlag((options >> 6) + 1, modifiers & 64);
  if (engine.CompilePattern()) (void)engine.CompiledProgram()->Dump();

  // The replace-all loop: matches are in bounds and move strictly forward.
  const int length = static_cast<int>(input.size());
  int lastEnd = 0;
  int rounds = 0;
  std::u16string result;
  for (bool found = engine.SearchFirst(input); found; found = engine.SearchNext()) {
    const int position = engine.GroupPosition(0);
    const int matchLength = engine.GroupLength(0);
    Check(position >= 1 && matchLength >= 0 && position - 1 + matchLength <= length);
    Check(position - 1 >= lastEnd);
    for (int g = 1; g < tallowin::kMaxGroups; ++g) {
      const int gp = engine.GroupPosition(g);
      if (gp < 0) continue;
      Check(gp >= 1 && engine.GroupLength(g) >= 0 && gp - 1 + engine.GroupLength(g) <= length);
    }
    result.append(input, static_cast<size_t>(lastEnd), static_cast<size_t>(position - 1 - lastEnd));
    result += engine.ExpandTemplate(tmpl);
    lastEnd = position - 1 + matchLength;
    Check(++rounds <= length + 2);
  }
  (void)engine.ExpandTemplate(tmpl);
  (void)engine.SearchFrom(length / 2 + 1);
  (void)engine.SearchFrom(length + 2);
  return 0;
}
