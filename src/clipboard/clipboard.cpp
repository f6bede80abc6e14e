#include "clipboard/clipboard.h"

#include "base/cp1252.h"

namespace tallowin {
namespace {

char16_t UnitAt(std::string_view block, std::size_t unit) {
  return static_cast<char16_t>(static_cast<unsigned char>(block[2 * unit]) |
                               (static_cast<unsigned char>(block[2 * unit + 1]) << 8));
}

std::string_view BytesUpToZero(std::string_view block) {
  const std::size_t end = block.find('\0');
  return block.substr(0, end == std::string_view::npos ? block.size() : end);
}

}  // namespace

std::u16string Utf16BlockText(std::string_view block, TextExtent extent) {
  const std::size_t units = block.size() / 2;
  std::size_t length = 0;
  if (extent == TextExtent::kWholeBlock) {
    length = units;
  } else {
    while (length < units && UnitAt(block, length) != 0) ++length;
  }
  std::u16string text(length, u'\0');
  for (std::size_t i = 0; i < length; ++i) text[i] = UnitAt(block, i);
  return text;
}

std::u16string Utf16UpToZero(std::string_view block) { return Utf16BlockText(block, TextExtent::kUpToFirstZero); }

SharedText Clipboard::FormatText(FormatNumber format) {
  const SharedBytes block = FormatBytes(format);
  if (!block || block->empty()) return nullptr;
  return MakeSharedText(Utf16BlockText(*block, UnicodeBlockExtent()));
}

std::u16string TextFromBlocks(const SharedBytes& unicodeBlock, const SharedBytes& ansiBlock) {
  if (unicodeBlock) {
    std::u16string text = Utf16UpToZero(*unicodeBlock);
    if (!text.empty()) return text;
  }
  if (!ansiBlock) return {};
  return DecodeCp1252(BytesUpToZero(*ansiBlock));
}

std::string UnicodeTextBlock(std::u16string_view text) {
  std::string block;
  block.reserve((text.size() + 1) * 2);
  for (char16_t unit : text) {
    block.push_back(static_cast<char>(unit & 0xFF));
    block.push_back(static_cast<char>(unit >> 8));
  }
  block.append(2, '\0');
  return block;
}

std::string AnsiTextBlock(std::u16string_view text) {
  std::string block = EncodeCp1252(text);
  block.push_back('\0');
  return block;
}

}  // namespace tallowin
