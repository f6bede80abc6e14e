#include "image/scale_raster.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

namespace tallowin {
namespace {

// One target position's taps: source indices first .. first + count - 1, all
// inside the image (edge taps are folded onto the edge pixel).
struct Contributions {
  std::int32_t maxTaps = 0;
  std::vector<std::int32_t> first;
  std::vector<std::int32_t> count;
  std::vector<float> weights;  // maxTaps per target position
};

Contributions ComputeContributions(std::int32_t sourceSize, std::int32_t targetSize, ResampleFilter filter) {
  const double scale = static_cast<double>(sourceSize) / targetSize;
  const double widen = std::max(scale, 1.0);
  const double support = ResampleKernelRadius(filter) * widen;
  Contributions c;
  c.maxTaps = static_cast<std::int32_t>(std::ceil(support)) * 2 + 2;
  c.maxTaps = std::min(c.maxTaps, sourceSize);
  c.first.resize(static_cast<std::size_t>(targetSize));
  c.count.resize(static_cast<std::size_t>(targetSize));
  c.weights.assign(static_cast<std::size_t>(targetSize) * static_cast<std::size_t>(c.maxTaps), 0.0f);
  std::vector<double> folded(static_cast<std::size_t>(sourceSize));
  for (std::int32_t i = 0; i < targetSize; ++i) {
    const double centre = (i + 0.5) * scale;  // in source coordinates, pixel j spans [j, j + 1)
    const auto lo = static_cast<std::int64_t>(std::floor(centre - support));
    const auto hi = static_cast<std::int64_t>(std::ceil(centre + support));
    const auto clampIndex = [&](std::int64_t j) {
      return static_cast<std::int32_t>(std::clamp<std::int64_t>(j, 0, sourceSize - 1));
    };
    std::fill(folded.begin() + clampIndex(lo), folded.begin() + clampIndex(hi) + 1, 0.0);
    std::int32_t minIndex = sourceSize, maxIndex = -1;
    double total = 0.0;
    for (std::int64_t j = lo; j <= hi; ++j) {
      const double w = ResampleKernel(filter, (j + 0.5 - centre) / widen);
      if (w == 0.0) continue;
      const std::int32_t at = clampIndex(j);
      minIndex = std::min(minIndex, at);
      maxIndex = std::max(maxIndex, at);
      folded[static_cast<std::size_t>(at)] += w;
      total += w;
    }
    float* out = &c.weights[static_cast<std::size_t>(i) * static_cast<std::size_t>(c.maxTaps)];
    if (maxIndex < minIndex || total == 0.0) {  // cannot happen with these kernels; keep the nearest pixel
      const auto at = static_cast<std::int32_t>(std::clamp<double>(std::floor(centre), 0, sourceSize - 1));
      c.first[static_cast<std::size_t>(i)] = at;
      c.count[static_cast<std::size_t>(i)] = 1;
      out[0] = 1.0f;
      continue;
    }
    c.first[static_cast<std::size_t>(i)] = minIndex;
    c.count[static_cast<std::size_t>(i)] = maxIndex - minIndex + 1;
    for (std::int32_t k = minIndex; k <= maxIndex; ++k) {
      out[k - minIndex] = static_cast<float>(folded[static_cast<std::size_t>(k)] / total);
    }
  }
  return c;
}

// Four channels of one pixel in single precision; the compiler keeps it in one
// vector register.
typedef float Pixel4 __attribute__((vector_size(16)));

inline Pixel4 LoadPixel(const std::uint8_t* p) { return Pixel4{float(p[0]), float(p[1]), float(p[2]), float(p[3])}; }

// Filters one source row horizontally into `out` (targetWidth pixels, 4 floats each).
void FilterRow(const std::uint8_t* source, const Contributions& cx, std::int32_t targetWidth, float* out) {
  for (std::int32_t i = 0; i < targetWidth; ++i) {
    const std::uint8_t* p = source + static_cast<std::size_t>(cx.first[static_cast<std::size_t>(i)]) * 4u;
    const float* w = &cx.weights[static_cast<std::size_t>(i) * static_cast<std::size_t>(cx.maxTaps)];
    const std::int32_t n = cx.count[static_cast<std::size_t>(i)];
    Pixel4 acc = {0, 0, 0, 0};
    for (std::int32_t k = 0; k < n; ++k) acc += LoadPixel(p + 4 * k) * w[k];
    std::memcpy(out + 4 * static_cast<std::size_t>(i), &acc, sizeof acc);
  }
}

inline std::uint8_t RoundToByte(float v) {
  v = std::min(std::max(v, 0.0f), 255.0f);
  return static_cast<std::uint8_t>(static_cast<int>(v + 0.5f));
}

// Target rows [rowBegin, rowEnd). Horizontally filtered source rows are kept in
// a ring of maxTaps rows: the source window only moves down as the target row
// grows, so a row index modulo the ring size never collides with a row still needed.
void FilterBand(const RasterImage& source, RasterImage& target, const Contributions& cx, const Contributions& cy,
                std::int32_t rowBegin, std::int32_t rowEnd) {
  const std::size_t rowFloats = static_cast<std::size_t>(target.width) * 4u;
  const auto ringSize = static_cast<std::size_t>(cy.maxTaps);
  std::vector<float> ring(ringSize * rowFloats);
  std::vector<std::int64_t> ringRow(ringSize, -1);
  std::vector<float> acc(rowFloats);
  const std::size_t sourceRowBytes = static_cast<std::size_t>(source.width) * 4u;
  for (std::int32_t j = rowBegin; j < rowEnd; ++j) {
    const std::int32_t first = cy.first[static_cast<std::size_t>(j)];
    const std::int32_t n = cy.count[static_cast<std::size_t>(j)];
    const float* w = &cy.weights[static_cast<std::size_t>(j) * ringSize];
    std::fill(acc.begin(), acc.end(), 0.0f);
    for (std::int32_t k = 0; k < n; ++k) {
      const std::int64_t row = first + k;
      const std::size_t slot = static_cast<std::size_t>(row) % ringSize;
      float* filtered = &ring[slot * rowFloats];
      if (ringRow[slot] != row) {
        FilterRow(source.pixels.data() + static_cast<std::size_t>(row) * sourceRowBytes, cx, target.width, filtered);
        ringRow[slot] = row;
      }
      const float weight = w[k];
      float* a = acc.data();
      for (std::size_t x = 0; x < rowFloats; ++x) a[x] += weight * filtered[x];
    }
    std::uint8_t* out = target.pixels.data() + static_cast<std::size_t>(j) * rowFloats;
    for (std::size_t x = 0; x < rowFloats; ++x) out[x] = RoundToByte(acc[x]);
  }
}

void ScaleNearest(const RasterImage& source, RasterImage& target) {
  const std::int64_t sx = std::int64_t{source.width} * 65536 / target.width;
  const std::int64_t sy = std::int64_t{source.height} * 65536 / target.height;
  std::vector<std::int32_t> column(static_cast<std::size_t>(target.width));
  for (std::int32_t i = 0; i < target.width; ++i) column[static_cast<std::size_t>(i)] = static_cast<std::int32_t>(i * sx / 65536);
  const auto* src = reinterpret_cast<const std::uint8_t*>(source.pixels.data());
  for (std::int32_t j = 0; j < target.height; ++j) {
    const std::int64_t row = j * sy / 65536;
    const std::uint8_t* in = src + static_cast<std::size_t>(row) * static_cast<std::size_t>(source.width) * 4u;
    std::uint8_t* out = target.pixels.data() + static_cast<std::size_t>(j) * static_cast<std::size_t>(target.width) * 4u;
    for (std::int32_t i = 0; i < target.width; ++i) {
      std::memcpy(out + 4 * static_cast<std::size_t>(i), in + 4 * static_cast<std::size_t>(column[static_cast<std::size_t>(i)]), 4);
    }
  }
}

// Splits the target rows between the cores when the work is worth a thread.
void ForEachBand(std::int32_t rows, std::int64_t work, const auto& run) {
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  const auto bands = static_cast<std::int32_t>(std::min<std::int64_t>({cores, rows, 1 + work / (1 << 18)}));
  if (bands <= 1) {
    run(0, rows);
    return;
  }
  std::vector<std::thread> helpers;
  for (std::int32_t b = 1; b < bands; ++b) {
    helpers.emplace_back(run, static_cast<std::int32_t>(std::int64_t{rows} * b / bands),
                         static_cast<std::int32_t>(std::int64_t{rows} * (b + 1) / bands));
  }
  run(0, static_cast<std::int32_t>(rows / bands));
  for (std::thread& t : helpers) t.join();
}

}  // namespace

double ResampleKernelRadius(ResampleFilter filter) {
  switch (filter) {
    case ResampleFilter::Nearest: return 0.5;
    case ResampleFilter::Bilinear: return 1.0;
    case ResampleFilter::Bicubic: return 2.0;
  }
  return 1.0;
}

double ResampleKernel(ResampleFilter filter, double x) {
  x = std::fabs(x);
  switch (filter) {
    case ResampleFilter::Nearest: return x < 0.5 ? 1.0 : 0.0;
    case ResampleFilter::Bilinear: return x < 1.0 ? 1.0 - x : 0.0;
    case ResampleFilter::Bicubic:
      if (x < 1.0) return (3 * x * x * x - 5 * x * x + 2) / 2;
      if (x < 2.0) return (-x * x * x + 5 * x * x - 8 * x + 4) / 2;
      return 0.0;
  }
  return 0.0;
}

bool ScaleRaster(RasterImage& raster, std::int32_t newWidth, std::int32_t newHeight, ResampleFilter filter) {
  if (newWidth < 1 || newHeight < 1 || !raster.Usable()) return false;
  if (newWidth == raster.width && newHeight == raster.height) return true;
  RasterImage target = CreateRaster(newWidth, newHeight);
  if (filter == ResampleFilter::Nearest) {
    ScaleNearest(raster, target);
  } else {
    const Contributions cx = ComputeContributions(raster.width, newWidth, filter);
    const Contributions cy = ComputeContributions(raster.height, newHeight, filter);
    const std::int64_t work = std::int64_t{newWidth} * newHeight * (cx.maxTaps + cy.maxTaps);
    ForEachBand(newHeight, work, [&](std::int32_t begin, std::int32_t end) {
      FilterBand(raster, target, cx, cy, begin, end);
    });
  }
  raster = std::move(target);
  return true;
}

}  // namespace tallowin
