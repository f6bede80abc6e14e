// JPEG 2000 through OpenJPEG, always as a JP2 file (signature box, header
// boxes, code stream box), whatever the extension: CodeStreamOnly (56) is
// registered but never selects a bare code stream. Four components (red,
// green, blue and alpha, the last flagged as opacity), one quality layer.
//
// Quality (55, 1..100, start 80) maps to OpenJPEG's rate, the compression ratio
// against the uncompressed 8-bit samples: ratio = 2^((100 - quality) / 10).
// Quality 80 gives 4:1, 90 about 2:1, 50 32:1, 1 about 950:1; quality 100
// (ratio 1) sets no rate limit. Lossy coding uses the irreversible 9/7 wavelet;
// LosslessCompression (57) on selects the reversible 5/3 wavelet with no rate.
#include <openjpeg.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

#include "image/formats/byte_writer.h"
#include "image/formats/image_format.h"
#include "image/formats/option_ranges.h"

namespace tallowin {
namespace {

using namespace image_bytes;

struct MemoryFile {
  std::string data;
  std::size_t position = 0;
};

OPJ_SIZE_T OnWrite(void* buffer, OPJ_SIZE_T size, void* user) {
  auto* f = static_cast<MemoryFile*>(user);
  try {
    if (f->data.size() < f->position + size) f->data.resize(f->position + size);
  } catch (const std::bad_alloc&) {
    return static_cast<OPJ_SIZE_T>(-1);
  }
  std::memcpy(f->data.data() + f->position, buffer, size);
  f->position += size;
  return size;
}

OPJ_OFF_T OnSkip(OPJ_OFF_T offset, void* user) {
  auto* f = static_cast<MemoryFile*>(user);
  if (offset < 0 && static_cast<std::size_t>(-offset) > f->position) return -1;
  f->position = static_cast<std::size_t>(static_cast<OPJ_OFF_T>(f->position) + offset);
  return offset;
}

OPJ_BOOL OnSeek(OPJ_OFF_T offset, void* user) {
  if (offset < 0) return OPJ_FALSE;
  static_cast<MemoryFile*>(user)->position = static_cast<std::size_t>(offset);
  return OPJ_TRUE;
}

void Quiet(const char*, void*) {}

struct CodecFree { void operator()(opj_codec_t* c) const { opj_destroy_codec(c); } };
struct StreamFree { void operator()(opj_stream_t* s) const { opj_stream_destroy(s); } };
struct ImageFree { void operator()(opj_image_t* i) const { opj_image_destroy(i); } };

float RateForQuality(int quality) { return static_cast<float>(std::exp2((100 - quality) / 10.0)); }

void EncodeJp2(const RasterImage& r, const ImageOptions& options, ByteSink& sink) {
  opj_cparameters_t p;
  opj_set_default_encoder_parameters(&p);
  p.tcp_numlayers = 1;
  p.cp_disto_alloc = 1;
  const bool lossless = options.On(image_option::kJp2Lossless);
  const float rate = RateForQuality(options.Get(image_option::kJp2Quality));
  p.irreversible = lossless ? 0 : 1;
  p.tcp_rates[0] = lossless || rate <= 1.0f ? 0.0f : rate;
  p.tcp_mct = 1;
  // Every resolution level must keep at least one sample per side.
  while (p.numresolution > 1 && (std::min(r.width, r.height) >> (p.numresolution - 1)) == 0) --p.numresolution;

  opj_image_cmptparm_t component[4];
  std::memset(component, 0, sizeof component);
  for (auto& c : component) {
    c.dx = c.dy = 1;
    c.w = static_cast<OPJ_UINT32>(r.width);
    c.h = static_cast<OPJ_UINT32>(r.height);
    c.prec = 8;
    c.sgnd = 0;
  }
  std::unique_ptr<opj_image_t, ImageFree> image(opj_image_create(4, component, OPJ_CLRSPC_SRGB));
  if (!image) throw std::runtime_error("OpenJPEG: out of memory");
  image->x0 = image->y0 = 0;
  image->x1 = static_cast<OPJ_UINT32>(r.width);
  image->y1 = static_cast<OPJ_UINT32>(r.height);
  image->comps[3].alpha = 1;
  OPJ_INT32* planes[4] = {image->comps[0].data, image->comps[1].data, image->comps[2].data, image->comps[3].data};
  const std::size_t count = static_cast<std::size_t>(r.width) * static_cast<std::size_t>(r.height);
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* px = r.pixels.data() + i * 4;
    planes[0][i] = px[2];
    planes[1][i] = px[1];
    planes[2][i] = px[0];
    planes[3][i] = px[3];
  }

  std::unique_ptr<opj_codec_t, CodecFree> codec(opj_create_compress(OPJ_CODEC_JP2));
  if (!codec) throw std::runtime_error("OpenJPEG: out of memory");
  opj_set_info_handler(codec.get(), Quiet, nullptr);
  opj_set_warning_handler(codec.get(), Quiet, nullptr);
  opj_set_error_handler(codec.get(), Quiet, nullptr);
  if (!opj_setup_encoder(codec.get(), &p, image.get())) throw std::runtime_error("OpenJPEG: bad parameters");
  opj_codec_set_threads(codec.get(), static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 4u)));

  MemoryFile file;
  std::unique_ptr<opj_stream_t, StreamFree> stream(opj_stream_create(1u << 20, OPJ_FALSE));
  if (!stream) throw std::runtime_error("OpenJPEG: out of memory");
  opj_stream_set_user_data(stream.get(), &file, nullptr);
  opj_stream_set_write_function(stream.get(), OnWrite);
  opj_stream_set_skip_function(stream.get(), OnSkip);
  opj_stream_set_seek_function(stream.get(), OnSeek);
  if (!opj_start_compress(codec.get(), image.get(), stream.get()) || !opj_encode(codec.get(), stream.get()) ||
      !opj_end_compress(codec.get(), stream.get())) {
    throw std::runtime_error("OpenJPEG: encoding failed");
  }
  stream.reset();  // flushes the stream's buffer into `file`
  sink.Put(file.data);
}

}  // namespace

ImageFormatWriter Jp2Format() {
  using namespace option_range;
  return {"JPEG 2000 Image",
          "*.jp2,*.j2k,*.j2c,*.jpx,*.jpc",
          true,
          {{image_option::kJp2Quality, "Quality", 80, 1, 100},
           {image_option::kJp2CodeStreamOnly, "CodeStreamOnly", 0, kAnyMin, kAnyMax},
           {image_option::kJp2Lossless, "LosslessCompression", 0, kAnyMin, kAnyMax}},
          EncodeJp2,
          {u"*.jp2 - JPEG 2000", u"*.j2k - JPEG 2000", u"*.j2c - JPEG 2000", u"*.jpx - JPEG 2000",
           u"*.jpc - JPEG 2000"}};
}

}  // namespace tallowin
