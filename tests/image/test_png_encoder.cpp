// PNG datastreams read back by libpng: every filter choice, both sample
// layouts, the compression levels' ends, and pictures large enough to be
// deflated in several bands (the band seams must decode to the same rows).
#include <png.h>
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <tuple>

#include "image/formats/byte_writer.h"
#include "image/formats/png_chunks.h"

namespace tallowin {
namespace {

using png_stream::Samples;

// Noise, flat runs and gradients mixed, so that every filter wins somewhere.
RasterImage MixedRaster(std::int32_t w, std::int32_t h) {
  RasterImage r = CreateRaster(w, h);
  std::mt19937 gen(7);
  for (std::int32_t y = 0; y < h; ++y) {
    for (std::int32_t x = 0; x < w; ++x) {
      std::uint8_t* p = &r.pixels[(static_cast<std::size_t>(y) * w + x) * 4];
      switch ((y / 5 + x / 97) % 4) {
        case 0:  // noise
          for (int c = 0; c < 4; ++c) p[c] = static_cast<std::uint8_t>(gen());
          break;
        case 1:  // flat
          p[0] = 240, p[1] = 230, p[2] = 220, p[3] = 255;
          break;
        case 2:  // gradient
          p[0] = static_cast<std::uint8_t>(x), p[1] = static_cast<std::uint8_t>(y), p[2] = static_cast<std::uint8_t>(x + y),
          p[3] = static_cast<std::uint8_t>(255 - x);
          break;
        default:  // gradient with a little noise
          p[0] = static_cast<std::uint8_t>(x * 3 + (gen() & 3)), p[1] = static_cast<std::uint8_t>(y * 2),
          p[2] = static_cast<std::uint8_t>(gen() & 7), p[3] = 200;
      }
    }
  }
  return r;
}

// The decoded samples: RGBA (4 a pixel) or grey (1 a pixel).
std::vector<std::uint8_t> DecodePng(const std::string& file, Samples samples, std::int32_t& w, std::int32_t& h) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, file.data(), file.size())) {
    ADD_FAILURE() << "libpng: " << image.message;
    return {};
  }
  image.format = samples == Samples::Rgba ? PNG_FORMAT_RGBA : PNG_FORMAT_GRAY;
  std::vector<std::uint8_t> out(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, out.data(), 0, nullptr)) {
    ADD_FAILURE() << "libpng: " << image.message;
    return {};
  }
  w = static_cast<std::int32_t>(image.width);
  h = static_cast<std::int32_t>(image.height);
  return out;
}

std::vector<std::uint8_t> Expected(const RasterImage& r, Samples samples) {
  std::vector<std::uint8_t> out;
  for (std::size_t i = 0; i < r.pixels.size(); i += 4) {
    if (samples == Samples::Rgba) {
      out.insert(out.end(), {r.pixels[i + 2], r.pixels[i + 1], r.pixels[i], r.pixels[i + 3]});
    } else {
      out.push_back(r.pixels[i + 3]);
    }
  }
  return out;
}

struct Case {
  std::int32_t width, height;
  Samples samples;
  int filter, level;
};

class PngEncoderTest : public ::testing::TestWithParam<Case> {};

TEST_P(PngEncoderTest, DecodesToTheSourceSamples) {
  const Case c = GetParam();
  const RasterImage r = MixedRaster(c.width, c.height);
  std::string file;
  image_bytes::StringByteSink sink(file);
  png_stream::Encode(r, c.samples, {c.filter, c.level}, png_stream::Signature::Written, sink);
  std::int32_t w = 0, h = 0;
  const std::vector<std::uint8_t> decoded = DecodePng(file, c.samples, w, h);
  ASSERT_EQ(w, c.width);
  ASSERT_EQ(h, c.height);
  const std::vector<std::uint8_t> expected = Expected(r, c.samples);
  ASSERT_EQ(decoded.size(), expected.size());
  std::size_t firstWrong = 0;
  while (firstWrong < expected.size() && decoded[firstWrong] == expected[firstWrong]) ++firstWrong;
  EXPECT_EQ(firstWrong, expected.size()) << "first wrong sample in row "
                                         << firstWrong / (expected.size() / static_cast<std::size_t>(c.height));
}

INSTANTIATE_TEST_SUITE_P(
    Filters, PngEncoderTest,
    ::testing::Values(Case{301, 67, Samples::Rgba, 0, 5}, Case{301, 67, Samples::Rgba, 1, 5},
                      Case{301, 67, Samples::Rgba, 2, 5}, Case{301, 67, Samples::Rgba, 3, 5},
                      Case{301, 67, Samples::Rgba, 4, 5}, Case{301, 67, Samples::Rgba, 5, 5},
                      Case{301, 67, Samples::Rgba, 6, 5}, Case{301, 67, Samples::Alpha, 5, 5},
                      Case{301, 67, Samples::Alpha, 4, 5}, Case{1, 1, Samples::Rgba, 5, 5},
                      Case{1, 1, Samples::Alpha, 5, 5}, Case{2, 300, Samples::Rgba, 4, 5},
                      Case{301, 67, Samples::Rgba, 5, 0}, Case{301, 67, Samples::Rgba, 5, 9}));

// 4 MB of filtered rows or more make several bands; the seams fall inside
// every kind of content of MixedRaster.
INSTANTIATE_TEST_SUITE_P(Bands, PngEncoderTest,
                         ::testing::Values(Case{1500, 1400, Samples::Rgba, 5, 5}, Case{4000, 1250, Samples::Rgba, 4, 1},
                                           Case{4000, 1250, Samples::Rgba, 5, 0},
                                           Case{4500, 2000, Samples::Alpha, 5, 5}));

}  // namespace
}  // namespace tallowin
