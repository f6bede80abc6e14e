// The expression engine against PCRE2 16-bit, interpreter and JIT: ten
// clipboard-cleaning expressions over one generated 16 MB UTF-16 corpus, counting all
// non-overlapping matches.
//
// Each expression runs once per engine to warm up (pages touched, caches filled), then
// --runs times (default 7) with the engines interleaved, so that load on the machine
// falls on all of them alike. Every run of every engine must find the same number of
// matches, or the program reports the mismatch and exits with status 1: where this
// engine's classes differ from PCRE2's (\w holds ä ö ü ß here, \s has no \v), PCRE2
// gets the same sets spelled out. Prints the median MB/s per engine and the
// min/median/max over the runs of each speed ratio.
//
// A second part times the compiler on long alternations, whose compile time must
// grow linearly with the number of alternatives (Google Benchmark; its flags work).
//
// Run: build/bench_regex [--runs=N] [--only=NAME] [--copy-input] [--benchmark_filter=...]

#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "regex/regex_compiler.h"
#include "regex/regex_engine.h"

namespace {

constexpr size_t kCorpusUnits = 8u << 20;  // 16 MB of UTF-16

// This engine's default \w and \s as explicit PCRE2 classes (bodies without brackets).
#define W "0-9a-zA-Z_\\x{e4}\\x{f6}\\x{fc}\\x{df}\\x{c4}\\x{d6}\\x{dc}"
#define S " \\t\\n\\r\\f"

struct Expression {
  const char* name;
  const char16_t* pattern;  // this engine (default modifiers)
  const char* pcrePattern;  // PCRE2, the same sets of matches
  uint32_t pcreOptions;
};

const Expression kExpressions[] = {
    {"literal", u"window", "window", 0},
    {"caseless", u"(?i)clipboard", "(?i)clipboard", 0},
    {"five_words", u"apple|banana|cherry|orange|grape", "apple|banana|cherry|orange|grape", 0},
    {"digits", u"[0-9]+", "[0-9]+", 0},
    {"date", u"\\d{4}-\\d{2}-\\d{2}", "\\d{4}-\\d{2}-\\d{2}", 0},
    {"email", u"[\\w.]+@[\\w.]+", "[" W ".]+@[" W ".]+", 0},
    {"spaces", u"\\s+", "[" S "]+", 0},
    {"trim_lines", u"(?m)^\\s+|\\s+$", "(?m)^[" S "]+|[" S "]+$", 0},
    {"double_word", u"(\\w+)\\s+\\1", "([" W "]+)[" S "]+\\1", 0},
    {"lazy_tag", u"<.*?>", "<.*?>", PCRE2_DOTALL},
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

// --- the three engines, each counting all matches of one expression ------------------

bool copyInput = false;  // --copy-input: SearchFirst, which copies the text first

// This engine as the replace-all path drives it: one engine, search after search.
class Ours {
 public:
  explicit Ours(const Expression& e) : engine_(context_) { engine_.SetPatternText(e.pattern); }
  long Count(const std::u16string& text) {
    long matches = 0;
    bool found = copyInput ? engine_.SearchFirst(text) : engine_.SearchFirstInPlace(text);
    for (; found; found = engine_.SearchNext()) ++matches;
    return context_.errorReport.success ? matches : -1;
  }

 private:
  tallowin::RegexContext context_;
  tallowin::RegexEngine engine_;
};

class Pcre2 {
 public:
  Pcre2(const Expression& e, bool jit) {
    int error = 0;
    PCRE2_SIZE offset = 0;
    code_ = pcre2_compile_16(reinterpret_cast<PCRE2_SPTR16>(Utf16(e.pcrePattern).c_str()), PCRE2_ZERO_TERMINATED,
                             e.pcreOptions, &error, &offset, nullptr);
    if (!code_) {
      std::fprintf(stderr, "pcre2_compile failed for %s\n", e.name);
      std::exit(2);
    }
    if (jit && pcre2_jit_compile_16(code_, PCRE2_JIT_COMPLETE) != 0) {
      std::fprintf(stderr, "pcre2_jit_compile failed for %s\n", e.name);
      std::exit(2);
    }
    data_ = pcre2_match_data_create_from_pattern_16(code_, nullptr);
  }
  ~Pcre2() {
    pcre2_match_data_free_16(data_);
    pcre2_code_free_16(code_);
  }
  Pcre2(const Pcre2&) = delete;
  Pcre2& operator=(const Pcre2&) = delete;

  long Count(const std::u16string& text) {
    long matches = 0;
    for (size_t at = 0; at <= text.size();) {
      const int rc = pcre2_match_16(code_, reinterpret_cast<PCRE2_SPTR16>(text.data()), text.size(), at, 0, data_,
                                    nullptr);
      if (rc < 0) return rc == PCRE2_ERROR_NOMATCH ? matches : -1;
      const PCRE2_SIZE* ov = pcre2_get_ovector_pointer_16(data_);
      ++matches;
      at = ov[1] + (ov[1] == ov[0] ? 1 : 0);
    }
    return matches;
  }

 private:
  static std::u16string Utf16(const char* ascii) { return std::u16string(ascii, ascii + std::strlen(ascii)); }
  pcre2_code_16* code_ = nullptr;
  pcre2_match_data_16* data_ = nullptr;
};

template <typename Engine>
double Seconds(Engine& engine, const std::u16string& text, long& matches) {
  const auto begin = std::chrono::steady_clock::now();
  matches = engine.Count(text);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

struct Spread {
  double min, median, max;
};
Spread SpreadOf(const std::vector<double>& v) {
  return {*std::min_element(v.begin(), v.end()), Median(v), *std::max_element(v.begin(), v.end())};
}

// Runs the comparison; returns false when the engines disagreed or failed.
bool Compare(int runs, const std::string& only) {
  const std::u16string& text = Corpus();
  const double megabytes = static_cast<double>(text.size() * 2) / 1e6;
  std::printf("%-12s %9s %9s %9s %9s  %-20s %-20s\n", "expression", "matches", "ours MB/s", "pcre2", "jit",
              "ours/pcre2 min/med/max", "ours/jit min/med/max");
  bool agreed = true;
  double logInterp = 0, logJit = 0, lowestInterp = 1e9;
  int counted = 0;
  for (const Expression& e : kExpressions) {
    if (!only.empty() && only != e.name) continue;
    Ours ours(e);
    Pcre2 interp(e, false);
    Pcre2 jit(e, true);
    long expected = 0, got = 0;
    Seconds(ours, text, expected);  // warm-up
    Seconds(interp, text, got);
    Seconds(jit, text, got);
    std::vector<double> tOurs, tInterp, tJit, rInterp, rJit;
    for (int r = 0; r < runs; ++r) {
      long counts[3];
      tOurs.push_back(Seconds(ours, text, counts[0]));
      tInterp.push_back(Seconds(interp, text, counts[1]));
      tJit.push_back(Seconds(jit, text, counts[2]));
      if (counts[0] < 0 || counts[0] != counts[1] || counts[0] != counts[2] || counts[0] != expected) {
        std::printf("%-12s MATCH COUNTS DIFFER: ours %ld, pcre2 %ld, jit %ld (warm-up %ld)\n", e.name, counts[0],
                    counts[1], counts[2], expected);
        agreed = false;
        break;
      }
      rInterp.push_back(tInterp.back() / tOurs.back());
      rJit.push_back(tJit.back() / tOurs.back());
    }
    if (static_cast<int>(rInterp.size()) != runs) continue;
    const Spread si = SpreadOf(rInterp), sj = SpreadOf(rJit);
    char a[64], b[64];
    std::snprintf(a, sizeof a, "%.2f/%.2f/%.2f", si.min, si.median, si.max);
    std::snprintf(b, sizeof b, "%.2f/%.2f/%.2f", sj.min, sj.median, sj.max);
    std::printf("%-12s %9ld %9.1f %9.1f %9.1f  %-20s %-20s\n", e.name, expected, megabytes / Median(tOurs),
                megabytes / Median(tInterp), megabytes / Median(tJit), a, b);
    logInterp += std::log(si.median);
    logJit += std::log(sj.median);
    lowestInterp = std::min(lowestInterp, si.median);
    ++counted;
  }
  if (counted > 0) {
    std::printf("\nmedian ratios over %d runs: ours/pcre2 geometric mean %.2f, lowest %.2f; ours/jit geometric mean %.2f\n",
                runs, std::exp(logInterp / counted), lowestInterp, std::exp(logJit / counted));
  }
  return agreed;
}

// Compile time of an n-way alternation of distinct words.
void CompileAlternation(benchmark::State& state) {
  std::u16string pattern;
  for (int64_t i = 0; i < state.range(0); ++i) {
    if (i) pattern += u'|';
    for (int64_t v = i + 1; v > 0; v /= 26) pattern += static_cast<char16_t>(u'a' + v % 26);
  }
  tallowin::CompileSettings settings;
  settings.modifiers = tallowin::EngineDefaults().modifiers;
  for (auto _ : state) {
    tallowin::CompileResult result = tallowin::CompileRegex(pattern, settings);
    if (!result.program) state.SkipWithError("compile failed");
    benchmark::DoNotOptimize(result);
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(CompileAlternation)->Arg(10000)->Arg(40000)->Arg(160000)->Unit(benchmark::kMillisecond)->Complexity();

}  // namespace

int main(int argc, char** argv) {
  int runs = 7;
  std::string only;
  std::vector<char*> rest;
  for (int i = 0; i < argc; ++i) {
    if (std::strncmp(argv[i], "--runs=", 7) == 0) {
      runs = std::max(5, std::atoi(argv[i] + 7));
    } else if (std::strcmp(argv[i], "--copy-input") == 0) {
      copyInput = true;
    } else if (std::strncmp(argv[i], "--only=", 7) == 0) {
      only = argv[i] + 7;
    } else {
      rest.push_back(argv[i]);
    }
  }
  int restCount = static_cast<int>(rest.size());
  benchmark::Initialize(&restCount, rest.data());
  benchmark::RunSpecifiedBenchmarks();
  std::printf("\n");
  return Compare(runs, only) ? 0 : 1;
}
