#include <gtest/gtest.h>

#include <QImage>
#include <memory>

#include "backends/raster_qimage.h"

namespace tallowin::testing {
namespace {

// A picture whose pixels differ in every channel, alpha 0, 1, 128 and 255 among them.
RasterImage MixedRaster(std::int32_t width, std::int32_t height) {
  RasterImage raster = CreateRaster(width, height);
  const std::uint8_t alphas[] = {0, 1, 128, 254, 255};
  for (std::size_t i = 0; i < raster.pixels.size(); i += 4) {
    raster.pixels[i] = static_cast<std::uint8_t>(i * 7);
    raster.pixels[i + 1] = static_cast<std::uint8_t>(i * 13 + 5);
    raster.pixels[i + 2] = static_cast<std::uint8_t>(255 - i);
    raster.pixels[i + 3] = alphas[(i / 4) % 5];
  }
  return raster;
}

TEST(RasterQImage, TheConversionsKeepEveryChannelOfEveryPixel) {
  const RasterImage raster = MixedRaster(7, 5);
  const QImage image = QImageFromRaster(raster);
  ASSERT_EQ(image.format(), QImage::Format_ARGB32);
  const std::optional<RasterImage> back = RasterFromQImage(image);
  ASSERT_TRUE(back);
  EXPECT_EQ(*back, raster);

  // The opaque copy the cut-out dialog draws on: what Qt's own conversion to RGB32 gives.
  const QImage opaque = OpaqueQImageFromRaster(raster);
  EXPECT_EQ(opaque, image.convertToFormat(QImage::Format_RGB32));
  EXPECT_EQ(opaque.pixel(2, 0), qRgb(raster.pixels[10], raster.pixels[9], raster.pixels[8]));
}

// The image a write-back and the image view use reads the picture's own pixels
// and keeps the picture alive for as long as any copy of it exists.
TEST(RasterQImage, ASharingImageReadsThePicturesPixelsAndKeepsThemAlive) {
  auto raster = std::make_shared<const RasterImage>(MixedRaster(6, 4));
  const std::weak_ptr<const RasterImage> watch = raster;
  QImage shared = QImageSharingRaster(raster);
  EXPECT_EQ(shared, QImageFromRaster(*raster));
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
  EXPECT_EQ(shared.constBits(), raster->pixels.data()) << "the pixels were copied";
#endif
  raster.reset();
  QImage copy = shared;
  shared = QImage();
  EXPECT_FALSE(watch.expired()) << "the picture went away under an image still in use";
  EXPECT_EQ(copy.pixel(5, 3), QImageFromRaster(*watch.lock()).pixel(5, 3));
  copy = QImage();
  EXPECT_TRUE(watch.expired()) << "the last image kept the picture";

  EXPECT_TRUE(QImageSharingRaster(nullptr).isNull());
  EXPECT_TRUE(QImageSharingRaster(std::make_shared<const RasterImage>()).isNull());
}

// The PNG a write-back hands out decodes to the very picture, alpha included.
TEST(RasterQImage, TheClipboardPngDecodesToThePicture) {
  const RasterImage raster = MixedRaster(31, 17);
  const QByteArray png = ClipboardPng(QImageFromRaster(raster));
  ASSERT_TRUE(png.startsWith("\x89PNG"));
  const std::optional<RasterImage> back = RasterFromQImage(QImage::fromData(png, "PNG"));
  ASSERT_TRUE(back);
  EXPECT_EQ(*back, raster);
}

}  // namespace
}  // namespace tallowin::testing
