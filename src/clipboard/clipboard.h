#pragma once
// The clipboard as the capture pipeline sees it: a walk over numbered formats,
// the raw block of a format, and the four transfers. A write replaces the whole
// content and causes exactly one change notification, delivered through the
// change handler on the thread that owns the views (possibly while the write is
// still in progress, so callers raise CaptureSuppressCounter before writing).

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "base/raster_image.h"

namespace tallowin {

using FormatNumber = std::uint16_t;

// Clipboard content is shared, never copied: a multi-megabyte text arrives once
// and the views, the details list and the history hold the same buffer.
using SharedBytes = std::shared_ptr<const std::string>;
using SharedText = std::shared_ptr<const std::u16string>;

inline SharedText MakeSharedText(std::u16string text) {
  return std::make_shared<const std::u16string>(std::move(text));
}

inline constexpr FormatNumber kFormatText = 1;          // 8-bit text, Windows-1252, zero-terminated
inline constexpr FormatNumber kFormatBitmap = 2;        // picture (a handle: no byte block)
inline constexpr FormatNumber kFormatPalette = 9;       // accompanies a palette bitmap
inline constexpr FormatNumber kFormatUnicodeText = 13;  // UTF-16LE, zero-terminated
inline constexpr FormatNumber kFirstRegisteredFormat = 0xC000;

inline constexpr char kCannotOpenClipboard[] = "Cannot open clipboard";
inline constexpr char kUnsupportedClipboardFormat[] = "Unsupported clipboard format";

// Where the text of a UTF-16 block ends. A Windows-style block ends with a zero
// unit and its text is what comes before the first one; a selection target
// carries its length, so all of it is text, zero units included.
enum class TextExtent { kUpToFirstZero, kWholeBlock };

class Clipboard {
 public:
  virtual ~Clipboard() = default;

  // Number of formats now on the clipboard; the count taken before a walk is used for the whole walk.
  virtual int CountFormats() = 0;
  // Format at `index` (from 0) in the owner's order; 0 beyond the last.
  virtual FormatNumber FormatAt(int index) = 0;
  // The whole memory block of `format`; null when the format is absent, cannot
  // be rendered, or is held as a handle (bitmap, palette). Raises
  // TallowinError(kCannotOpenClipboard) when the clipboard cannot be opened.
  virtual SharedBytes FormatBytes(FormatNumber format) = 0;
  // The UTF-16 reading of `format`: its block's text as UnicodeBlockExtent()
  // says. Null when the format has no block or an empty one. A backend that holds the text
  // already decoded returns that buffer itself.
  virtual SharedText FormatText(FormatNumber format);
  // The registered name of a format numbered from kFirstRegisteredFormat up; std::nullopt when unknown.
  virtual std::optional<std::string> RegisteredFormatName(FormatNumber format) = 0;

  // How this clipboard's UTF-16 blocks (13, 49159) are read as text.
  virtual TextExtent UnicodeBlockExtent() const { return TextExtent::kUpToFirstZero; }

  // The text of format 13 (see UnicodeBlockExtent); when that is absent or
  // empty, format 1 decoded from Windows-1252. Empty (never null) when there is
  // no text; never an error.
  virtual SharedText ReadSharedText() = 0;
  std::u16string ReadText() { return *ReadSharedText(); }
  // Replaces the content by `text` as formats 1 and 13; one notification. The
  // clipboard may keep the buffer.
  virtual void WriteText(SharedText text) = 0;
  void WriteText(std::u16string_view text) { WriteText(MakeSharedText(std::u16string(text))); }
  // A 32-bit copy of the clipboard's picture. Raises TallowinError(kUnsupportedClipboardFormat)
  // when there is none or it cannot be read.
  virtual RasterImage ReadBitmap() = 0;
  // The clipboard's picture itself, shared, not copied; the same errors as ReadBitmap.
  virtual SharedRaster ReadSharedBitmap() { return std::make_shared<const RasterImage>(ReadBitmap()); }
  // Replaces the content by `image`; one notification. The caller keeps its image.
  virtual void WriteBitmap(const RasterImage& image) = 0;

  // A picture on its way to the clipboard, with what the clipboard will hand
  // out made ahead (an encoded file, say). PrepareBitmap touches nothing of the
  // clipboard and may run on any thread, so that work need not hold up the
  // thread of the views; it raises std::bad_alloc when the memory cannot be
  // had. WritePreparedBitmap then writes the picture like WriteBitmap, on the
  // clipboard's own thread, and keeps the picture without copying it.
  struct PreparedBitmap {
    SharedRaster picture;
    std::shared_ptr<const void> made;  // the backend's own form, or null
  };
  virtual PreparedBitmap PrepareBitmap(SharedRaster picture) const { return {std::move(picture), nullptr}; }
  virtual void WritePreparedBitmap(const PreparedBitmap& bitmap) { WriteBitmap(*bitmap.picture); }

  // Called once per change of the content.
  void SetChangeHandler(std::function<void()> handler) { changeHandler_ = std::move(handler); }
  // A backend may deliver a change once the formats a pass works on are read
  // (the text, the picture, the password hint) and read the others after it.
  // Then this is called, after that change's notification has returned, with
  // `whole`: that content with the values of all its formats (also when a
  // write has replaced it since).
  void SetLateValuesHandler(std::function<void(Clipboard& whole)> handler) { lateValuesHandler_ = std::move(handler); }

 protected:
  void NotifyChanged() {
    if (changeHandler_) changeHandler_();
  }
  void NotifyLateValues(Clipboard& whole) {
    if (lateValuesHandler_) lateValuesHandler_(whole);
  }

 private:
  std::function<void()> changeHandler_;
  std::function<void(Clipboard&)> lateValuesHandler_;
};

// The text rule of ReadText over two raw blocks (either may be null), for
// Windows-style blocks that end at their first zero.
std::u16string TextFromBlocks(const SharedBytes& unicodeBlock, const SharedBytes& ansiBlock);
// The UTF-16LE text of `block` under `extent` (an odd last byte is ignored).
std::u16string Utf16BlockText(std::string_view block, TextExtent extent);
// A UTF-16LE block up to its first zero unit.
std::u16string Utf16UpToZero(std::string_view block);
// The zero-terminated blocks WriteText places: format 13 (UTF-16LE) and format 1 (Windows-1252).
std::string UnicodeTextBlock(std::u16string_view text);
std::string AnsiTextBlock(std::u16string_view text);

// The four transfers under the names the rest of the program uses.
inline SharedText ReadClipboardText(Clipboard& c) { return c.ReadSharedText(); }
inline void WriteClipboardText(Clipboard& c, SharedText text) { c.WriteText(std::move(text)); }
inline void WriteClipboardText(Clipboard& c, std::u16string_view text) { c.WriteText(text); }
inline RasterImage ReadClipboardBitmap(Clipboard& c) { return c.ReadBitmap(); }
inline void WriteClipboardBitmap(Clipboard& c, const RasterImage& image) { c.WriteBitmap(image); }

}  // namespace tallowin
