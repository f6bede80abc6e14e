#include "clipboard/content_clipboard.h"

#include "app/errors.h"

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
  return TextFromBlocks(FormatBytes(kFormatUnicodeText), FormatBytes(kFormatText));
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
