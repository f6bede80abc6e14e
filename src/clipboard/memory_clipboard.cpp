#include "clipboard/memory_clipboard.h"

#include <algorithm>

#include "base/errors.h"

namespace tallowin {
namespace {

// Closes the clipboard on every path out of a transfer, so the open count
// returns to its old value whether the transfer succeeds or raises. The
// notification of a successful write is sent by the explicit Close, outside any
// destructor, because the change handler may raise.
class OpenPeriod {
 public:
  explicit OpenPeriod(MemoryClipboard& c) : c_(c) { c_.Open(); }
  ~OpenPeriod() {
    if (!closed_) c_.Close(MemoryClipboard::CloseMode::Quiet);
  }
  void Close() {
    closed_ = true;
    c_.Close();
  }
  OpenPeriod(const OpenPeriod&) = delete;
  OpenPeriod& operator=(const OpenPeriod&) = delete;

 private:
  MemoryClipboard& c_;
  bool closed_ = false;
};

}  // namespace

int MemoryClipboard::CountFormats() { return static_cast<int>(blocks_.size()); }

FormatNumber MemoryClipboard::FormatAt(int index) {
  OpenPeriod open(*this);
  if (index < 0 || index >= static_cast<int>(blocks_.size())) return 0;
  return blocks_[static_cast<std::size_t>(index)].format;
}

MemoryClipboard::StoredBlock* MemoryClipboard::Find(FormatNumber format) {
  if (format == kFormatBitmap || format == kFormatPalette) return nullptr;
  for (StoredBlock& b : blocks_) {
    if (b.format == format) return &b;
  }
  return nullptr;
}

SharedBytes MemoryClipboard::FormatBytes(FormatNumber format) {
  OpenPeriod open(*this);
  StoredBlock* block = Find(format);
  return block ? block->bytes : nullptr;
}

SharedText MemoryClipboard::FormatText(FormatNumber format) {
  OpenPeriod open(*this);
  StoredBlock* block = Find(format);
  if (!block || block->bytes->empty()) return nullptr;
  if (!block->utf16) block->utf16 = MakeSharedText(Utf16BlockText(*block->bytes, UnicodeBlockExtent()));
  return block->utf16;
}

std::optional<std::string> MemoryClipboard::RegisteredFormatName(FormatNumber format) {
  auto it = registeredNames_.find(format);
  if (it == registeredNames_.end()) return std::nullopt;
  return it->second;
}

SharedText MemoryClipboard::ReadSharedText() {
  SharedText unicode = FormatText(kFormatUnicodeText);
  if (unicode && !unicode->empty()) return unicode;
  return MakeSharedText(TextFromBlocks(nullptr, FormatBytes(kFormatText)));
}

void MemoryClipboard::WriteText(SharedText text) {
  OpenPeriod open(*this);
  SetData(kFormatText, AnsiTextBlock(*text));
  SetData(kFormatUnicodeText, UnicodeTextBlock(*text));
  // The block holds exactly this text when it has no zero unit: its reading is known.
  if (text->find(u'\0') == std::u16string::npos) Find(kFormatUnicodeText)->utf16 = std::move(text);
  open.Close();
}

RasterImage MemoryClipboard::ReadBitmap() {
  OpenPeriod open(*this);
  if (!bitmap_ || !bitmap_->Usable()) throw TallowinError(kUnsupportedClipboardFormat);
  return *bitmap_;
}

void MemoryClipboard::WriteBitmap(const RasterImage& image) {
  OpenPeriod open(*this);
  SetBitmapHandle(image);
  open.Close();
}

void MemoryClipboard::Open() {
  if (heldByOther_) throw TallowinError(kCannotOpenClipboard);
  if (openCount_ == 0) emptiedThisPeriod_ = false;
  ++openCount_;
}

void MemoryClipboard::Close(CloseMode mode) {
  if (openCount_ == 0) return;
  if (--openCount_ == 0 && emptiedThisPeriod_) {
    emptiedThisPeriod_ = false;
    if (mode == CloseMode::Quiet) return;
    ++notifications_;
    NotifyChanged();
  }
}

void MemoryClipboard::EmptyOnce() {
  if (emptiedThisPeriod_) return;
  emptiedThisPeriod_ = true;
  blocks_.clear();
  bitmap_.reset();
}

void MemoryClipboard::SetData(FormatNumber format, std::string bytes) {
  EmptyOnce();
  auto shared = std::make_shared<const std::string>(std::move(bytes));
  auto it =
      std::find_if(blocks_.begin(), blocks_.end(), [format](const StoredBlock& b) { return b.format == format; });
  if (it != blocks_.end()) {
    it->bytes = std::move(shared);
    it->utf16.reset();
  } else {
    blocks_.push_back({format, std::move(shared), nullptr});
  }
}

void MemoryClipboard::SetBitmapHandle(const RasterImage& image) {
  SetData(kFormatBitmap, {});
  bitmap_ = image;
}

void MemoryClipboard::PlaceFromOtherProgram(std::vector<Block> blocks, const RasterImage* image) {
  OpenPeriod open(*this);
  EmptyOnce();
  for (Block& b : blocks) {
    if (b.format == kFormatBitmap && image) {
      SetBitmapHandle(*image);
    } else {
      SetData(b.format, std::move(b.bytes));
    }
  }
  open.Close();
}

void MemoryClipboard::PlaceTextFromOtherProgram(std::u16string_view text) {
  PlaceFromOtherProgram({{kFormatUnicodeText, UnicodeTextBlock(text)}, {kFormatText, AnsiTextBlock(text)}});
}

FormatNumber MemoryClipboard::RegisterFormat(const std::string& name) {
  for (const auto& [number, known] : registeredNames_) {
    if (known == name) return number;
  }
  const FormatNumber number = nextRegistered_++;
  registeredNames_[number] = name;
  return number;
}

}  // namespace tallowin
