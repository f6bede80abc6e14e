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
#include <memory>
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
  const std::set<std::string>& DecodableImages() const { return decodableImages_; }

 private:
  std::set<std::string> decodableImages_;
  std::map<std::string, FormatNumber> numbers_;
  std::map<FormatNumber, std::string> names_;
  FormatNumber next_ = kFirstRegisteredFormat;
};

// One clipboard content by format number, the way Clipboard presents it.
struct ClipboardContent {
  std::vector<FormatNumber> formats;          // owner's order
  // Raw blocks of the formats other than 13; format 1 as the 8-bit text and
  // the zero byte that ends an 8-bit block.
  std::map<FormatNumber, SharedBytes> blocks;
  // Format 13, decoded once: the whole text of the target, which carries its
  // length, zero units included. Its block (UTF-16LE of the whole text, without
  // a terminator) is made only when someone asks for the raw bytes.
  SharedText text;
  // Format 1 is the Windows-1252 encoding of `text` (our own writes), made on request.
  bool ansiFromText = false;
  SharedBytes encodedImage;  // the picture's file bytes (PNG, BMP, ...) when format 2 is listed
  // The picture decoded ahead of the pass (off the GUI thread), when it was.
  std::shared_ptr<const RasterImage> decodedImage;

  bool Has(FormatNumber f) const;
};

// Which targets carry text: the first of `unicode` that is offered (in this
// order of preference) is format 13, every one of `eightBit` is format 1.
struct TextTargetRule {
  std::vector<std::string> unicode;
  std::vector<std::string> eightBit;
};
// X11: UTF8_STRING, else text/plain;charset=utf-8; STRING.
const TextTargetRule& X11TextTargets();
// A selection of MIME types (Wayland): text/plain;charset=utf-8, else
// UTF8_STRING; text/plain without a charset and STRING.
const TextTargetRule& MimeTextTargets();

// The target whose UTF-8 text becomes format 13 under `rule`; null when none is offered.
const std::string* UnicodeTextTarget(const std::vector<std::string>& targets,
                                     const TextTargetRule& rule = X11TextTargets());
// The target whose bytes are the picture: the first of `decodableImages`
// present in `data`.
const std::string* PictureTarget(const std::set<std::string>& decodableImages, const std::vector<std::string>& targets,
                                 const std::map<std::string, std::vector<std::uint8_t>>& data);

// The UTF-16 text of a UTF-8 target.
SharedText DecodeUnicodeText(const std::vector<std::uint8_t>& utf8);

// Builds the numbered content from the owner's targets (meta targets already
// left out) and the bytes read for them (targets that could not be read are
// absent from `data`). The picture is PictureTarget's for the registry's
// decodable images. `decodedText`, when given, is the UnicodeTextTarget's bytes
// already decoded to UTF-16 (a reader decodes on its own thread); otherwise
// they are decoded here.
//
// `ready`: a target's bytes already copied into shared form (a reader does that
// on its own thread for the picture, which can be a hundred megabytes).
struct SharedTargetBytes {
  std::string target;
  SharedBytes bytes;
};
ClipboardContent ContentFromTargets(TargetFormatRegistry& registry, const std::vector<std::string>& targets,
                                    const std::map<std::string, std::vector<std::uint8_t>>& data,
                                    SharedText decodedText = nullptr,
                                    const TextTargetRule& rule = X11TextTargets(),
                                    const SharedTargetBytes& ready = {});
// The bytes of `target` in `data` in shared form (null when absent).
SharedBytes SharedTargetData(const std::map<std::string, std::vector<std::uint8_t>>& data, const std::string& target);

// The content our own text write places: formats 1 and 13, sharing `text`.
ClipboardContent TextContent(SharedText text);

}  // namespace tallowin
