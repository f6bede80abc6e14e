#pragma once
// The real clipboard on X11: the CLIPBOARD selection.
//
// Foreign changes come from an XFixes watch of our own (Qt drops some, see
// X11SelectionWatch); our own writes go through QClipboard. Foreign content
// is read by X11ClipboardReader on its worker thread, so an owner that never
// answers cannot freeze the window; the pass over a foreign change runs once its
// snapshot has arrived. Our own writes notify synchronously inside the write
// call, where the raised CaptureSuppressCounter absorbs them.
//
// A write can be lost when another client took the selection while the GUI
// thread was busy: after each write we check that we own the selection and, if
// not, process pending events and write once more, keeping the counter balanced.
//
// Every foreign change cancels the read still running for an older one, and a
// pass whose content a newer copy has replaced no longer writes: the newest
// copy is never overwritten, and only a copy replaced before it could be read
// is skipped. Nor does a pass write when the selection has changed hands since
// its content was read: the new owner's copy gets a pass of its own.

#include <QObject>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "clipboard/capture_suppress_counter.h"
#include "clipboard/desktop_clipboard.h"
#include "x11/x11_clipboard_reader.h"
#include "backends/x11_selection_watch.h"

class QMimeData;
class QSocketNotifier;

namespace tallowin {

// The image MIME types Qt's image readers present at run time can decode.
std::vector<std::string> DecodableImageTargets();

class X11Clipboard : public QObject, public DesktopClipboard {
  Q_OBJECT

 public:
  explicit X11Clipboard(QObject* parent = nullptr);
  ~X11Clipboard() override;

  using ContentClipboard::WriteText;
  void WriteText(SharedText text) override;
  RasterImage ReadBitmap() override;
  SharedRaster ReadSharedBitmap() override;
  void WriteBitmap(const RasterImage& image) override;
  PreparedBitmap PrepareBitmap(SharedRaster picture) const override;
  void WritePreparedBitmap(const PreparedBitmap& bitmap) override;

  void ProcessCurrentContent() override;

 private:
  void OnQtClipboardChanged();
  void OnForeignChange();
  void OnOwnerChange(X11OwnerChange change);
  void RequestSnapshot();
  // What the worker prepares besides reading: the decodings that would
  // otherwise stall the GUI thread on large content.
  struct Decoded {
    SharedText text;                            // the format-13 target as UTF-16
    std::size_t replacedBytes = 0;              // the size of the UTF-8 bytes the text replaced
    std::shared_ptr<const RasterImage> picture;  // the picture target, when Qt can decode it
    SharedTargetBytes pictureBytes;              // that target's bytes, shared
  };
  void OnSnapshot(quint64 sequence, X11ClipboardSnapshot snapshot, Decoded decoded);
  bool SelectionOwnedByUs() const;
  bool IsOurWindow(std::uint32_t window) const;
  std::uint32_t SelectionOwner() const;
  // Inside a snapshot's pass: a newer change came whose pass has not started,
  // so the clipboard holds a copy that nobody has processed yet.
  bool PassIsStale() const { return passSequence_ != 0 && started_ < requested_; }
  // `first`: the data of the first attempt when the caller made it already
  // (null: made by `make`, as for every later attempt).
  void Write(std::unique_ptr<QMimeData> (*make)(const void*), const void* payload, ClipboardContent content,
             std::unique_ptr<QMimeData> first);
  bool OwnsCurrentData() const;
  void DeliverHeldNotifications();

  std::unique_ptr<X11ClipboardReader> reader_;
  // When running, the only source of foreign changes (see X11SelectionWatch);
  // otherwise Qt's notifications are.
  std::unique_ptr<X11SelectionWatch> watch_;
  std::unique_ptr<QSocketNotifier> watchNotifier_;
  std::exception_ptr heldError_;
  int writing_ = 0;  // depth of our own writes in progress (a re-copy's pass writes inside one)
  int grabbing_ = 0;  // > 0 while our write runs with the server grabbed
  int heldNotifications_ = 0;  // Qt's notifications of that write, delivered after the grab
  int ownNotifications_ = 0;
  int foreignChanges_ = 0;  // changes made by other clients, as Qt reported them
  quint64 requested_ = 0;
  quint64 started_ = 0;           // the newest change whose pass has started
  quint64 passSequence_ = 0;      // the snapshot whose pass runs now; 0 outside such a pass
  std::uint32_t passOwner_ = 0;   // the window that owned the content of that pass
  std::uint32_t clipboardAtom_ = 0;
  std::vector<std::string> decodableImages_;
  // The same set, shared with the reads running on the worker thread.
  std::shared_ptr<const std::set<std::string>> decodableSet_;
  const QMimeData* lastWritten_ = nullptr;
};

}  // namespace tallowin
