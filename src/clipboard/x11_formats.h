#pragma once
// Numbered formats for an X11 selection, whose content is a list of named targets.
//
// UTF8_STRING is format 13 (or text/plain;charset=utf-8 when UTF8_STRING is not
// offered), STRING is format 1, and every image target the program can decode
// (the registry's decodable set) together is format 2, listed once where the
// first of them stands. Every other target, an image type nothing here decodes
// included, gets a number from 49152 up, assigned in order of first sight and
// kept for the life of the registry. Meta targets never reach this code.

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <utility>
#include <string>
#include <vector>

#include "clipboard/clipboard.h"

namespace tallowin {

class TargetFormatRegistry {
 public:
  FormatNumber NumberFor(const std::string& target);
  std::optional<std::string> NameOf(FormatNumber number) const;

  // The image targets (MIME types such as image/png) whose bytes the picture
  // decoder reads; only these make format 2. Empty at first.
  void SetDecodableImages(std::set<std::string> targets) { decodableImages_ = std::move(targets); }
  bool IsDecodableImage(const std::string& target) const { return decodableImages_.contains(target); }

 private:
  std::set<std::string> decodableImages_;
  std::map<std::string, FormatNumber> numbers_;
  std::map<FormatNumber, std::string> names_;
  FormatNumber next_ = kFirstRegisteredFormat;
};

// One clipboard content by format number, the way Clipboard presents it.
struct ClipboardContent {
  std::vector<FormatNumber> formats;          // owner's order
  // Format 13 as UTF-16LE of the whole text, without a terminator; format 1 as
  // the 8-bit text and the zero byte that ends an 8-bit block; others raw.
  std::map<FormatNumber, std::string> blocks;
  std::string encodedImage;                    // the picture's file bytes (PNG, BMP, ...) when format 2 is listed

  bool Has(FormatNumber f) const;
};

// Builds the numbered content from the owner's targets (meta targets already
// left out) and the bytes read for them (targets that could not be read are
// absent from `data`). The picture is the first decodable image target present
// in `data`.
ClipboardContent ContentFromTargets(TargetFormatRegistry& registry, const std::vector<std::string>& targets,
                                    const std::map<std::string, std::vector<std::uint8_t>>& data);

// The content our own text write places: formats 1 and 13.
ClipboardContent TextContent(std::u16string_view text);

}  // namespace tallowin
