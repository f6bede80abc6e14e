// Encoding 16 MiB of mixed UTF-16 text with the program's encoders and with the
// C library's iconv(3), in the same process and on the same input, for UTF-8,
// UTF-16 BE, UTF-32 LE and UTF-7. Both sides write through a 64 KiB buffer, as a
// file write would. encoders_vs_iconv.sh prints the ratios.

#include <benchmark/benchmark.h>
#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "text/text_encoders.h"

namespace tallowin {
namespace {

constexpr std::size_t kInputBytes = 16 * 1024 * 1024;

// Words of several scripts, with the line breaks and characters that matter to
// UTF-7 ("+", "~", "\"); weighted towards ASCII as clipboard text usually is.
std::u16string MixedText() {
  const std::vector<std::u16string> words = {
      u"the",  u"clipboard", u"text",  u"saved", u"file",  u"number", u"12345", u"a+b", u"C:\\Temp",
      u"~/x",  u"(note)",    u"e-mail", u"Straße", u"größer", u"Grüße", u"café", u"naïve", u"5\u20AC",
      u"\u00BD", u"Ελληνικά", u"Русский", u"текст", u"日本語", u"中文字符", u"한국어", u"\U0001F600",
      u"\U0001D11E", u"\r\n", u"\r\n", u"\t", u"!?", u"\"quoted\"",
  };
  std::mt19937 random(42);
  std::uniform_int_distribution<std::size_t> pick(0, words.size() - 1);
  std::u16string text;
  const std::size_t units = kInputBytes / 2;
  while (text.size() < units) {
    text += words[pick(random)];
    text += u' ';
  }
  text.resize(units);
  if (text.back() >= 0xD800 && text.back() <= 0xDBFF) text.back() = u'.';
  return text;
}

const std::u16string& Input() {
  static const std::u16string text = MixedText();
  return text;
}

class CountingSink : public ByteSink {
 public:
  void Put(std::string_view bytes) override { count_ += bytes.size(); }
  std::size_t count() const { return count_; }

 private:
  std::size_t count_ = 0;
};

void Tallowin(benchmark::State& state, std::int32_t codePage) {
  const std::u16string& text = Input();
  std::size_t outBytes = 0;
  for (auto _ : state) {
    CountingSink sink;
    EncodeText(text, codePage, sink);
    outBytes = sink.count();
    benchmark::DoNotOptimize(outBytes);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size() * 2));
  state.counters["out_bytes"] = static_cast<double>(outBytes);
}

struct IconvCloser {
  void operator()(iconv_t cd) const { iconv_close(cd); }
};
using UniqueIconv = std::unique_ptr<std::remove_pointer_t<iconv_t>, IconvCloser>;

void Iconv(benchmark::State& state, const char* target) {
  const std::u16string& text = Input();
  UniqueIconv cd(iconv_open(target, "UTF-16LE"));
  if (cd.get() == reinterpret_cast<iconv_t>(-1)) {
    cd.release();
    state.SkipWithError("iconv_open failed");
    return;
  }
  auto buffer = std::make_unique<char[]>(kEncodeChunkBytes);
  std::size_t outBytes = 0;
  for (auto _ : state) {
    iconv(cd.get(), nullptr, nullptr, nullptr, nullptr);
    char* in = reinterpret_cast<char*>(const_cast<char16_t*>(text.data()));
    std::size_t inLeft = text.size() * 2;
    outBytes = 0;
    while (inLeft > 0) {
      char* out = buffer.get();
      std::size_t outLeft = kEncodeChunkBytes;
      const std::size_t result = iconv(cd.get(), &in, &inLeft, &out, &outLeft);
      outBytes += kEncodeChunkBytes - outLeft;
      if (result == static_cast<std::size_t>(-1) && errno != E2BIG) {
        state.SkipWithError("iconv failed on the input");
        return;
      }
    }
    // Let a stateful encoding (UTF-7) close its last run, as a file would need.
    char* out = buffer.get();
    std::size_t outLeft = kEncodeChunkBytes;
    iconv(cd.get(), nullptr, nullptr, &out, &outLeft);
    outBytes += kEncodeChunkBytes - outLeft;
    benchmark::DoNotOptimize(outBytes);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size() * 2));
  state.counters["out_bytes"] = static_cast<double>(outBytes);
}

BENCHMARK_CAPTURE(Tallowin, UTF-8, kCodePageUtf8)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Iconv, UTF-8, "UTF-8")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Tallowin, UTF-16BE, kCodePageUtf16Be)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Iconv, UTF-16BE, "UTF-16BE")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Tallowin, UTF-32LE, kCodePageUtf32Le)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Iconv, UTF-32LE, "UTF-32LE")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Tallowin, UTF-7, kCodePageUtf7Ansi)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Iconv, UTF-7, "UTF-7")->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tallowin

BENCHMARK_MAIN();
