#include "image/formats/byte_writer.h"

namespace tallowin::image_bytes {

void BgraRowToRgba(const std::uint8_t* in, std::int32_t width, std::uint8_t* out) {
  for (std::int32_t x = 0; x < width; ++x, in += 4, out += 4) {
    out[0] = in[2];
    out[1] = in[1];
    out[2] = in[0];
    out[3] = in[3];
  }
}

void BgraRowToRgb(const std::uint8_t* in, std::int32_t width, std::uint8_t* out) {
  for (std::int32_t x = 0; x < width; ++x, in += 4, out += 3) {
    out[0] = in[2];
    out[1] = in[1];
    out[2] = in[0];
  }
}

}  // namespace tallowin::image_bytes
