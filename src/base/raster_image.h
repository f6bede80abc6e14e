#pragma once
// The 32-bit working image of every image step: 4 bytes per pixel in the memory
// order blue, green, red, alpha; rows from top to bottom, packed without padding.

#include <climits>
#include <cstdint>
#include <memory>
#include <new>
#include <utility>
#include <vector>

namespace tallowin {

// Leaves new bytes uninitialised when a vector grows without a value, so a
// producer that writes every byte anyway (the scaler) can skip the clearing
// pass and fault the pages in on the threads that fill them. Everything else
// (copies, assign with a value, CreateRaster) initialises as usual.
template <class T>
struct UninitialisedOnGrowth : std::allocator<T> {
  template <class U>
  struct rebind {
    using other = UninitialisedOnGrowth<U>;
  };
  UninitialisedOnGrowth() = default;
  template <class U>
  UninitialisedOnGrowth(const UninitialisedOnGrowth<U>&) noexcept {}
  template <class U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
  template <class U, class... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
};

using PixelBytes = std::vector<std::uint8_t, UninitialisedOnGrowth<std::uint8_t>>;

struct RasterImage {
  std::int32_t width = 0;
  std::int32_t height = 0;
  PixelBytes pixels;  // width * height * 4 bytes

  bool Usable() const { return width >= 1 && height >= 1 && pixels.size() == ByteSize(width, height); }

  static std::size_t ByteSize(std::int32_t w, std::int32_t h) {
    return static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4u;
  }

  friend bool operator==(const RasterImage&, const RasterImage&) = default;
};

// A picture handed around without copying its pixels: the clipboard, the image
// view and a step's worker thread may hold the same one at once, and none changes it.
using SharedRaster = std::shared_ptr<const RasterImage>;

// The largest picture a step may make: 1 GiB of pixel bytes (268 million
// pixels, such as 16384 x 16384). A crop or resize whose result would be larger
// fails like one whose target side is below 1, at once, instead of spending
// seconds and gigabytes before the memory runs out.
constexpr std::uint64_t kPictureByteBudget = std::uint64_t{1} << 30;

inline bool WithinPictureBudget(std::int64_t width, std::int64_t height) {
  return width >= 1 && height >= 1 && width <= INT32_MAX && height <= INT32_MAX &&
         static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) * 4u <= kPictureByteBudget;
}

// A new raster filled with zero bytes (black, alpha 0).
inline RasterImage CreateRaster(std::int32_t width, std::int32_t height) {
  RasterImage r;
  r.width = width;
  r.height = height;
  r.pixels.assign(RasterImage::ByteSize(width, height), 0);
  return r;
}

}  // namespace tallowin
