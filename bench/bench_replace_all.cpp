// Plain replace-all on 16 MB of UTF-16 clipboard-like text, next to memcpy of
// the same buffer measured in the same run: ReplaceAllExact and
// ReplaceAllIgnoreCase with a 1-unit and a 5-unit search text, and a size sweep
// (1, 4, 16, 64 MB) of the exact replace that shows the time growing linearly.
// memcpy and the copy into a new string run at the same sizes: where the data
// leaves a cache level, all slow down per MB, and from 32 MB on the C library
// maps every new string afresh, so the first touch of its pages shows in
// both the replace and the copy into a new string.
//
// Two copy references: `Memcpy` copies into a buffer allocated once (the
// machine's copy rate, the goal's yardstick), `CopyToNewString` builds a new
// std::u16string per iteration as every replace must (allocation and first
// touch of fresh pages included). The closing summary prints each replace's
// rate as a ratio of memcpy's; the goal is exact replace at 0.25 or more.
//
// Rates and times are per CPU second of this process, so other load on the
// machine disturbs them less. Figures for a report:
//   bench_replace_all --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
//     --benchmark_enable_random_interleaving=true

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "base/case_mapping.h"
#include "text/replace_all.h"
#include "median_reporter.h"

namespace tallowin {
namespace {

constexpr std::size_t kMegabyte = 1000 * 1000;
constexpr std::size_t kMainBytes = 16 * kMegabyte;

// Words of a German/English mixed text with the punctuation a pasted table or
// mail carries. "," occurs about once in 50 units, "Datei" and "Zeile" about
// once in 200, so every search finds many matches spread over the whole buffer.
std::u16string ClipboardLikeText(std::size_t bytes) {
  static const std::vector<std::u16string> words = {
      u"the",   u"clipboard", u"text",   u"Datei",  u"saved",  u"number", u"12345",  u"Größe", u"café",
      u"über",  u"Straße",    u"Grüße",  u"e-mail", u"(note)", u"value",  u"column", u"row",   u"Zeile",
      u"Spalte", u"Wert",     u"5\u20AC", u"name",  u"folder", u"Ordner", u"and",    u"und",   u"of",
      u"a",     u"to",        u"in",     u"is",     u"für",    u"mit",    u"den",    u"das",   u"nicht",
  };
  std::mt19937 random(20261210);
  std::uniform_int_distribution<std::size_t> pick(0, words.size() - 1);
  std::uniform_int_distribution<int> separator(0, 99);
  std::u16string text;
  const std::size_t units = bytes / sizeof(char16_t);
  text.reserve(units + 16);
  while (text.size() < units) {
    text += words[pick(random)];
    const int s = separator(random);
    text += s < 12 ? u"," : s < 15 ? u".\r\n" : s < 17 ? u"\t" : u" ";
  }
  text.resize(units);
  return text;
}

const std::u16string& Text(std::size_t bytes) {
  static std::map<std::size_t, std::u16string> texts;
  auto it = texts.find(bytes);
  if (it == texts.end()) it = texts.emplace(bytes, ClipboardLikeText(bytes)).first;
  return it->second;
}

std::size_t CountOccurrences(std::u16string_view text, std::u16string_view what) {
  if (what.empty()) return 0;
  std::size_t count = 0;
  for (std::size_t p = text.find(what); p != std::u16string_view::npos; p = text.find(what, p + what.size())) ++count;
  return count;
}

void SetRate(benchmark::State& state, std::size_t bytes) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(bytes));
}

void Memcpy(benchmark::State& state, std::size_t bytes) {
  const std::u16string& text = Text(bytes);
  std::vector<char16_t> target(text.size());
  std::memcpy(target.data(), text.data(), bytes);  // touch every page before timing
  for (auto _ : state) {
    std::memcpy(target.data(), text.data(), bytes);
    benchmark::DoNotOptimize(target.data());
    benchmark::ClobberMemory();
  }
  SetRate(state, bytes);
}

void CopyToNewString(benchmark::State& state, std::size_t bytes) {
  const std::u16string& text = Text(bytes);
  for (auto _ : state) {
    std::u16string copy(text);
    benchmark::DoNotOptimize(copy.data());
  }
  SetRate(state, bytes);
}

using ReplaceFunction = std::u16string (*)(std::u16string_view, std::u16string_view, std::u16string_view);

void Replace(benchmark::State& state, ReplaceFunction replace, std::u16string_view oldText,
             std::u16string_view newText, std::size_t bytes) {
  const std::u16string& text = Text(bytes);
  std::size_t outUnits = 0;
  for (auto _ : state) {
    std::u16string out = replace(text, oldText, newText);
    outUnits = out.size();
    benchmark::DoNotOptimize(out.data());
  }
  SetRate(state, bytes);
  const bool ignoreCase = replace == &ReplaceAllIgnoreCase;
  state.counters["matches"] = static_cast<double>(
      ignoreCase ? CountOccurrences(UpperCaseUnits(text), UpperCaseUnits(oldText)) : CountOccurrences(text, oldText));
  state.counters["out_units"] = static_cast<double>(outUnits);
}

void RegisterAll() {
  benchmark::RegisterBenchmark("Memcpy/16MB", [](benchmark::State& state) { Memcpy(state, kMainBytes); })
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("CopyToNewString/16MB",
                               [](benchmark::State& state) { CopyToNewString(state, kMainBytes); })
      ->Unit(benchmark::kMillisecond);

  struct Case {
    const char* name;
    ReplaceFunction replace;
    std::u16string_view oldText, newText;
  };
  // The ignore-case searches are written in lower case so that they only match
  // because case is ignored ("z" finds the "Z" of "Zeile", "datei" finds "Datei").
  static const Case cases[] = {
      {"ReplaceAllExact/1unit", &ReplaceAllExact, u",", u";"},
      {"ReplaceAllExact/5units", &ReplaceAllExact, u"Datei", u"File"},
      {"ReplaceAllIgnoreCase/1unit", &ReplaceAllIgnoreCase, u"z", u"Z"},
      {"ReplaceAllIgnoreCase/5units", &ReplaceAllIgnoreCase, u"datei", u"File"},
  };
  for (const Case& c : cases) {
    benchmark::RegisterBenchmark((std::string(c.name) + "/16MB").c_str(),
                                 [&c](benchmark::State& state) {
                                   Replace(state, c.replace, c.oldText, c.newText, kMainBytes);
                                 })
        ->Unit(benchmark::kMillisecond);
  }

  // Size sweep: the time must grow with the size, the rate stay flat. memcpy
  // runs at the same sizes, so a step that the caches cause shows in both.
  for (std::size_t megabytes : {1, 4, 16, 64}) {
    benchmark::RegisterBenchmark(("SizeSweep/Memcpy/" + std::to_string(megabytes) + "MB").c_str(),
                                 [megabytes](benchmark::State& state) { Memcpy(state, megabytes * kMegabyte); })
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("SizeSweep/CopyToNewString/" + std::to_string(megabytes) + "MB").c_str(),
                                 [megabytes](benchmark::State& state) {
                                   CopyToNewString(state, megabytes * kMegabyte);
                                 })
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("SizeSweep/ReplaceAllExact/5units/" + std::to_string(megabytes) + "MB").c_str(),
                                 [megabytes](benchmark::State& state) {
                                   Replace(state, &ReplaceAllExact, u"Datei", u"File", megabytes * kMegabyte);
                                 })
        ->Unit(benchmark::kMillisecond);
  }
}

// The console table as usual, then every 16 MB rate as a ratio of memcpy's and
// the per-MB times of the size sweep. With repetitions the medians are used.
class RatioReporter : public MedianReporter {
 public:
  void Finalize() override {
    ConsoleReporter::Finalize();
    PrintRatios();
    PrintSizeSweep();
    std::fflush(stdout);
  }

 private:
  void PrintRatios() const {
    std::map<std::string, double> rates;
    for (const auto& [name, run] : QuotedRuns()) {
      const auto rate = run.counters.find("bytes_per_second");
      if (rate != run.counters.end()) rates[name] = rate->second.value;
    }
    const auto memcpyRate = rates.find("Memcpy/16MB");
    if (memcpyRate == rates.end()) return;
    std::printf("\nrate as a ratio of memcpy (%.0f MB/s), 16 MB:\n", memcpyRate->second / 1e6);
    for (const auto& [name, rate] : rates) {
      if (name.rfind("SizeSweep", 0) == 0 || name == "Memcpy/16MB") continue;
      std::printf("  %-32s %8.0f MB/s  %5.2f\n", name.c_str(), rate / 1e6, rate / memcpyRate->second);
    }
    double worstExact = -1;
    for (const char* name : {"ReplaceAllExact/1unit/16MB", "ReplaceAllExact/5units/16MB"}) {
      const auto rate = rates.find(name);
      if (rate == rates.end()) continue;
      const double ratio = rate->second / memcpyRate->second;
      if (worstExact < 0 || ratio < worstExact) worstExact = ratio;
    }
    if (worstExact >= 0) {
      std::printf("goal (exact replace at >= 0.25 of memcpy): %s (worst ratio %.2f)\n",
                  worstExact >= 0.25 ? "met" : "missed", worstExact);
    }
  }

  void PrintSizeSweep() const {
    std::map<std::string, double> secondsPerIteration;
    for (const auto& [name, run] : QuotedRuns()) secondsPerIteration[name] = CpuSeconds(name);
    bool header = false;
    for (const char* size : {"1MB", "4MB", "16MB", "64MB"}) {
      const auto replace = secondsPerIteration.find(std::string("SizeSweep/ReplaceAllExact/5units/") + size);
      const auto copy = secondsPerIteration.find(std::string("SizeSweep/Memcpy/") + size);
      const auto fresh = secondsPerIteration.find(std::string("SizeSweep/CopyToNewString/") + size);
      if (replace == secondsPerIteration.end() || copy == secondsPerIteration.end() ||
          fresh == secondsPerIteration.end()) {
        continue;
      }
      if (!header) {
        std::printf("\nsize sweep, CPU ms per MB (ReplaceAllExact with a 5-unit search; memcpy into a\n"
                    "buffer allocated once; copy into a new std::u16string), and memcpy/replace:\n");
        header = true;
      }
      const double megabytes = static_cast<double>(std::stoi(size));
      std::printf("  %-5s replace %7.3f   memcpy %7.3f   new string %7.3f   ratio %5.2f\n", size,
                  replace->second * 1e3 / megabytes, copy->second * 1e3 / megabytes,
                  fresh->second * 1e3 / megabytes, copy->second / replace->second);
    }
  }
};

}  // namespace
}  // namespace tallowin

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  tallowin::RegisterAll();
  tallowin::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
