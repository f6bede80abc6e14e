#include "backends/raster_qimage.h"

#include <QBuffer>
#include <QtEndian>
#include <cstring>
#include <new>

namespace tallowin {

std::optional<RasterImage> RasterFromQImage(const QImage& image) {
  if (image.isNull()) return std::nullopt;
  const bool hasAlpha = image.hasAlphaChannel();
  const QImage argb = image.convertToFormat(hasAlpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
  RasterImage raster = CreateRaster(argb.width(), argb.height());
  const std::size_t rowBytes = static_cast<std::size_t>(argb.width()) * 4;
  for (int y = 0; y < argb.height(); ++y) {
    const uchar* src = argb.constScanLine(y);
    std::uint8_t* dst = raster.pixels.data() + rowBytes * static_cast<std::size_t>(y);
    for (int x = 0; x < argb.width(); ++x) {
      const quint32 pixel = reinterpret_cast<const quint32*>(src)[x];
      dst[4 * x + 0] = static_cast<std::uint8_t>(pixel & 0xFF);
      dst[4 * x + 1] = static_cast<std::uint8_t>((pixel >> 8) & 0xFF);
      dst[4 * x + 2] = static_cast<std::uint8_t>((pixel >> 16) & 0xFF);
      dst[4 * x + 3] = hasAlpha ? static_cast<std::uint8_t>(pixel >> 24) : 255;
    }
  }
  return raster;
}

QImage QImageFromRaster(const RasterImage& raster) {
  QImage image(raster.width, raster.height, QImage::Format_ARGB32);
  // Qt gives a null image when the memory cannot be had.
  if (image.isNull() && raster.width > 0 && raster.height > 0) throw std::bad_alloc();
  const std::size_t rowBytes = static_cast<std::size_t>(raster.width) * 4;
  for (int y = 0; y < raster.height; ++y) {
    const std::uint8_t* src = raster.pixels.data() + rowBytes * static_cast<std::size_t>(y);
    quint32* dst = reinterpret_cast<quint32*>(image.scanLine(y));
    for (int x = 0; x < raster.width; ++x) {
      dst[x] = static_cast<quint32>(src[4 * x]) | (static_cast<quint32>(src[4 * x + 1]) << 8) |
               (static_cast<quint32>(src[4 * x + 2]) << 16) | (static_cast<quint32>(src[4 * x + 3]) << 24);
    }
  }
  return image;
}

QImage OpaqueQImageFromRaster(const RasterImage& raster) {
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
  QImage image(raster.width, raster.height, QImage::Format_RGB32);
  if (image.isNull() && raster.width > 0 && raster.height > 0) throw std::bad_alloc();
  const std::size_t width = static_cast<std::size_t>(raster.width);
  for (int y = 0; y < raster.height; ++y) {
    const std::uint8_t* src = raster.pixels.data() + width * 4 * static_cast<std::size_t>(y);
    auto* dst = reinterpret_cast<quint32*>(image.scanLine(y));
    std::memcpy(dst, src, width * 4);  // blue, green, red, alpha: ARGB32's memory order here
    for (std::size_t x = 0; x < width; ++x) dst[x] |= 0xFF000000u;
  }
  return image;
#else
  return QImageFromRaster(raster).convertToFormat(QImage::Format_RGB32);
#endif
}

QByteArray ClipboardPng(const QImage& image) {
  // Qt's PNG writer maps a quality of 80 to zlib level 1.
  constexpr int kFastestCompression = 80;
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  if (!image.save(&buffer, "PNG", kFastestCompression)) png.clear();
  return png;
}

QImage QImageSharingRaster(SharedRaster raster) {
  if (!raster || !raster->Usable()) return QImage();
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
  // The QImage holds one reference to the picture until its last copy is gone.
  auto* keep = new SharedRaster(raster);
  return QImage(
      raster->pixels.data(), raster->width, raster->height, static_cast<qsizetype>(raster->width) * 4,
      QImage::Format_ARGB32, [](void* info) { delete static_cast<SharedRaster*>(info); }, keep);
#else
  return QImageFromRaster(*raster);
#endif
}

}  // namespace tallowin
