#include "regex/engine_defaults.h"

#include "base/errors.h"
#include "base/integer_text.h"
#include "base/utf.h"

namespace tallowin {

int ModifierBit(int index) { return index >= 1 && index <= 6 ? 1 << (index - 1) : 0; }

namespace {

// The lowest 16 bits of a hexadecimal number of any length.
char16_t ParseHexPiece(std::u16string_view piece) {
  unsigned value = 0;
  for (char16_t c : piece) {
    const int digit = HexDigitValue(c);
    if (digit < 0) {
      throw TallowinError("'$" + Utf16ToUtf8(piece) + "' is not a valid integer value");
    }
    value = ((value << 4) | static_cast<unsigned>(digit)) & 0xFFFFu;
  }
  return static_cast<char16_t>(value);
}

}  // namespace

std::u16string StringUserToComp(std::u16string_view text) {
  const size_t firstDollar = text.find(u'$');
  if (firstDollar == std::u16string_view::npos) return std::u16string(text);

  std::u16string result(text.substr(0, firstDollar));
  if (text.find(u"$$") != std::u16string_view::npos) result += u'$';

  std::u16string_view rest = text.substr(firstDollar + 1);
  while (true) {
    const size_t dollar = rest.find(u'$');
    const std::u16string_view piece = rest.substr(0, dollar);
    if (!piece.empty()) result += ParseHexPiece(piece);
    if (dollar == std::u16string_view::npos) break;
    rest = rest.substr(dollar + 1);
  }
  return result;
}

}  // namespace tallowin
