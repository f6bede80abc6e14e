#pragma once
// The LZW code stream of a TIFF strip (compression 5): codes written most
// significant bit first, a Clear code first and End Of Information last, the
// code width growing from 9 to 12 bits as soon as the next code could need
// the wider width, and the table started afresh with a Clear code before a
// reader would need 13 bits.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tallowin {

class TiffLzwEncoder {
 public:
  TiffLzwEncoder();

  // Appends the code stream of `size` bytes at `data` to `out`. One encoder
  // serves any number of strips, one after another.
  void Encode(const std::uint8_t* data, std::size_t size, std::string& out);

 private:
  void StartTable();

  // The strings of the table by open addressing: an entry holds the string's
  // prefix code and last byte (20 bits) above its own code (12 bits), 0 when
  // free. 65536 entries for at most 3836 strings: few collisions, and 256 KB
  // cleared at each Clear code costs less than keeping a list of the used ones.
  std::vector<std::uint32_t> table_;
  std::vector<std::uint8_t> buffer_;  // the codes of one strip
};

}  // namespace tallowin
