#pragma once

#include <cstdint>
#include <random>

#include "base/raster_image.h"

namespace tallowin::testing {

// Every byte differs from its neighbours, so a shifted or mirrored copy shows.
inline RasterImage NumberedRaster(std::int32_t w, std::int32_t h) {
  RasterImage r = CreateRaster(w, h);
  for (std::size_t i = 0; i < r.pixels.size(); ++i) r.pixels[i] = static_cast<std::uint8_t>(i * 7 + 1);
  return r;
}

inline RasterImage RandomRaster(std::int32_t w, std::int32_t h, unsigned seed) {
  RasterImage r = CreateRaster(w, h);
  std::mt19937 gen(seed);
  for (auto& b : r.pixels) b = static_cast<std::uint8_t>(gen() & 0xFF);
  return r;
}

// Slowly varying channels, different per channel (alpha included).
inline RasterImage SmoothRaster(std::int32_t w, std::int32_t h) {
  RasterImage r = CreateRaster(w, h);
  for (std::int32_t y = 0; y < h; ++y) {
    for (std::int32_t x = 0; x < w; ++x) {
      std::uint8_t* p = &r.pixels[(static_cast<std::size_t>(y) * w + x) * 4];
      p[0] = static_cast<std::uint8_t>(255 * x / std::max(1, w - 1));
      p[1] = static_cast<std::uint8_t>(255 * y / std::max(1, h - 1));
      p[2] = static_cast<std::uint8_t>((x * 3 + y * 2) % 256);
      p[3] = static_cast<std::uint8_t>(255 - 200 * (x + y) / std::max(1, w + h - 2));
    }
  }
  return r;
}

inline const std::uint8_t* PixelAt(const RasterImage& r, std::int32_t x, std::int32_t y) {
  return &r.pixels[(static_cast<std::size_t>(y) * r.width + x) * 4];
}

}  // namespace tallowin::testing
