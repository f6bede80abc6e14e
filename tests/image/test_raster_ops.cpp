#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "image/raster_ops.h"
#include "image_test_support.h"

namespace tallowin {
namespace {

using testing::NumberedRaster;
using testing::PixelAt;

TEST(RasterImageTest, NewRasterIsBlackAndTransparent) {
  const RasterImage r = CreateRaster(3, 2);
  EXPECT_TRUE(r.Usable());
  EXPECT_EQ(r.pixels, PixelBytes(24, 0));
}

TEST(BitmapConversionTest, PaddedRowsCopiedWithoutPaddingAndAlphaKept) {
  WorkingBitmap bitmap{2, 2, 12, {}};
  bitmap.bytes = {1, 2, 3, 4, 5, 6, 7, 8, 99, 99, 99, 99, 9, 10, 11, 0, 13, 14, 15, 16, 99, 99, 99, 99};
  const RasterImage raster = BitmapToRaster(bitmap);
  EXPECT_EQ(raster.width, 2);
  EXPECT_EQ(raster.height, 2);
  EXPECT_EQ(raster.pixels, (PixelBytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 0, 13, 14, 15, 16}));

  const WorkingBitmap back = RasterToBitmap(raster);
  EXPECT_EQ(back.stride, 8u);
  EXPECT_TRUE(std::equal(back.bytes.begin(), back.bytes.end(), raster.pixels.begin(), raster.pixels.end()));
  EXPECT_EQ(BitmapToRaster(back), raster);
}

TEST(BitmapConversionTest, ShortBitmapGivesNoRaster) {
  WorkingBitmap bitmap{2, 2, 8, std::vector<std::uint8_t>(15)};
  EXPECT_FALSE(BitmapToRaster(bitmap).Usable());
  bitmap.stride = 4;  // narrower than a row
  bitmap.bytes.resize(64);
  EXPECT_FALSE(BitmapToRaster(bitmap).Usable());
}

struct RegionCase {
  const char* name;
  std::int32_t sx, sy, w, h, dx, dy;
  // The destination pixel (x, y) that must hold source pixel (srcX, srcY), and
  // the number of destination pixels that must be copied at all.
  std::int32_t x, y, srcX, srcY, copied;
};

class CopyRasterRegionTest : public ::testing::TestWithParam<RegionCase> {};

TEST_P(CopyRasterRegionTest, ClipsToSourceThenDestination) {
  const RegionCase& c = GetParam();
  const RasterImage source = NumberedRaster(5, 4);
  RasterImage dest = CreateRaster(4, 3);
  std::fill(dest.pixels.begin(), dest.pixels.end(), 0xEE);
  CopyRasterRegion(source, c.sx, c.sy, c.w, c.h, dest, c.dx, c.dy);
  int copied = 0;
  for (std::size_t i = 0; i < dest.pixels.size(); i += 4) copied += dest.pixels[i] != 0xEE;
  EXPECT_EQ(copied, c.copied);
  if (c.copied > 0) {
    EXPECT_EQ(std::memcmp(PixelAt(dest, c.x, c.y), PixelAt(source, c.srcX, c.srcY), 4), 0);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CopyRasterRegionTest,
    ::testing::Values(RegionCase{"inside", 1, 1, 2, 2, 1, 0, 1, 0, 1, 1, 4},
                      // 2 columns and 1 row of the block lie before the source: they are dropped
                      // and the rest lands 2 columns right and 1 row down.
                      RegionCase{"negative_source", -2, -1, 4, 3, 0, 0, 2, 1, 0, 0, 4},
                      RegionCase{"past_source_end", 3, 2, 4, 4, 0, 0, 0, 0, 3, 2, 4},
                      RegionCase{"negative_destination", 0, 0, 3, 3, -1, -2, 0, 0, 1, 2, 2},
                      RegionCase{"past_destination_end", 0, 0, 5, 4, 2, 1, 3, 2, 1, 1, 4},
                      RegionCase{"nothing_left", 5, 0, 2, 2, 0, 0, 0, 0, 0, 0, 0}),
    [](const auto& info) { return info.param.name; });

TEST(CutMarginsTest, MarginsThatLeaveNoPixelCutNothing) {
  struct Case {
    std::int32_t left, right, width;
    bool cut;
  } cases[] = {{500, 500, 1000, false}, {499, 500, 1000, true}, {0, 0, 1000, true},
               {1000, 0, 1000, false},  {INT32_MAX, INT32_MAX, 1000, false}};
  for (const Case& c : cases) {
    RasterImage r = NumberedRaster(c.width, 2);
    const RasterImage before = r;
    EXPECT_EQ(CutMargins(r, {c.left, 0, c.right, 0}), c.cut) << c.left << "+" << c.right;
    if (c.cut) {
      EXPECT_EQ(r.width, c.width - c.left - c.right);
      EXPECT_EQ(std::memcmp(PixelAt(r, 0, 1), PixelAt(before, c.left, 1), 4), 0);
    } else {
      EXPECT_EQ(r, before);
    }
  }
}

TEST(CutMarginsTest, CutsTheInnerBlock) {
  RasterImage r = NumberedRaster(6, 5);
  const RasterImage before = r;
  ASSERT_TRUE(CutMargins(r, {1, 2, 2, 1}));
  ASSERT_EQ(r.width, 3);
  ASSERT_EQ(r.height, 2);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x) EXPECT_EQ(std::memcmp(PixelAt(r, x, y), PixelAt(before, x + 1, y + 2), 4), 0);
  }
}

TEST(CutMarginsTest, NegativeMarginAddsTransparentBlackColumns) {
  RasterImage r = NumberedRaster(4, 2);
  const RasterImage before = r;
  ASSERT_TRUE(CutMargins(r, {-10, 0, 1, 0}));
  ASSERT_EQ(r.width, 13);
  for (int x = 0; x < 10; ++x) EXPECT_EQ(std::memcmp(PixelAt(r, x, 0), "\0\0\0\0", 4), 0) << x;
  EXPECT_EQ(std::memcmp(PixelAt(r, 10, 1), PixelAt(before, 0, 1), 4 * 3), 0);
}

}  // namespace
}  // namespace tallowin
