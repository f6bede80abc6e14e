// Photoshop document, version 1: RGB mode, 8 bits, four channels (red, green,
// blue, alpha), raw planes. With SaveAsLayer on, the picture is also written as
// one layer "Layer 1" covering the canvas, its alpha as the transparency channel
// (-1); the layer count is stored negative so readers take the merged image's
// fourth channel as its transparency.
#include <stdexcept>

#include "image/formats/byte_writer.h"
#include "image/formats/image_format.h"
#include "image/formats/option_ranges.h"

namespace tallowin {
namespace {

using namespace image_bytes;

constexpr int kPsdMaxSide = 30000;
// Byte offsets of red, green, blue, alpha inside a raster pixel.
constexpr int kChannelByte[4] = {2, 1, 0, 3};

void PutPlane(const RasterImage& r, int channel, ByteSink& sink) {
  PutRows(r, 1, RowOrder::TopDown, sink, [&](const std::uint8_t* in, char* out) {
    for (std::int32_t x = 0; x < r.width; ++x) out[x] = static_cast<char>(in[x * 4 + kChannelByte[channel]]);
  });
}

void PutLayer(const RasterImage& r, ByteSink& sink) {
  const std::uint64_t plane = static_cast<std::uint64_t>(r.width) * static_cast<std::uint64_t>(r.height);
  Bytes record;
  record.U32BE(0).U32BE(0).U32BE(static_cast<std::uint32_t>(r.height)).U32BE(static_cast<std::uint32_t>(r.width));
  record.U16BE(4);
  for (int id : {0, 1, 2, -1}) record.U16BE(static_cast<std::uint16_t>(id)).U32BE(static_cast<std::uint32_t>(2 + plane));
  record.Text("8BIMnorm").U8(255).U8(0).U8(0).U8(0);
  const std::string_view name = "Layer 1";  // Pascal string, padded to 4 bytes with its length byte
  Bytes extra;
  extra.U32BE(0).U32BE(0).U8(static_cast<std::uint32_t>(name.size())).Text(name);
  while (extra.size() % 4) extra.U8(0);
  record.U32BE(static_cast<std::uint32_t>(extra.size())).Text(extra.data());

  std::uint64_t layerInfo = 2 + record.size() + 4 * (2 + plane);
  const bool pad = layerInfo % 2 != 0;
  if (pad) ++layerInfo;
  const std::uint64_t section = 4 + layerInfo + 4;  // layer info + empty global mask info
  if (section > 0xFFFFFFFFu) throw std::runtime_error("image too large for a Photoshop layer");
  Bytes head;
  head.U32BE(static_cast<std::uint32_t>(section)).U32BE(static_cast<std::uint32_t>(layerInfo));
  head.U16BE(static_cast<std::uint16_t>(-1)).Text(record.data());
  sink.Put(head.data());
  for (int channel = 0; channel < 4; ++channel) {
    sink.Put(std::string_view("\0\0", 2));  // raw
    PutPlane(r, channel, sink);
  }
  if (pad) sink.Put(std::string_view("\0", 1));
  sink.Put(std::string_view("\0\0\0\0", 4));
}

void EncodePsd(const RasterImage& r, const ImageOptions& options, ByteSink& sink) {
  if (r.width > kPsdMaxSide || r.height > kPsdMaxSide) throw std::runtime_error("image too large for a Photoshop file");
  Bytes h;
  h.Text("8BPS").U16BE(1).Zeros(6).U16BE(4).U32BE(static_cast<std::uint32_t>(r.height));
  h.U32BE(static_cast<std::uint32_t>(r.width)).U16BE(8).U16BE(3);
  h.U32BE(0).U32BE(0);  // no colour mode data, no image resources
  sink.Put(h.data());
  if (options.On(image_option::kPsdSaveAsLayer)) {
    PutLayer(r, sink);
  } else {
    sink.Put(std::string_view("\0\0\0\0", 4));
  }
  sink.Put(std::string_view("\0\0", 2));  // merged image, raw planes
  for (int channel = 0; channel < 4; ++channel) PutPlane(r, channel, sink);
}

}  // namespace

ImageFormatWriter PsdFormat() {
  using namespace option_range;
  return {"Photoshop Image",
          "*.psd,*.pdd",
          true,
          {{image_option::kPsdSaveAsLayer, "SaveAsLayer", 1, kAnyMin, kAnyMax}},
          EncodePsd,
          {u"*.psd - Photoshop Bild", u"*.pdd - Photoshop Bild"}};
}

}  // namespace tallowin
