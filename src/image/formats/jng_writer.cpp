// JNG: signature, JHDR, the colour as JPEG in JDAT chunks (quality 43,
// progressive mode 44), the alpha channel as the IDAT chunks of an 8-bit grey
// PNG datastream (filter 41, deflate level 42), IEND. An opaque picture is
// written as colour without alpha (colour type 10). LossyAlpha (40) is
// registered; the alpha is always stored losslessly.
#include <string>

#include "image/formats/byte_writer.h"
#include "image/formats/image_format.h"
#include "image/formats/jpeg_codec.h"
#include "image/formats/option_ranges.h"
#include "image/formats/png_chunks.h"

namespace tallowin {
namespace {

using namespace image_bytes;

constexpr std::size_t kJdatPiece = 1u << 20;

bool HasTransparency(const RasterImage& r) {
  for (std::size_t i = 3; i < r.pixels.size(); i += 4) {
    if (r.pixels[i] != 255) return true;
  }
  return false;
}

void EncodeJng(const RasterImage& r, const ImageOptions& options, ByteSink& sink) {
  const bool progressive = options.On(image_option::kJngProgressive);
  const bool alpha = HasTransparency(r);
  std::string jpeg;
  StringByteSink jpegSink(jpeg);
  EncodeJpeg(r, options.Get(image_option::kJngQuality), progressive ? JpegMode::Progressive : JpegMode::Baseline,
             jpegSink);
  std::string alphaStream;
  if (alpha) {
    StringByteSink alphaSink(alphaStream);
    png_stream::Encode(r, png_stream::Samples::Alpha,
                       {options.Get(image_option::kJngPreFilter), options.Get(image_option::kJngCompressLevel)},
                       png_stream::Signature::Left, alphaSink);
  }

  sink.Put(std::string_view("\x8BJNG\r\n\x1A\n", 8));
  Bytes jhdr;
  jhdr.U32BE(static_cast<std::uint32_t>(r.width)).U32BE(static_cast<std::uint32_t>(r.height));
  jhdr.U8(alpha ? 14 : 10).U8(8).U8(8).U8(progressive ? 8 : 0);
  jhdr.U8(alpha ? 8 : 0).U8(0).U8(0).U8(0);  // alpha depth, deflate, PNG filtering, not interlaced
  png_stream::PutChunk(sink, "JHDR", jhdr.data());
  for (std::size_t done = 0; done < jpeg.size(); done += kJdatPiece) {
    png_stream::PutChunk(sink, "JDAT", std::string_view(jpeg).substr(done, kJdatPiece));
  }
  if (alpha) {
    for (const png_stream::Chunk& c : png_stream::Split(alphaStream)) {
      if (c.type == "IDAT") png_stream::PutChunk(sink, "IDAT", c.data);
    }
  }
  png_stream::PutChunk(sink, "IEND", {});
}

}  // namespace

ImageFormatWriter JngFormat() {
  using namespace option_range;
  return {"JPEG Network Graphics",
          "*.jng",
          true,
          {{image_option::kJngLossyAlpha, "LossyAlpha", 0, kAnyMin, kAnyMax},
           {image_option::kJngPreFilter, "PreFilter", 5, 0, 6},
           {image_option::kJngCompressLevel, "CompressLevel", 5, 0, 9},
           {image_option::kJngQuality, "Quality", 90, 1, 100, ImageOptionRole::kOutputQuality},
           {image_option::kJngProgressive, "Progressive", 0, kAnyMin, kAnyMax, ImageOptionRole::kProgressive}},
          EncodeJng,
          {u"*.jng - JPEG Network Graphics"}};
}

}  // namespace tallowin
