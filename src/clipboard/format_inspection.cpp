#include "clipboard/format_inspection.h"

#include <string_view>

#include "app/errors.h"
#include "text/cp1252.h"

namespace tallowin {
namespace {

std::string_view PredefinedName(FormatNumber f) {
  static constexpr std::string_view kLow[] = {"",         "TEXT",    "BITMAP", "METAFILEPICT", "SYLK", "DIF",
                                              "TIFF",     "OEMTEXT", "DIB",    "PALETTE",      "PENDATA", "RIFF",
                                              "WAVE",     "UNICODETEXT", "ENHMETAFILE", "HDROP", "LOCALE", "MAX"};
  if (f >= 1 && f <= 17) return kLow[f];
  switch (f) {
    case 128: return "OWNERDISPLAY";
    case 129: return "DSPTEXT";
    case 130: return "DSPBITMAP";
    case 131: return "DSPMETAFILEPICT";
    case 142: return "DSPENHMETAFILE";
    default: break;
  }
  if (f >= 512 && f <= 767) return "PRIVATE";
  if (f >= 768 && f <= 1023) return "GDIOBJ";
  return {};
}

// A number with neither a predefined nor a registered name. No system call
// failed here, so there is no system error number to report.
[[noreturn]] void RaiseUnknownFormat() { throw TallowinError("A call to an OS function failed"); }

}  // namespace

std::u16string ClipboardFormatName(Clipboard& clipboard, FormatNumber format) {
  std::string name(PredefinedName(format));
  if (name.empty()) {
    std::optional<std::string> registered = clipboard.RegisteredFormatName(format);
    if (!registered || registered->empty()) RaiseUnknownFormat();
    name = registered->substr(0, 255);
  }
  return DecodeCp1252(name);
}

std::u16string ClipboardFormatValue(Clipboard& clipboard, FormatNumber format, ValueReading reading) {
  const std::optional<std::string> block = clipboard.FormatBytes(format);
  if (!block || block->empty()) return {};
  if (reading == ValueReading::EightBit) return DecodeCp1252(*block);
  return Utf16BlockText(*block, clipboard.UnicodeBlockExtent());
}

}  // namespace tallowin
