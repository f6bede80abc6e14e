#pragma once
// ScaleRaster: resampling a RasterImage to a new size.
//
// Nearest maps target pixel (i, j) to source pixel (i * sx / 65536, j * sy / 65536)
// with sx = W * 65536 / newW and sy = H * 65536 / newH, all integer divisions:
// the top-left pixel of each block. It copies pixels, alpha and all.
// Bilinear (triangle kernel) and Bicubic (Catmull-Rom) are separable filters:
// a target pixel's centre is mapped onto the source, the kernel is widened by
// the scale factor when reducing (so every source pixel contributes), weights
// are normalised to sum 1, source positions past an edge take the edge pixel,
// and each channel is rounded to the nearest value and clamped to 0..255.
// Alpha is filtered like a colour; blue, green and red are weighted by their
// pixel's opacity, (alpha + 1/65536) / (255 + 1/65536), and the filtered colour
// divided by the weight of the filtered alpha, so the colour of a transparent
// ground does not darken (or lighten) a shape's half-transparent edge. Where
// everything a pixel draws from is wholly transparent, its colour is the plain
// mix (a clear ground keeps its colour). An opaque picture is filtered exactly
// as without the weighting, on a path without it.
//
// Large images are split between the processor's cores.

#include <cstdint>
#include <optional>

#include "base/raster_image.h"

namespace tallowin {

enum class ResampleFilter { Nearest = 0, Bilinear = 1, Bicubic = 2 };

// False (raster untouched) when a side is below 1 or the raster is not usable.
// The same size leaves the raster untouched; otherwise it is replaced by a new
// raster of newWidth x newHeight. May throw std::bad_alloc.
bool ScaleRaster(RasterImage& raster, std::int32_t newWidth, std::int32_t newHeight, ResampleFilter filter);
// The new raster made from a picture that stays as it is: std::nullopt when a
// side is below 1 or the raster is not usable; the same size gives a copy.
std::optional<RasterImage> ScaledRaster(const RasterImage& raster, std::int32_t newWidth, std::int32_t newHeight,
                                        ResampleFilter filter);

// The kernels, exposed for the tests: weight at distance x (in source pixels of
// an unwidened kernel) and the radius outside which it is 0.
double ResampleKernel(ResampleFilter filter, double x);
double ResampleKernelRadius(ResampleFilter filter);

}  // namespace tallowin
