#include "clipboard/format_inspection.h"

#include <string_view>

#include "base/errors.h"
#include "base/cp1252.h"

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

FormatValue::FormatValue(std::u16string text) : text_(MakeSharedText(std::move(text))) {}

FormatValue FormatValue::Utf16(SharedText text) {
  FormatValue value;
  value.text_ = std::move(text);
  return value;
}

FormatValue FormatValue::EightBit(SharedBytes block) {
  FormatValue value;
  value.block_ = std::move(block);
  return value;
}

const std::u16string& FormatValue::Text() const {
  if (!text_) {
    text_ = MakeSharedText(block_ ? DecodeCp1252(*block_) : std::u16string());
    block_.reset();  // decoded once: the raw block is no longer needed
  }
  return *text_;
}

std::u16string FormatValue::Prefix(std::size_t units) const {
  if (text_) return text_->substr(0, units);
  if (!block_) return {};
  return DecodeCp1252(std::string_view(*block_).substr(0, units));  // one unit per byte
}

std::size_t FormatValue::Size() const {
  if (text_) return text_->size();
  return block_ ? block_->size() : 0;
}

FormatValue ReadFormatValue(Clipboard& clipboard, FormatNumber format, ValueReading reading) {
  if (reading == ValueReading::Utf16) {
    SharedText text = clipboard.FormatText(format);
    return text ? FormatValue::Utf16(std::move(text)) : FormatValue();
  }
  SharedBytes block = clipboard.FormatBytes(format);
  if (!block || block->empty()) return FormatValue();
  return FormatValue::EightBit(std::move(block));
}

std::u16string ClipboardFormatValue(Clipboard& clipboard, FormatNumber format, ValueReading reading) {
  return ReadFormatValue(clipboard, format, reading).Text();
}

std::u16string OneLineText(std::u16string_view text) {
  static constexpr char16_t kHex[] = u"0123456789ABCDEF";
  std::u16string shown;
  shown.reserve(text.size());
  for (char16_t unit : text) {
    const bool control = unit < 0x20 || (unit >= 0x7F && unit < 0xA0);
    if (unit == u'\\') {
      shown += u"\\\\";
    } else if (control) {
      shown += {u'\\', u'x', kHex[unit >> 4], kHex[unit & 0xF]};
    } else if (unit == 0x2028 || unit == 0x2029) {
      shown += {u'\\', u'u', u'2', u'0', u'2', kHex[unit & 0xF]};
    } else {
      shown += unit;
    }
  }
  return shown;
}

}  // namespace tallowin
