// MNG holding one frame: signature, MHDR, the PNG chunks of the picture (IHDR,
// IDAT..., IEND) and MEND. The frame is always stored losslessly as PNG data;
// the lossy options (28, 29) and quality and progressive mode (32, 33) are
// registered and checked but select nothing, since a JNG frame is never written.
#include "image/formats/byte_writer.h"
#include "image/formats/image_format.h"
#include "image/formats/option_ranges.h"
#include "image/formats/png_chunks.h"

namespace tallowin {
namespace {

using namespace image_bytes;

bool HasTransparency(const RasterImage& r) {
  for (std::size_t i = 3; i < r.pixels.size(); i += 4) {
    if (r.pixels[i] != 255) return true;
  }
  return false;
}

void EncodeMng(const RasterImage& r, const ImageOptions& options, ByteSink& sink) {
  sink.Put(std::string_view("\x8AMNG\r\n\x1A\n", 8));
  // Simplicity profile: bit 0 (the profile is valid), bit 3 when some pixel is
  // not opaque; no other MNG feature is used.
  const std::uint32_t profile = 1u | (HasTransparency(r) ? 8u : 0u);
  Bytes mhdr;
  mhdr.U32BE(static_cast<std::uint32_t>(r.width)).U32BE(static_cast<std::uint32_t>(r.height));
  mhdr.U32BE(1).U32BE(1).U32BE(1).U32BE(1).U32BE(profile);  // ticks/s, layers, frames, play time
  png_stream::PutChunk(sink, "MHDR", mhdr.data());
  png_stream::Encode(r, png_stream::Samples::Rgba,
                     {options.Get(image_option::kMngPreFilter), options.Get(image_option::kMngCompressLevel)},
                     png_stream::Signature::Left, sink);
  png_stream::PutChunk(sink, "MEND", {});
}

}  // namespace

ImageFormatWriter MngFormat() {
  using namespace option_range;
  return {"Multiple Network Graphics",
          "*.mng",
          true,
          {{image_option::kMngLossyCompression, "LossyCompression", 0, kAnyMin, kAnyMax},
           {image_option::kMngLossyAlpha, "LossyAlpha", 0, kAnyMin, kAnyMax},
           {image_option::kMngPreFilter, "PreFilter", 5, 0, 6},
           {image_option::kMngCompressLevel, "CompressLevel", 5, 0, 9},
           {image_option::kMngQuality, "Quality", 90, 1, 100, ImageOptionRole::kOutputQuality},
           {image_option::kMngProgressive, "Progressive", 0, kAnyMin, kAnyMax, ImageOptionRole::kProgressive}},
          EncodeMng,
          {u"*.mng - Multiple Network Graphics"}};
}

}  // namespace tallowin
