#pragma once
// PNG datastreams (written in png_encoder.cpp), and the chunk layer shared by
// the PNG, MNG and JNG writers.
//
// PreFilter values (PNG 25, MNG 30, JNG 41): 0 none, 1 sub, 2 up, 3 average,
// 4 Paeth, each for every row; 5 adaptive: per row the best (smallest sum of
// the filtered bytes taken as signed values, as libpng chooses) of
// all five; 6 adaptive over none, sub and up only (faster, a little larger).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/raster_image.h"
#include "base/byte_sink.h"

namespace tallowin::png_stream {

enum class Samples {
  Rgba,   // colour type 6, 8 bits
  Alpha,  // colour type 0, 8 bits: the raster's alpha values as grey
};

struct Compression {
  int filter = 5;
  int level = 5;
};

// Encodes the raster as one PNG datastream and sends it to `sink`, without the
// 8-byte signature when `withSignature` is false (the chunk sequence alone, as
// MNG embeds it). Raises std::runtime_error when zlib fails; the sink's own
// errors pass through.
enum class Signature { Written, Left };
void Encode(const RasterImage& raster, Samples samples, Compression compression, Signature signature, ByteSink& sink);

// One chunk as a view into a datastream.
struct Chunk {
  std::string_view type;
  std::string_view data;
};

// The chunks of a datastream that starts with the first chunk (no signature).
// Raises std::runtime_error for a truncated stream.
std::vector<Chunk> Split(std::string_view chunks);

// Length, type, data and CRC-32 of one chunk.
void PutChunk(ByteSink& sink, std::string_view type, std::string_view data);

}  // namespace tallowin::png_stream
