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
#include <memory>
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
  std::map<FormatNumber, SharedBytes> blocks;  // raw blocks of the formats other than 13; format 1 zero-terminated
  // Format 13, decoded once. Its block (zero-terminated UTF-16LE) is made only
  // when someone asks for the raw bytes.
  SharedText text;
  // Format 1 is the Windows-1252 encoding of `text` (our own writes), made on request.
  bool ansiFromText = false;
  SharedBytes encodedImage;  // the picture's file bytes (PNG, BMP, ...) when format 2 is listed
  // The picture decoded ahead of the pass (off the GUI thread), when it was.
  std::shared_ptr<const RasterImage> decodedImage;

  bool Has(FormatNumber f) const;
};

bool IsImageTarget(const std::string& target);

// The target whose UTF-8 text becomes format 13: UTF8_STRING, or
// text/plain;charset=utf-8 when UTF8_STRING is not offered; null when neither is.
const std::string* UnicodeTextTarget(const std::vector<std::string>& targets);
// The target whose bytes are the picture: the first image/* target present in `data`.
const std::string* PictureTarget(const std::vector<std::string>& targets,
                                 const std::map<std::string, std::vector<std::uint8_t>>& data);

// The UTF-16 text of a UTF-8 target.
SharedText DecodeUnicodeText(const std::vector<std::uint8_t>& utf8);

// Builds the numbered content from the owner's targets (meta targets already
// left out) and the bytes read for them (targets that could not be read are
// absent from `data`). The picture is PictureTarget's. `decodedText`, when
// given, is the UnicodeTextTarget's bytes already decoded to UTF-16 (a reader
// decodes on its own thread); otherwise they are decoded here.
ClipboardContent ContentFromTargets(TargetFormatRegistry& registry, const std::vector<std::string>& targets,
                                    const std::map<std::string, std::vector<std::uint8_t>>& data,
                                    SharedText decodedText = nullptr);

// The content our own text write places: formats 1 and 13, sharing `text`.
ClipboardContent TextContent(SharedText text);

}  // namespace tallowin
