// GIF89a through giflib, one 8-bit palette image. The palette is built for each
// picture by libimagequant (at most 256 colours, Floyd-Steinberg dithering).
// GIF has one transparent index and no partial transparency: a pixel with alpha
// below 128 becomes transparent, every other pixel opaque.
#include <gif_lib.h>
#include <libimagequant.h>

#include <exception>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "image/formats/byte_writer.h"
#include "image/formats/image_format.h"

namespace tallowin {
namespace {

using namespace image_bytes;

// Speed 1 (slowest, best) .. 10: 8 keeps photographs clean at a fraction of the
// time of the default 4 on multi-megapixel captures.
constexpr int kQuantizerSpeed = 8;
constexpr float kDithering = 1.0f;

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

Quantized Quantize(const RasterImage& r) {
  const std::size_t count = static_cast<std::size_t>(r.width) * static_cast<std::size_t>(r.height);
  std::vector<std::uint8_t> rgba(count * 4);
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* p = r.pixels.data() + i * 4;
    std::uint8_t* q = rgba.data() + i * 4;
    if (p[3] < 128) {
      q[0] = q[1] = q[2] = q[3] = 0;
    } else {
      q[0] = p[2];
      q[1] = p[1];
      q[2] = p[0];
      q[3] = 255;
    }
  }
  std::unique_ptr<liq_attr, LiqAttrFree> attr(liq_attr_create());
  if (!attr) throw std::runtime_error("libimagequant: out of memory");
  liq_set_max_colors(attr.get(), 256);
  liq_set_speed(attr.get(), kQuantizerSpeed);
  std::unique_ptr<liq_image, LiqImageFree> image(liq_image_create_rgba(attr.get(), rgba.data(), r.width, r.height, 0));
  if (!image) throw std::runtime_error("libimagequant: cannot take the image");
  liq_result* raw = nullptr;
  if (liq_image_quantize(image.get(), attr.get(), &raw) != LIQ_OK) throw std::runtime_error("libimagequant failed");
  std::unique_ptr<liq_result, LiqResultFree> result(raw);
  liq_set_dithering_level(result.get(), kDithering);
  Quantized q;
  q.indices.resize(count);
  if (liq_write_remapped_image(result.get(), image.get(), q.indices.data(), count) != LIQ_OK) {
    throw std::runtime_error("libimagequant: remapping failed");
  }
  const liq_palette* palette = liq_get_palette(result.get());
  // Entries left transparent by the quantizer all become the one transparent index.
  std::vector<std::uint8_t> remap(palette->count);
  for (unsigned i = 0; i < palette->count; ++i) {
    const liq_color& c = palette->entries[i];
    if (c.a < 128) {
      if (q.transparent < 0) {
        q.transparent = static_cast<int>(q.colours.size());
        q.colours.push_back({0, 0, 0});
      }
      remap[i] = static_cast<std::uint8_t>(q.transparent);
    } else {
      remap[i] = static_cast<std::uint8_t>(q.colours.size());
      q.colours.push_back({c.r, c.g, c.b});
    }
  }
  for (std::uint8_t& index : q.indices) index = remap[index];
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
