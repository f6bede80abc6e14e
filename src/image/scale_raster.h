#pragma once
// ScaleRaster: resampling a RasterImage to a new size.
//
// Nearest maps target pixel (i, j) to source pixel (i * sx / 65536, j * sy / 65536)
// with sx = W * 65536 / newW and sy = H * 65536 / newH, all integer divisions.
// Bilinear (triangle kernel) and Bicubic (Catmull-Rom) are separable filters:
// a target pixel's centre is mapped onto the source, the kernel is widened by
// the scale factor when reducing (so every source pixel contributes), weights
// are normalised to sum 1, source positions past an edge take the edge pixel,
// and each channel is rounded to the nearest value and clamped to 0..255. Blue,
// green, red and alpha are treated alike (no premultiplication).
//
// Large images are split between the processor's cores.

#include <cstdint>

#include "base/raster_image.h"

namespace tallowin {

enum class ResampleFilter { Nearest = 0, Bilinear = 1, Bicubic = 2 };

// False (raster untouched) when a side is below 1 or the raster is not usable.
// The same size leaves the raster untouched; otherwise it is replaced by a new
// raster of newWidth x newHeight. May throw std::bad_alloc.
bool ScaleRaster(RasterImage& raster, std::int32_t newWidth, std::int32_t newHeight, ResampleFilter filter);

// The kernels, exposed for the tests: weight at distance x (in source pixels of
// an unwidened kernel) and the radius outside which it is 0.
double ResampleKernel(ResampleFilter filter, double x);
double ResampleKernelRadius(ResampleFilter filter);

}  // namespace tallowin
