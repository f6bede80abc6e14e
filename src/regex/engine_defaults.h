#pragma once
// The values every new expression engine starts from, and the conversion of the
// user's notation for character lists.

#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace tallowin {

// Modifier bits of an engine and of EngineDefaults::modifiers.
enum RegexModifier : int {
  kModifierI = 1,   // case-insensitive (ASCII letters only)
  kModifierR = 2,   // Russian ranges in classes
  kModifierS = 4,   // "." also matches line breaks
  kModifierG = 8,   // greedy quantifiers
  kModifierM = 16,  // "^" and "$" at every line
  kModifierX = 32,  // extended syntax: blanks and #-comments ignored
};

// The bit of modifier `index` (1 to 6 for i r s g m x), or 0 outside that range.
int ModifierBit(int index);

// Program-wide start values of new engines. An engine copies them when it is
// created and is not affected by later changes. The options dialog changes them;
// nothing else does.
struct EngineDefaults {
  int modifiers = kModifierR | kModifierS | kModifierG;
  std::u16string wordChars =
      u"0123456789a\u00E4bcdefghijklmno\u00F6pqrs\u00DFtu\u00FCvwxyz"
      u"A\u00C4BCDEFGHIJKLMNO\u00D6PQRSTU\u00DCVWXYZ_";
  std::u16string spaceChars = u" \t\n\r\f";
  std::u16string lineSeparators = u"\r\n\u000B\f\u0085\u2028\u2029";
  // (head, tail); unset means no paired separator.
  std::optional<std::pair<char16_t, char16_t>> linePairedSeparator =
      std::make_pair(u'\r', u'\n');

  void SetModifier(RegexModifier modifier, bool on) {
    modifiers = on ? (modifiers | modifier) : (modifiers & ~modifier);
  }
};

// The user notation of the options dialog: the text before the first "$" is taken
// literally; every "$"-separated piece after it is a hexadecimal code unit (its
// lowest 16 bits). One "$" is appended after the literal part when the text holds
// "$$" anywhere. Throws TallowinError("'$piece' is not a valid integer value") for a
// piece that is not hexadecimal.
std::u16string StringUserToComp(std::u16string_view text);

}  // namespace tallowin
