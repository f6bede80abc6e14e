#include "clipboard/content_clipboard.h"

#include <cstdint>
#include <cstring>

#include "base/errors.h"
#include "base/cp1252.h"

namespace tallowin {
namespace {

// Position of the first zero unit, four units per step: a text of tens of
// megabytes is scanned on the GUI thread once per content.
std::size_t FirstZeroUnit(std::u16string_view text) {
  constexpr std::uint64_t kOnes = 0x0001000100010001ULL;
  constexpr std::uint64_t kHighs = 0x8000800080008000ULL;
  std::size_t i = 0;
  for (; i + 4 <= text.size(); i += 4) {
    std::uint64_t word;
    std::memcpy(&word, text.data() + i, sizeof word);
    if (((word - kOnes) & ~word & kHighs) != 0) break;  // some unit of these four is zero
  }
  for (; i < text.size(); ++i) {
    if (text[i] == u'\0') return i;
  }
  return std::u16string_view::npos;
}

// The block of format 13 as the selection carried it: its length is the text's,
// so it has no terminator and a zero unit inside is text.
std::string UnicodeBlockOf(std::u16string_view text) {
  std::string block = UnicodeTextBlock(text);
  block.resize(block.size() - 2);
  return block;
}

// The text up to its first zero unit, sharing the buffer when there is none.
SharedText UpToZero(const SharedText& text) {
  if (!text) return nullptr;
  const std::size_t zero = FirstZeroUnit(*text);
  if (zero == std::u16string_view::npos) return text;
  return MakeSharedText(text->substr(0, zero));
}

}  // namespace

int ContentClipboard::CountFormats() { return static_cast<int>(content_.formats.size()); }

FormatNumber ContentClipboard::FormatAt(int index) {
  if (index < 0 || index >= static_cast<int>(content_.formats.size())) return 0;
  return content_.formats[static_cast<std::size_t>(index)];
}

SharedBytes ContentClipboard::FormatBytes(FormatNumber format) {
  if (format == kFormatUnicodeText) {
    if (!content_.text) return nullptr;
    return std::make_shared<const std::string>(UnicodeBlockOf(*content_.text));
  }
  if (format == kFormatText && content_.ansiFromText && content_.text) {
    return std::make_shared<const std::string>(AnsiTextBlock(*content_.text));
  }
  auto it = content_.blocks.find(format);
  if (it == content_.blocks.end()) return nullptr;
  return it->second;
}

const SharedText& ContentClipboard::ReadableText() {
  if (!readableFound_) {
    readable_ = UnicodeBlockExtent() == TextExtent::kWholeBlock ? content_.text : UpToZero(content_.text);
    readableFound_ = true;
  }
  return readable_;
}

void ContentClipboard::ReplaceContent(ClipboardContent content) {
  content_ = std::move(content);
  readable_.reset();  // the old text must not outlive its content here
  readableFound_ = false;
}

SharedText ContentClipboard::FormatText(FormatNumber format) {
  if (format != kFormatUnicodeText) return Clipboard::FormatText(format);
  SharedText text = ReadableText();
  if (!text || text->empty()) return nullptr;
  return text;
}

std::optional<std::string> ContentClipboard::RegisteredFormatName(FormatNumber format) {
  return registry_.NameOf(format);
}

SharedText ContentClipboard::ReadSharedText() {
  SharedText unicode = ReadableText();
  if (unicode && !unicode->empty()) return unicode;
  if (content_.ansiFromText) return MakeSharedText({});  // our own write of an empty text
  const SharedBytes ansi = FormatBytes(kFormatText);
  if (!ansi || ansi->empty()) return MakeSharedText({});
  if (UnicodeBlockExtent() == TextExtent::kUpToFirstZero) return MakeSharedText(TextFromBlocks(nullptr, ansi));
  // Format 1 keeps the zero byte that ends an 8-bit block (the details list shows it); the text is all before it.
  return MakeSharedText(DecodeCp1252(std::string_view(*ansi).substr(0, ansi->size() - 1)));
}

RasterImage ContentClipboard::ReadBitmap() { return *ReadSharedBitmap(); }

SharedRaster ContentClipboard::ReadSharedBitmap() {
  if (writtenImage_ && content_.Has(kFormatBitmap)) return writtenImage_;
  if (content_.decodedImage && content_.Has(kFormatBitmap)) return content_.decodedImage;
  throw TallowinError(kUnsupportedClipboardFormat);
}

void ContentClipboard::WriteText(SharedText text) {
  writtenImage_.reset();
  ReplaceContent(TextContent(std::move(text)));
  NotifyChanged();
}

void ContentClipboard::WriteBitmap(const RasterImage& image) {
  // The copy first: when its memory cannot be had, the clipboard keeps what it had.
  WritePreparedBitmap(PrepareBitmap(std::make_shared<const RasterImage>(image)));
}

void ContentClipboard::WritePreparedBitmap(const PreparedBitmap& bitmap) {
  ClipboardContent content;
  content.formats = {kFormatBitmap};
  ReplaceContent(std::move(content));
  writtenImage_ = bitmap.picture;
  NotifyChanged();
}

void ContentClipboard::SetContent(ClipboardContent content) {
  writtenImage_.reset();
  ReplaceContent(std::move(content));
}

}  // namespace tallowin
