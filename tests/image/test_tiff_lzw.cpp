// The LZW code stream of TIFF strips, checked against libtiff: its decoder
// must give back every byte (across code width changes and table restarts), and
// where its own encoder makes no choice of its own (it may start the table
// afresh early when the ratio drops, on longer strips) the bytes must be the same.
#include <tiffio.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "image/formats/tiff_lzw.h"

namespace tallowin {
namespace {

struct MemoryFile {
  std::string data;
  toff_t pos = 0;
};

MemoryFile& FileOf(thandle_t h) { return *static_cast<MemoryFile*>(h); }
tmsize_t ReadProc(thandle_t h, void* buf, tmsize_t n) {
  MemoryFile& f = FileOf(h);
  const std::size_t take = std::min<std::size_t>(static_cast<std::size_t>(n), f.data.size() - f.pos);
  std::memcpy(buf, f.data.data() + f.pos, take);
  f.pos += take;
  return static_cast<tmsize_t>(take);
}
tmsize_t WriteProc(thandle_t h, void* buf, tmsize_t n) {
  MemoryFile& f = FileOf(h);
  if (f.data.size() < f.pos + n) f.data.resize(f.pos + n);
  std::memcpy(f.data.data() + f.pos, buf, static_cast<std::size_t>(n));
  f.pos += n;
  return n;
}
toff_t SeekProc(thandle_t h, toff_t off, int whence) {
  MemoryFile& f = FileOf(h);
  f.pos = whence == SEEK_SET ? off : whence == SEEK_CUR ? f.pos + off : f.data.size() + off;
  return f.pos;
}
int CloseProc(thandle_t) { return 0; }
toff_t SizeProc(thandle_t h) { return FileOf(h).data.size(); }

// A one-strip grey picture of the bytes, one row wide as the data is long.
TIFF* OpenStripFile(MemoryFile& file, const char* mode, std::size_t width) {
  TIFF* t = TIFFClientOpen("strip", mode, &file, ReadProc, WriteProc, SeekProc, CloseProc, SizeProc, nullptr, nullptr);
  if (t && mode[0] == 'w') {
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(width));
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, 1u);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, 1u);
  }
  return t;
}

std::vector<std::uint8_t> DecodedByLibtiff(const std::string& codes, std::size_t size) {
  MemoryFile file;
  TIFF* w = OpenStripFile(file, "w", size);
  EXPECT_GE(TIFFWriteRawStrip(w, 0, const_cast<char*>(codes.data()), static_cast<tmsize_t>(codes.size())), 0);
  EXPECT_TRUE(TIFFWriteDirectory(w));
  TIFFClose(w);
  file.pos = 0;
  TIFF* r = OpenStripFile(file, "r", size);
  std::vector<std::uint8_t> out(size);
  const tmsize_t n = TIFFReadEncodedStrip(r, 0, out.data(), static_cast<tmsize_t>(size));
  TIFFClose(r);
  EXPECT_EQ(n, static_cast<tmsize_t>(size));
  return out;
}

std::string EncodedByLibtiff(const std::vector<std::uint8_t>& data) {
  MemoryFile file;
  TIFF* t = OpenStripFile(file, "w", data.size());
  EXPECT_GE(TIFFWriteEncodedStrip(t, 0, const_cast<std::uint8_t*>(data.data()), static_cast<tmsize_t>(data.size())), 0);
  toff_t* offsets = nullptr;
  toff_t* counts = nullptr;
  TIFFGetField(t, TIFFTAG_STRIPOFFSETS, &offsets);
  TIFFGetField(t, TIFFTAG_STRIPBYTECOUNTS, &counts);
  std::string strip = file.data.substr(offsets[0], counts[0]);
  TIFFClose(t);
  return strip;
}

// Bytes from an alphabet of `symbols` values, in runs of up to `run` alike.
std::vector<std::uint8_t> Sample(std::size_t size, int symbols, int run, unsigned seed) {
  std::mt19937 gen(seed);
  std::vector<std::uint8_t> v(size);
  std::uint8_t value = 0;
  int left = 0;
  for (std::uint8_t& b : v) {
    if (left-- <= 0) {
      value = static_cast<std::uint8_t>(gen() % symbols);
      left = static_cast<int>(gen() % run);
    }
    b = value;
  }
  return v;
}

TEST(TiffLzw, LibtiffDecodesEveryByte) {
  struct Case {
    const char* what;
    std::vector<std::uint8_t> data;
  };
  const Case cases[] = {
      {"one byte", {7}},
      {"all 256 values", Sample(256, 256, 1, 1)},
      // 251..260 random bytes give codes 258..511 and past it: the width
      // changes from 9 to 10 bits around the last code.
      {"width change at the end", Sample(253, 256, 1, 2)},
      {"width change one later", Sample(254, 256, 1, 2)},
      {"width change one earlier", Sample(252, 256, 1, 2)},
      {"noise over several table restarts", Sample(200000, 256, 1, 3)},
      {"long runs", Sample(300000, 4, 5000, 4)},
      {"one value only", std::vector<std::uint8_t>(100000, 0xAB)},
      {"small alphabet with short runs", Sample(150000, 6, 8, 5)},
  };
  TiffLzwEncoder lzw;
  for (const Case& c : cases) {
    std::string codes;
    lzw.Encode(c.data.data(), c.data.size(), codes);
    EXPECT_TRUE(DecodedByLibtiff(codes, c.data.size()) == c.data) << c.what;
  }
}

// Short strips (the table never fills) must come out bit for bit as libtiff's
// own: that checks the bit order, each width change and the End code's width.
TEST(TiffLzw, ShortStripsAreTheSameBytesAsLibtiffs) {
  TiffLzwEncoder lzw;  // one encoder for all: nothing may carry over between strips
  for (std::size_t size = 1; size <= 1200; size += (size < 300 ? 1 : 37)) {
    for (const int symbols : {256, 3}) {
      const std::vector<std::uint8_t> data = Sample(size, symbols, symbols == 3 ? 4 : 1, static_cast<unsigned>(size));
      std::string codes;
      lzw.Encode(data.data(), data.size(), codes);
      ASSERT_EQ(codes, EncodedByLibtiff(data)) << size << " bytes of " << symbols << " values";
    }
  }
}

}  // namespace
}  // namespace tallowin
