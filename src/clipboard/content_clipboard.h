#pragma once
// A clipboard whose content is held in memory as numbered formats: the view of a
// selection snapshot. Reads never fail; a write replaces the whole content and
// notifies once. A selection's text carries its length, so the whole block is
// the text, zero units included. Backends that talk to a real clipboard derive from it and
// override the writes and the picture decoding.

#include "clipboard/clipboard.h"
#include "clipboard/x11_formats.h"

namespace tallowin {

class ContentClipboard : public Clipboard {
 public:
  int CountFormats() override;
  FormatNumber FormatAt(int index) override;
  SharedBytes FormatBytes(FormatNumber format) override;
  // Format 13 is the decoded text itself, shared.
  SharedText FormatText(FormatNumber format) override;
  std::optional<std::string> RegisteredFormatName(FormatNumber format) override;
  TextExtent UnicodeBlockExtent() const override { return TextExtent::kWholeBlock; }
  SharedText ReadSharedText() override;
  // The core has no picture decoder: raises kUnsupportedClipboardFormat unless a
  // picture was written or placed decoded (a derived backend decodes encodedImage).
  RasterImage ReadBitmap() override;
  SharedRaster ReadSharedBitmap() override;
  using Clipboard::WriteText;
  void WriteText(SharedText text) override;
  void WriteBitmap(const RasterImage& image) override;
  void WritePreparedBitmap(const PreparedBitmap& bitmap) override;

  // Replaces the content without a notification (the caller decides when the change is delivered).
  void SetContent(ClipboardContent content);
  const ClipboardContent& Content() const { return content_; }
  TargetFormatRegistry& Registry() { return registry_; }

 protected:
  // Every change of content_ goes through here.
  void ReplaceContent(ClipboardContent content);
  SharedRaster writtenImage_;  // a picture we placed ourselves

 private:
  // Format 13 read under UnicodeBlockExtent(): the text itself, unless the
  // extent ends it at a first zero unit that it holds. Found once per content,
  // not on every reading.
  const SharedText& ReadableText();

  ClipboardContent content_;
  SharedText readable_;
  bool readableFound_ = false;
  TargetFormatRegistry registry_;
};

}  // namespace tallowin
