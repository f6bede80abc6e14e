#pragma once
// The real clipboard on a Wayland desktop whose compositor offers data-control:
// the Qt side of WaylandDataControl.
//
// The worker reports each foreign selection change; the report is queued to
// the GUI thread's event loop, which fetches the content (the worker reads it
// and decodes the text and the picture there) and runs one pass per change
// once the snapshot has arrived. A newer change cancels the read of an older
// one, and a snapshot that a newer change has overtaken is dropped: that change
// gets its own pass.
//
// A pass needs only the text, the picture and the password hint; the other
// types' values are for the details list. The pass runs once those are read,
// and the other values follow through NotifyLateValues: an owner such as wl-copy
// serves each type from a process of its own, and waiting for all of them
// would hold the pass up for each.
//
// A failure of the connection is passed on to the connection handler (the
// worker connects again by itself), and so is its recovery.
//
// Our own writes notify synchronously inside the write call, where the raised
// CaptureSuppressCounter absorbs them; the selection event they cause is not
// reported by the worker. A write of a pass whose content a newer copy has
// replaced is not made (the newest copy is never overwritten), and the
// counter it raised is consumed here.

#include <QObject>
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "clipboard/desktop_clipboard.h"
#include "wayland/data_control.h"

namespace tallowin {

class WaylandClipboard : public QObject, public DesktopClipboard {
  Q_OBJECT

 public:
  // Takes a connection whose Protocol() is not kNone and starts it.
  explicit WaylandClipboard(std::unique_ptr<WaylandDataControl> connection, QObject* parent = nullptr);
  ~WaylandClipboard() override;

  using ContentClipboard::WriteText;
  void WriteText(SharedText text) override;
  RasterImage ReadBitmap() override;
  SharedRaster ReadSharedBitmap() override;
  void WriteBitmap(const RasterImage& image) override;
  // The PNG form the write offers is made here.
  PreparedBitmap PrepareBitmap(SharedRaster picture) const override;
  void WritePreparedBitmap(const PreparedBitmap& bitmap) override;
  void ProcessCurrentContent() override;

  // The MIME types and bytes a text write offers.
  static WaylandOffer TextOffer(const std::u16string& text);

 private:
  struct Decoded {
    SharedText text;
    std::shared_ptr<const RasterImage> picture;
    SharedTargetBytes pictureBytes;  // the picture's bytes, shared
  };
  void OnChange(std::uint64_t serial);
  void RequestSnapshot();
  void DeliverSnapshot(WaylandSnapshot snapshot);  // worker thread
  void OnSnapshot(WaylandSnapshot snapshot, Decoded decoded);
  void OnLateValues(WaylandSnapshot rest);
  void OnConnectionEvent(const WaylandConnectionEvent& event);
  void Write(WaylandOffer offer, ClipboardContent content);

  std::unique_ptr<WaylandDataControl> connection_;
  std::vector<std::string> decodableImages_;
  std::shared_ptr<const std::set<std::string>> decodableSet_;
  // The foreign selection whose content the running pass works on; empty
  // outside a pass over foreign content.
  std::optional<std::uint64_t> passSerial_;
  std::uint64_t handledSerial_ = 0;  // the newest change whose pass has started or was skipped
  // The content whose pass ran on a first part, as that pass saw it, until
  // the other values arrive.
  struct AwaitedValues {
    std::uint64_t serial = 0;
    ClipboardContent content;
  };
  std::optional<AwaitedValues> awaited_;
  // A first part whose pass waits for the rest (its text is in format 1).
  struct HeldFirstPart {
    WaylandSnapshot snapshot;
    Decoded decoded;
  };
  std::optional<HeldFirstPart> held_;
  std::uint64_t contentSerial_ = 0;  // the change whose content we hold; 0 after our own write
};

}  // namespace tallowin
