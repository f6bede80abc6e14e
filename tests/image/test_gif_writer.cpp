// The GIF writer's look: files are decoded with giflib and compared with the
// source pixel by pixel. Flat areas must come back exact (not dithered), smooth
// gradients close everywhere (no dots of far colours), transparency must follow
// alpha 128.
#include <gif_lib.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <string>

#include "image/formats/byte_writer.h"
#include "image/formats/image_format.h"

namespace tallowin {
namespace {

struct Decoded {
  std::int32_t width = 0, height = 0;
  int colours = 0;      // size of the colour table actually used
  int transparent = -1;
  std::vector<std::uint8_t> rgb;  // 3 bytes a pixel
  std::vector<bool> clear;        // pixel is the transparent index
};

struct Reader {
  const std::string* data;
  std::size_t pos = 0;
};

int Read(GifFileType* gif, GifByteType* out, int n) {
  auto* r = static_cast<Reader*>(gif->UserData);
  const std::size_t take = std::min<std::size_t>(static_cast<std::size_t>(n), r->data->size() - r->pos);
  std::memcpy(out, r->data->data() + r->pos, take);
  r->pos += take;
  return static_cast<int>(take);
}

Decoded Decode(const std::string& file) {
  Reader reader{&file};
  int error = 0;
  GifFileType* gif = DGifOpen(&reader, Read, &error);
  if (!gif) throw std::runtime_error("not a GIF");
  if (DGifSlurp(gif) != GIF_OK || gif->ImageCount != 1) {
    DGifCloseFile(gif, &error);
    throw std::runtime_error("cannot decode the GIF");
  }
  Decoded d;
  d.width = gif->SWidth;
  d.height = gif->SHeight;
  const SavedImage& image = gif->SavedImages[0];
  const ColorMapObject* map = image.ImageDesc.ColorMap ? image.ImageDesc.ColorMap : gif->SColorMap;
  GraphicsControlBlock gcb;
  if (DGifSavedExtensionToGCB(gif, 0, &gcb) == GIF_OK) d.transparent = gcb.TransparentColor;
  const std::size_t count = static_cast<std::size_t>(d.width) * d.height;
  d.rgb.resize(count * 3);
  d.clear.resize(count);
  std::vector<bool> used(256);
  for (std::size_t i = 0; i < count; ++i) {
    const int index = image.RasterBits[i];
    used[index] = true;
    d.clear[i] = index == d.transparent;
    const GifColorType& c = map->Colors[index];
    d.rgb[i * 3] = c.Red;
    d.rgb[i * 3 + 1] = c.Green;
    d.rgb[i * 3 + 2] = c.Blue;
  }
  d.colours = static_cast<int>(std::count(used.begin(), used.end(), true));
  DGifCloseFile(gif, &error);
  return d;
}

std::string EncodeGif(const RasterImage& raster) {
  ImageFormatRegistry registry;
  std::string out;
  image_bytes::StringByteSink sink(out);
  if (!registry.Encode(*registry.WriterFor("x.gif"), raster, sink)) throw std::logic_error("refused");
  return out;
}

void Put(RasterImage& r, std::int32_t x, std::int32_t y, int red, int green, int blue, int alpha = 255) {
  std::uint8_t* p = &r.pixels[(static_cast<std::size_t>(y) * r.width + x) * 4];
  p[0] = static_cast<std::uint8_t>(blue);
  p[1] = static_cast<std::uint8_t>(green);
  p[2] = static_cast<std::uint8_t>(red);
  p[3] = static_cast<std::uint8_t>(alpha);
}

// A lit ball and a sky with a glow: smooth, far more than 256 colours.
void PaintPhoto(RasterImage& r, std::int32_t x0, std::int32_t w, std::int32_t h) {
  for (std::int32_t y = 0; y < h; ++y) {
    for (std::int32_t x = 0; x < w; ++x) {
      const double t = static_cast<double>(y) / h;
      double red = 70 + 150 * t, green = 120 + 110 * t, blue = 220 + 30 * t;
      const double glow = std::pow(std::max(0.0, 1 - std::hypot(x - 0.7 * w, y - 0.25 * h) / (0.35 * w)), 2);
      red += (255 - red) * glow;
      green += (230 - green) * glow;
      blue += (170 - blue) * glow;
      const double ball = std::hypot(x - 0.3 * w, y - 0.6 * h) / (0.25 * h);
      if (ball < 1) {
        const double light = 0.15 + 0.85 * std::sqrt(1 - ball * ball);
        red = 230 * light;
        green = 150 * light;
        blue = 110 * light;
      }
      Put(r, x0 + x, y, static_cast<int>(red), static_cast<int>(green), static_cast<int>(blue));
    }
  }
}

int Deviation(const Decoded& d, const RasterImage& r, std::int32_t x, std::int32_t y) {
  const std::size_t i = static_cast<std::size_t>(y) * r.width + x;
  const std::uint8_t* p = &r.pixels[i * 4];
  return std::max({std::abs(d.rgb[i * 3] - p[2]), std::abs(d.rgb[i * 3 + 1] - p[1]), std::abs(d.rgb[i * 3 + 2] - p[0])});
}

// Flat panels beside a photograph keep their exact colour in every pixel,
// white and black included; the photograph stays close.
TEST(GifWriter, FlatPanelsStayExactBesideAPhoto) {
  struct Panel {
    int red, green, blue;
  };
  const Panel panels[] = {{240, 240, 240}, {255, 255, 255}, {0, 0, 0}, {60, 110, 200}, {20, 20, 20}};
  constexpr std::int32_t kPanelWidth = 60, kPhotoWidth = 400, kHeight = 240;
  constexpr std::int32_t kWidth = kPanelWidth * 5 + kPhotoWidth;
  RasterImage r = CreateRaster(kWidth, kHeight);
  for (int k = 0; k < 5; ++k) {
    for (std::int32_t y = 0; y < kHeight; ++y) {
      for (std::int32_t x = 0; x < kPanelWidth; ++x) Put(r, k * kPanelWidth + x, y, panels[k].red, panels[k].green, panels[k].blue);
    }
  }
  PaintPhoto(r, kPanelWidth * 5, kPhotoWidth, kHeight);
  const Decoded d = Decode(EncodeGif(r));
  ASSERT_EQ(d.width, kWidth);
  ASSERT_EQ(d.height, kHeight);
  EXPECT_EQ(d.transparent, -1);
  EXPECT_LE(d.colours, 256);
  EXPECT_GT(d.colours, 64) << "the palette follows the picture";
  for (int k = 0; k < 5; ++k) {
    int wrong = 0;
    // The column next to the photograph may take dithering error from it.
    for (std::int32_t y = 0; y < kHeight; ++y) {
      for (std::int32_t x = 0; x < kPanelWidth - (k == 4 ? 1 : 0); ++x) wrong += Deviation(d, r, k * kPanelWidth + x, y) != 0;
    }
    EXPECT_EQ(wrong, 0) << "panel " << panels[k].red << "," << panels[k].green << "," << panels[k].blue;
  }
}

// Small flat elements of a capture (icons, buttons) keep their colour although
// the quantizer sees few of their pixels: a 4K capture with a photograph whose
// gradients compete for the palette.
TEST(GifWriter, SmallIconsKeepTheirColour) {
  constexpr std::int32_t kWidth = 3840, kHeight = 2160;
  RasterImage r = CreateRaster(kWidth, kHeight);
  for (std::int32_t y = 0; y < kHeight; ++y) {
    for (std::int32_t x = 0; x < kWidth; ++x) Put(r, x, y, 240, 240, 240);
  }
  RasterImage photo = CreateRaster(1600, 1000);
  PaintPhoto(photo, 0, 1600, 1000);
  for (std::int32_t y = 0; y < 1000; ++y) {
    std::memcpy(&r.pixels[(static_cast<std::size_t>(y + 1000) * kWidth + 2000) * 4], &photo.pixels[static_cast<std::size_t>(y) * 1600 * 4],
                1600 * 4);
  }
  struct Icon {
    std::int32_t x, y, w, h;
    int red, green, blue;
  };
  const Icon icons[] = {{100, 100, 12, 12, 230, 20, 20}, {300, 300, 6, 6, 20, 200, 40},
                        {500, 500, 16, 8, 250, 200, 0}, {700, 90, 10, 10, 128, 0, 200}};
  for (const Icon& i : icons) {
    for (std::int32_t y = i.y; y < i.y + i.h; ++y) {
      for (std::int32_t x = i.x; x < i.x + i.w; ++x) Put(r, x, y, i.red, i.green, i.blue);
    }
  }
  const Decoded d = Decode(EncodeGif(r));
  for (const Icon& i : icons) {
    int worst = 0;
    for (std::int32_t y = i.y; y < i.y + i.h; ++y) {
      for (std::int32_t x = i.x; x < i.x + i.w; ++x) worst = std::max(worst, Deviation(d, r, x, y));
    }
    EXPECT_EQ(worst, 0) << "icon " << i.red << "," << i.green << "," << i.blue;
  }
}

// Every pixel of a smooth photograph within 48 levels of its source and the
// whole close on average: dithering error that piles up must not pick far
// colours (dark dots in a light glow), and too little of it shows as bands.
TEST(GifWriter, SmoothPhotographHasNoFarColours) {
  constexpr std::int32_t kWidth = 600, kHeight = 400;
  RasterImage r = CreateRaster(kWidth, kHeight);
  PaintPhoto(r, 0, kWidth, kHeight);
  const Decoded d = Decode(EncodeGif(r));
  int worst = 0;
  double squares = 0;
  for (std::int32_t y = 0; y < kHeight; ++y) {
    for (std::int32_t x = 0; x < kWidth; ++x) {
      worst = std::max(worst, Deviation(d, r, x, y));
      const std::size_t i = static_cast<std::size_t>(y) * kWidth + x;
      for (int c = 0; c < 3; ++c) {
        const double e = d.rgb[i * 3 + c] - r.pixels[i * 4 + 2 - c];
        squares += e * e;
      }
    }
  }
  const double psnr = 10 * std::log10(255.0 * 255.0 / (squares / (3.0 * kWidth * kHeight)));
  EXPECT_LE(worst, 48);
  EXPECT_GE(psnr, 40.0);
}

// Alpha below 128 gives the one transparent index, anything else an opaque
// colour; the palette keeps room for the transparent entry.
TEST(GifWriter, TransparencyFollowsAlpha128) {
  constexpr std::int32_t kWidth = 300, kHeight = 200;
  RasterImage r = CreateRaster(kWidth, kHeight);
  PaintPhoto(r, 0, kWidth, kHeight);
  for (std::int32_t y = 0; y < kHeight; ++y) {
    for (std::int32_t x = 0; x < kWidth; ++x) r.pixels[(static_cast<std::size_t>(y) * kWidth + x) * 4 + 3] = static_cast<std::uint8_t>((x + y) % 256);
  }
  const Decoded d = Decode(EncodeGif(r));
  ASSERT_GE(d.transparent, 0);
  EXPECT_LE(d.colours, 256);
  for (std::int32_t y = 0; y < kHeight; ++y) {
    for (std::int32_t x = 0; x < kWidth; ++x) {
      const std::size_t i = static_cast<std::size_t>(y) * kWidth + x;
      ASSERT_EQ(d.clear[i], r.pixels[i * 4 + 3] < 128) << x << "," << y;
    }
  }
}

// Pictures with hardly any colour: one pixel, all transparent, two colours.
TEST(GifWriter, TinyAndEmptyPictures) {
  RasterImage one = CreateRaster(1, 1);
  Put(one, 0, 0, 12, 34, 56);
  Decoded d = Decode(EncodeGif(one));
  EXPECT_EQ(std::vector<std::uint8_t>(d.rgb.begin(), d.rgb.end()), (std::vector<std::uint8_t>{12, 34, 56}));

  RasterImage empty = CreateRaster(7, 3);  // all alpha 0
  d = Decode(EncodeGif(empty));
  EXPECT_EQ(std::count(d.clear.begin(), d.clear.end(), true), 21);

  RasterImage two = CreateRaster(8, 8);
  for (std::int32_t y = 0; y < 8; ++y) {
    for (std::int32_t x = 0; x < 8; ++x) Put(two, x, y, (x + y) % 2 ? 255 : 0, 0, (x + y) % 2 ? 0 : 255);
  }
  d = Decode(EncodeGif(two));
  for (std::int32_t y = 0; y < 8; ++y) {
    for (std::int32_t x = 0; x < 8; ++x) EXPECT_EQ(Deviation(d, two, x, y), 0) << x << "," << y;
  }
}

}  // namespace
}  // namespace tallowin
