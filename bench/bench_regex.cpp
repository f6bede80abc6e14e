// The expression engine against PCRE2 16-bit (interpreter, JIT off) and std::regex:
// ten clipboard-cleaning expressions over one generated 16 MB UTF-16 corpus, counting
// all non-overlapping matches. Prints MB/s per engine and the ratios; std::regex runs
// on the first 1 MB only, as it is far slower.
//
// Run: build/bench_regex            (Google Benchmark flags work, e.g. --benchmark_filter=ours)

#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <random>
#include <regex>
#include <string>

#include "regex/regex_engine.h"

namespace {

constexpr size_t kCorpusUnits = 8u << 20;      // 16 MB of UTF-16
constexpr size_t kStdRegexUnits = 512u << 10;  // 1 MB for std::regex

struct Expression {
  const char* name;
  const char16_t* pattern;     // this engine and PCRE2
  const wchar_t* stdPattern;   // std::regex (ECMAScript)
  uint32_t pcreOptions;
  std::regex_constants::syntax_option_type stdOptions;
};

const Expression kExpressions[] = {
    {"literal", u"window", L"window", 0, std::regex::ECMAScript},
    {"caseless", u"(?i)clipboard", L"clipboard", 0, std::regex::icase},
    {"five_words", u"apple|banana|cherry|orange|grape", L"apple|banana|cherry|orange|grape", 0,
     std::regex::ECMAScript},
    {"digits", u"[0-9]+", L"[0-9]+", 0, std::regex::ECMAScript},
    {"date", u"\\d{4}-\\d{2}-\\d{2}", L"\\d{4}-\\d{2}-\\d{2}", 0, std::regex::ECMAScript},
    {"email", u"[\\w.]+@[\\w.]+", L"[\\w.]+@[\\w.]+", 0, std::regex::ECMAScript},
    {"spaces", u"\\s+", L"\\s+", 0, std::regex::ECMAScript},
    {"trim_lines", u"(?m)^\\s+|\\s+$", L"^\\s+|\\s+$", 0, std::regex::ECMAScript | std::regex::multiline},
    {"double_word", u"(\\w+)\\s+\\1", L"(\\w+)\\s+\\1", 0, std::regex::ECMAScript},
    {"lazy_tag", u"<.*?>", L"<.*?>", PCRE2_DOTALL, std::regex::ECMAScript},
};

// Words, numbers, dates, mail addresses, tags, doubled words, indented and padded
// lines, some German and Cyrillic: what people copy and clean.
std::u16string MakeCorpus() {
  static const char16_t* kWords[] = {
      u"the", u"window", u"Clipboard", u"text", u"apple", u"of", u"and", u"Banana", u"data",
      u"cherry", u"copy", u"orange", u"paste", u"grape", u"f\u00FCr", u"Gr\u00FC\u00DFe", u"und",
      u"\u043F\u0440\u0438\u0432\u0435\u0442", u"report", u"invoice", u"meeting", u"CLIPBOARD",
      u"value", u"total", u"price", u"line", u"item", u"customer", u"Stra\u00DFe", u"number"};
  std::mt19937 rng(4);
  auto pick = [&](size_t n) { return static_cast<size_t>(rng() % n); };
  std::u16string out;
  out.reserve(kCorpusUnits + 256);
  while (out.size() < kCorpusUnits) {
    if (pick(4) == 0) out += std::u16string(1 + pick(4), u' ');
    const size_t words = 5 + pick(12);
    for (size_t w = 0; w < words; ++w) {
      if (w) out += pick(10) ? u" " : u"  ";
      switch (pick(20)) {
        case 0: out += u"2024-0" + std::u16string(1, u'1' + pick(9)) + u"-1" + std::u16string(1, u'0' + pick(10)); break;
        case 1: out += u"anna.schmidt@example.org"; break;
        case 2: out += std::u16string(1, u'0' + pick(10)) + std::u16string(1, u'0' + pick(10)) + u"." + u"95"; break;
        case 3: out += u"<b>"; break;
        case 4: out += u"</p>"; break;
        case 5: out += u"the the"; break;
        default: out += kWords[pick(std::size(kWords))];
      }
    }
    if (pick(5) == 0) out += u"  ";
    out += u'\n';
  }
  out.resize(kCorpusUnits);
  return out;
}

const std::u16string& Corpus() {
  static const std::u16string corpus = MakeCorpus();
  return corpus;
}

void Ours(benchmark::State& state, const Expression& e) {
  const std::u16string& text = Corpus();
  tallowin::RegexContext context;
  long matches = 0;
  for (auto _ : state) {
    tallowin::RegexEngine engine(context);
    engine.SetPatternText(e.pattern);
    matches = 0;
    for (bool found = engine.SearchFirst(text); found; found = engine.SearchNext()) ++matches;
  }
  if (!context.errorReport.success) state.SkipWithError("engine reported an error");
  state.counters["matches"] = static_cast<double>(matches);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size() * 2));
}

struct CodeDeleter {
  void operator()(pcre2_code_16* code) const { pcre2_code_free_16(code); }
};
struct MatchDataDeleter {
  void operator()(pcre2_match_data_16* data) const { pcre2_match_data_free_16(data); }
};

void Pcre2(benchmark::State& state, const Expression& e) {
  const std::u16string& text = Corpus();
  const std::u16string pattern(e.pattern);
  int error = 0;
  PCRE2_SIZE offset = 0;
  std::unique_ptr<pcre2_code_16, CodeDeleter> code(pcre2_compile_16(
      reinterpret_cast<PCRE2_SPTR16>(pattern.data()), pattern.size(), e.pcreOptions, &error, &offset, nullptr));
  if (!code) {
    state.SkipWithError("pcre2_compile failed");
    return;
  }
  std::unique_ptr<pcre2_match_data_16, MatchDataDeleter> data(
      pcre2_match_data_create_from_pattern_16(code.get(), nullptr));
  long matches = 0;
  for (auto _ : state) {
    matches = 0;
    for (size_t at = 0; at <= text.size();) {
      const int rc = pcre2_match_16(code.get(), reinterpret_cast<PCRE2_SPTR16>(text.data()), text.size(), at, 0,
                                    data.get(), nullptr);
      if (rc < 0) break;
      const PCRE2_SIZE* ov = pcre2_get_ovector_pointer_16(data.get());
      ++matches;
      at = ov[1] + (ov[1] == ov[0] ? 1 : 0);
    }
  }
  state.counters["matches"] = static_cast<double>(matches);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size() * 2));
}

void StdRegex(benchmark::State& state, const Expression& e) {
  const std::u16string& corpus = Corpus();
  const std::wstring text(corpus.begin(), corpus.begin() + kStdRegexUnits);
  const std::wregex re(e.stdPattern, e.stdOptions);
  long matches = 0;
  for (auto _ : state) {
    matches = std::distance(std::wsregex_iterator(text.begin(), text.end(), re), std::wsregex_iterator());
  }
  state.counters["matches"] = static_cast<double>(matches);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kStdRegexUnits * 2));
}

// Keeps MB/s per benchmark name for the summary.
class Collector : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      const auto it = run.counters.find("bytes_per_second");
      if (it != run.counters.end() && !run.error_occurred) mbPerSecond[run.benchmark_name()] = it->second / 1e6;
    }
  }
  std::map<std::string, double> mbPerSecond;
};

}  // namespace

int main(int argc, char** argv) {
  for (const Expression& e : kExpressions) {
    benchmark::RegisterBenchmark((std::string("ours/") + e.name).c_str(), Ours, e)
        ->Unit(benchmark::kMillisecond)->Iterations(3);
    benchmark::RegisterBenchmark((std::string("pcre2/") + e.name).c_str(), Pcre2, e)
        ->Unit(benchmark::kMillisecond)->Iterations(3);
    benchmark::RegisterBenchmark((std::string("std_regex/") + e.name).c_str(), StdRegex, e)
        ->Unit(benchmark::kMillisecond)->Iterations(1);
  }
  benchmark::Initialize(&argc, argv);
  Collector collector;
  benchmark::RunSpecifiedBenchmarks(&collector);

  auto rate = [&](const std::string& engine, const char* name) {
    const auto it = collector.mbPerSecond.find(engine + "/" + name + "/iterations:" + (engine == "std_regex" ? "1" : "3"));
    return it == collector.mbPerSecond.end() ? 0.0 : it->second;
  };
  std::printf("\n%-12s %10s %10s %10s %12s %12s\n", "expression", "ours MB/s", "pcre2", "std::regex",
              "ours/pcre2", "ours/std");
  double logSum = 0;
  double worst = 1e9;
  int counted = 0;
  for (const Expression& e : kExpressions) {
    const double ours = rate("ours", e.name);
    const double pcre2 = rate("pcre2", e.name);
    const double stdRegex = rate("std_regex", e.name);
    std::printf("%-12s %10.1f %10.1f %10.1f %12.2f %12.2f\n", e.name, ours, pcre2, stdRegex,
                pcre2 > 0 ? ours / pcre2 : 0.0, stdRegex > 0 ? ours / stdRegex : 0.0);
    if (ours > 0 && pcre2 > 0) {
      logSum += std::log(ours / pcre2);
      worst = std::min(worst, ours / pcre2);
      ++counted;
    }
  }
  if (counted > 0) {
    std::printf("\nours/pcre2: geometric mean %.2f, lowest %.2f (goal: mean >= 1, lowest >= 0.33)\n",
                std::exp(logSum / counted), worst);
  }
  return 0;
}
