// Windows bitmap: BITMAPFILEHEADER, the 40-byte BITMAPINFOHEADER (BI_RGB),
// 32 bits per pixel stored bottom row first. Rows of 32-bit pixels need no
// padding. The fourth byte of each pixel holds the alpha value.
#include "image/formats/byte_writer.h"
#include "image/formats/image_format.h"
#include "image/formats/option_ranges.h"

namespace tallowin {
namespace {

using namespace image_bytes;

constexpr std::uint32_t kPixelsPerMetre = 2835;  // 72 dots per inch

void EncodeBmp(const RasterImage& r, const ImageOptions&, ByteSink& sink) {
  const std::uint64_t pixelBytes = RasterImage::ByteSize(r.width, r.height);
  const std::uint64_t fileBytes = 14 + 40 + pixelBytes;
  if (fileBytes > 0xFFFFFFFFu) throw std::runtime_error("image too large for a bitmap file");
  Bytes h;
  h.Text("BM").U32LE(static_cast<std::uint32_t>(fileBytes)).U32LE(0).U32LE(14 + 40);
  h.U32LE(40).U32LE(static_cast<std::uint32_t>(r.width)).U32LE(static_cast<std::uint32_t>(r.height));
  h.U16LE(1).U16LE(32).U32LE(0 /* BI_RGB */).U32LE(static_cast<std::uint32_t>(pixelBytes));
  h.U32LE(kPixelsPerMetre).U32LE(kPixelsPerMetre).U32LE(0).U32LE(0);
  sink.Put(h.data());
  PutRows(r, 4, RowOrder::BottomUp, sink, [&](const std::uint8_t* in, char* out) {
    std::memcpy(out, in, static_cast<std::size_t>(r.width) * 4u);
  });
}

}  // namespace

ImageFormatWriter BmpFormat() {
  using namespace option_range;
  return {"Windows Bitmap Image",
          "*.bmp,*.dib",
          true,
          {{image_option::kBmpUseRle, "UseRLE", 1, kAnyMin, kAnyMax}},
          EncodeBmp,
          {u"*.bmp - Windows Bitmap", u"*.dib - Windows Bitmap"}};
}

}  // namespace tallowin
