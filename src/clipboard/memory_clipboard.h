#pragma once
// An in-memory clipboard with the behaviour of a Windows-style clipboard, for
// fast tests of everything above it:
// - opens are counted; only the outermost close ends an open period;
// - the first write of an open period empties the clipboard, later writes add formats;
// - an outermost close after a write notifies the change handler once, synchronously,
//   so the notification arrives while the writer is still inside its write call;
// - formats are listed in the order in which they were placed.
// Another program's writes are simulated with PlaceFromOtherProgram.

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "clipboard/clipboard.h"

namespace tallowin {

class MemoryClipboard : public Clipboard {
 public:
  struct Block {
    FormatNumber format;
    std::string bytes;
  };

  int CountFormats() override;
  FormatNumber FormatAt(int index) override;
  SharedBytes FormatBytes(FormatNumber format) override;
  // Decoded once per placed block and shared by every later reading.
  SharedText FormatText(FormatNumber format) override;
  std::optional<std::string> RegisteredFormatName(FormatNumber format) override;

  SharedText ReadSharedText() override;
  using Clipboard::WriteText;
  void WriteText(SharedText text) override;
  RasterImage ReadBitmap() override;
  void WriteBitmap(const RasterImage& image) override;

  // The primitives the transfers are built from.
  void Open();   // raises TallowinError(kCannotOpenClipboard) while another program holds it
  enum class CloseMode { Notify, Quiet };
  // The outermost close after a write notifies once (Quiet: only on failure paths).
  void Close(CloseMode mode = CloseMode::Notify);
  void SetData(FormatNumber format, std::string bytes);
  void SetBitmapHandle(const RasterImage& image);  // format 2, held as a handle
  int OpenCount() const { return openCount_; }

  // Test controls: another program replaces the whole content in one open period.
  void PlaceFromOtherProgram(std::vector<Block> blocks, const RasterImage* image = nullptr);
  void PlaceTextFromOtherProgram(std::u16string_view text);  // formats 1 and 13, as a text editor would
  FormatNumber RegisterFormat(const std::string& name);      // numbers from 0xC000 in order of registration
  void SetHeldByOtherProgram(bool held) { heldByOther_ = held; }
  int NotificationCount() const { return notifications_; }

 private:
  void EmptyOnce();

  struct StoredBlock {
    FormatNumber format;
    SharedBytes bytes;
    SharedText utf16;  // the UTF-16 reading, made on first request
  };
  StoredBlock* Find(FormatNumber format);

  std::vector<StoredBlock> blocks_;  // placing order; format 2 has an empty byte block
  std::optional<RasterImage> bitmap_;
  std::map<FormatNumber, std::string> registeredNames_;
  FormatNumber nextRegistered_ = kFirstRegisteredFormat;
  int openCount_ = 0;
  bool emptiedThisPeriod_ = false;
  bool heldByOther_ = false;
  int notifications_ = 0;
};

}  // namespace tallowin
