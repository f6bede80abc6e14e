#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "image/scale_raster.h"
#include "image_test_support.h"

namespace tallowin {
namespace {

using testing::NumberedRaster;
using testing::PixelAt;
using testing::RandomRaster;

// A plain double-precision separable resampler written from the definition:
// target pixel i is centred at (i + 0.5) * scale in the source, the kernel is
// stretched by the scale when reducing, taps past an edge read the edge pixel,
// the weights are divided by their sum, and no rounding happens before the end.
// Colours are weighted by (alpha + 1/65536) / (255 + 1/65536) before filtering
// and divided by the same weight of the filtered alpha after it (ReferenceScale).
std::vector<double> ReferencePass(const std::vector<double>& in, int lines, int srcLen, int dstLen, bool alongRows,
                                  int otherLen, ResampleFilter f) {
  const double scale = double(srcLen) / dstLen;
  const double widen = std::max(1.0, scale);
  const double radius = (f == ResampleFilter::Bilinear ? 1.0 : 2.0) * widen;
  auto kernel = [f](double x) {
    x = std::abs(x);
    if (f == ResampleFilter::Bilinear) return x < 1 ? 1 - x : 0.0;
    if (x < 1) return 1.5 * x * x * x - 2.5 * x * x + 1;
    if (x < 2) return -0.5 * x * x * x + 2.5 * x * x - 4 * x + 2;
    return 0.0;
  };
  const int width = alongRows ? dstLen : otherLen;
  const int height = alongRows ? lines : dstLen;
  const int srcWidth = alongRows ? srcLen : otherLen;
  std::vector<double> out(std::size_t(width) * height * 4);
  for (int line = 0; line < (alongRows ? lines : otherLen); ++line) {
    for (int i = 0; i < dstLen; ++i) {
      const double centre = (i + 0.5) * scale;
      double sum[4] = {}, total = 0;
      for (int j = int(std::floor(centre - radius)) - 1; j <= int(std::ceil(centre + radius)) + 1; ++j) {
        const double w = kernel((j + 0.5 - centre) / widen);
        const int at = std::clamp(j, 0, srcLen - 1);
        const int x = alongRows ? at : line, y = alongRows ? line : at;
        for (int c = 0; c < 4; ++c) sum[c] += w * in[(std::size_t(y) * srcWidth + x) * 4 + c];
        total += w;
      }
      const int x = alongRows ? i : line, y = alongRows ? line : i;
      for (int c = 0; c < 4; ++c) out[(std::size_t(y) * width + x) * 4 + c] = sum[c] / total;
    }
  }
  return out;
}

constexpr double kClearWeight = 1.0 / 65536;
double AlphaWeight(double alpha) { return (alpha + kClearWeight) / (255 + kClearWeight); }

RasterImage ReferenceScale(const RasterImage& src, int w, int h, ResampleFilter f) {
  std::vector<double> values(src.pixels.begin(), src.pixels.end());
  for (std::size_t i = 0; i < values.size(); i += 4) {
    for (int c = 0; c < 3; ++c) values[i + c] *= AlphaWeight(values[i + 3]);
  }
  values = ReferencePass(values, src.height, src.width, w, true, 0, f);
  values = ReferencePass(values, 0, src.height, h, false, w, f);
  RasterImage out = CreateRaster(w, h);
  for (std::size_t i = 0; i < values.size(); ++i) {
    const double value = i % 4 == 3 ? values[i] : values[i] / AlphaWeight(values[i - i % 4 + 3]);
    out.pixels[i] = static_cast<std::uint8_t>(std::clamp(std::lround(value), 0L, 255L));
  }
  return out;
}

// The largest difference of a channel value between `scaled` and the reference,
// with its byte. A colour is compared only where either result shows it (alpha
// not 0): below alpha 1/2 it is a ratio of two almost vanishing or opposite
// sums, where single and double precision can part widely.
std::pair<int, std::size_t> WorstDifference(const RasterImage& scaled, const RasterImage& source, ResampleFilter f) {
  const RasterImage reference = ReferenceScale(source, scaled.width, scaled.height, f);
  int worst = 0;
  std::size_t worstAt = 0;
  for (std::size_t i = 0; i < scaled.pixels.size(); ++i) {
    if (i % 4 != 3 && reference.pixels[i - i % 4 + 3] == 0 && scaled.pixels[i - i % 4 + 3] == 0) continue;
    const int d = std::abs(int(scaled.pixels[i]) - int(reference.pixels[i]));
    if (d > worst) worst = d, worstAt = i;
  }
  return {worst, worstAt};
}

struct ScaleCase {
  std::string name;
  bool smooth;
  int srcW, srcH, dstW, dstH;
};

class FilteredScaleTest : public ::testing::TestWithParam<std::tuple<ScaleCase, ResampleFilter>> {};

TEST_P(FilteredScaleTest, WithinOneOfDoubleReference) {
  const auto& [c, filter] = GetParam();
  const RasterImage source = c.smooth ? testing::SmoothRaster(c.srcW, c.srcH) : testing::RandomRaster(c.srcW, c.srcH, 7);
  RasterImage scaled = source;
  ASSERT_TRUE(ScaleRaster(scaled, c.dstW, c.dstH, filter));
  ASSERT_EQ(scaled.width, c.dstW);
  ASSERT_EQ(scaled.height, c.dstH);
  const auto [worst, worstAt] = WorstDifference(scaled, source, filter);
  EXPECT_LE(worst, 1) << "at byte " << worstAt << ": " << int(scaled.pixels[worstAt]) << " vs "
                      << int(ReferenceScale(source, c.dstW, c.dstH, filter).pixels[worstAt]);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, FilteredScaleTest,
    ::testing::Combine(::testing::Values(ScaleCase{"random_reduce", false, 97, 61, 31, 20},
                                         ScaleCase{"random_reduce_odd_factor", false, 200, 150, 57, 149},
                                         ScaleCase{"random_enlarge", false, 23, 17, 80, 41},
                                         ScaleCase{"random_to_one_column", false, 40, 30, 1, 30},
                                         ScaleCase{"random_to_one_pixel", false, 9, 7, 1, 1},
                                         ScaleCase{"random_from_one_pixel", false, 1, 1, 5, 3},
                                         ScaleCase{"smooth_reduce", true, 300, 200, 119, 64},
                                         ScaleCase{"smooth_enlarge", true, 64, 48, 301, 150},
                                         ScaleCase{"smooth_to_one_row", true, 64, 48, 70, 1}),
                       ::testing::Values(ResampleFilter::Bilinear, ResampleFilter::Bicubic)),
    [](const auto& info) {
      return std::get<0>(info.param).name +
             (std::get<1>(info.param) == ResampleFilter::Bilinear ? "_bilinear" : "_bicubic");
    });

TEST(FilteredScaleTest, LargeImageSplitBetweenCoresMatchesReference) {
  // Big enough to be split into bands: the rows where bands meet must be right too.
  const RasterImage source = testing::RandomRaster(640, 480, 3);
  RasterImage scaled = source;
  ASSERT_TRUE(ScaleRaster(scaled, 1000, 700, ResampleFilter::Bicubic));
  EXPECT_LE(WorstDifference(scaled, source, ResampleFilter::Bicubic).first, 1);
}

TEST(FilteredScaleTest, UniformPictureStaysUniformAndChannelsStaySeparate) {
  RasterImage r = CreateRaster(13, 9);
  for (std::size_t i = 0; i < r.pixels.size(); i += 4) {
    r.pixels[i] = 10, r.pixels[i + 1] = 200, r.pixels[i + 2] = 255, r.pixels[i + 3] = 0;
  }
  for (ResampleFilter f : {ResampleFilter::Nearest, ResampleFilter::Bilinear, ResampleFilter::Bicubic}) {
    RasterImage s = r;
    ASSERT_TRUE(ScaleRaster(s, 5, 20, f));
    for (std::size_t i = 0; i < s.pixels.size(); i += 4) {
      ASSERT_EQ(std::memcmp(&s.pixels[i], "\x0a\xc8\xff\x00", 4), 0) << i;
    }
  }
}

// A red shape on a clear ground, black or white: the ground's colour must not
// mix into the shape's half-transparent edge, which stays pure red at every
// opacity, and the ground away from the shape keeps its colour and stays clear.
TEST(FilteredScaleTest, AShapeOnAClearGroundKeepsItsColourAtTheEdges) {
  for (const int ground : {0, 255}) {
    RasterImage r = CreateRaster(40, 30);
    for (int y = 0; y < 30; ++y) {
      for (int x = 0; x < 40; ++x) {
        const double dx = (x - 19.5) / 14, dy = (y - 14.5) / 10;
        const bool inside = dx * dx + dy * dy <= 1;
        std::uint8_t* p = &r.pixels[(std::size_t(y) * 40 + x) * 4];
        p[0] = p[1] = inside ? 0 : std::uint8_t(ground);
        p[2] = inside ? 255 : std::uint8_t(ground);
        p[3] = inside ? 255 : 0;
      }
    }
    for (const ResampleFilter f : {ResampleFilter::Bilinear, ResampleFilter::Bicubic}) {
      for (const auto& [w, h] : {std::pair{17, 13}, std::pair{97, 71}, std::pair{40, 61}, std::pair{5, 4}}) {
        SCOPED_TRACE(::testing::Message() << "ground " << ground
                                          << (f == ResampleFilter::Bilinear ? " bilinear " : " bicubic ") << w << "x" << h);
        RasterImage s = r;
        ASSERT_TRUE(ScaleRaster(s, w, h, f));
        int halfClear = 0, wrong = 0;
        for (int y = 0; y < h; ++y) {
          for (int x = 0; x < w; ++x) {
            const std::uint8_t* p = PixelAt(s, x, y);
            if (p[3] == 0) continue;
            halfClear += p[3] < 255;
            if (p[0] != 0 || p[1] != 0 || p[2] != 255) {
              if (++wrong <= 3) {
                ADD_FAILURE() << "(" << x << ", " << y << ") is red " << int(p[2]) << ", green " << int(p[1])
                              << ", blue " << int(p[0]) << " at alpha " << int(p[3]);
              }
            }
          }
        }
        EXPECT_EQ(wrong, 0);
        EXPECT_GT(halfClear, std::min(w, h)) << "too few half-transparent pixels to tell";
        if (w > 5) {  // the corner is far from the shape
          const std::uint8_t* corner = PixelAt(s, 0, 0);
          EXPECT_TRUE(corner[0] == ground && corner[1] == ground && corner[2] == ground && corner[3] == 0)
              << int(corner[0]) << " " << int(corner[1]) << " " << int(corner[2]) << " " << int(corner[3]);
        }
      }
    }
  }
}

// An opaque picture is filtered exactly as it was before colours were weighted
// by alpha, byte for byte (the hashes were taken from that filter): weighting
// changes no opaque pixel, and such rows keep the plain path.
TEST(FilteredScaleTest, OpaquePicturesGiveTheSameBytesAsBefore) {
  struct Case {
    int srcW, srcH, dstW, dstH;
    ResampleFilter filter;
    std::uint64_t hash;
  } cases[] = {
      {97, 61, 31, 20, ResampleFilter::Bilinear, 8130608645959676799u},
      {97, 61, 31, 20, ResampleFilter::Bicubic, 16958655294410799229u},
      {23, 17, 80, 41, ResampleFilter::Bilinear, 11079934218028604491u},
      {23, 17, 80, 41, ResampleFilter::Bicubic, 7892246777770586596u},
      {200, 150, 57, 149, ResampleFilter::Bicubic, 11218897912185666577u},
      {640, 480, 1000, 700, ResampleFilter::Bicubic, 18013395972550712716u},  // split between cores
      {640, 480, 211, 160, ResampleFilter::Bilinear, 2745304931047183438u},
  };
  for (const Case& c : cases) {
    RasterImage s = RandomRaster(c.srcW, c.srcH, 11);
    for (std::size_t i = 3; i < s.pixels.size(); i += 4) s.pixels[i] = 255;
    ASSERT_TRUE(ScaleRaster(s, c.dstW, c.dstH, c.filter));
    std::uint64_t hash = 1469598103934665603u;  // FNV-1a
    for (const std::uint8_t b : s.pixels) hash = (hash ^ b) * 1099511628211u;
    EXPECT_EQ(hash, c.hash) << c.srcW << "x" << c.srcH << " -> " << c.dstW << "x" << c.dstH
                            << (c.filter == ResampleFilter::Bilinear ? " bilinear" : " bicubic");
  }
}

TEST(FilteredScaleTest, OvershootIsClampedNotWrapped) {
  // A hard black/white edge makes Catmull-Rom ring above 255 and below 0.
  RasterImage r = CreateRaster(8, 1);
  for (int x = 4; x < 8; ++x) std::memset(&r.pixels[x * 4], 255, 4);
  ASSERT_TRUE(ScaleRaster(r, 64, 1, ResampleFilter::Bicubic));
  EXPECT_EQ(r.pixels[0], 0);
  EXPECT_EQ(r.pixels[63 * 4], 255);
  for (int x = 0; x < 64; ++x) {
    if (x < 28) {
      EXPECT_LE(r.pixels[x * 4], 8) << x;  // would read 250+ if -1 wrapped
    } else if (x > 36) {
      EXPECT_GE(r.pixels[x * 4], 247) << x;
    }
  }
}

TEST(NearestScaleTest, PicksTheSourcePixelOfTheFixedPointMapping) {
  const RasterImage small = NumberedRaster(7, 5);
  // Large enough to be split between threads, with target rows that repeat a
  // source row (enlarging) next to rows that skip some; random bytes so that a
  // row or pixel taken from the wrong place cannot match by chance.
  const RasterImage large = RandomRaster(701, 333, 5);
  struct Case {
    const RasterImage* source;
    int w, h;
  } cases[] = {{&small, 3, 2},     {&small, 10, 9},    {&small, 1, 1},     {&small, 7, 1},
               {&large, 1500, 1000}, {&large, 97, 1000}, {&large, 2000, 250}, {&large, 350, 166}};
  for (const Case& c : cases) {
    const RasterImage& source = *c.source;
    RasterImage s = source;
    ASSERT_TRUE(ScaleRaster(s, c.w, c.h, ResampleFilter::Nearest));
    const long long sx = source.width * 65536LL / c.w, sy = source.height * 65536LL / c.h;
    for (int y = 0; y < c.h; ++y) {
      for (int x = 0; x < c.w; ++x) {
        ASSERT_EQ(std::memcmp(PixelAt(s, x, y), PixelAt(source, int(x * sx / 65536), int(y * sy / 65536)), 4), 0)
            << source.width << "x" << source.height << " -> " << c.w << "x" << c.h << " at " << x << "," << y;
      }
    }
  }
  // 3 -> 2 gives sx = 98304: target column 1 takes source column 1 (a rounding mapping would pick 2).
  RasterImage three = NumberedRaster(3, 1);
  ASSERT_TRUE(ScaleRaster(three, 2, 1, ResampleFilter::Nearest));
  EXPECT_EQ(std::memcmp(PixelAt(three, 1, 0), PixelAt(NumberedRaster(3, 1), 1, 0), 4), 0);
}

TEST(ScaleRasterTest, RefusesEmptySidesAndKeepsSameSize) {
  const RasterImage source = NumberedRaster(4, 3);
  for (auto [w, h] : {std::pair{0, 3}, std::pair{4, 0}, std::pair{-1, 5}}) {
    RasterImage s = source;
    EXPECT_FALSE(ScaleRaster(s, w, h, ResampleFilter::Bicubic));
    EXPECT_EQ(s, source);
  }
  RasterImage same = source;
  const std::uint8_t* before = same.pixels.data();
  EXPECT_TRUE(ScaleRaster(same, 4, 3, ResampleFilter::Bicubic));
  EXPECT_EQ(same.pixels.data(), before);
  EXPECT_EQ(same, source);
}

}  // namespace
}  // namespace tallowin
