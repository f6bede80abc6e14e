#include "backends/x11_clipboard.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QMimeData>
#include <QPointer>
#include <QSocketNotifier>
#include <malloc.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <exception>
#include <future>
#include <set>
#include <thread>
#include <utility>

#include "base/errors.h"
#include "base/large_pages.h"
#include "backends/qt_text.h"
#include "backends/raster_qimage.h"

namespace tallowin {
namespace {

// A text at least this long has its UTF-8 form made on a thread of its own.
constexpr std::size_t kUtf8AheadUnits = std::size_t{1} << 20;

QString RawText(const SharedText& text) {
  static_assert(sizeof(char16_t) == sizeof(QChar));
  return QString::fromRawData(reinterpret_cast<const QChar*>(text->data()), static_cast<qsizetype>(text->size()));
}

// Offers our text without copying it: the QString reads the shared buffer,
// which the mime data keeps alive for as long as Qt holds it.
//
// Qt answers a request for the text's targets with the UTF-8 form of the text,
// made on the GUI thread for every request: a 50 MB text stalled the window
// for a tenth of a second each time. A large text's UTF-8 form is made once,
// on a thread of its own, as soon as the text is written; a request that comes
// before it is ready waits for the rest only. The thread owns what it works
// on, so the mime data can go away before it ends.
class SharedTextMime : public QMimeData {
 public:
  explicit SharedTextMime(SharedText text) : text_(std::move(text)) {
    setText(RawText(text_));
    if (text_->size() >= kUtf8AheadUnits) {
      std::packaged_task<QByteArray()> task([text = text_] { return RawText(text).toUtf8(); });
      utf8_ = task.get_future().share();
      std::thread(std::move(task)).detach();
    }
  }

 protected:
  QVariant retrieveData(const QString& mimeType, QMetaType type) const override {
    if (utf8_.valid() && type.id() == QMetaType::QByteArray && mimeType == QLatin1String("text/plain")) {
      return QVariant(utf8_.get());
    }
    return QMimeData::retrieveData(mimeType, type);
  }

 private:
  SharedText text_;
  std::shared_future<QByteArray> utf8_;
};

std::unique_ptr<QMimeData> TextMime(const void* payload) {
  return std::make_unique<SharedTextMime>(*static_cast<const SharedText*>(payload));
}

// A picture as we offer it: a QImage over the raster's own pixels and its PNG
// form, made before we take the selection (on the step's worker thread).
//
// Qt encodes the picture for every request, on the GUI thread, and a clipboard
// manager asks for image/png as soon as we own the selection: a 5790 x 5790
// picture stalled the window for seconds each time. Made ahead, the PNG costs a
// pasting client no more time than an answer made on request would, and the
// window none. Other image types are still encoded on request.
struct PictureOffer {
  QImage image;
  QByteArray png;  // empty: the memory ran out, Qt encodes on request
};

class SharedPictureMime : public QMimeData {
 public:
  explicit SharedPictureMime(const PictureOffer& offer) : png_(offer.png) { setImageData(offer.image); }

 protected:
  QVariant retrieveData(const QString& mimeType, QMetaType type) const override {
    if (!png_.isEmpty() && type.id() == QMetaType::QByteArray && mimeType == QLatin1String("image/png")) {
      return QVariant(png_);
    }
    return QMimeData::retrieveData(mimeType, type);
  }

 private:
  QByteArray png_;
};

std::unique_ptr<QMimeData> ImageMime(const void* payload) {
  return std::make_unique<SharedPictureMime>(*static_cast<const PictureOffer*>(payload));
}

// After a snapshot this large, its freed pages go back to the system: glibc
// keeps large freed blocks of a worker's arena otherwise, for good.
constexpr std::size_t kTrimAfterBytes = std::size_t{1} << 20;

std::size_t SnapshotBytes(const X11ClipboardSnapshot& snapshot) {
  std::size_t bytes = 0;
  for (const auto& [target, data] : snapshot.data) bytes += target.size() + data.size();
  for (const std::string& target : snapshot.targets) bytes += target.size();
  return bytes;
}

xcb_connection_t* QtConnection() {
  auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  return x11 ? x11->connection() : nullptr;
}

// Grabs the X server on a connection for the life of the object: the server
// handles no other client's request meanwhile.
class ServerGrab {
 public:
  explicit ServerGrab(xcb_connection_t* c) : c_(c) {
    if (c_) xcb_grab_server(c_);
  }
  ~ServerGrab() {
    if (!c_) return;
    xcb_ungrab_server(c_);
    xcb_flush(c_);
  }
  ServerGrab(const ServerGrab&) = delete;
  ServerGrab& operator=(const ServerGrab&) = delete;

 private:
  xcb_connection_t* c_;
};

// Restores the pass markers when a pass ends, also by an error.
class PassScope {
 public:
  PassScope(quint64& sequence, std::uint32_t& owner, quint64 newSequence, std::uint32_t newOwner)
      : sequence_(sequence), owner_(owner),
        outerSequence_(std::exchange(sequence, newSequence)), outerOwner_(std::exchange(owner, newOwner)) {}
  ~PassScope() {
    sequence_ = outerSequence_;
    owner_ = outerOwner_;
  }
  PassScope(const PassScope&) = delete;
  PassScope& operator=(const PassScope&) = delete;

 private:
  quint64& sequence_;
  std::uint32_t& owner_;
  quint64 outerSequence_;
  std::uint32_t outerOwner_;
};

}  // namespace

std::vector<std::string> DecodableImageTargets() {
  std::vector<std::string> targets;
  for (const QByteArray& type : QImageReader::supportedMimeTypes()) targets.push_back(type.toStdString());
  return targets;
}

X11Clipboard::X11Clipboard(QObject* parent)
    : QObject(parent), reader_(std::make_unique<X11ClipboardReader>()), decodableImages_(DecodableImageTargets()),
      decodableSet_(std::make_shared<const std::set<std::string>>(decodableImages_.begin(), decodableImages_.end())) {
  Registry().SetDecodableImages(*decodableSet_);
  if (xcb_connection_t* c = QtConnection()) {
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> atom{
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, 9, "CLIPBOARD"), nullptr), &std::free};
    if (atom) clipboardAtom_ = atom->atom;
  }
  connect(QGuiApplication::clipboard(), &QClipboard::changed, this, [this](QClipboard::Mode mode) {
    if (mode == QClipboard::Clipboard) OnQtClipboardChanged();
  });
  if (QtConnection() && clipboardAtom_ != XCB_NONE) {
    watch_ = std::make_unique<X11SelectionWatch>([this](X11OwnerChange change) { OnOwnerChange(change); });
    if (watch_->Running()) {
      watchNotifier_ = std::make_unique<QSocketNotifier>(watch_->FileDescriptor(), QSocketNotifier::Read);
      connect(watchNotifier_.get(), &QSocketNotifier::activated, this, [this] { watch_->Drain(); });
      watch_->Drain();
    } else {
      watch_.reset();
    }
  }
}

X11Clipboard::~X11Clipboard() = default;

namespace {

std::optional<RasterImage> DecodePicture(const void* data, std::size_t size) {
  const QByteArray bytes =
      QByteArray::fromRawData(static_cast<const char*>(data), static_cast<qsizetype>(size));
  return RasterFromQImage(QImage::fromData(bytes));
}

// A copy of a picture whose new pixel buffer asks for large pages first: a
// 4000 x 3000 picture is 48 MB, some 12,000 page faults on the GUI thread otherwise.
RasterImage CopyRaster(const RasterImage& image) {
  RasterImage copy;
  copy.width = image.width;
  copy.height = image.height;
  copy.pixels.resize(image.pixels.size());  // left uninitialised: filled below
  AskForLargePages(copy.pixels.data(), copy.pixels.size());
  if (!image.pixels.empty()) std::memcpy(copy.pixels.data(), image.pixels.data(), image.pixels.size());
  return copy;
}

}  // namespace

RasterImage X11Clipboard::ReadBitmap() { return CopyRaster(*ReadSharedBitmap()); }

SharedRaster X11Clipboard::ReadSharedBitmap() {
  const ClipboardContent& content = Content();
  if (writtenImage_ && content.Has(kFormatBitmap)) return writtenImage_;
  if (!content.Has(kFormatBitmap)) throw TallowinError(kUnsupportedClipboardFormat);
  if (content.decodedImage) return content.decodedImage;
  if (!content.encodedImage || content.encodedImage->empty()) throw TallowinError(kUnsupportedClipboardFormat);
  std::optional<RasterImage> raster = DecodePicture(content.encodedImage->data(), content.encodedImage->size());
  if (!raster) throw TallowinError(kUnsupportedClipboardFormat);
  return std::make_shared<const RasterImage>(std::move(*raster));
}

void X11Clipboard::WriteText(SharedText text) {
  writtenImage_.reset();
  ClipboardContent content = TextContent(text);
  Write(&TextMime, &text, std::move(content), nullptr);
}

void X11Clipboard::WriteBitmap(const RasterImage& image) {
  WritePreparedBitmap(PrepareBitmap(std::make_shared<const RasterImage>(CopyRaster(image))));
}

Clipboard::PreparedBitmap X11Clipboard::PrepareBitmap(SharedRaster picture) const {
  // The picture Qt hands out is made first: one too large for the memory left
  // fails here (std::bad_alloc), before anything of the clipboard changes.
  QImage image = QImageSharingRaster(picture);
  if (image.isNull()) throw std::bad_alloc();
  auto offer = std::make_shared<PictureOffer>();
  offer->png = ClipboardPng(image);
  offer->image = std::move(image);
  return {std::move(picture), std::move(offer)};
}

void X11Clipboard::WritePreparedBitmap(const PreparedBitmap& bitmap) {
  PreparedBitmap prepared = bitmap.made ? bitmap : PrepareBitmap(bitmap.picture);
  writtenImage_ = prepared.picture;
  ClipboardContent content;
  content.formats = {kFormatBitmap};
  Write(&ImageMime, prepared.made.get(), std::move(content), nullptr);
}

void X11Clipboard::Write(std::unique_ptr<QMimeData> (*make)(const void*), const void* payload,
                         ClipboardContent content, std::unique_ptr<QMimeData> first) {
  ReplaceContent(std::move(content));
  // A newer copy arrived while this pass ran: its result must not be put over
  // that copy, which gets its own pass. The raised count has no write to wait for.
  if (PassIsStale()) {
    counter_->ConsumePending();
    return;
  }
  // Another window took the selection after the one whose copy this pass
  // works on. Its change may not have reached us yet, or never will: a toolkit
  // may take the selection with the time of the copy before it, and our write,
  // carrying a time no older, would take the selection from that newer copy
  // and destroy it; Qt then reports no change for it at all. So nothing is
  // written, and the newer copy gets a pass of its own.
  if (watch_) watch_->Sync();  // a change reported now makes the pass stale
  if (PassIsStale()) {
    counter_->ConsumePending();
    return;
  }
  QClipboard* clipboard = QGuiApplication::clipboard();
  // The caller raised the counter once for this write. Each attempt must be
  // matched by exactly one notification; when Qt emitted none, we consume the
  // pending count ourselves.
  //
  // X rejects our ownership when its timestamp is older than the current
  // owner's. When that owner is the one whose content this pass processed (Qt's
  // time had fallen behind it), one more attempt after processing pending events
  // succeeds. When another client copied something new meanwhile, its change
  // arrives while we process those events: that copy is newer and wins, and its
  // own pass follows; writing again would destroy it.
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (attempt == 1) {
      const int foreignBefore = foreignChanges_;
      QCoreApplication::processEvents();
      if (watch_) watch_->Sync();
      if (foreignChanges_ != foreignBefore || PassIsStale()) break;
      counter_->Raise();
    }
    std::unique_ptr<QMimeData> mime = first ? std::move(first) : make(payload);
    const int before = ownNotifications_;
    bool written = false;
    {
      // Between looking at the owner and taking the selection, no other client
      // may take it: the server runs only our requests until the write is done
      // (a millisecond). Qt's notification of our write waits until then.
      ServerGrab grab(QtConnection());
      // Another window took the selection after the one whose copy this pass
      // works on: a newer copy whose change has not reached us yet, or never
      // will (an earlier write of this same pass made us the owner: that is no
      // new copy).
      const std::uint32_t owner = passSequence_ != 0 ? SelectionOwner() : passOwner_;
      if (owner == passOwner_ || IsOurWindow(owner)) {
        lastWritten_ = mime.get();
        ++writing_;
        ++grabbing_;
        clipboard->setMimeData(mime.release(), QClipboard::Clipboard);
        --grabbing_;
        --writing_;
        written = true;
      }
    }
    DeliverHeldNotifications();
    if (!written) {
      counter_->ConsumePending();
      if (attempt == 0) RequestSnapshot();
      break;
    }
    if (ownNotifications_ == before) counter_->ConsumePending();
    if (OwnsCurrentData()) break;
  }
  // An error of the pass that our write's notification ran (a re-copy is processed
  // like a new copy) was held back until Qt's signal had returned.
  if (writing_ == 0 && heldError_) std::rethrow_exception(std::exchange(heldError_, nullptr));
}

void X11Clipboard::DeliverHeldNotifications() {
  while (heldNotifications_ > 0) {
    --heldNotifications_;
    // As if delivered during the write: the pipeline's gate consumes it, unless
    // it is a re-copy.
    ++writing_;
    try {
      NotifyChanged();
    } catch (...) {
      if (!heldError_) heldError_ = std::current_exception();
    }
    --writing_;
  }
}

bool X11Clipboard::OwnsCurrentData() const {
  return SelectionOwnedByUs() && QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard) == lastWritten_;
}

// Asks the server, not Qt: Qt's ownsClipboard() is Qt's own bookkeeping, which
// lags behind the server around a refused write or a foreign copy whose events
// Qt has not handled yet, and would let a foreign copy pass for an echo of ours.
std::uint32_t X11Clipboard::SelectionOwner() const {
  xcb_connection_t* c = QtConnection();
  if (!c || clipboardAtom_ == XCB_NONE) return XCB_NONE;
  std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> reply{
      xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, clipboardAtom_), nullptr), &std::free};
  return reply ? reply->owner : XCB_NONE;
}

// A window of ours is one made on Qt's connection: its id carries that
// connection's resource id base.
bool X11Clipboard::SelectionOwnedByUs() const {
  xcb_connection_t* c = QtConnection();
  if (!c || clipboardAtom_ == XCB_NONE) return QGuiApplication::clipboard()->ownsClipboard();
  return IsOurWindow(SelectionOwner());
}

bool X11Clipboard::IsOurWindow(std::uint32_t window) const {
  xcb_connection_t* c = QtConnection();
  if (!c || window == XCB_NONE) return false;
  const xcb_setup_t* setup = xcb_get_setup(c);
  return (window & ~setup->resource_id_mask) == setup->resource_id_base;
}

void X11Clipboard::OnQtClipboardChanged() {
  if (grabbing_ > 0) {
    // Our own write with the server grabbed: its pass must not run before the
    // grab ends, so the notification is delivered right after it.
    ++ownNotifications_;
    ++heldNotifications_;
    return;
  }
  if (writing_ > 0) {
    ++ownNotifications_;
    // Our own write: the pipeline's gate consumes it, unless it is a re-copy.
    // No error may unwind through Qt's signal emission.
    try {
      NotifyChanged();
    } catch (...) {
      if (!heldError_) heldError_ = std::current_exception();
    }
    return;
  }
  if (watch_) return;  // the watch reports foreign changes, also those Qt drops
  OnForeignChange();
}

void X11Clipboard::OnOwnerChange(X11OwnerChange change) {
  if (IsOurWindow(change.owner)) return;  // our own write
  OnForeignChange();
}

void X11Clipboard::OnForeignChange() {
  if (SelectionOwnedByUs()) return;  // a late echo of our own content
  ++foreignChanges_;
  if (wantsContent && !wantsContent()) {
    // No read for this change, but an older read still running is outdated by it.
    reader_->CancelPending();
    started_ = ++requested_;
    NotifyChanged();  // the gate decides without the content
    return;
  }
  RequestSnapshot();
}

void X11Clipboard::ProcessCurrentContent() { RequestSnapshot(); }

void X11Clipboard::RequestSnapshot() {
  // An older read still running is for content this change has replaced; an
  // owner trickling it must not hold up the newer copy.
  reader_->CancelPending();
  const quint64 sequence = ++requested_;
  X11ReadPlan plan;
  plan.decodableImages = decodableImages_;
  QPointer<X11Clipboard> self(this);
  std::shared_ptr<const std::set<std::string>> decodable = decodableSet_;
  reader_->RequestSnapshot(std::move(plan), [self, sequence, decodable](X11ClipboardSnapshot snapshot) {
    // Worker thread: decode what is large here, then hand everything to the GUI thread.
    if (!self) return;
    Decoded decoded;
    if (!snapshot.cancelled && snapshot.ownerAnswered) {
      if (const std::string* target = UnicodeTextTarget(snapshot.targets)) {
        auto it = snapshot.data.find(*target);
        if (it != snapshot.data.end()) {
          decoded.text = DecodeUnicodeText(it->second);
          decoded.replacedBytes = it->second.size();
          snapshot.data.erase(it);  // the decoded text replaces the bytes
          snapshot.data.emplace(*target, std::vector<std::uint8_t>());
        }
      }
      if (const std::string* target = PictureTarget(*decodable, snapshot.targets, snapshot.data)) {
        const std::vector<std::uint8_t>& bytes = snapshot.data.at(*target);
        std::optional<RasterImage> raster = DecodePicture(bytes.data(), bytes.size());
        if (raster) decoded.picture = std::make_shared<const RasterImage>(std::move(*raster));
        decoded.pictureBytes = {*target, SharedTargetData(snapshot.data, *target)};
      }
    }
    QMetaObject::invokeMethod(
        self.data(),
        [self, sequence, snapshot = std::move(snapshot), decoded = std::move(decoded)]() mutable {
          if (self) self->OnSnapshot(sequence, std::move(snapshot), std::move(decoded));
        },
        Qt::QueuedConnection);
  });
}

void X11Clipboard::OnSnapshot(quint64 sequence, X11ClipboardSnapshot snapshot, Decoded decoded) {
  if (snapshot.cancelled) return;
  // A newer change is already waiting for its own snapshot: this content has
  // been replaced, and the worker may even have read something newer under it.
  if (sequence != requested_) return;
  // While we own the selection, what the worker read was our own write-back of
  // an earlier pass: processing it would treat our result as a new copy.
  if (SelectionOwnedByUs()) return;
  ClipboardContent content;
  if (snapshot.ownerAnswered) {
    content = ContentFromTargets(Registry(), snapshot.targets, snapshot.data, std::move(decoded.text),
                                 X11TextTargets(), decoded.pictureBytes);
    if (content.encodedImage) content.decodedImage = std::move(decoded.picture);
  }
  SetContent(std::move(content));
  const std::uint32_t owner = snapshot.owner;
  const std::size_t readBytes = SnapshotBytes(snapshot) + decoded.replacedBytes;
  snapshot = X11ClipboardSnapshot{};  // the content holds what the pass needs
  decoded = Decoded{};
  if (readBytes > kTrimAfterBytes) malloc_trim(0);
  started_ = sequence;
  PassScope pass(passSequence_, passOwner_, sequence, owner);
  NotifyChanged();
}

}  // namespace tallowin
