#include "base/cp1252.h"

#include <array>

namespace tallowin {
namespace {

// Bytes 0x80..0x9F; the five unassigned bytes decode to the C1 control of the same value.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char16_t DecodeByte(unsigned char b) {
  if (b >= 0x80 && b < 0xA0) return kHighControls[b - 0x80];
  return b;
}

// Returns the byte for `unit`, or -1 when it has none.
int EncodeUnit(char16_t unit) {
  if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) return unit;
  for (int i = 0; i < 32; ++i) {
    if (kHighControls[i] == unit) return 0x80 + i;
  }
  return -1;
}

}  // namespace

std::u16string DecodeCp1252(std::string_view bytes) {
  std::u16string out(bytes.size(), u'\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) out[i] = DecodeByte(static_cast<unsigned char>(bytes[i]));
  return out;
}

std::string EncodeCp1252(std::u16string_view text) {
  std::string out(text.size(), '\0');
  for (std::size_t i = 0; i < text.size(); ++i) {
    const int b = EncodeUnit(text[i]);
    out[i] = b >= 0 ? static_cast<char>(b) : kCp1252DefaultChar;
  }
  return out;
}

}  // namespace tallowin
