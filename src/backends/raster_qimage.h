#pragma once
// RasterImage <-> QImage. QImage's ARGB32 has the memory order blue, green, red,
// alpha on little-endian machines, which is RasterImage's; RGB32 gets alpha 255.

#include <QImage>
#include <optional>

#include "base/raster_image.h"

namespace tallowin {

std::optional<RasterImage> RasterFromQImage(const QImage& image);
QImage QImageFromRaster(const RasterImage& raster);
// A read-only QImage over the picture's own pixels, which it keeps alive; on a
// machine whose byte order differs, a converted copy. Painting and encoding it
// copies nothing.
QImage QImageSharingRaster(SharedRaster raster);
// An RGB32 copy of the picture with every pixel made opaque (alpha 255, the
// colour kept), in one pass: what converting QImageFromRaster's result to RGB32
// gives, without the intermediate picture.
QImage OpaqueQImageFromRaster(const RasterImage& raster);
// The PNG file a written-back picture is handed out as; empty when it cannot be
// made (the memory ran out). Compressed at zlib's fastest level: the file only
// crosses to another program on this machine, and the default level took four
// times as long (1.3 s for a 1920 x 1080 screenshot) for a file 15 % smaller.
QByteArray ClipboardPng(const QImage& image);

}  // namespace tallowin
