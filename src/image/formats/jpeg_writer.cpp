// JPEG: 24-bit colour through libjpeg-turbo; quality (10) and progressive mode (11).
#include "image/formats/image_format.h"
#include "image/formats/jpeg_codec.h"
#include "image/formats/option_ranges.h"

namespace tallowin {
namespace {

void EncodeJpegFile(const RasterImage& r, const ImageOptions& options, ByteSink& sink) {
  EncodeJpeg(r, options.Get(image_option::kJpegQuality),
             options.On(image_option::kJpegProgressive) ? JpegMode::Progressive : JpegMode::Baseline, sink);
}

}  // namespace

ImageFormatWriter JpegFormat() {
  using namespace option_range;
  return {"Joint Photographic Experts Group Image",
          "*.jpg,*.jpeg,*.jfif,*.jpe,*.jif",
          true,
          {{image_option::kJpegQuality, "Quality", 90, 1, 100, ImageOptionRole::kOutputQuality},
           {image_option::kJpegProgressive, "Progressive", 0, kAnyMin, kAnyMax, ImageOptionRole::kProgressive}},
          EncodeJpegFile,
          {u"*.jpg - JPEG-Bild", u"*.jpeg - JPEG-Bild", u"*.jfif - JPEG-Bild", u"*.jpe - JPEG-Bild",
           u"*.jif - JPEG-Bild"}};
}

}  // namespace tallowin
