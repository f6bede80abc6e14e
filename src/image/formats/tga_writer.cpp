// Truevision Targa: uncompressed true-colour (type 2), 32 bits per pixel with
// 8 alpha bits, top row first (descriptor bit 5). The pixel bytes are blue,
// green, red, alpha: the raster's own order.
#include "image/formats/byte_writer.h"
#include "image/formats/image_format.h"
#include "image/formats/option_ranges.h"

namespace tallowin {
namespace {

using namespace image_bytes;

void EncodeTga(const RasterImage& r, const ImageOptions&, ByteSink& sink) {
  if (r.width > 0xFFFF || r.height > 0xFFFF) throw std::runtime_error("image too large for a Targa file");
  Bytes h;
  h.U8(0).U8(0).U8(2).Zeros(5);  // no id, no colour map, uncompressed true colour
  h.U16LE(0).U16LE(0).U16LE(static_cast<std::uint32_t>(r.width)).U16LE(static_cast<std::uint32_t>(r.height));
  h.U8(32).U8(0x28);
  sink.Put(h.data());
  PutRows(r, 4, RowOrder::TopDown, sink, [&](const std::uint8_t* in, char* out) {
    std::memcpy(out, in, static_cast<std::size_t>(r.width) * 4u);
  });
}

}  // namespace

ImageFormatWriter TgaFormat() {
  using namespace option_range;
  return {"Truevision Targa Image",
          "*.tga",
          true,
          {{image_option::kTgaUseRle, "UseRLE", 0, kAnyMin, kAnyMax}},
          EncodeTga,
          {u"*.tga - Truevision Targa Bild"}};
}

}  // namespace tallowin
