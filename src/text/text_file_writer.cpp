#include "text/text_file_writer.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include "base/errors.h"
#include "base/atomic_file.h"
#include "base/utf.h"

namespace tallowin {
namespace {

constexpr std::string_view kStreamWriteError = "Stream write error";

bool EqualsIgnoringAsciiCase(std::u16string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char16_t x, char y) {
           const char16_t lower = (x >= u'A' && x <= u'Z') ? x + (u'a' - u'A') : x;
           return lower == static_cast<char16_t>(y);
         });
}

// The extension of the last path component, from its last "." (empty when none).
std::u16string_view Extension(std::u16string_view path) {
  const std::size_t dot = path.find_last_of(u"./");
  if (dot == std::u16string_view::npos || path[dot] != u'.') return {};
  return path.substr(dot);
}

// Image extensions never receive text: a text saved under an image's name would
// destroy a picture the user kept there.
bool IsRefusedExtension(std::u16string_view path) {
  constexpr std::array<std::string_view, 4> kRefused = {".bmp", ".gif", ".jpg", ".jpeg"};
  const std::u16string_view ext = Extension(path);
  return std::any_of(kRefused.begin(), kRefused.end(),
                     [ext](std::string_view refused) { return EqualsIgnoringAsciiCase(ext, refused); });
}

[[noreturn]] void RaiseCannotCreate(const std::string& fileName, int error) {
  std::error_code ignored;
  const std::filesystem::path shown = std::filesystem::absolute(fileName, ignored);
  throw TallowinError("Cannot create file \"" + (ignored ? fileName : shown.string()) + "\". " +
                      std::generic_category().message(error));
}

}  // namespace

bool IsAnsiText(std::u16string_view text) {
  return std::all_of(text.begin(), text.end(), [](char16_t unit) { return unit <= 0x00FF; });
}

std::int32_t CodePageForAnsiOrUtf8(std::u16string_view text) {
  return IsAnsiText(text) ? kCodePageAnsi : kCodePageUtf8;
}

std::optional<std::int32_t> CodePageForEncodingButton(std::string_view buttonName) {
  struct Row {
    std::string_view button;
    std::int32_t codePage;
  };
  static constexpr Row kRows[] = {
      {"rb_ansi", kCodePageAnsi},       {"rb_utf7", kCodePageUtf7},         {"rb_utf7ansi", kCodePageUtf7Ansi},
      {"rb_utf8", kCodePageUtf8},       {"rb_utf16le", kCodePageUtf16Le},   {"rb_utf_be", kCodePageUtf16Be},
      {"rb_utf32le", kCodePageUtf32Le}, {"rb_utf32be", kCodePageUtf32Be},   {"rb_beibehalten", kCodePageUtf8},
  };
  for (const Row& row : kRows) {
    if (row.button == buttonName) return row.codePage;
  }
  return std::nullopt;
}

bool WriteTextFile(std::u16string_view text, std::u16string_view path, std::int32_t codePage) {
  if (!IsTextCodePage(codePage)) {
    throw std::invalid_argument("not a text file code page: " + std::to_string(codePage));
  }
  if (IsRefusedExtension(path)) return false;
  const std::string fileName = Utf16ToUtf8(path);
  std::optional<AtomicFileSink> file;
  try {
    file.emplace(fileName);
  } catch (const AtomicFileError& e) {
    RaiseCannotCreate(fileName, e.error());
  }
  try {
    EncodeText(text, codePage, *file);
    file->Commit();
  } catch (const AtomicFileError& e) {
    // A rename that fails leaves the name as it was: the file was not created.
    if (e.stage() == AtomicFileError::Stage::Create) RaiseCannotCreate(fileName, e.error());
    throw TallowinError(std::string(kStreamWriteError));
  }
  return true;
}

}  // namespace tallowin
