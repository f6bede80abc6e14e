#include "image/scale_raster.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <exception>
#include <thread>
#include <vector>

#include "base/large_pages.h"

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

// The hot loops are built twice on x86-64, for AVX2 and for the baseline, and
// the loader picks the one the processor runs.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define TALLOWIN_HOT_LOOP __attribute__((target_clones("avx2", "default")))
#else
#define TALLOWIN_HOT_LOOP
#endif

// Four channels of one pixel in single precision; the compiler keeps it in one
// vector register.
typedef float Pixel4 __attribute__((vector_size(16)));

// Colours are mixed in proportion to their pixels' opacity, so that the colour
// of a transparent pixel (often black) does not bleed into its neighbours: a
// pixel's colour is weighted by (alpha + kClearWeight) / (255 + kClearWeight)
// before filtering, and the filtered colour divided by the same weight of the
// filtered alpha. An opaque pixel's weight is exactly 1, so opaque rows are
// filtered exactly as without weighting. The small kClearWeight gives a wholly
// transparent pixel a weight too: where every pixel a target pixel draws from
// is transparent, it takes their plain mixed colour (formats without alpha,
// such as JPEG, show it) instead of black. Beside a pixel of any opacity its
// share is negligible: alpha 1 weighs 65537 times as much, and a pixel seen at
// all (alpha at least 1/2) moves by less than 1/100 of a step.
// The value is a power of two, so 255 + kClearWeight is exact in a float.
constexpr float kClearWeight = 1.0f / 65536;

// Widens one source row to floats, four per pixel, and tells whether every
// pixel of it has alpha 255: the AND of all pixels, read as words, keeps the
// alpha byte (the fourth) at 0xFF only then. Checking while widening reads each
// pixel once.
TALLOWIN_HOT_LOOP bool WidenRow(const std::uint8_t* source, std::int32_t width, float* widened) {
  constexpr int kAlphaShift = std::endian::native == std::endian::little ? 24 : 0;
  std::uint32_t all = ~std::uint32_t{0};
  for (std::int32_t x = 0; x < width; ++x) {
    const std::uint8_t* p = source + 4 * static_cast<std::size_t>(x);
    std::uint32_t pixel;
    std::memcpy(&pixel, p, 4);
    all &= pixel;
    for (int c = 0; c < 4; ++c) widened[4 * static_cast<std::size_t>(x) + c] = static_cast<float>(p[c]);
  }
  return ((all >> kAlphaShift) & 0xFF) == 0xFF;
}

// Weights each widened pixel's colour by its opacity (see kClearWeight); alpha
// stays as it is. The division makes the weight of alpha 255 exactly 1.
TALLOWIN_HOT_LOOP void WeightColoursByAlpha(float* widened, std::int32_t width) {
  for (std::int32_t x = 0; x < width; ++x) {
    float* p = widened + 4 * static_cast<std::size_t>(x);
    const float weight = (p[3] + kClearWeight) / (255.0f + kClearWeight);
    p[0] *= weight;
    p[1] *= weight;
    p[2] *= weight;
  }
}

// Filters one source row horizontally into `out` (targetWidth pixels, 4 floats
// each). The row is widened to floats once, so each tap is a plain vector load.
// Returns whether the row is opaque; a row that is not comes out with its
// colours weighted by alpha, an opaque one as plain filtered values (which are
// the same numbers weighting would give).
TALLOWIN_HOT_LOOP bool FilterRow(const std::uint8_t* source, std::int32_t sourceWidth, const Contributions& cx,
                                 std::int32_t targetWidth, float* widened, float* out) {
  const bool opaque = WidenRow(source, sourceWidth, widened);
  if (!opaque) WeightColoursByAlpha(widened, sourceWidth);
  for (std::int32_t i = 0; i < targetWidth; ++i) {
    const float* p = widened + static_cast<std::size_t>(cx.first[static_cast<std::size_t>(i)]) * 4u;
    const float* w = &cx.weights[static_cast<std::size_t>(i) * static_cast<std::size_t>(cx.maxTaps)];
    const std::int32_t n = cx.count[static_cast<std::size_t>(i)];
    Pixel4 acc = {0, 0, 0, 0};
    for (std::int32_t k = 0; k < n; ++k) {
      Pixel4 pixel;
      std::memcpy(&pixel, p + 4 * k, sizeof pixel);
      acc += pixel * w[k];
    }
    std::memcpy(out + 4 * static_cast<std::size_t>(i), &acc, sizeof acc);
  }
  return opaque;
}

inline std::uint8_t RoundToByte(float v) {
  v = std::min(std::max(v, 0.0f), 255.0f);
  return static_cast<std::uint8_t>(static_cast<int>(v + 0.5f));
}

// acc[begin, end) = sum of weight[k] * rows[k] over the n rows; inlined, so each
// clone of its caller vectorises it for its own target.
[[gnu::always_inline]] inline void AccumulateRows(const float* const* rows, const float* weight, std::int32_t n,
                                             std::size_t begin, std::size_t end, float* acc) {
  const float w0 = weight[0];
  const float* r0 = rows[0];
  for (std::size_t x = begin; x < end; ++x) acc[x] = w0 * r0[x];
  for (std::int32_t k = 1; k < n; ++k) {
    const float wk = weight[k];
    const float* rk = rows[k];
    for (std::size_t x = begin; x < end; ++x) acc[x] += wk * rk[x];
  }
}

// out = round(sum of weight[k] * rows[k]), over `count` floats; `acc` is scratch.
// Rows are taken in blocks of the cache-friendly width so that acc stays in L1.
TALLOWIN_HOT_LOOP void CombineRows(const float* const* rows, const float* weight, std::int32_t n, std::size_t count,
                                   float* acc, std::uint8_t* out) {
  constexpr std::size_t kBlock = 1024;
  for (std::size_t begin = 0; begin < count; begin += kBlock) {
    const std::size_t end = std::min(count, begin + kBlock);
    AccumulateRows(rows, weight, n, begin, end, acc);
    for (std::size_t x = begin; x < end; ++x) out[x] = RoundToByte(acc[x]);
  }
}

typedef std::int32_t Int4 __attribute__((vector_size(16)));
constexpr Pixel4 kZero4 = {0.0f, 0.0f, 0.0f, 0.0f};
constexpr Pixel4 k255x4 = {255.0f, 255.0f, 255.0f, 255.0f};
constexpr Pixel4 kHalf4 = {0.5f, 0.5f, 0.5f, 0.5f};
// Below this, a filtered alpha's weight is taken for 0 (see CombineWeightedRows);
// above, a colour divided by it stays finite.
constexpr float kSmallestAlphaWeight = 0x1p-20f;

// The same for rows whose colours are weighted by alpha (opaque rows among them
// are too, with weight 1): each colour is divided by the weight of its pixel's
// filtered alpha before rounding; each value is clamped and rounded as in
// CombineRows, four at a time.
TALLOWIN_HOT_LOOP void CombineWeightedRows(const float* const* rows, const float* weight, std::int32_t n,
                                           std::size_t count, float* acc, std::uint8_t* out) {
  constexpr std::size_t kBlock = 1024;  // whole pixels
  for (std::size_t begin = 0; begin < count; begin += kBlock) {
    const std::size_t end = std::min(count, begin + kBlock);
    AccumulateRows(rows, weight, n, begin, end, acc);
    for (std::size_t x = begin; x < end; x += 4) {
      Pixel4 pixel;
      std::memcpy(&pixel, acc + x, sizeof pixel);
      // Catmull-Rom's negative lobes can make the filtered alpha (almost)
      // cancel the clear weight; such a pixel is clear, and its colour is 0
      // rather than a ratio of two vanishing sums.
      const float alphaWeight = pixel[3] + kClearWeight;
      const float undo = alphaWeight > kSmallestAlphaWeight ? (255.0f + kClearWeight) / alphaWeight : 0.0f;
      pixel *= Pixel4{undo, undo, undo, 1.0f};
      pixel = pixel > kZero4 ? pixel : kZero4;
      pixel = pixel < k255x4 ? pixel : k255x4;
      const Int4 rounded = __builtin_convertvector(pixel + kHalf4, Int4);
      for (int c = 0; c < 4; ++c) out[x + static_cast<std::size_t>(c)] = static_cast<std::uint8_t>(rounded[c]);
    }
  }
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
  std::vector<char> ringOpaque(ringSize, 1);
  std::vector<float> acc(rowFloats);
  std::vector<const float*> rows(ringSize);
  std::vector<float> widened(static_cast<std::size_t>(source.width) * 4u);
  const std::size_t sourceRowBytes = static_cast<std::size_t>(source.width) * 4u;
  for (std::int32_t j = rowBegin; j < rowEnd; ++j) {
    const std::int32_t first = cy.first[static_cast<std::size_t>(j)];
    const std::int32_t n = cy.count[static_cast<std::size_t>(j)];
    const float* w = &cy.weights[static_cast<std::size_t>(j) * ringSize];
    bool opaque = true;
    for (std::int32_t k = 0; k < n; ++k) {
      const std::int64_t row = first + k;
      const std::size_t slot = static_cast<std::size_t>(row) % ringSize;
      float* filtered = &ring[slot * rowFloats];
      if (ringRow[slot] != row) {
        ringOpaque[slot] = FilterRow(source.pixels.data() + static_cast<std::size_t>(row) * sourceRowBytes,
                                     source.width, cx, target.width, widened.data(), filtered);
        ringRow[slot] = row;
      }
      opaque = opaque && ringOpaque[slot];
      rows[k] = filtered;
    }
    // Only rows with transparency need the division: an opaque picture takes
    // the plain path throughout, and gives exactly the bytes it always gave.
    std::uint8_t* out = target.pixels.data() + static_cast<std::size_t>(j) * rowFloats;
    if (opaque) {
      CombineRows(rows.data(), w, n, rowFloats, acc.data(), out);
    } else {
      CombineWeightedRows(rows.data(), w, n, rowFloats, acc.data(), out);
    }
  }
}

// One target row of the nearest rule: out[i] = in[column[i]], four bytes each.
// The bytes go through 32-bit words (memcpy, so no aliasing rule is bent),
// which the compiler turns into plain word loads and stores.
TALLOWIN_HOT_LOOP void NearestRow(const std::uint8_t* in, const std::uint8_t* next, const std::int32_t* column,
                                  std::int32_t width, std::uint8_t* out) {
  for (std::int32_t i = 0; i < width; ++i) {
    const std::size_t at = 4 * static_cast<std::size_t>(column[i]);
    // When reducing, each target row reads a source row that is not in the
    // cache yet; asking for the next one meanwhile overlaps its fetch with this row.
    if (next) __builtin_prefetch(next + at);
    std::uint32_t pixel;
    std::memcpy(&pixel, in + at, 4);
    std::memcpy(out + 4 * static_cast<std::size_t>(i), &pixel, 4);
  }
}

// Target rows [rowBegin, rowEnd); `column` maps each target column to its source
// column. When enlarging, neighbouring target rows often take the same source
// row: such a row is a copy of the one above, which is far cheaper than picking
// its pixels again. The first row of a band is always picked, so bands never
// read each other's rows.
void NearestBand(const RasterImage& source, RasterImage& target, const std::vector<std::int32_t>& column,
                 std::int32_t rowBegin, std::int32_t rowEnd) {
  const std::int64_t sy = std::int64_t{source.height} * 65536 / target.height;
  const std::size_t targetRowBytes = static_cast<std::size_t>(target.width) * 4u;
  std::int64_t previous = -1;
  for (std::int32_t j = rowBegin; j < rowEnd; ++j) {
    const std::int64_t row = j * sy / 65536;
    std::uint8_t* out = target.pixels.data() + static_cast<std::size_t>(j) * targetRowBytes;
    if (row == previous) {
      std::memcpy(out, out - targetRowBytes, targetRowBytes);
      continue;
    }
    const std::size_t sourceRowBytes = static_cast<std::size_t>(source.width) * 4u;
    const std::uint8_t* in = source.pixels.data() + static_cast<std::size_t>(row) * sourceRowBytes;
    const std::int64_t nextRow = (j + 1) * sy / 65536;
    const std::uint8_t* next = j + 1 < rowEnd && nextRow != row
                                   ? source.pixels.data() + static_cast<std::size_t>(nextRow) * sourceRowBytes
                                   : nullptr;
    NearestRow(in, next, column.data(), target.width, out);
    previous = row;
  }
}

// Splits the target rows between the cores when the work is worth a thread:
// each band beyond the first needs at least `workPerBand` units of `work`.
void ForEachBand(std::int32_t rows, std::int64_t work, std::int64_t workPerBand, const auto& run) {
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  const auto bands = static_cast<std::int32_t>(std::min<std::int64_t>({cores, rows, 1 + work / workPerBand}));
  if (bands <= 1) {
    run(0, rows);
    return;
  }
  // A failure on a helper (out of memory) is raised again on the caller's thread.
  std::vector<std::exception_ptr> failures(static_cast<std::size_t>(bands));
  std::vector<std::thread> helpers;
  for (std::int32_t b = 1; b < bands; ++b) {
    helpers.emplace_back([&, b] {
      try {
        run(static_cast<std::int32_t>(std::int64_t{rows} * b / bands),
            static_cast<std::int32_t>(std::int64_t{rows} * (b + 1) / bands));
      } catch (...) {
        failures[static_cast<std::size_t>(b)] = std::current_exception();
      }
    });
  }
  try {
    run(0, static_cast<std::int32_t>(rows / bands));
  } catch (...) {
    failures[0] = std::current_exception();
  }
  for (std::thread& t : helpers) t.join();
  for (const std::exception_ptr& failure : failures) {
    if (failure) std::rethrow_exception(failure);
  }
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

std::optional<RasterImage> ScaledRaster(const RasterImage& raster, std::int32_t newWidth, std::int32_t newHeight,
                                        ResampleFilter filter) {
  if (newWidth < 1 || newHeight < 1 || !raster.Usable()) return std::nullopt;
  if (newWidth == raster.width && newHeight == raster.height) return raster;
  // Every byte of the new raster is written below, so it is not cleared first.
  RasterImage target;
  target.width = newWidth;
  target.height = newHeight;
  target.pixels.resize(RasterImage::ByteSize(newWidth, newHeight));
  // A large new raster is faulted in page by page as it is filled.
  AskForLargePages(target.pixels.data(), target.pixels.size());
  if (filter == ResampleFilter::Nearest) {
    const std::int64_t sx = std::int64_t{raster.width} * 65536 / newWidth;
    std::vector<std::int32_t> column(static_cast<std::size_t>(newWidth));
    for (std::int32_t i = 0; i < newWidth; ++i) column[static_cast<std::size_t>(i)] = static_cast<std::int32_t>(i * sx / 65536);
    // A picked pixel costs a few nanoseconds, so 64K of them already outweigh
    // starting a thread (tens of microseconds).
    ForEachBand(newHeight, std::int64_t{newWidth} * newHeight, std::int64_t{1} << 16, [&](std::int32_t begin, std::int32_t end) {
      NearestBand(raster, target, column, begin, end);
    });
  } else {
    const Contributions cx = ComputeContributions(raster.width, newWidth, filter);
    const Contributions cy = ComputeContributions(raster.height, newHeight, filter);
    const std::int64_t work = std::int64_t{newWidth} * newHeight * (cx.maxTaps + cy.maxTaps);
    ForEachBand(newHeight, work, std::int64_t{1} << 18, [&](std::int32_t begin, std::int32_t end) {
      FilterBand(raster, target, cx, cy, begin, end);
    });
  }
  return target;
}

bool ScaleRaster(RasterImage& raster, std::int32_t newWidth, std::int32_t newHeight, ResampleFilter filter) {
  if (newWidth < 1 || newHeight < 1 || !raster.Usable()) return false;
  if (newWidth == raster.width && newHeight == raster.height) return true;
  std::optional<RasterImage> scaled = ScaledRaster(raster, newWidth, newHeight, filter);
  raster = std::move(*scaled);
  return true;
}

}  // namespace tallowin
