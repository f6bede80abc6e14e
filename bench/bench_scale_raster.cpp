// ScaleRaster on a 3840x2160 picture, opaque and with transparency, reduced to
// 1920x1080 and 640x360 and enlarged to 7680x4320 with the bilinear and bicubic
// filters. The opaque picture takes the plain path; the other has rows with
// transparency (a shape on a clear ground, soft edges), whose colours are
// weighted by alpha. scale_vs_peers.py compares with other programs; this one
// is for before/after figures of ScaleRaster alone:
//   build/bench_scale_raster --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
// (the copy each run gets is not timed, but takes real time: a run of the
// 7680x4320 cases lasts several seconds).

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>

#include "image/scale_raster.h"

namespace tallowin {
namespace {

constexpr std::int32_t kWidth = 3840, kHeight = 2160;

// Gradients and noise, as scale_vs_peers.py uses; with `clear`, an ellipse whose
// alpha falls from 255 inside to 0 outside over a band of some 8 pixels, on a
// clear black ground. Every row has transparency (the corners are clear).
RasterImage Picture(bool clear) {
  RasterImage r = CreateRaster(kWidth, kHeight);
  std::mt19937 random(1);
  for (std::int32_t y = 0; y < kHeight; ++y) {
    for (std::int32_t x = 0; x < kWidth; ++x) {
      std::uint8_t* p = &r.pixels[(static_cast<std::size_t>(y) * kWidth + x) * 4];
      p[0] = static_cast<std::uint8_t>(random() & 0x3F);
      p[1] = static_cast<std::uint8_t>(255 * y / (kHeight - 1));
      p[2] = static_cast<std::uint8_t>(255 * x / (kWidth - 1));
      p[3] = 255;
      if (clear) {
        const double dx = (x - kWidth / 2.0) / (kWidth * 0.4), dy = (y - kHeight / 2.0) / (kHeight * 0.4);
        const double edge = (1.0 - std::sqrt(dx * dx + dy * dy)) * kHeight * 0.4 / 8.0;
        p[3] = static_cast<std::uint8_t>(std::lround(255 * std::clamp(edge, 0.0, 1.0)));
        if (p[3] == 0) p[0] = p[1] = p[2] = 0;
      }
    }
  }
  return r;
}

const RasterImage& Source(bool clear) {
  static const RasterImage opaque = Picture(false), withAlpha = Picture(true);
  return clear ? withAlpha : opaque;
}

void Scale(benchmark::State& state, bool clear, ResampleFilter filter) {
  const RasterImage& source = Source(clear);
  const auto w = static_cast<std::int32_t>(state.range(0)), h = static_cast<std::int32_t>(state.range(1));
  for (auto _ : state) {
    // ScaleRaster works in place: each run gets a fresh copy, untimed.
    state.PauseTiming();
    RasterImage r = source;
    state.ResumeTiming();
    ScaleRaster(r, w, h, filter);
    benchmark::DoNotOptimize(r.pixels.data());
    state.PauseTiming();
    r = RasterImage();
    state.ResumeTiming();
  }
}

// Real time is what a user waits; CPU time, of every thread of the process, is
// the work done, which a machine busy with other work disturbs far less.
void Sizes(benchmark::internal::Benchmark* b) {
  b->Args({1920, 1080})->Args({640, 360})->Args({7680, 4320})->Unit(benchmark::kMillisecond);
  b->UseRealTime()->MeasureProcessCPUTime();
}

BENCHMARK_CAPTURE(Scale, opaque_bilinear, false, ResampleFilter::Bilinear)->Apply(Sizes);
BENCHMARK_CAPTURE(Scale, alpha_bilinear, true, ResampleFilter::Bilinear)->Apply(Sizes);
BENCHMARK_CAPTURE(Scale, opaque_bicubic, false, ResampleFilter::Bicubic)->Apply(Sizes);
BENCHMARK_CAPTURE(Scale, alpha_bicubic, true, ResampleFilter::Bicubic)->Apply(Sizes);

}  // namespace
}  // namespace tallowin

BENCHMARK_MAIN();
