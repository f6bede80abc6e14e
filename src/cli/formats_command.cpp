#include <cstdio>
#include <cstdlib>
#include <memory>
#include <set>
#include <string>

#include "base/errors.h"
#include "cli/checked_output.h"
#include "cli/command_line.h"
#include "clipboard/content_clipboard.h"
#include "clipboard/format_inspection.h"
#include "base/utf.h"
#include "backends/x11_clipboard.h"
#include "x11/x11_clipboard_reader.h"
#include "wayland/backend_choice.h"
#include "wayland/data_control.h"

namespace tallowin {
namespace {

// UTF-8, one line per row as the details list shows it (OneLineText).
std::string Printable(std::u16string_view text) { return Utf16ToUtf8(OneLineText(text)); }

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

namespace {

// The numbered content of the Wayland selection, read on the connection's
// worker under the bounds of every read of the program.
void ReadWaylandContent(WaylandDataControl& connection, ContentClipboard& clipboard, const X11ReadPlan& x11Plan) {
  connection.Start({});
  WaylandReadPlan plan;
  plan.oneImage = false;  // the picture shows as an empty BITMAP row; its bytes are not needed
  plan.decodableImages = x11Plan.decodableImages;
  const WaylandSnapshot snapshot = connection.ReadSnapshot(plan);
  if (snapshot.ownerAnswered) {
    clipboard.SetContent(
        ContentFromTargets(clipboard.Registry(), snapshot.types, snapshot.data, nullptr, MimeTextTargets()));
  }
}

}  // namespace

int RunFormatsCommand(const std::vector<std::string>& args) {
  ClipboardChoice choice = ClipboardChoice::kAuto;
  for (const std::string& arg : args) {
    const ClipboardArgument clipboard = ReadClipboardArgument(arg);
    if (!clipboard.choice) {
      std::fprintf(stderr, "tallowin formats: unknown %s %s\n%s", clipboard.given ? "clipboard" : "argument",
                   arg.c_str(), UsageText().c_str());
      return 2;
    }
    choice = *clipboard.choice;
  }
  const char* waylandDisplay = std::getenv("WAYLAND_DISPLAY");
  std::unique_ptr<WaylandDataControl> connection;
  const BackendDecision decision =
      DecideClipboardBackend(choice, waylandDisplay && *waylandDisplay, [&connection]() -> std::string {
        connection = std::make_unique<WaylandDataControl>();
        return connection->Protocol() == DataControlProtocol::kNone ? connection->Problem() : std::string();
      });
  if (!decision.error.empty()) {
    std::fprintf(stderr, "tallowin formats: %s\n", decision.error.c_str());
    return 1;
  }
  if (!decision.notice.empty()) std::fprintf(stderr, "tallowin formats: %s\n", decision.notice.c_str());

  X11ReadPlan plan;
  plan.oneImage = false;  // the picture shows as an empty BITMAP row; its bytes are not needed
  plan.decodableImages = DecodableImageTargets();
  ContentClipboard clipboard;
  clipboard.Registry().SetDecodableImages(
      std::set<std::string>(plan.decodableImages.begin(), plan.decodableImages.end()));
  if (decision.kind == ClipboardBackendKind::kWayland) {
    ReadWaylandContent(*connection, clipboard, plan);
  } else {
    X11ClipboardReader reader;
    if (!reader.Connected()) {
      std::fprintf(stderr, "tallowin formats: cannot connect to the X display\n");
      return 1;
    }
    // Bounded as a whole by the reader's read limit, like every read of the program.
    const X11ClipboardSnapshot snapshot = reader.ReadSnapshot(plan);
    if (snapshot.ownerAnswered) {
      clipboard.SetContent(ContentFromTargets(clipboard.Registry(), snapshot.targets, snapshot.data));
    }
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
