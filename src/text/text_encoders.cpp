#include "text/text_encoders.h"

#include <algorithm>
#include <array>
#include <memory>
#include <stdexcept>

#include "base/cp1252.h"

// Every encoder below is a small class with
//   kMaxBytesPerUnit        an upper bound of the bytes one code unit produces,
//   char* Encode(p, end, out)  encodes [p, end) to out and returns the new end,
//   char* Finish(out)       writes what a pending state still owes at the end.
// Encode may keep state between calls (UTF-7's open run), but the driver never
// splits a surrogate pair between two calls, so no encoder has to remember half
// a pair. The driver sizes each block so that the block's worst case, plus one
// extra unit that completes a pair, fits into the chunk buffer.

namespace tallowin {
namespace {

constexpr bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
constexpr bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }
constexpr bool IsSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDFFF; }

constexpr char32_t CombineSurrogates(char16_t high, char16_t low) {
  return 0x10000 + ((static_cast<char32_t>(high) - 0xD800) << 10) + (low - 0xDC00);
}

inline char* PutByte(char* out, unsigned value) {
  *out = static_cast<char>(value);
  return out + 1;
}

// Room kept free beyond a block's worst case for the unit that completes a pair.
constexpr std::size_t kChunkSlack = 16;

template <class Encoder>
void EncodeInChunks(std::u16string_view text, Encoder& encoder, ByteSink& sink) {
  const auto buffer = std::make_unique<char[]>(kEncodeChunkBytes);
  constexpr std::size_t kUnitsPerBlock = (kEncodeChunkBytes - kChunkSlack) / Encoder::kMaxBytesPerUnit;
  const char16_t* p = text.data();
  const char16_t* const end = p + text.size();
  while (p < end) {
    const char16_t* blockEnd = p + std::min<std::size_t>(kUnitsPerBlock, end - p);
    if (blockEnd < end && IsHighSurrogate(blockEnd[-1])) ++blockEnd;
    char* const outEnd = encoder.Encode(p, blockEnd, buffer.get());
    sink.Put({buffer.get(), static_cast<std::size_t>(outEnd - buffer.get())});
    p = blockEnd;
  }
  char* const finishEnd = encoder.Finish(buffer.get());
  if (finishEnd != buffer.get()) sink.Put({buffer.get(), static_cast<std::size_t>(finishEnd - buffer.get())});
}

// Encoders without state owe nothing at the end.
struct Stateless {
  static char* Finish(char* out) { return out; }
};

struct AnsiEncoder : Stateless {
  static constexpr std::size_t kMaxBytesPerUnit = 1;

  // Windows-1252 has no astral characters: a pair is one character, so one '?'.
  static char* Encode(const char16_t* p, const char16_t* end, char* out) {
    while (p < end) {
      const char16_t* runEnd = p;
      while (runEnd < end && !IsSurrogate(*runEnd)) ++runEnd;
      const std::string bytes = EncodeCp1252(std::u16string_view(p, runEnd - p));
      out = std::copy(bytes.begin(), bytes.end(), out);
      p = runEnd;
      if (p == end) break;
      *out++ = kCp1252DefaultChar;
      p += (IsHighSurrogate(p[0]) && p + 1 < end && IsLowSurrogate(p[1])) ? 2 : 1;
    }
    return out;
  }
};

struct Utf8Encoder : Stateless {
  static constexpr std::size_t kMaxBytesPerUnit = 3;

  static char* Encode(const char16_t* p, const char16_t* end, char* out) {
    while (p < end) {
      const char16_t c = *p++;
      if (c < 0x80) {
        out = PutByte(out, c);
      } else if (c < 0x800) {
        out = PutByte(out, 0xC0 | (c >> 6));
        out = PutByte(out, 0x80 | (c & 0x3F));
      } else if (!IsSurrogate(c)) {
        out = Put3(out, c);
      } else if (IsHighSurrogate(c) && p < end && IsLowSurrogate(*p)) {
        const char32_t cp = CombineSurrogates(c, *p++);
        out = PutByte(out, 0xF0 | (cp >> 18));
        out = PutByte(out, 0x80 | ((cp >> 12) & 0x3F));
        out = PutByte(out, 0x80 | ((cp >> 6) & 0x3F));
        out = PutByte(out, 0x80 | (cp & 0x3F));
      } else {
        // A lone surrogate has no UTF-8 form; the replacement character keeps the file valid.
        out = Put3(out, 0xFFFD);
      }
    }
    return out;
  }

  static char* Put3(char* out, char32_t c) {
    out = PutByte(out, 0xE0 | (c >> 12));
    out = PutByte(out, 0x80 | ((c >> 6) & 0x3F));
    return PutByte(out, 0x80 | (c & 0x3F));
  }
};

template <bool kBigEndian>
struct Utf16Encoder : Stateless {
  static constexpr std::size_t kMaxBytesPerUnit = 2;

  static char* Encode(const char16_t* p, const char16_t* end, char* out) {
    for (; p < end; ++p, out += 2) {
      const unsigned c = *p;
      out[kBigEndian ? 1 : 0] = static_cast<char>(c & 0xFF);
      out[kBigEndian ? 0 : 1] = static_cast<char>(c >> 8);
    }
    return out;
  }
};

template <bool kBigEndian>
struct Utf32Encoder : Stateless {
  static constexpr std::size_t kMaxBytesPerUnit = 4;

  static char* Encode(const char16_t* p, const char16_t* end, char* out) {
    while (p < end) {
      const char16_t c = *p++;
      char32_t cp = c;
      if (IsHighSurrogate(c)) {
        if (p < end && IsLowSurrogate(*p)) {
          cp = CombineSurrogates(c, *p++);
        } else {
          cp = U'?';
        }
      } else if (IsLowSurrogate(c)) {
        continue;  // never written by itself
      }
      out = Put4(out, cp);
    }
    return out;
  }

  static char* Put4(char* out, char32_t cp) {
    for (int i = 0; i < 4; ++i) {
      const int shift = kBigEndian ? 24 - 8 * i : 8 * i;
      out[i] = static_cast<char>((cp >> shift) & 0xFF);
    }
    return out + 4;
  }
};

enum Utf7Class : unsigned char { kInRun, kDirect, kDirectNeedsDash };

constexpr std::array<Utf7Class, 128> MakeUtf7ClassTable() {
  std::array<Utf7Class, 128> table{};  // kInRun
  for (const char c : std::string_view("'(),.:?!\"#$%&*;<=>@[]^_`{|} \t\r\n")) {
    table[static_cast<unsigned char>(c)] = kDirect;
  }
  // The characters a decoder would take as part of the run unless a "-" ends it first.
  for (const char c : std::string_view("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789/-")) {
    table[static_cast<unsigned char>(c)] = kDirectNeedsDash;
  }
  return table;
}
constexpr std::array<Utf7Class, 128> kUtf7Class = MakeUtf7ClassTable();
constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

class Utf7Encoder {
 public:
  // A unit in a run: "+" plus at most three groups (at most 4 + 16 bits pending).
  static constexpr std::size_t kMaxBytesPerUnit = 4;

  char* Encode(const char16_t* p, const char16_t* end, char* out) {
    for (; p < end; ++p) {
      const char16_t c = *p;
      if (c < 0x80 && kUtf7Class[c] != kInRun) {
        if (inRun_) out = EndRun(out, kUtf7Class[c] == kDirectNeedsDash);
        *out++ = static_cast<char>(c);
      } else if (c == u'+' && !inRun_) {
        *out++ = '+';
        *out++ = '-';
      } else {
        if (!inRun_) {
          *out++ = '+';
          inRun_ = true;
        }
        // Only the low pendingBits_ bits matter; older bits may shift out.
        bits_ = (bits_ << 16) | c;
        pendingBits_ += 16;
        while (pendingBits_ >= 6) {
          pendingBits_ -= 6;
          *out++ = kBase64[(bits_ >> pendingBits_) & 0x3F];
        }
      }
    }
    return out;
  }

  // At the end of the text a run gets its filled group but no "-".
  char* Finish(char* out) { return inRun_ ? EndRun(out, false) : out; }

 private:
  char* EndRun(char* out, bool writeDash) {
    if (pendingBits_ > 0) *out++ = kBase64[(bits_ << (6 - pendingBits_)) & 0x3F];
    if (writeDash) *out++ = '-';
    inRun_ = false;
    bits_ = 0;
    pendingBits_ = 0;
    return out;
  }

  bool inRun_ = false;
  std::uint32_t bits_ = 0;
  int pendingBits_ = 0;
};

template <class Encoder>
void Encode(std::u16string_view text, std::string_view signature, ByteSink& sink) {
  if (!signature.empty()) sink.Put(signature);
  Encoder encoder;
  EncodeInChunks(text, encoder, sink);
}

// UTF-7 with signature: U+FEFF and the text form one text, so a run opened by
// the signature simply continues into the text when its first character needs one.
void EncodeUtf7WithSignature(std::u16string_view text, ByteSink& sink) {
  static constexpr char16_t kSignature = 0xFEFF;
  Utf7Encoder encoder;
  char head[Utf7Encoder::kMaxBytesPerUnit];
  const char* headEnd = encoder.Encode(&kSignature, &kSignature + 1, head);
  sink.Put({head, static_cast<std::size_t>(headEnd - head)});
  EncodeInChunks(text, encoder, sink);
}

}  // namespace

bool IsTextCodePage(std::int32_t codePage) {
  switch (codePage) {
    case kCodePageAnsi:
    case kCodePageUtf7:
    case kCodePageUtf7Ansi:
    case kCodePageUtf8:
    case kCodePageUtf16Le:
    case kCodePageUtf16Be:
    case kCodePageUtf32Le:
    case kCodePageUtf32Be:
      return true;
    default:
      return false;
  }
}

void EncodeText(std::u16string_view text, std::int32_t codePage, ByteSink& sink) {
  using namespace std::string_view_literals;
  switch (codePage) {
    case kCodePageAnsi: return Encode<AnsiEncoder>(text, {}, sink);
    case kCodePageUtf7: return EncodeUtf7WithSignature(text, sink);
    case kCodePageUtf7Ansi: return Encode<Utf7Encoder>(text, {}, sink);
    case kCodePageUtf8: return Encode<Utf8Encoder>(text, "\xEF\xBB\xBF"sv, sink);
    case kCodePageUtf16Le: return Encode<Utf16Encoder<false>>(text, "\xFF\xFE"sv, sink);
    case kCodePageUtf16Be: return Encode<Utf16Encoder<true>>(text, "\xFE\xFF"sv, sink);
    case kCodePageUtf32Le: return Encode<Utf32Encoder<false>>(text, "\xFF\xFE\0\0"sv, sink);
    case kCodePageUtf32Be: return Encode<Utf32Encoder<true>>(text, "\0\0\xFE\xFF"sv, sink);
    default: throw std::invalid_argument("not a text file code page: " + std::to_string(codePage));
  }
}

std::string EncodeText(std::u16string_view text, std::int32_t codePage) {
  std::string out;
  MemorySink sink(out);
  EncodeText(text, codePage, sink);
  return out;
}

}  // namespace tallowin
