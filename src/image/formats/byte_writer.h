#pragma once
// Building blocks shared by the writers: an in-memory byte buffer with
// little- and big-endian integer appends, a sink that fills one, and the
// per-pixel reads of RasterImage's blue, green, red, alpha memory order.

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "base/raster_image.h"
#include "base/byte_sink.h"

namespace tallowin::image_bytes {

class Bytes {
 public:
  Bytes& U8(std::uint32_t v) {
    data_.push_back(static_cast<char>(v & 0xFF));
    return *this;
  }
  Bytes& U16LE(std::uint32_t v) { return U8(v).U8(v >> 8); }
  Bytes& U32LE(std::uint32_t v) { return U16LE(v).U16LE(v >> 16); }
  Bytes& U16BE(std::uint32_t v) { return U8(v >> 8).U8(v); }
  Bytes& U32BE(std::uint32_t v) { return U16BE(v >> 16).U16BE(v); }
  Bytes& Text(std::string_view s) {
    data_.append(s);
    return *this;
  }
  Bytes& Zeros(std::size_t n) {
    data_.append(n, '\0');
    return *this;
  }
  std::string& data() { return data_; }
  const std::string& data() const { return data_; }
  std::size_t size() const { return data_.size(); }

 private:
  std::string data_;
};

// A sink appending to a string.
class StringByteSink : public ByteSink {
 public:
  explicit StringByteSink(std::string& out) : out_(out) {}
  void Put(std::string_view bytes) override { out_.append(bytes); }

 private:
  std::string& out_;
};

// Pixel (x, y) of the raster, as pointer to its 4 bytes B, G, R, A.
inline const std::uint8_t* Pixel(const RasterImage& r, std::int32_t x, std::int32_t y) {
  return r.pixels.data() + (static_cast<std::size_t>(y) * static_cast<std::size_t>(r.width) + x) * 4u;
}

inline const std::uint8_t* Row(const RasterImage& r, std::int32_t y) { return Pixel(r, 0, y); }

inline constexpr std::size_t kRowsPerPut = 64;

// The raster's rows converted by `convert(const uint8_t* bgraRow, char* out)`
// (which writes `bytesPerPixel * width` bytes) and sent to `sink` in batches,
// top row first or bottom row first.
enum class RowOrder { TopDown, BottomUp };
template <class Convert>
void PutRows(const RasterImage& r, std::size_t bytesPerPixel, RowOrder order, ByteSink& sink, Convert convert) {
  const std::size_t rowBytes = bytesPerPixel * static_cast<std::size_t>(r.width);
  std::string buffer(rowBytes * kRowsPerPut, '\0');
  std::size_t filled = 0;
  for (std::int32_t i = 0; i < r.height; ++i) {
    const std::int32_t y = order == RowOrder::TopDown ? i : r.height - 1 - i;
    convert(Row(r, y), buffer.data() + filled * rowBytes);
    if (++filled == kRowsPerPut) {
      sink.Put(std::string_view(buffer.data(), filled * rowBytes));
      filled = 0;
    }
  }
  if (filled) sink.Put(std::string_view(buffer.data(), filled * rowBytes));
}

// Rows as RGBA and as RGB, the layouts most libraries take.
void BgraRowToRgba(const std::uint8_t* in, std::int32_t width, std::uint8_t* out);
void BgraRowToRgb(const std::uint8_t* in, std::int32_t width, std::uint8_t* out);
// The documented grey conversion of the PGM writer (ITU-R BT.601 weights,
// rounded): (299 R + 587 G + 114 B + 500) / 1000; alpha is ignored.
inline std::uint8_t Grey(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  return static_cast<std::uint8_t>((299u * r + 587u * g + 114u * b + 500u) / 1000u);
}

}  // namespace tallowin::image_bytes
