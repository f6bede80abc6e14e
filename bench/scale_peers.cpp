// Times ScaleRaster next to libvips' vips_resize in one process on the same
// picture; each run of either gets a fresh copy of it (untimed). Reads a raw RGBA picture (width x height x 4 bytes), writes each
// result as raw RGBA so the calling script can compare them with the other
// peers, and prints one line per measurement:
//   <engine> <filter> <width>x<height> <median seconds> <min> <max>
// Usage: scale_peers IN.rgba WIDTH HEIGHT OUT-FOLDER RUNS TARGET-SIZES...
// (sizes as WxH). Run through scale_vs_peers.py, which prints the ratios.

#include <vips/vips.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "image/scale_raster.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Timing {
  double median, min, max;
};

// `prepare` runs untimed before every run of `run`.
template <class Prepare, class Run>
Timing Measure(int runs, const Prepare& prepare, const Run& run) {
  prepare();
  run();  // warm-up: page faults, thread start-up, caches
  std::vector<double> seconds;
  for (int i = 0; i < runs; ++i) {
    prepare();
    const auto start = Clock::now();
    run();
    seconds.push_back(std::chrono::duration<double>(Clock::now() - start).count());
  }
  std::sort(seconds.begin(), seconds.end());
  return {seconds[seconds.size() / 2], seconds.front(), seconds.back()};
}

void WriteRaw(const std::string& path, const void* data, std::size_t size) {
  std::ofstream out(path, std::ios::binary);
  out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 7 || VIPS_INIT(argv[0])) {
    std::fprintf(stderr, "usage: scale_peers IN.rgba WIDTH HEIGHT OUT-FOLDER RUNS WxH...\n");
    return 2;
  }
  const int width = std::atoi(argv[2]), height = std::atoi(argv[3]), runs = std::atoi(argv[5]);
  const std::string outFolder = argv[4];
  std::ifstream in(argv[1], std::ios::binary);
  std::vector<std::uint8_t> rgba(static_cast<std::size_t>(width) * height * 4);
  in.read(reinterpret_cast<char*>(rgba.data()), static_cast<std::streamsize>(rgba.size()));
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", argv[1]);
    return 1;
  }
  // RasterImage keeps blue, green, red, alpha; all channels are filtered alike,
  // so the order only has to be undone for the comparison.
  tallowin::RasterImage source = tallowin::CreateRaster(width, height);
  for (std::size_t i = 0; i < rgba.size(); i += 4) {
    source.pixels[i] = rgba[i + 2], source.pixels[i + 1] = rgba[i + 1];
    source.pixels[i + 2] = rgba[i], source.pixels[i + 3] = rgba[i + 3];
  }

  struct Filter {
    const char* name;
    tallowin::ResampleFilter ours;
    VipsKernel vips;
  } filters[] = {{"nearest", tallowin::ResampleFilter::Nearest, VIPS_KERNEL_NEAREST},
                 {"bilinear", tallowin::ResampleFilter::Bilinear, VIPS_KERNEL_LINEAR},
                 {"bicubic", tallowin::ResampleFilter::Bicubic, VIPS_KERNEL_CUBIC}};
  for (int a = 6; a < argc; ++a) {
    int tw = 0, th = 0;
    if (std::sscanf(argv[a], "%dx%d", &tw, &th) != 2) return 2;
    for (const Filter& f : filters) {
      tallowin::RasterImage result;
      const Timing ours = Measure(
          runs, [&] { result = source; }, [&] { tallowin::ScaleRaster(result, tw, th, f.ours); });
      std::vector<std::uint8_t> back(result.pixels.size());
      for (std::size_t i = 0; i < back.size(); i += 4) {
        back[i] = result.pixels[i + 2], back[i + 1] = result.pixels[i + 1];
        back[i + 2] = result.pixels[i], back[i + 3] = result.pixels[i + 3];
      }
      WriteRaw(outFolder + "/tallowin-" + f.name + "-" + argv[a] + ".rgba", back.data(), back.size());
      std::printf("tallowin %s %s %.6f %.6f %.6f\n", f.name, argv[a], ours.median, ours.min, ours.max);

      std::vector<std::uint8_t> vipsOut;
      std::vector<std::uint8_t> vipsCopy;
      VipsImage* vipsSource = nullptr;
      const auto freshSource = [&] {
        if (vipsSource) g_object_unref(vipsSource);
        vipsCopy = rgba;
        vipsSource = vips_image_new_from_memory(vipsCopy.data(), vipsCopy.size(), width, height, 4, VIPS_FORMAT_UCHAR);
      };
      const Timing vips = Measure(runs, freshSource, [&] {
        VipsImage* resized = nullptr;
        if (vips_resize(vipsSource, &resized, double(tw) / width, "vscale", double(th) / height, "kernel", f.vips,
                        nullptr)) {
          std::fprintf(stderr, "vips_resize: %s\n", vips_error_buffer());
          std::exit(1);
        }
        std::size_t size = 0;
        void* memory = vips_image_write_to_memory(resized, &size);
        vipsOut.assign(static_cast<std::uint8_t*>(memory), static_cast<std::uint8_t*>(memory) + size);
        g_free(memory);
        g_object_unref(resized);
      });
      WriteRaw(outFolder + "/vips-" + f.name + "-" + argv[a] + ".rgba", vipsOut.data(), vipsOut.size());
      std::printf("vips %s %s %.6f %.6f %.6f\n", f.name, argv[a], vips.median, vips.min, vips.max);
      g_object_unref(vipsSource);
      std::fflush(stdout);
    }
  }
  vips_shutdown();
  return 0;
}
