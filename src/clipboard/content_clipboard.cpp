#include "clipboard/content_clipboard.h"

#include "app/errors.h"
#include "text/cp1252.h"

namespace tallowin {

int ContentClipboard::CountFormats() { return static_cast<int>(content_.formats.size()); }

FormatNumber ContentClipboard::FormatAt(int index) {
  if (index < 0 || index >= static_cast<int>(content_.formats.size())) return 0;
  return content_.formats[static_cast<std::size_t>(index)];
}

std::optional<std::string> ContentClipboard::FormatBytes(FormatNumber format) {
  auto it = content_.blocks.find(format);
  if (it == content_.blocks.end()) return std::nullopt;
  return it->second;
}

std::optional<std::string> ContentClipboard::RegisteredFormatName(FormatNumber format) {
  return registry_.NameOf(format);
}

std::u16string ContentClipboard::ReadText() {
  if (const auto unicode = FormatBytes(kFormatUnicodeText)) {
    std::u16string text = Utf16BlockText(*unicode, TextExtent::kWholeBlock);
    if (!text.empty()) return text;
  }
  const auto ansi = FormatBytes(kFormatText);
  if (!ansi || ansi->empty()) return {};
  // Format 1 keeps the zero byte that ends an 8-bit block (the details list shows it); the text is all before it.
  return DecodeCp1252(std::string_view(*ansi).substr(0, ansi->size() - 1));
}

RasterImage ContentClipboard::ReadBitmap() {
  if (writtenImage_ && content_.Has(kFormatBitmap)) return *writtenImage_;
  throw TallowinError(kUnsupportedClipboardFormat);
}

void ContentClipboard::WriteText(std::u16string_view text) {
  writtenImage_.reset();
  content_ = TextContent(text);
  NotifyChanged();
}

void ContentClipboard::WriteBitmap(const RasterImage& image) {
  content_ = ClipboardContent{};
  content_.formats = {kFormatBitmap};
  writtenImage_ = image;
  NotifyChanged();
}

void ContentClipboard::SetContent(ClipboardContent content) {
  writtenImage_.reset();
  content_ = std::move(content);
}

}  // namespace tallowin
