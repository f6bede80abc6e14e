#include "clipboard/x11_formats.h"

#include <algorithm>

#include "text/utf.h"

namespace tallowin {
namespace {

constexpr char kUtf8Target[] = "UTF8_STRING";
constexpr char kUtf8MimeTarget[] = "text/plain;charset=utf-8";
constexpr char kLatin1Target[] = "STRING";

std::string Bytes(const std::vector<std::uint8_t>& v) { return std::string(v.begin(), v.end()); }

// A selection's text carries its length: no terminator, so a zero unit inside is text.
std::string WholeUnicodeBlock(std::u16string_view text) {
  std::string block = UnicodeTextBlock(text);
  block.resize(block.size() - 2);
  return block;
}

}  // namespace

FormatNumber TargetFormatRegistry::NumberFor(const std::string& target) {
  auto it = numbers_.find(target);
  if (it != numbers_.end()) return it->second;
  // The 16-bit space above 49152 holds 16384 names; a process that sees more
  // reuses the last number rather than wrapping into the predefined range.
  const FormatNumber number = next_;
  if (next_ < 0xFFFF) ++next_;
  numbers_.emplace(target, number);
  names_.emplace(number, target);
  return number;
}

std::optional<std::string> TargetFormatRegistry::NameOf(FormatNumber number) const {
  auto it = names_.find(number);
  if (it == names_.end()) return std::nullopt;
  return it->second;
}

bool ClipboardContent::Has(FormatNumber f) const {
  return std::find(formats.begin(), formats.end(), f) != formats.end();
}

ClipboardContent ContentFromTargets(TargetFormatRegistry& registry, const std::vector<std::string>& targets,
                                    const std::map<std::string, std::vector<std::uint8_t>>& data) {
  const bool hasUtf8 = std::find(targets.begin(), targets.end(), kUtf8Target) != targets.end();
  ClipboardContent content;
  for (const std::string& target : targets) {
    if (registry.IsDecodableImage(target)) {
      if (!content.Has(kFormatBitmap)) content.formats.push_back(kFormatBitmap);
      auto it = data.find(target);
      if (content.encodedImage.empty() && it != data.end()) {
        content.encodedImage = Bytes(it->second);
      }
      continue;
    }
    FormatNumber number;
    if (target == kUtf8Target || (!hasUtf8 && target == kUtf8MimeTarget)) {
      number = kFormatUnicodeText;
    } else if (target == kLatin1Target) {
      number = kFormatText;
    } else {
      number = registry.NumberFor(target);
    }
    if (content.Has(number)) continue;
    content.formats.push_back(number);
    auto it = data.find(target);
    if (it == data.end()) continue;
    if (number == kFormatUnicodeText) {
      content.blocks[number] = WholeUnicodeBlock(Utf8ToUtf16(Bytes(it->second)));
    } else if (number == kFormatText) {
      content.blocks[number] = Bytes(it->second) + '\0';
    } else {
      content.blocks[number] = Bytes(it->second);
    }
  }
  return content;
}

ClipboardContent TextContent(std::u16string_view text) {
  ClipboardContent content;
  content.formats = {kFormatText, kFormatUnicodeText};
  content.blocks[kFormatText] = AnsiTextBlock(text);
  content.blocks[kFormatUnicodeText] = WholeUnicodeBlock(text);
  return content;
}

}  // namespace tallowin
