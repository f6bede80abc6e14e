#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QImage>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>

#include "app/errors.h"
#include "app/program_core.h"
#include "app/program_folder.h"
#include "cli/command_line.h"
#include "clipboard/content_clipboard.h"
#include "text/utf.h"
#include "ui/raster_qimage.h"

namespace tallowin {
namespace {

struct ApplyOptions {
  std::vector<std::string> configs;
  std::vector<std::string> assignments;
  std::vector<ReplacementRow> rows;
  bool image = false;
  std::optional<std::string> output;
  std::optional<std::string> input;
};

class UsageError : public std::runtime_error {
  using std::runtime_error::runtime_error;
};

ApplyOptions ParseApplyArguments(const std::vector<std::string>& args) {
  ApplyOptions o;
  auto value = [&](std::size_t& i, const std::string& flag) -> const std::string& {
    if (i + 1 >= args.size()) throw UsageError(flag + " needs a value");
    return args[++i];
  };
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--config") {
      o.configs.push_back(value(i, a));
    } else if (a == "--set") {
      o.assignments.push_back(value(i, a));
    } else if (a == "--row") {
      if (i + 3 >= args.size()) throw UsageError("--row needs SEARCH REPLACE MARKER");
      o.rows.push_back({Utf8ToUtf16(args[i + 1]), Utf8ToUtf16(args[i + 2]), Utf8ToUtf16(args[i + 3])});
      i += 3;
    } else if (a == "--image") {
      o.image = true;
    } else if (a == "--output") {
      o.output = value(i, a);
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

std::string ReadAll(const std::optional<std::string>& path) {
  if (!path || *path == "-") {
    return std::string(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
  }
  std::ifstream in(*path, std::ios::binary);
  if (!in) throw TallowinError("Cannot open file \"" + *path + "\"");
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
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

void WriteOutput(const std::string& bytes, const std::optional<std::string>& output) {
  if (!output || *output == "-") {
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    std::fflush(stdout);
    return;
  }
  std::ofstream out(*output, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out.flush()) throw TallowinError("Cannot write \"" + *output + "\"");
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

std::string ExecutableFolder() {
  std::error_code ec;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : exe.parent_path().string();
}

}  // namespace

int RunApplyCommand(const std::vector<std::string>& args) {
  ApplyOptions options;
  try {
    options = ParseApplyArguments(args);
  } catch (const UsageError& e) {
    std::fprintf(stderr, "tallowin apply: %s\n%s", e.what(), UsageText().c_str());
    return 2;
  }
  if (!options.configs.empty()) {
    std::fprintf(stderr, "tallowin apply: --config is not available in this version\n");
    return 2;
  }

  ContentClipboard clipboard;
  const Language language = GermanMarkerPresent(".") ? Language::German : Language::English;
  ProgramCore core(clipboard, language);
  core.state.captureActive = false;  // the input is placed before the pass, not processed by itself
  try {
    PlaceInput(clipboard, options);
  } catch (const TallowinError& e) {
    std::fprintf(stderr, "tallowin apply: %s\n", e.what());
    return 1;
  }
  core.state.captureActive = true;
  core.FinishStartup(Utf8ToUtf16(ResolveProgramFolder(ExecutableFolder())));
  for (const std::string& assignment : options.assignments) {
    const std::string error = ApplySettingAssignment(core.settings, assignment);
    if (!error.empty()) {
      std::fprintf(stderr, "tallowin apply: --set: %s\n", error.c_str());
      return 2;
    }
  }
  for (ReplacementRow& row : options.rows) core.replacementTable.AppendRow(std::move(row));
  core.onRegexError = [](std::u16string_view message) {
    std::fprintf(stderr, "%s\n", Utf16ToUtf8(message).c_str());
  };

  try {
    core.pipeline->ProcessClipboardChange();
    WriteOutput(FinalContent(clipboard), options.output);
  } catch (const TallowinError& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}

}  // namespace tallowin
