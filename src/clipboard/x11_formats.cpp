#include "clipboard/x11_formats.h"

#include <algorithm>

#include "base/utf.h"

namespace tallowin {
namespace {


SharedBytes Bytes(const std::vector<std::uint8_t>& v, bool terminate = false) {
  auto bytes = std::make_shared<std::string>();
  bytes->reserve(v.size() + (terminate ? 1 : 0));
  bytes->assign(v.begin(), v.end());
  if (terminate) bytes->push_back('\0');
  return bytes;
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

const TextTargetRule& X11TextTargets() {
  static const TextTargetRule rule{{"UTF8_STRING", "text/plain;charset=utf-8"}, {"STRING"}};
  return rule;
}

const TextTargetRule& MimeTextTargets() {
  static const TextTargetRule rule{{"text/plain;charset=utf-8", "UTF8_STRING"}, {"text/plain", "STRING"}};
  return rule;
}

const std::string* UnicodeTextTarget(const std::vector<std::string>& targets, const TextTargetRule& rule) {
  for (const std::string& preferred : rule.unicode) {
    for (const std::string& target : targets) {
      if (target == preferred) return &target;
    }
  }
  return nullptr;
}

const std::string* PictureTarget(const std::set<std::string>& decodableImages, const std::vector<std::string>& targets,
                                 const std::map<std::string, std::vector<std::uint8_t>>& data) {
  for (const std::string& target : targets) {
    if (decodableImages.contains(target) && data.count(target) != 0) return &target;
  }
  return nullptr;
}

ClipboardContent ContentFromTargets(TargetFormatRegistry& registry, const std::vector<std::string>& targets,
                                    const std::map<std::string, std::vector<std::uint8_t>>& data,
                                    SharedText decodedText, const TextTargetRule& rule,
                                    const SharedTargetBytes& ready) {
  const std::string* unicodeTarget = UnicodeTextTarget(targets, rule);
  const std::string* pictureTarget = PictureTarget(registry.DecodableImages(), targets, data);
  ClipboardContent content;
  for (const std::string& target : targets) {
    if (registry.IsDecodableImage(target)) {
      if (!content.Has(kFormatBitmap)) content.formats.push_back(kFormatBitmap);
      if (pictureTarget && target == *pictureTarget && !content.encodedImage) {
        content.encodedImage = ready.bytes && ready.target == target ? ready.bytes : Bytes(data.at(target));
      }
      continue;
    }
    FormatNumber number;
    if (unicodeTarget && target == *unicodeTarget) {
      number = kFormatUnicodeText;
    } else if (std::find(rule.eightBit.begin(), rule.eightBit.end(), target) != rule.eightBit.end()) {
      number = kFormatText;
    } else {
      number = registry.NumberFor(target);
    }
    if (content.Has(number)) continue;
    content.formats.push_back(number);
    auto it = data.find(target);
    if (it == data.end()) continue;
    if (number == kFormatUnicodeText) {
      content.text = decodedText ? std::move(decodedText) : DecodeUnicodeText(it->second);
    } else {
      content.blocks[number] = Bytes(it->second, number == kFormatText);
    }
  }
  return content;
}

SharedBytes SharedTargetData(const std::map<std::string, std::vector<std::uint8_t>>& data, const std::string& target) {
  auto it = data.find(target);
  return it == data.end() ? nullptr : Bytes(it->second);
}

SharedText DecodeUnicodeText(const std::vector<std::uint8_t>& utf8) {
  return MakeSharedText(Utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(utf8.data()), utf8.size())));
}

ClipboardContent TextContent(SharedText text) {
  ClipboardContent content;
  content.formats = {kFormatText, kFormatUnicodeText};
  content.text = std::move(text);
  content.ansiFromText = true;
  return content;
}

}  // namespace tallowin
