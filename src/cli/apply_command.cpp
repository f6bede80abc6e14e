#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QImage>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>
#include <optional>
#include <stdexcept>

#include "base/errors.h"
#include "app/install_layout.h"
#include "app/program_core.h"
#include "app/program_folder.h"
#include "app/windowless_run.h"
#include "cli/checked_output.h"
#include "cli/command_line.h"
#include "config/configuration.h"
#include "clipboard/content_clipboard.h"
#include "base/atomic_file.h"
#include "base/utf.h"
#include "backends/raster_qimage.h"

namespace tallowin {
namespace {

struct ApplyOptions {
  std::vector<std::string> configs;
  std::vector<std::string> assignments;
  std::vector<ReplacementRow> rows;
  bool image = false;
  std::optional<std::string> output;
  std::optional<std::string> writeConfig;
  std::optional<std::string> input;
};

class UsageError : public std::runtime_error {
  using std::runtime_error::runtime_error;
};

ApplyOptions ParseApplyArguments(const std::vector<std::string>& args) {
  ApplyOptions o;
  auto value = [&](std::size_t& i, const std::string& flag) -> const std::string& {
    if (i + OptionValueCount(flag) >= args.size()) throw UsageError(flag + " needs a value");
    return args[++i];
  };
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--config") {
      o.configs.push_back(value(i, a));
    } else if (a == "--set") {
      o.assignments.push_back(value(i, a));
    } else if (a == "--row") {
      if (i + OptionValueCount(a) >= args.size()) throw UsageError("--row needs SEARCH REPLACE MARKER");
      o.rows.push_back({Utf8ToUtf16(args[i + 1]), Utf8ToUtf16(args[i + 2]), Utf8ToUtf16(args[i + 3])});
      i += OptionValueCount(a);
    } else if (a == "--image") {
      o.image = true;
    } else if (a == "--output") {
      o.output = value(i, a);
    } else if (a == "--write-config") {
      o.writeConfig = value(i, a);
    } else if (a.size() > 1 && a[0] == '-' && a != "-") {
      throw UsageError("unknown option " + a);
    } else if (!o.input) {
      o.input = a;
    } else {
      throw UsageError("more than one INPUT");
    }
  }
  return o;
}

std::string ErrnoText(int error) { return std::strerror(error); }

// The whole INPUT, read with every failure reported: a folder, an unreadable
// file, a read error. A file larger than the memory available raises
// std::bad_alloc (the size is reserved up front when it is known).
std::string ReadAll(const std::optional<std::string>& path) {
  const bool standardInput = !path || *path == "-";
  const std::string shown = standardInput ? std::string("standard input") : "\"" + *path + "\"";
  int fd = STDIN_FILENO;
  if (!standardInput) {
    do {
      fd = ::open(path->c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) throw TallowinError("Cannot open file " + shown + ". " + ErrnoText(errno));
  }
  struct CloseOnExit {
    int fd;
    bool owned;
    ~CloseOnExit() {
      if (owned) ::close(fd);
    }
  } closer{fd, !standardInput};
  struct stat info;
  if (::fstat(fd, &info) == 0) {
    if (S_ISDIR(info.st_mode)) throw TallowinError("Cannot open file " + shown + ". " + ErrnoText(EISDIR));
  }
  std::string bytes;
  if (S_ISREG(info.st_mode) && info.st_size > 0) bytes.reserve(static_cast<std::size_t>(info.st_size));
  char buffer[64 * 1024];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw TallowinError("Cannot read " + shown + ". " + ErrnoText(errno));
    if (n == 0) return bytes;
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
}

// The input becomes the content as a program copying UTF-8 text or a picture
// would place it on X11: a text as format 13 (decoded once, shared by every
// reader of the pass), a picture as format 2.
void PlaceInput(ContentClipboard& clipboard, const ApplyOptions& o) {
  std::string bytes = ReadAll(o.input);
  ClipboardContent content;
  if (!o.image) {
    std::u16string text = Utf8ToUtf16(bytes);
    std::string().swap(bytes);
    content.formats = {kFormatUnicodeText};
    content.text = MakeSharedText(std::move(text));
  } else {
    const QImage image =
        QImage::fromData(QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size())));
    std::optional<RasterImage> raster = RasterFromQImage(image);
    if (!raster) throw TallowinError("The input is no image this program can read");
    content.formats = {kFormatBitmap};
    content.decodedImage = std::make_shared<const RasterImage>(std::move(*raster));
  }
  clipboard.SetContent(std::move(content));
}

[[noreturn]] void RaiseCannotWrite(const std::string& name, int error) {
  throw TallowinError("Cannot write \"" + name + "\". " + ErrnoText(error));
}

// --output FILE. A regular file (or a new one) is replaced only by a complete
// one: written beside it and renamed over it. A symbolic link is followed, as
// the user named it; a FIFO or device is written directly, as a shell
// redirection would.
void WriteOutputFile(const std::string& bytes, const std::string& name) {
  std::string target = name;
  struct stat info;
  if (::lstat(name.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
    if (char* resolved = ::realpath(name.c_str(), nullptr)) {
      target = resolved;
      std::free(resolved);
    }
  }
  if (::stat(target.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode)) {
    int fd;
    do {
      fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) RaiseCannotWrite(name, errno);
    int error = WriteAll(fd, bytes);
    if (::close(fd) != 0 && error == 0 && errno != EINTR) error = errno;
    if (error != 0) RaiseCannotWrite(name, error);
    return;
  }
  try {
    AtomicFileSink file(target);
    file.Put(bytes);
    file.Commit();
  } catch (const AtomicFileError& e) {
    RaiseCannotWrite(name, e.error());
  }
}

std::string FinalContent(ContentClipboard& clipboard) {
  const SharedText text = clipboard.ReadSharedText();
  if (!text->empty()) return Utf16ToUtf8(*text);
  bool image = false;
  for (int i = 0; i < clipboard.CountFormats(); ++i) image = image || clipboard.FormatAt(i) == kFormatBitmap;
  if (!image) return {};
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  QImageFromRaster(clipboard.ReadBitmap()).save(&buffer, "PNG");
  return std::string(png.constData(), static_cast<std::size_t>(png.size()));
}

int RunApply(const std::vector<std::string>& args) {
  ApplyOptions options;
  try {
    options = ParseApplyArguments(args);
  } catch (const UsageError& e) {
    std::fprintf(stderr, "tallowin apply: %s\n%s", e.what(), UsageText().c_str());
    return 2;
  }
  ContentClipboard clipboard;
  const Language language = StartLanguageFromMarkers(".");
  ProgramCore core(clipboard, language);
  core.state.captureActive = false;  // the input is placed before the pass, not processed by itself
  try {
    PlaceInput(clipboard, options);
  } catch (const TallowinError& e) {
    std::fprintf(stderr, "tallowin apply: %s\n", e.what());
    return 1;
  }
  core.state.captureActive = true;
  std::string programFolder;
  try {
    programFolder = StartProgramFolder();
  } catch (const TallowinError& e) {
    std::fprintf(stderr, "tallowin apply: %s\n", e.what());
    return 1;
  }
  core.FinishStartup(Utf8ToUtf16(programFolder));
  // As the program's first showing does with the configurations named on its
  // command line; there is no window, so the geometry stays in the settings.
  const ConfigurationWindow noWindow = WindowlessConfigurationTarget(core);
  for (const std::string& config : options.configs) {
    std::error_code ec;
    // A missing file would change nothing; as in `run`, it deserves a word.
    if (!std::filesystem::is_regular_file(config, ec)) {
      std::fprintf(stderr, "tallowin apply: warning: configuration %s not found\n", config.c_str());
      continue;
    }
    KonfigurationLaden(core.settings, config, true, noWindow);
  }
  for (const std::string& assignment : options.assignments) {
    const std::string error = ApplySettingAssignment(core.settings, assignment);
    if (!error.empty()) {
      std::fprintf(stderr, "tallowin apply: --set: %s\n", error.c_str());
      return 2;
    }
  }
  if (options.writeConfig) {
    try {
      KonfigurationSpeichern(core.settings, *options.writeConfig, noWindow);
    } catch (const TallowinError& e) {
      std::fprintf(stderr, "%s\n", e.what());
      return 1;
    }
  }
  for (ReplacementRow& row : options.rows) core.replacementTable.AppendRow(std::move(row));
  core.onRegexError = [](std::u16string_view message) {
    std::fprintf(stderr, "%s\n", Utf16ToUtf8(message).c_str());
  };

  std::string result;
  try {
    core.pipeline->ProcessClipboardChange();
    result = FinalContent(clipboard);
    if (options.output && *options.output != "-") {
      WriteOutputFile(result, *options.output);
      return 0;
    }
  } catch (const TallowinError& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return WriteStandardOutput(result, "tallowin apply") ? 0 : 1;
}

}  // namespace

int RunApplyCommand(const std::vector<std::string>& args) {
  // An input or result too large for memory ends the command with a message,
  // not with an abort.
  try {
    return RunApply(args);
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "tallowin apply: not enough memory\n");
  } catch (const std::length_error&) {
    std::fprintf(stderr, "tallowin apply: not enough memory\n");
  }
  return 1;
}

}  // namespace tallowin
