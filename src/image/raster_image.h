#pragma once
// The 32-bit working image of every image step: 4 bytes per pixel in the memory
// order blue, green, red, alpha; rows from top to bottom, packed without padding.

#include <cstdint>
#include <vector>

namespace tallowin {

struct RasterImage {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::vector<std::uint8_t> pixels;  // width * height * 4 bytes

  bool Usable() const { return width >= 1 && height >= 1 && pixels.size() == ByteSize(width, height); }

  static std::size_t ByteSize(std::int32_t w, std::int32_t h) {
    return static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4u;
  }

  friend bool operator==(const RasterImage&, const RasterImage&) = default;
};

// A new raster filled with zero bytes (black, alpha 0).
inline RasterImage CreateRaster(std::int32_t width, std::int32_t height) {
  RasterImage r;
  r.width = width;
  r.height = height;
  r.pixels.assign(RasterImage::ByteSize(width, height), 0);
  return r;
}

}  // namespace tallowin
