// PNG: 8-bit RGBA through libpng, filter and deflate level from the options.
#include "image/formats/image_format.h"
#include "image/formats/png_chunks.h"

namespace tallowin {
namespace {

void EncodePng(const RasterImage& r, const ImageOptions& options, ByteSink& sink) {
  png_stream::Encode(r, png_stream::Samples::Rgba,
                     {options.Get(image_option::kPngPreFilter), options.Get(image_option::kPngCompressLevel)},
                     png_stream::Signature::Written, sink);
}

}  // namespace

ImageFormatWriter PngFormat() {
  return {"Portable Network Graphics",
          "*.png",
          true,
          {{image_option::kPngPreFilter, "PreFilter", 5, 0, 6}, {image_option::kPngCompressLevel, "CompressLevel", 5, 0, 9}},
          EncodePng,
          {u"*.png - Portable Network Graphics"}};
}

}  // namespace tallowin
