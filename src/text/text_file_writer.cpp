#include "text/text_file_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <filesystem>
#include <system_error>
#include <utility>

#include "app/errors.h"
#include "text/utf.h"

namespace tallowin {
namespace {

constexpr std::string_view kStreamWriteError = "Stream write error";

// Owns an open file descriptor. Close() reports whether the kernel accepted the
// close; the destructor closes silently, for the paths that are already failing.
class UniqueFd {
 public:
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  UniqueFd& operator=(UniqueFd&&) = delete;
  ~UniqueFd() {
    if (fd_ >= 0) ::close(fd_);
  }

  int get() const { return fd_; }

  // Returns 0, or the errno of a failed close. Never retried: after close()
  // returns, the descriptor is gone whatever the result.
  int Close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0 ? 0 : errno;
  }

 private:
  int fd_;
};

// Sends every piece to the file; a write that cannot store the whole piece
// (disk full, I/O error) raises, leaving what was written so far.
class FileSink : public ByteSink {
 public:
  explicit FileSink(int fd) : fd_(fd) {}

  void Put(std::string_view bytes) override {
    while (!bytes.empty()) {
      const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) throw TallowinError(std::string(kStreamWriteError));
      bytes.remove_prefix(static_cast<std::size_t>(n));
    }
  }

 private:
  int fd_;
};

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

// Opens for writing, creating or truncating. O_NONBLOCK only guards the open
// itself: a FIFO without a reader would otherwise block the program forever.
UniqueFd CreateFile(const std::string& fileName) {
  if (fileName.find('\0') != std::string::npos) RaiseCannotCreate(fileName, EINVAL);
  int fd;
  do {
    fd = ::open(fileName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) RaiseCannotCreate(fileName, errno);
  UniqueFd file(fd);
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  return file;
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
  UniqueFd file = CreateFile(Utf16ToUtf8(path));
  FileSink sink(file.get());
  EncodeText(text, codePage, sink);
  // A failed close can be the first report of a lost write (quota, network file
  // systems); the content is then not known to be complete.
  if (file.Close() != 0) throw TallowinError(std::string(kStreamWriteError));
  return true;
}

}  // namespace tallowin
