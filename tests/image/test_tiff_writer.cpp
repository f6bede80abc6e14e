// TIFF files read back strip by strip with libtiff, for each compression, at
// sizes below and above the one from which strips are encoded on threads.
#include <tiffio.h>
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <tuple>

#include "image/formats/byte_writer.h"
#include "image/formats/image_format.h"

namespace tallowin {
namespace {

struct Source {
  const std::string* data;
  toff_t pos = 0;
};

tmsize_t ReadProc(thandle_t h, void* buf, tmsize_t n) {
  auto* s = static_cast<Source*>(h);
  const std::size_t take = std::min<std::size_t>(static_cast<std::size_t>(n), s->data->size() - s->pos);
  std::memcpy(buf, s->data->data() + s->pos, take);
  s->pos += take;
  return static_cast<tmsize_t>(take);
}
tmsize_t WriteProc(thandle_t, void*, tmsize_t) { return -1; }
toff_t SeekProc(thandle_t h, toff_t off, int whence) {
  auto* s = static_cast<Source*>(h);
  s->pos = whence == SEEK_SET ? off : whence == SEEK_CUR ? s->pos + off : s->data->size() + off;
  return s->pos;
}
int CloseProc(thandle_t) { return 0; }
toff_t SizeProc(thandle_t h) { return static_cast<Source*>(h)->data->size(); }

// The RGBA samples of the file, strip by strip as stored.
std::vector<std::uint8_t> DecodeTiff(const std::string& file, std::uint32_t& w, std::uint32_t& h, std::uint16_t& scheme) {
  Source source{&file};
  TIFF* t = TIFFClientOpen("read", "r", &source, ReadProc, WriteProc, SeekProc, CloseProc, SizeProc, nullptr, nullptr);
  if (!t) {
    ADD_FAILURE() << "libtiff cannot open the file";
    return {};
  }
  TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &w);
  TIFFGetField(t, TIFFTAG_IMAGELENGTH, &h);
  TIFFGetField(t, TIFFTAG_COMPRESSION, &scheme);
  std::vector<std::uint8_t> out(static_cast<std::size_t>(w) * h * 4);
  std::size_t filled = 0;
  for (tstrip_t s = 0; s < TIFFNumberOfStrips(t); ++s) {
    const tmsize_t n = TIFFReadEncodedStrip(t, s, out.data() + filled, static_cast<tmsize_t>(out.size() - filled));
    if (n < 0) {
      ADD_FAILURE() << "strip " << s << " does not decode";
      break;
    }
    filled += static_cast<std::size_t>(n);
  }
  EXPECT_EQ(filled, out.size());
  TIFFClose(t);
  return out;
}

RasterImage Picture(std::int32_t w, std::int32_t h) {
  RasterImage r = CreateRaster(w, h);
  std::mt19937 gen(3);
  for (std::int32_t y = 0; y < h; ++y) {
    for (std::int32_t x = 0; x < w; ++x) {
      std::uint8_t* p = &r.pixels[(static_cast<std::size_t>(y) * w + x) * 4];
      const bool noisy = (x / 50 + y / 40) % 3 == 0;
      p[0] = static_cast<std::uint8_t>(noisy ? gen() : x);
      p[1] = static_cast<std::uint8_t>(noisy ? gen() : y);
      p[2] = static_cast<std::uint8_t>(noisy ? gen() : 200);
      p[3] = static_cast<std::uint8_t>(noisy ? gen() : 255 - (x + y) % 7);
    }
  }
  return r;
}

class TiffWriterTest : public ::testing::TestWithParam<std::tuple<int, std::int32_t, std::int32_t>> {};

// Every sample comes back, in RGBA order, with the compression asked for.
TEST_P(TiffWriterTest, LosslessCompressionsDecodeExactly) {
  const auto [option, width, height] = GetParam();
  const RasterImage r = Picture(width, height);
  ImageFormatRegistry registry;
  ASSERT_TRUE(registry.SetImageOption(image_option::kTiffCompression, option));
  std::string file;
  image_bytes::StringByteSink sink(file);
  ASSERT_TRUE(registry.Encode(*registry.WriterFor("x.tif"), r, sink));
  std::uint32_t w = 0, h = 0;
  std::uint16_t scheme = 0;
  const std::vector<std::uint8_t> decoded = DecodeTiff(file, w, h, scheme);
  ASSERT_EQ(w, static_cast<std::uint32_t>(width));
  ASSERT_EQ(h, static_cast<std::uint32_t>(height));
  const std::uint16_t schemes[] = {COMPRESSION_NONE, COMPRESSION_LZW, COMPRESSION_PACKBITS, COMPRESSION_ADOBE_DEFLATE};
  EXPECT_EQ(scheme, schemes[option]);
  std::size_t wrong = 0;
  for (std::size_t i = 0; i < r.pixels.size(); i += 4) {
    wrong += decoded[i] != r.pixels[i + 2] || decoded[i + 1] != r.pixels[i + 1] || decoded[i + 2] != r.pixels[i] ||
             decoded[i + 3] != r.pixels[i + 3];
  }
  EXPECT_EQ(wrong, 0u);
}

// 0 none, 1 LZW, 2 PackBits, 3 Deflate. Pictures under 2 MB (300 wide, and
// 1000x347) are encoded in one go, the others on threads (3000 wide: strips
// of 21 rows, the last one short).
INSTANTIATE_TEST_SUITE_P(Compressions, TiffWriterTest,
                         ::testing::Combine(::testing::Values(0, 1, 2, 3), ::testing::Values(300, 1000, 3000),
                                            ::testing::Values(347, 700)));

}  // namespace
}  // namespace tallowin
