#include <cstdio>
#include <set>
#include <string>

#include "base/errors.h"
#include "cli/checked_output.h"
#include "cli/command_line.h"
#include "clipboard/content_clipboard.h"
#include "clipboard/format_inspection.h"
#include "base/utf.h"
#include "ui/x11_clipboard.h"
#include "x11/x11_clipboard_reader.h"

namespace tallowin {
namespace {

// UTF-8 with every control character shown as \xNN, so one row stays one line.
std::string Printable(std::u16string_view text) {
  std::string out;
  for (char16_t unit : text) {
    if (unit < 0x20 || unit == 0x7F || (unit >= 0x80 && unit < 0xA0) || unit == u'\\') {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned>(unit));
      out += unit == u'\\' ? std::string("\\\\") : std::string(escape);
    } else {
      out += Utf16ToUtf8(std::u16string_view(&unit, 1));
    }
  }
  return out;
}

}  // namespace

std::string DetailsLines(Clipboard& clipboard) {
  std::string lines;
  const int count = clipboard.CountFormats();
  for (int i = 0; i < count; ++i) {
    const FormatNumber f = clipboard.FormatAt(i);
    const ValueReading reading = IsUtf16Format(f) ? ValueReading::Utf16 : ValueReading::EightBit;
    lines += Printable(ClipboardFormatName(clipboard, f)) + "\t" + std::to_string(f) + "\t" +
             Printable(ClipboardFormatValue(clipboard, f, reading)) + "\n";
  }
  return lines;
}

int RunFormatsCommand(const std::vector<std::string>& args) {
  if (!args.empty()) {
    std::fprintf(stderr, "tallowin formats: takes no arguments\n%s", UsageText().c_str());
    return 2;
  }
  X11ClipboardReader reader;
  if (!reader.Connected()) {
    std::fprintf(stderr, "tallowin formats: cannot connect to the X display\n");
    return 1;
  }
  X11ReadPlan plan;
  plan.oneImage = false;  // the picture shows as an empty BITMAP row; its bytes are not needed
  plan.decodableImages = DecodableImageTargets();
  // Bounded as a whole by the reader's read limit, like every read of the program.
  const X11ClipboardSnapshot snapshot = reader.ReadSnapshot(plan);
  ContentClipboard clipboard;
  clipboard.Registry().SetDecodableImages(
      std::set<std::string>(plan.decodableImages.begin(), plan.decodableImages.end()));
  if (snapshot.ownerAnswered) {
    clipboard.SetContent(ContentFromTargets(clipboard.Registry(), snapshot.targets, snapshot.data));
  }
  std::string lines;
  try {
    lines = DetailsLines(clipboard);
  } catch (const TallowinError& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return WriteStandardOutput(lines, "tallowin formats") ? 0 : 1;
}

}  // namespace tallowin
