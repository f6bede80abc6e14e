// Drives one image writer for bench/image_writers_vs_pillow.py: reads a raw
// RGBA picture, encodes it once to warm up and then RUNS times into memory,
// printing the seconds of each timed encode, and writes the last file.
//
// Usage: image_writer_peer RAW WIDTH HEIGHT FORMAT RUNS OUT
// FORMAT: png, jpg, jpg-progressive, tif, gif, jp2 (options at their start
// values, as the capture run leaves them; jpg-progressive sets option 11).
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "image/formats/byte_writer.h"
#include "image/formats/image_format.h"

int main(int argc, char** argv) {
  using namespace tallowin;
  if (argc != 7) {
    std::fprintf(stderr, "usage: image_writer_peer RAW WIDTH HEIGHT FORMAT RUNS OUT\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  const std::string rgba((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  RasterImage raster = CreateRaster(std::stoi(argv[2]), std::stoi(argv[3]));
  if (rgba.size() != raster.pixels.size()) {
    std::fprintf(stderr, "raw size does not match\n");
    return 2;
  }
  for (std::size_t i = 0; i < rgba.size(); i += 4) {
    raster.pixels[i] = static_cast<std::uint8_t>(rgba[i + 2]);
    raster.pixels[i + 1] = static_cast<std::uint8_t>(rgba[i + 1]);
    raster.pixels[i + 2] = static_cast<std::uint8_t>(rgba[i]);
    raster.pixels[i + 3] = static_cast<std::uint8_t>(rgba[i + 3]);
  }
  std::string format = argv[4];
  ImageFormatRegistry registry;
  if (format == "jpg-progressive") {
    registry.SetImageOption(image_option::kJpegProgressive, 1);
    format = "jpg";
  }
  const ImageFormatWriter* writer = registry.WriterFor("x." + format);
  if (!writer) return 2;
  std::string out;
  const int runs = std::stoi(argv[5]);
  for (int i = 0; i <= runs; ++i) {
    out.clear();
    image_bytes::StringByteSink sink(out);
    const auto start = std::chrono::steady_clock::now();
    if (!registry.Encode(*writer, raster, sink)) return 1;
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    if (i > 0) std::printf("%.6f\n", took.count());  // the first one warms up
  }
  std::ofstream(argv[6], std::ios::binary).write(out.data(), static_cast<std::streamsize>(out.size()));
  return 0;
}
