#include "image/raster_ops.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <utility>

namespace tallowin {

RasterImage BitmapToRaster(const WorkingBitmap& bitmap) {
  const std::size_t rowBytes = static_cast<std::size_t>(std::max(bitmap.width, 0)) * 4u;
  if (bitmap.width < 1 || bitmap.height < 1 || bitmap.stride < rowBytes ||
      bitmap.bytes.size() < bitmap.stride * static_cast<std::size_t>(bitmap.height)) {
    return {};
  }
  RasterImage raster = CreateRaster(bitmap.width, bitmap.height);
  for (std::int32_t y = 0; y < bitmap.height; ++y) {
    std::memcpy(raster.pixels.data() + rowBytes * static_cast<std::size_t>(y),
                bitmap.bytes.data() + bitmap.stride * static_cast<std::size_t>(y), rowBytes);
  }
  return raster;
}

WorkingBitmap RasterToBitmap(const RasterImage& raster) {
  WorkingBitmap bitmap;
  bitmap.width = raster.width;
  bitmap.height = raster.height;
  bitmap.stride = static_cast<std::size_t>(std::max(raster.width, 0)) * 4u;
  bitmap.bytes.assign(raster.pixels.begin(), raster.pixels.end());
  return bitmap;
}

void CopyRasterRegion(const RasterImage& source, std::int32_t sourceX, std::int32_t sourceY, std::int32_t width,
                      std::int32_t height, RasterImage& destination, std::int32_t destX, std::int32_t destY) {
  // 64-bit throughout: margins typed by the user may be near the 32-bit limits.
  std::int64_t sx = sourceX, sy = sourceY, dx = destX, dy = destY, w = width, h = height;
  auto clip = [](std::int64_t& from, std::int64_t& to, std::int64_t& extent, std::int64_t limit) {
    if (from < 0) {
      to -= from;
      extent += from;
      from = 0;
    }
    extent = std::min(extent, limit - from);
  };
  clip(sx, dx, w, source.width);
  clip(sy, dy, h, source.height);
  clip(dx, sx, w, destination.width);
  clip(dy, sy, h, destination.height);
  if (w <= 0 || h <= 0) return;
  const std::size_t srcRow = static_cast<std::size_t>(source.width) * 4u;
  const std::size_t dstRow = static_cast<std::size_t>(destination.width) * 4u;
  for (std::int64_t row = 0; row < h; ++row) {
    std::memcpy(destination.pixels.data() + static_cast<std::size_t>(dy + row) * dstRow + static_cast<std::size_t>(dx) * 4u,
                source.pixels.data() + static_cast<std::size_t>(sy + row) * srcRow + static_cast<std::size_t>(sx) * 4u,
                static_cast<std::size_t>(w) * 4u);
  }
}

std::optional<RasterImage> MarginsCut(const RasterImage& raster, const CropMargins& m) {
  const std::int64_t newWidth = std::int64_t{raster.width} - m.left - m.right;
  const std::int64_t newHeight = std::int64_t{raster.height} - m.top - m.bottom;
  if (newWidth < 1 || newHeight < 1) return std::nullopt;
  // Negative margins can ask for a picture larger than a step may make; it is
  // not made, which fails the step like any allocation failure.
  if (!WithinPictureBudget(newWidth, newHeight)) throw std::bad_alloc();
  RasterImage cut = CreateRaster(static_cast<std::int32_t>(newWidth), static_cast<std::int32_t>(newHeight));
  CopyRasterRegion(raster, m.left, m.top, cut.width, cut.height, cut, 0, 0);
  return cut;
}

bool CutMargins(RasterImage& raster, const CropMargins& m) {
  std::optional<RasterImage> cut = MarginsCut(raster, m);
  if (!cut) return false;
  raster = std::move(*cut);
  return true;
}

}  // namespace tallowin
