// GIF89a through giflib, one 8-bit palette image. The palette is built for
// each picture by libimagequant from an even sample of its opaque pixels (at
// most about kPaletteSample of them), at most 256 colours with one slot kept for
// transparency when the picture has any. The colours of flat areas
// (backgrounds, panels, icons, text) enter the palette exactly, so flat areas
// come out flat and in their own colour instead of dithered. The full picture is then mapped onto
// the palette here, with Floyd-Steinberg error diffusion: libimagequant's own
// remapping takes seconds on a 4K capture.
// GIF has one transparent index and no partial transparency: a pixel with alpha
// below 128 becomes transparent, every other pixel opaque.
#include <gif_lib.h>
#include <libimagequant.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "image/formats/byte_writer.h"
#include "image/formats/image_format.h"

namespace tallowin {
namespace {

using namespace image_bytes;

constexpr std::size_t kPaletteSample = 256 * 1024;
// Speed 1 (slowest) to 10. On the sample, 8 gave 33 dB on the benchmark's 4K
// capture in about a tenth of a second on an idle core; 10 lost 4 dB.
constexpr int kQuantizerSpeed = 8;
constexpr int kOpaqueFrom = 128;
// A colour in runs of at least 3 equal pixels, 24 pixels in all, is kept
// exactly (see FlatColours).
constexpr std::uint32_t kFlatRun = 3;
constexpr std::uint32_t kFlatPixels = 24;
// A flat colour covering 1/500 of the picture (a 170x100 panel on a 4K
// capture) is kept; a smaller one only where at most kNeighbours flat colours
// (itself included) lie within 16 to 31 levels of it.
constexpr std::size_t kLargeShare = 500;
constexpr int kNeighbours = 3;
// Largest error, in levels per channel, carried into a pixel by dithering. On
// a smooth photo-like test picture 12 kept every pixel within 48 levels of the
// source; 8 showed bands in gradients, 32 let dots of far colours through.
constexpr int kMaxCarried = 12;

struct LiqAttrFree { void operator()(liq_attr* a) const { liq_attr_destroy(a); } };
struct LiqImageFree { void operator()(liq_image* i) const { liq_image_destroy(i); } };
struct LiqResultFree { void operator()(liq_result* r) const { liq_result_destroy(r); } };
struct GifClose {
  void operator()(GifFileType* g) const {
    int error = 0;
    EGifCloseFile(g, &error);
  }
};
struct GifMapFree { void operator()(ColorMapObject* m) const { GifFreeMapObject(m); } };

struct Output {
  ByteSink* sink;
  std::exception_ptr error;
};

int OnWrite(GifFileType* gif, const GifByteType* data, int length) {
  Output* out = static_cast<Output*>(gif->UserData);
  if (out->error) return 0;
  try {
    out->sink->Put(std::string_view(reinterpret_cast<const char*>(data), static_cast<std::size_t>(length)));
  } catch (...) {
    out->error = std::current_exception();
    return 0;
  }
  return length;
}

struct Quantized {
  std::vector<std::uint8_t> indices;
  std::vector<GifColorType> colours;
  int transparent = -1;
};

// The opaque colours of an even grid of pixels as an RGBA picture for the
// quantizer; a transparent sample takes the last opaque colour seen.
std::vector<std::uint8_t> Sample(const RasterImage& r, std::int32_t& sw, std::int32_t& sh) {
  const double pixels = static_cast<double>(r.width) * r.height;
  const std::int32_t step = std::max<std::int32_t>(1, static_cast<std::int32_t>(std::sqrt(pixels / kPaletteSample)));
  sw = (r.width + step - 1) / step;
  sh = (r.height + step - 1) / step;
  std::vector<std::uint8_t> rgba(static_cast<std::size_t>(sw) * sh * 4);
  std::uint8_t last[3] = {0, 0, 0};
  std::uint8_t* q = rgba.data();
  for (std::int32_t y = 0; y < r.height; y += step) {
    for (std::int32_t x = 0; x < r.width; x += step, q += 4) {
      const std::uint8_t* p = Pixel(r, x, y);
      if (p[3] >= kOpaqueFrom) {
        last[0] = p[2];
        last[1] = p[1];
        last[2] = p[0];
      }
      q[0] = last[0];
      q[1] = last[1];
      q[2] = last[2];
      q[3] = 255;
    }
  }
  return rgba;
}

// The colours of the picture's flat areas worth keeping exactly, at most
// `limit`: every run of at least kFlatRun equal opaque pixels in a row counts
// towards its colour, and a colour needs kFlatPixels of them. Small flat
// elements (an icon, a close button) are found even where the sample for the
// quantizer holds only a few of their pixels and the quantizer would merge
// them into a neighbouring colour. Photographs rarely have such runs. Counting
// stops taking new colours once its table is half full.
std::vector<std::uint32_t> FlatColours(const RasterImage& r, std::size_t limit) {
  constexpr std::size_t kSlots = 1u << 15;
  std::vector<std::uint32_t> keys(kSlots, 0);  // colour + 1; 0 is empty
  std::vector<std::uint32_t> counts(kSlots, 0);
  std::size_t used = 0;
  auto add = [&](std::uint32_t bgra, std::uint32_t run) {
    if (run < kFlatRun || (bgra >> 24) < kOpaqueFrom) return;
    const std::uint32_t key = (bgra & 0xFFFFFF) + 1;
    std::size_t slot = (key * 2654435761u) >> 17;
    while (keys[slot] != 0 && keys[slot] != key) slot = (slot + 1) & (kSlots - 1);
    if (keys[slot] == 0) {
      if (used >= kSlots / 2) return;
      keys[slot] = key;
      ++used;
    }
    counts[slot] += run;
  };
  for (std::int32_t y = 0; y < r.height; ++y) {
    const std::uint8_t* row = Row(r, y);
    std::uint32_t colour = 0, run = 0;
    for (std::int32_t x = 0; x < r.width; ++x) {
      std::uint32_t bgra;
      std::memcpy(&bgra, row + static_cast<std::size_t>(x) * 4, 4);
      if (run > 0 && bgra == colour) {
        ++run;
        continue;
      }
      add(colour, run);
      colour = bgra;
      run = 1;
    }
    add(colour, run);
  }
  std::vector<std::pair<std::uint32_t, std::uint32_t>> flat;  // count, colour
  // Candidates per cell of 16 levels a channel: a colour whose cell and the 26
  // around it hold at most kNeighbours candidates is isolated.
  std::vector<std::uint16_t> cells(16 * 16 * 16, 0);
  auto cell = [](std::uint32_t c, int dr, int dg, int db) -> int {
    const int r = static_cast<int>(c >> 20) + dr, g = static_cast<int>((c >> 12) & 15) + dg, b = static_cast<int>((c >> 4) & 15) + db;
    return r < 0 || g < 0 || b < 0 || r > 15 || g > 15 || b > 15 ? -1 : (r << 8) | (g << 4) | b;
  };
  for (std::size_t slot = 0; slot < kSlots; ++slot) {
    if (keys[slot] != 0 && counts[slot] >= kFlatPixels) {
      flat.push_back({counts[slot], keys[slot] - 1});
      ++cells[static_cast<std::size_t>(cell(keys[slot] - 1, 0, 0, 0))];
    }
  }
  std::sort(flat.begin(), flat.end(), std::greater<>());
  const auto isolated = [&](std::uint32_t c) {
    int near = 0;
    for (int dr = -1; dr <= 1; ++dr) {
      for (int dg = -1; dg <= 1; ++dg) {
        for (int db = -1; db <= 1; ++db) {
          const int i = cell(c, dr, dg, db);
          if (i >= 0) near += cells[static_cast<std::size_t>(i)];
        }
      }
    }
    return near <= kNeighbours;
  };
  // First the colours of large areas (panels, backgrounds), then isolated
  // ones (icons, buttons). The rows of a smooth gradient are flat colours too,
  // but each has others close by; they are left to the quantizer, which keeps
  // room for them.
  const std::size_t pixels = static_cast<std::size_t>(r.width) * static_cast<std::size_t>(r.height);
  std::vector<std::uint32_t> out;  // 0xRRGGBB, as the raster stores B, G, R
  for (const auto& f : flat) {
    if (out.size() < limit && static_cast<std::size_t>(f.first) * kLargeShare >= pixels) out.push_back(f.second);
  }
  for (const auto& f : flat) {
    if (out.size() < limit && static_cast<std::size_t>(f.first) * kLargeShare < pixels && isolated(f.second)) {
      out.push_back(f.second);
    }
  }
  return out;
}

std::vector<GifColorType> BuildPalette(const RasterImage& r, int colours) {
  std::int32_t sw = 0, sh = 0;
  std::vector<std::uint8_t> sample = Sample(r, sw, sh);
  std::unique_ptr<liq_attr, LiqAttrFree> attr(liq_attr_create());
  if (!attr) throw std::runtime_error("libimagequant: out of memory");
  liq_set_max_colors(attr.get(), colours);
  liq_set_speed(attr.get(), kQuantizerSpeed);
  std::unique_ptr<liq_image, LiqImageFree> image(liq_image_create_rgba(attr.get(), sample.data(), sw, sh, 0));
  if (!image) throw std::runtime_error("libimagequant: cannot take the image");
  // At most a quarter of the palette is fixed, so that the quantizer keeps room
  // for the gradients of photographs.
  for (std::uint32_t c : FlatColours(r, static_cast<std::size_t>(colours) / 4)) {
    const liq_color fixed{static_cast<unsigned char>(c >> 16), static_cast<unsigned char>(c >> 8),
                          static_cast<unsigned char>(c), 255};
    if (liq_image_add_fixed_color(image.get(), fixed) != LIQ_OK) break;
  }
  liq_result* raw = nullptr;
  if (liq_image_quantize(image.get(), attr.get(), &raw) != LIQ_OK) throw std::runtime_error("libimagequant failed");
  std::unique_ptr<liq_result, LiqResultFree> result(raw);
  const liq_palette* palette = liq_get_palette(result.get());
  std::vector<GifColorType> out;
  for (unsigned i = 0; i < palette->count; ++i) {
    out.push_back({palette->entries[i].r, palette->entries[i].g, palette->entries[i].b});
  }
  if (out.empty()) out.push_back({0, 0, 0});
  return out;
}

// Nearest palette entry of a colour: a palette colour itself is found
// exactly (so flat areas of a capture stay flat and undithered); any other
// colour by a cache per cell of 4 levels per channel, where the cell's centre
// decides (the error of that choice is diffused like any other).
class NearestColour {
 public:
  explicit NearestColour(const std::vector<GifColorType>& palette)
      : palette_(palette), keys_(kExactSlots, 0), indices_(kExactSlots, 0), cache_(1u << 18, kUnset) {
    for (std::size_t i = 0; i < palette_.size(); ++i) {
      const std::uint32_t key = Key(palette_[i].Red, palette_[i].Green, palette_[i].Blue);
      std::size_t slot = Hash(key);
      while (keys_[slot] != 0 && keys_[slot] != key) slot = (slot + 1) % kExactSlots;
      if (keys_[slot] == 0) {
        keys_[slot] = key;
        indices_[slot] = static_cast<std::uint8_t>(i);
      }
    }
  }
  std::uint8_t operator()(int r, int g, int b) {
    const std::uint32_t key = Key(r, g, b);
    for (std::size_t slot = Hash(key); keys_[slot] != 0; slot = (slot + 1) % kExactSlots) {
      if (keys_[slot] == key) return indices_[slot];
    }
    const std::size_t cell = (static_cast<std::size_t>(r >> 2) << 12) | (static_cast<std::size_t>(g >> 2) << 6) |
                             static_cast<std::size_t>(b >> 2);
    std::uint16_t& hit = cache_[cell];
    if (hit == kUnset) hit = Search((r & ~3) + 2, (g & ~3) + 2, (b & ~3) + 2);
    return static_cast<std::uint8_t>(hit);
  }

 private:
  static constexpr std::uint16_t kUnset = 0xFFFF;
  static constexpr std::size_t kExactSlots = 1024;  // over four times the palette: short probes
  // Colour + 1, so that no key is 0 (the empty slot).
  static std::uint32_t Key(int r, int g, int b) {
    return ((static_cast<std::uint32_t>(r) << 16) | (static_cast<std::uint32_t>(g) << 8) | static_cast<std::uint32_t>(b)) + 1;
  }
  static std::size_t Hash(std::uint32_t key) { return (key * 2654435761u >> 22) % kExactSlots; }
  std::uint16_t Search(int r, int g, int b) const {
    int best = 0;
    long bestDistance = -1;
    for (std::size_t i = 0; i < palette_.size(); ++i) {
      const long dr = r - palette_[i].Red, dg = g - palette_[i].Green, db = b - palette_[i].Blue;
      // Weighted like the eye: green counts most, blue least.
      const long d = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
      if (bestDistance < 0 || d < bestDistance) {
        bestDistance = d;
        best = static_cast<int>(i);
      }
    }
    return static_cast<std::uint16_t>(best);
  }
  const std::vector<GifColorType>& palette_;
  std::vector<std::uint32_t> keys_;
  std::vector<std::uint8_t> indices_;
  std::vector<std::uint16_t> cache_;
};

Quantized Quantize(const RasterImage& r) {
  bool transparent = false;
  for (std::size_t i = 3; i < r.pixels.size() && !transparent; i += 4) transparent = r.pixels[i] < kOpaqueFrom;
  Quantized q;
  q.colours = BuildPalette(r, transparent ? 255 : 256);
  const std::vector<GifColorType> opaque = q.colours;
  if (transparent) {
    q.transparent = static_cast<int>(q.colours.size());
    q.colours.push_back({0, 0, 0});
  }
  NearestColour nearest(opaque);
  q.indices.resize(static_cast<std::size_t>(r.width) * r.height);
  // Floyd-Steinberg in sixteenths: this row's and the next row's errors, one
  // pixel of margin on either side.
  const std::size_t span = static_cast<std::size_t>(r.width) + 2;
  std::vector<int> current(span * 3, 0), next(span * 3, 0);
  constexpr std::uint32_t kNoRun = 0xFFFFFFFF;
  for (std::int32_t y = 0; y < r.height; ++y) {
    std::fill(next.begin(), next.end(), 0);
    std::uint32_t runColour = kNoRun;
    std::uint8_t runIndex = 0;
    const std::uint8_t* p = Row(r, y);
    std::uint8_t* out = q.indices.data() + static_cast<std::size_t>(y) * r.width;
    for (std::int32_t x = 0; x < r.width; ++x, p += 4) {
      if (p[3] < kOpaqueFrom) {
        runColour = kNoRun;
        out[x] = static_cast<std::uint8_t>(q.transparent);
        continue;
      }
      int* e = &current[(static_cast<std::size_t>(x) + 1) * 3];
      const std::uint32_t colour = static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
                                   (static_cast<std::uint32_t>(p[2]) << 16);
      // Runs of one colour met without error repeat the last exact match.
      if ((e[0] | e[1] | e[2]) == 0 && colour == runColour) {
        out[x] = runIndex;
        continue;
      }
      runColour = kNoRun;
      // The carried error is capped: where the palette is sparse, errors that
      // pile up would otherwise pick a far colour now and then (dark dots in a
      // light gradient).
      const int want[3] = {std::clamp(p[2] + std::clamp(e[0] / 16, -kMaxCarried, kMaxCarried), 0, 255),
                           std::clamp(p[1] + std::clamp(e[1] / 16, -kMaxCarried, kMaxCarried), 0, 255),
                           std::clamp(p[0] + std::clamp(e[2] / 16, -kMaxCarried, kMaxCarried), 0, 255)};
      const std::uint8_t index = nearest(want[0], want[1], want[2]);
      out[x] = index;
      const GifColorType& got = opaque[index];
      const int error[3] = {want[0] - got.Red, want[1] - got.Green, want[2] - got.Blue};
      if ((error[0] | error[1] | error[2]) == 0) {
        if ((e[0] | e[1] | e[2]) == 0) {
          runColour = colour;
          runIndex = index;
        }
        continue;
      }
      int* right = e + 3;
      int* below = &next[(static_cast<std::size_t>(x) + 1) * 3];
      for (int c = 0; c < 3; ++c) {
        right[c] += error[c] * 7;
        below[c - 3] += error[c] * 3;
        below[c] += error[c] * 5;
        below[c + 3] += error[c];
      }
    }
    std::swap(current, next);
  }
  return q;
}

void EncodeGif(const RasterImage& r, const ImageOptions&, ByteSink& sink) {
  if (r.width > 0xFFFF || r.height > 0xFFFF) throw std::runtime_error("image too large for GIF");
  Quantized q = Quantize(r);
  // A GIF colour table has a power-of-two size of at least 2 entries.
  int tableSize = 2;
  while (tableSize < static_cast<int>(q.colours.size())) tableSize *= 2;
  q.colours.resize(static_cast<std::size_t>(tableSize), GifColorType{0, 0, 0});
  std::unique_ptr<ColorMapObject, GifMapFree> map(GifMakeMapObject(tableSize, q.colours.data()));
  if (!map) throw std::runtime_error("giflib: out of memory");

  Output out{&sink, nullptr};
  int error = 0;
  std::unique_ptr<GifFileType, GifClose> gif(EGifOpen(&out, OnWrite, &error));
  if (!gif) throw std::runtime_error("giflib: cannot start the file");
  EGifSetGifVersion(gif.get(), true);
  bool ok = EGifPutScreenDesc(gif.get(), r.width, r.height, map->BitsPerPixel, 0, map.get()) == GIF_OK;
  if (ok && q.transparent >= 0) {
    GraphicsControlBlock gcb{DISPOSAL_UNSPECIFIED, false, 0, q.transparent};
    GifByteType extension[4];
    EGifGCBToExtension(&gcb, extension);
    ok = EGifPutExtension(gif.get(), GRAPHICS_EXT_FUNC_CODE, 4, extension) == GIF_OK;
  }
  ok = ok && EGifPutImageDesc(gif.get(), 0, 0, r.width, r.height, false, nullptr) == GIF_OK;
  for (std::int32_t y = 0; ok && y < r.height; ++y) {
    ok = EGifPutLine(gif.get(), q.indices.data() + static_cast<std::size_t>(y) * r.width, r.width) == GIF_OK;
  }
  if (ok) {
    GifFileType* g = gif.release();
    ok = EGifCloseFile(g, &error) == GIF_OK;
  }
  if (out.error) std::rethrow_exception(out.error);
  if (!ok) throw std::runtime_error("giflib: cannot write the image");
}

}  // namespace

ImageFormatWriter GifFormat() {
  return {"Graphics Interchange Format", "*.gif", true, {}, EncodeGif, {u"*.gif - Graphics Interchange Format"}};
}

}  // namespace tallowin
