// DirectDraw Surface: "DDS " and the 124-byte header describing one
// uncompressed 32-bit ARGB level (masks A 0xFF000000, R 0x00FF0000, G 0x0000FF00,
// B 0x000000FF), no mipmaps. In memory that is blue, green, red, alpha.
#include "image/formats/byte_writer.h"
#include "image/formats/image_format.h"

namespace tallowin {
namespace {

using namespace image_bytes;

constexpr std::uint32_t kCaps = 0x1, kHeight = 0x2, kWidth = 0x4, kPitch = 0x8, kPixelFormat = 0x1000;
constexpr std::uint32_t kAlphaPixels = 0x1, kRgb = 0x40;
constexpr std::uint32_t kCapsTexture = 0x1000;

void EncodeDds(const RasterImage& r, const ImageOptions&, ByteSink& sink) {
  Bytes h;
  h.Text("DDS ").U32LE(124).U32LE(kCaps | kHeight | kWidth | kPitch | kPixelFormat);
  h.U32LE(static_cast<std::uint32_t>(r.height)).U32LE(static_cast<std::uint32_t>(r.width));
  h.U32LE(static_cast<std::uint32_t>(r.width) * 4u).U32LE(0).U32LE(0).Zeros(11 * 4);
  h.U32LE(32).U32LE(kAlphaPixels | kRgb).U32LE(0).U32LE(32);
  h.U32LE(0x00FF0000).U32LE(0x0000FF00).U32LE(0x000000FF).U32LE(0xFF000000);
  h.U32LE(kCapsTexture).U32LE(0).U32LE(0).U32LE(0).U32LE(0);
  sink.Put(h.data());
  PutRows(r, 4, RowOrder::TopDown, sink, [&](const std::uint8_t* in, char* out) {
    std::memcpy(out, in, static_cast<std::size_t>(r.width) * 4u);
  });
}

}  // namespace

ImageFormatWriter DdsFormat() {
  return {"DirectDraw Surface", "*.dds", true, {}, EncodeDds, {u"*.dds - DirectDraw Surface"}};
}

}  // namespace tallowin
