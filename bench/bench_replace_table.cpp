// One ReplaceTextStep over a 1 MB clipboard text with 20 table rows (plain rows,
// expression rows with literal replacements and expression rows with templates),
// next to the same 20 substitutions done by `perl -0777 -p` on the same text in
// the same run.
//
// Before timing, the outputs of both are compared; the summary says whether they
// agree, so the two sides are known to do the same work. Times are wall-clock
// for both (perl runs as a child process). Perl's time includes starting the
// interpreter and reading and writing its files; the summary also shows perl's
// start-up alone (`perl -e 1`) and the ratio with it taken off.
//
//   bench_replace_table --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "app/capture_pipeline.h"
#include "clipboard/memory_clipboard.h"
#include "regex/regex_engine.h"
#include "text/regex_replace.h"
#include "base/utf.h"
#include "median_reporter.h"

namespace tallowin {
namespace {

constexpr std::size_t kTextUnits = 1000 * 1000;

struct BenchRow {
  ReplacementRow row;
  const char* perl;  // the same substitution for perl -0777 (the whole text at once)
};

// The program's default modifiers are s and g on, m, i and x off; perl's /s and
// /g match that. Plain rows are perl's \Q...\E, case-sensitive like the setting.
const std::vector<BenchRow>& Rows() {
  static const std::vector<BenchRow> rows = {
      {{u"teh", u"the", u"-"}, R"(s/\Qteh\E/the/g;)"},
      {{u"recieve", u"receive", u"-"}, R"(s/\Qrecieve\E/receive/g;)"},
      {{u"\r\n\r\n\r\n", u"\r\n\r\n", u"-"}, R"(s/\r\n\r\n\r\n/\r\n\r\n/g;)"},
      {{u"  ", u" ", u"-"}, R"(s/\Q  \E/ /g;)"},
      {{u"&nbsp;", u" ", u"-"}, R"(s/\Q&nbsp;\E/ /g;)"},
      {{u"&amp;", u"&", u"-"}, R"(s/\Q&amp;\E/&/g;)"},
      {{u"<[^>]*>", u"", u"x/-"}, R"(s/<[^>]*>//gs;)"},
      {{u"[ \\t]+\\r\\n", u"\r\n", u"x/-"}, R"(s/[ \t]+\r\n/\r\n/gs;)"},
      {{u"(\\d{4})-(\\d{2})-(\\d{2})", u"$3.$2.$1", u"x"}, R"(s/(\d{4})-(\d{2})-(\d{2})/$3.$2.$1/gs;)"},
      {{u"(\\w+)@(\\w+)\\.com", u"$1 at $2 dot com", u"x"}, R"(s/(\w+)@(\w+)\.com/$1 at $2 dot com/gs;)"},
      {{u"\\s+,", u",", u"x/-"}, R"(s/\s+,/,/gs;)"},
      {{u"\\b(\\w+) \\1\\b", u"$1", u"x"}, R"(s/\b(\w+) \1\b/$1/gs;)"},
      {{u"(?i)lorem", u"LOREM", u"x/-"}, R"(s/lorem/LOREM/gsi;)"},
      {{u"\\$(\\d+)", u"$1 USD", u"x"}, R"(s/\$(\d+)/$1 USD/gs;)"},
      {{u"...", u".", u"-"}, R"(s/\Q...\E/./g;)"},
      {{u"[0-9]{3}-[0-9]{4}", u"###-####", u"x/-"}, R"(s/[0-9]{3}-[0-9]{4}/###-####/gs;)"},
      {{u"foo", u"bar", u"-"}, R"(s/\Qfoo\E/bar/g;)"},
      {{u"^\\s+", u"", u"x/-"}, R"(s/^\s+//gs;)"},
      {{u"(?m)^> ", u"", u"x/-"}, R"(s/^> //gms;)"},
      {{u"(colou?r)s", u"[$1]", u"x"}, R"(s/(colou?r)s/[$1]/gs;)"},
  };
  return rows;
}

// ASCII so that both sides read the same characters: words, typos, dates, mail
// addresses, tags, entities, prices, phone numbers, doubled words, quoted lines,
// trailing blanks and runs of empty lines.
std::string ClipboardLikeText() {
  static const std::vector<std::string> pieces = {
      "the",      "teh",       "clipboard", "text",      "recieve",    "foo",       "Lorem",     "ipsum",
      "lorem",    "2026-12-10", "anna@example.com", "<b>", "</b>",   "<a href=\"x\">", "&nbsp;", "&amp;",
      "$25",      "555-1234",  "the the",   "colours",   "colors",    "value",     "...",       "a  b",
      "number",   "12345",     "and",       "of",        "to",        "in",        "is",        "row , col",
  };
  std::mt19937 random(20261210);
  std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
  std::uniform_int_distribution<int> separator(0, 99);
  std::string text;
  text.reserve(kTextUnits + 64);
  while (text.size() < kTextUnits) {
    const int s = separator(random);
    if (s < 2) text += "> ";
    text += pieces[pick(random)];
    text += s < 8 ? "  \r\n" : s < 12 ? "\r\n" : s < 13 ? "\r\n\r\n\r\n\r\n" : s < 15 ? "\t" : " ";
  }
  text.resize(kTextUnits);
  return text;
}

struct Fixture {
  Fixture() {
    for (const BenchRow& r : Rows()) rows.push_back(r.row);
    settings.SetFlag(Setting::cb_suchenersetzen, true);
    PipelineParts parts = RequiredParts(settings, clipboard, state, details, views, history);
    parts.replacementRows = &rows;
    parts.regex = &regex;
    pipeline = std::make_unique<CapturePipeline>(parts);
    utf8 = ClipboardLikeText();
    utf16 = Utf8ToUtf16(utf8);
  }

  std::u16string RunStep() {
    clipboard.PlaceTextFromOtherProgram(utf16);
    pipeline->ReplaceTextStep();
    return clipboard.ReadText();
  }

  CaptureSettings settings;
  MemoryClipboard clipboard;
  CaptureState state;
  DetailsModel details;
  ContentViewsModel views;
  HistoryModel history;
  RegexContext regexContext;
  RegexReplace regex{regexContext};
  std::vector<ReplacementRow> rows;
  std::unique_ptr<CapturePipeline> pipeline;
  std::string utf8;
  std::u16string utf16;
};

Fixture& TheFixture() {
  static Fixture fixture;
  return fixture;
}

struct PerlFiles {
  PerlFiles() {
    folder = std::filesystem::temp_directory_path() / ("tallowin-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "in.txt", std::ios::binary) << TheFixture().utf8;
    std::ofstream script(folder / "rows.pl");
    for (const BenchRow& r : Rows()) script << r.perl << "\n";
    command = "perl -0777 -p '" + (folder / "rows.pl").string() + "' '" + (folder / "in.txt").string() + "' > '" +
              (folder / "out.txt").string() + "'";
  }
  ~PerlFiles() { std::filesystem::remove_all(folder); }
  std::string Output() const {
    std::ifstream in(folder / "out.txt", std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
  }
  std::filesystem::path folder;
  std::string command;
};

PerlFiles& ThePerlFiles() {
  static PerlFiles files;
  return files;
}

bool RunShell(const std::string& command) { return std::system(command.c_str()) == 0; }

void ReplaceTextStepBench(benchmark::State& state) {
  Fixture& f = TheFixture();
  for (auto _ : state) {
    state.PauseTiming();
    f.clipboard.PlaceTextFromOtherProgram(f.utf16);
    state.ResumeTiming();
    f.pipeline->ReplaceTextStep();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * f.utf8.size()));
}

void PerlBench(benchmark::State& state) {
  const PerlFiles& files = ThePerlFiles();
  for (auto _ : state) {
    if (!RunShell(files.command)) state.SkipWithError("perl failed");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * TheFixture().utf8.size()));
}

void PerlStartupBench(benchmark::State& state) {
  for (auto _ : state) {
    if (!RunShell("perl -e 1")) state.SkipWithError("perl failed");
  }
}

class RatioReporter : public MedianReporter {
 public:
  void Finalize() override {
    ConsoleReporter::Finalize();
    const double ours = RealSeconds("ReplaceTextStep/1MB/20rows");
    const double perl = RealSeconds("Perl/1MB/20rows");
    const double startup = RealSeconds("PerlStartup");
    if (ours > 0 && perl > 0) {
      std::printf("\nReplaceTextStep %.1f ms, perl %.1f ms (start-up alone %.1f ms)\n", ours * 1e3, perl * 1e3,
                  startup * 1e3);
      std::printf("perl time / ReplaceTextStep time: %.2f (start-up taken off: %.2f); goal > 1: %s\n", perl / ours,
                  (perl - startup) / ours, perl > ours ? "met" : "missed");
    }
    std::fflush(stdout);
  }
};

}  // namespace
}  // namespace tallowin

int main(int argc, char** argv) {
  using namespace tallowin;
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

  const bool perlRan = RunShell(ThePerlFiles().command);
  const std::u16string ours = TheFixture().RunStep();
  const bool agree = perlRan && Utf8ToUtf16(ThePerlFiles().Output()) == ours;
  std::printf("1 MB text, 20 rows; output %zu units; perl's output %s\n", ours.size(),
              !perlRan ? "missing (is perl installed?)" : agree ? "agrees" : "DIFFERS");

  benchmark::RegisterBenchmark("ReplaceTextStep/1MB/20rows", ReplaceTextStepBench)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
  if (perlRan) {
    benchmark::RegisterBenchmark("Perl/1MB/20rows", PerlBench)->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark("PerlStartup", PerlStartupBench)->Unit(benchmark::kMillisecond)->UseRealTime();
  }
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return agree ? 0 : 1;
}
