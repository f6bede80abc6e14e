#pragma once
// Baseline or progressive JPEG of a raster's colour (alpha dropped) through
// libjpeg-turbo, YCbCr with the library's default 2x2 chroma subsampling. Shared
// by the JPEG writer and the colour part of JNG.

#include "base/raster_image.h"
#include "base/byte_sink.h"

namespace tallowin {

enum class JpegMode { Baseline, Progressive };

// `quality` 1..100. Raises std::runtime_error when libjpeg fails; the sink's own
// errors pass through.
void EncodeJpeg(const RasterImage& raster, int quality, JpegMode mode, ByteSink& sink);

}  // namespace tallowin
