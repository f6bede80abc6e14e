// The four Netpbm-family formats, binary forms only:
//   PGM (P5): 8-bit grey, image_bytes::Grey of each pixel, alpha ignored;
//   PPM (P6): 8-bit RGB, alpha dropped;
//   PAM (P7): TUPLTYPE RGB_ALPHA, 8 bits per sample;
//   PFM (PF): 32-bit little-endian floats (scale -1.0), RGB with each sample
//             divided by 255, bottom row first as the format prescribes; alpha
//             is not stored (PFM has no alpha channel).
// SaveBinary of PGM and PPM is registered on; the plain forms are not written.
#include <string>

#include "image/formats/byte_writer.h"
#include "image/formats/image_format.h"
#include "image/formats/option_ranges.h"

namespace tallowin {
namespace {

using namespace image_bytes;

std::string Header(const char* magic, const RasterImage& r, const char* rest) {
  return std::string(magic) + "\n" + std::to_string(r.width) + " " + std::to_string(r.height) + "\n" + rest;
}

void EncodePgm(const RasterImage& r, const ImageOptions&, ByteSink& sink) {
  sink.Put(Header("P5", r, "255\n"));
  PutRows(r, 1, RowOrder::TopDown, sink, [&](const std::uint8_t* in, char* out) {
    for (std::int32_t x = 0; x < r.width; ++x, in += 4) out[x] = static_cast<char>(Grey(in[2], in[1], in[0]));
  });
}

void EncodePpm(const RasterImage& r, const ImageOptions&, ByteSink& sink) {
  sink.Put(Header("P6", r, "255\n"));
  PutRows(r, 3, RowOrder::TopDown, sink, [&](const std::uint8_t* in, char* out) {
    BgraRowToRgb(in, r.width, reinterpret_cast<std::uint8_t*>(out));
  });
}

void EncodePam(const RasterImage& r, const ImageOptions&, ByteSink& sink) {
  sink.Put("P7\nWIDTH " + std::to_string(r.width) + "\nHEIGHT " + std::to_string(r.height) +
           "\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n");
  PutRows(r, 4, RowOrder::TopDown, sink, [&](const std::uint8_t* in, char* out) {
    BgraRowToRgba(in, r.width, reinterpret_cast<std::uint8_t*>(out));
  });
}

void PutFloatLE(float f, char* out) {
  std::uint32_t bits;
  std::memcpy(&bits, &f, 4);
  for (int i = 0; i < 4; ++i) out[i] = static_cast<char>((bits >> (8 * i)) & 0xFF);
}

void EncodePfm(const RasterImage& r, const ImageOptions&, ByteSink& sink) {
  sink.Put(Header("PF", r, "-1.0\n"));
  PutRows(r, 12, RowOrder::BottomUp, sink, [&](const std::uint8_t* in, char* out) {
    for (std::int32_t x = 0; x < r.width; ++x, in += 4, out += 12) {
      PutFloatLE(in[2] / 255.0f, out);
      PutFloatLE(in[1] / 255.0f, out + 4);
      PutFloatLE(in[0] / 255.0f, out + 8);
    }
  });
}

}  // namespace

ImageFormatWriter PgmFormat() {
  using namespace option_range;
  return {"Portable Gray Map", "*.pgm", true, {{image_option::kPgmSaveBinary, "SaveBinary", 1, kAnyMin, kAnyMax}},
          EncodePgm, {u"*.pgm - Portable Gray Map"}};
}

ImageFormatWriter PpmFormat() {
  using namespace option_range;
  return {"Portable Pixel Map", "*.ppm", true, {{image_option::kPpmSaveBinary, "SaveBinary", 1, kAnyMin, kAnyMax}},
          EncodePpm, {u"*.ppm - Portable Pixel Map"}};
}

ImageFormatWriter PamFormat() {
  return {"Portable Arbitrary Map", "*.pam", true, {}, EncodePam, {u"*.pam - Portable Arbitrary Map"}};
}

ImageFormatWriter PfmFormat() {
  return {"Portable Float Map", "*.pfm", true, {}, EncodePfm, {u"*.pfm - Portable Float Map"}};
}

}  // namespace tallowin
