// Every encoding, checked against a decoder that owes nothing to ours: random
// texts are written with WriteTextFile and decoded by Python's codecs.

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "scratch_folder.h"
#include "base/cp1252.h"
#include "text/text_file_writer.h"

namespace tallowin {
namespace {

using testing::ScratchFolder;

constexpr std::uint32_t kSeed = 20101014;

class RandomText {
 public:
  explicit RandomText(std::uint32_t seed) : random_(seed) {}

  // Valid UTF-16 mixing ASCII (with "+", "-", "~", "\", CR LF), Latin-1, other
  // BMP characters and surrogate pairs.
  std::u16string Any(std::size_t length) {
    std::u16string text;
    while (text.size() < length) {
      switch (Pick(6)) {
        case 0: text += Ascii(); break;
        case 1: text += kTricky[Pick(kTricky.size())]; break;
        case 2: text += static_cast<char16_t>(0xA0 + Pick(0x60)); break;
        case 3: text += static_cast<char16_t>(0x0100 + Pick(0xD800 - 0x0100)); break;
        case 4: text += static_cast<char16_t>(0xE000 + Pick(0x10000 - 0xE000)); break;
        default: AppendAstral(text); break;
      }
    }
    return text;
  }

  // Only characters Windows-1252 holds, none of its five unassigned bytes.
  std::u16string Ansi(std::size_t length) {
    std::u16string text;
    while (text.size() < length) {
      const char16_t unit = DecodeCp1252(std::string(1, static_cast<char>(Pick(256))))[0];
      if (unit >= 0x80 && unit < 0xA0) continue;
      text += unit;
    }
    return text;
  }

  std::size_t Pick(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random_); }

 private:
  inline static const std::vector<std::u16string> kTricky = {u"+", u"-", u"~", u"\\", u"\r\n", u"+-", u"\t", u"/"};

  char16_t Ascii() { return static_cast<char16_t>(0x20 + Pick(0x5F)); }

  void AppendAstral(std::u16string& text) {
    const char32_t cp = 0x10000 + static_cast<char32_t>(Pick(0x100000));
    text += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
    text += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
  }

  std::mt19937 random_;
};

std::u16string ReadUtf16Le(const std::string& bytes) {
  std::u16string text(bytes.size() / 2, u'\0');
  for (std::size_t i = 0; i < text.size(); ++i) {
    text[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                    static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
  }
  return text;
}

// The text a decoder must see: the signature, where the encoding writes one,
// comes back as U+FEFF.
std::u16string Expected(const std::u16string& text, std::int32_t codePage) {
  const bool signed_ = codePage != kCodePageAnsi && codePage != kCodePageUtf7Ansi;
  return signed_ ? u"\uFEFF" + text : text;
}

struct WrittenFile {
  std::string name;
  std::u16string text;
  std::int32_t codePage;
};

TEST(TextRoundTrip, PythonDecodesEveryEncodingBackToTheText) {
  const char* sourceDir = std::getenv("TALLOWIN_TEST_SOURCE_DIR");
  ASSERT_NE(sourceDir, nullptr) << "TALLOWIN_TEST_SOURCE_DIR must name the source tree";
  const std::string script = std::string(sourceDir) + "/tests/text/decode_text_files.py";

  ScratchFolder folder;
  RandomText random(kSeed);
  std::vector<WrittenFile> files;
  const std::int32_t codePages[] = {kCodePageAnsi,    kCodePageUtf7,    kCodePageUtf7Ansi, kCodePageUtf8,
                                    kCodePageUtf16Le, kCodePageUtf16Be, kCodePageUtf32Le,  kCodePageUtf32Be};
  for (const std::int32_t codePage : codePages) {
    // Many short texts for the cases, a few long ones that cross the encoder's pieces.
    for (int i = 0; i < 60; ++i) {
      const std::size_t length = i < 57 ? random.Pick(120) : 100000 + random.Pick(50000);
      std::u16string text = codePage == kCodePageAnsi ? random.Ansi(length) : random.Any(length);
      const std::string name = std::to_string(files.size()) + ".cp" + std::to_string(codePage);
      ASSERT_TRUE(WriteTextFile(text, folder.Text(name), codePage));
      files.push_back({name, std::move(text), codePage});
    }
  }

  const std::string command = "/usr/bin/python3 '" + script + "' '" + folder.path().string() + "'";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;

  for (const WrittenFile& file : files) {
    const std::string error = folder.Read(file.name + ".error");
    ASSERT_EQ(error, "") << file.name << " (seed " << kSeed << ")";
    EXPECT_TRUE(ReadUtf16Le(folder.Read(file.name + ".decoded")) == Expected(file.text, file.codePage))
        << file.name << " (code page " << file.codePage << ", " << file.text.size() << " units, seed " << kSeed
        << ")";
  }
}

}  // namespace
}  // namespace tallowin
