#pragma once
// Numbered formats for an X11 selection, whose content is a list of named targets.
//
// UTF8_STRING is format 13 (or text/plain;charset=utf-8 when UTF8_STRING is not
// offered), STRING is format 1, and every image/*, PIXMAP and BITMAP target
// together is format 2, listed once where the first of them stands. Every other
// target gets a number from 49152 up, assigned in order of first sight and kept
// for the life of the registry. Meta targets never reach this code.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "clipboard/clipboard.h"

namespace tallowin {

class TargetFormatRegistry {
 public:
  FormatNumber NumberFor(const std::string& target);
  std::optional<std::string> NameOf(FormatNumber number) const;

 private:
  std::map<std::string, FormatNumber> numbers_;
  std::map<FormatNumber, std::string> names_;
  FormatNumber next_ = kFirstRegisteredFormat;
};

// One clipboard content by format number, the way Clipboard presents it.
struct ClipboardContent {
  std::vector<FormatNumber> formats;          // owner's order
  std::map<FormatNumber, std::string> blocks;  // format 13 as zero-terminated UTF-16LE; format 1 zero-terminated
  std::string encodedImage;                    // the picture's file bytes (PNG, BMP, ...) when format 2 is listed

  bool Has(FormatNumber f) const;
};

bool IsImageTarget(const std::string& target);

// Builds the numbered content from the owner's targets (meta targets already
// left out) and the bytes read for them (targets that could not be read are
// absent from `data`). The picture is the first image/* target present in `data`.
ClipboardContent ContentFromTargets(TargetFormatRegistry& registry, const std::vector<std::string>& targets,
                                    const std::map<std::string, std::vector<std::uint8_t>>& data);

// The content our own text write places: formats 1 and 13.
ClipboardContent TextContent(std::u16string_view text);

}  // namespace tallowin
