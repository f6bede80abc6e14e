#pragma once
// Conversions between the clipboard's 32-bit working bitmap and RasterImage, and
// the region copy every crop is made of.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "base/raster_image.h"

namespace tallowin {

// A 32-bit bitmap as a window system hands it over: rows from top to bottom,
// each `stride` bytes long (at least width * 4; the rest of a row is padding).
struct WorkingBitmap {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::size_t stride = 0;
  std::vector<std::uint8_t> bytes;  // stride * height
};

// Row i of the bitmap becomes row i of the raster, byte for byte; the fourth
// byte of a pixel is passed on as alpha unchanged. A bitmap whose bytes do not
// cover its size gives no raster (width 0).
RasterImage BitmapToRaster(const WorkingBitmap& bitmap);
// A packed 32-bit bitmap of the raster's size holding its rows byte for byte.
WorkingBitmap RasterToBitmap(const RasterImage& raster);

// Copies the width x height block at (sourceX, sourceY) of `source` to
// (destX, destY) of `destination`. The block is clipped first to the source (a
// negative sourceX drops that many columns of the block and moves destX right by
// as much; likewise for y and for the far edges), then to the destination.
// Destination pixels outside the copied block keep their values.
void CopyRasterRegion(const RasterImage& source, std::int32_t sourceX, std::int32_t sourceY, std::int32_t width,
                      std::int32_t height, RasterImage& destination, std::int32_t destX, std::int32_t destY);

struct CropMargins {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;
};

// Cuts the margins off `raster` when they leave at least one pixel
// (left + right < width and top + bottom < height, compared as signed 64-bit so
// huge margins cannot wrap); otherwise leaves it unchanged. Negative margins
// widen the picture: the added border is zero (black, alpha 0).
// Returns whether the raster was replaced.
bool CutMargins(RasterImage& raster, const CropMargins& margins);
// The same cut made from a picture that stays as it is: std::nullopt when the
// margins leave no pixel.
std::optional<RasterImage> MarginsCut(const RasterImage& raster, const CropMargins& margins);

}  // namespace tallowin
