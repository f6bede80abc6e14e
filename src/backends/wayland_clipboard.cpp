#include "backends/wayland_clipboard.h"

#include <QBuffer>
#include <QImage>
#include <QMetaObject>
#include <malloc.h>

#include <algorithm>
#include <new>
#include <utility>

#include "base/errors.h"
#include "base/cp1252.h"
#include "base/utf.h"
#include "clipboard/secret_content.h"
#include "backends/raster_qimage.h"
#include "backends/x11_clipboard.h"

namespace tallowin {
namespace {

std::optional<RasterImage> DecodePicture(const std::vector<std::uint8_t>& bytes) {
  const QByteArray data =
      QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
  return RasterFromQImage(QImage::fromData(data));
}

// After a snapshot this large, its freed pages go back to the system: glibc
// keeps large freed blocks of a worker's arena otherwise, for good.
constexpr std::size_t kTrimAfterBytes = std::size_t{1} << 20;

std::size_t SnapshotBytes(const WaylandSnapshot& snapshot) {
  std::size_t bytes = 0;
  for (const auto& [type, data] : snapshot.data) bytes += type.size() + data.size();
  return bytes;
}

bool IsEightBitText(const std::string& type) {
  const std::vector<std::string>& eightBit = MimeTextTargets().eightBit;
  return std::find(eightBit.begin(), eightBit.end(), type) != eightBit.end();
}

bool OffersEightBitText(const std::vector<std::string>& types) {
  return std::any_of(types.begin(), types.end(), IsEightBitText);
}

// Sets the serial a pass works on and restores the outer one when the pass
// ends, also by an error.
class PassScope {
 public:
  PassScope(std::optional<std::uint64_t>& serial, std::optional<std::uint64_t> value)
      : serial_(serial), outer_(std::exchange(serial, value)) {}
  ~PassScope() { serial_ = outer_; }
  PassScope(const PassScope&) = delete;
  PassScope& operator=(const PassScope&) = delete;

 private:
  std::optional<std::uint64_t>& serial_;
  std::optional<std::uint64_t> outer_;
};

}  // namespace

WaylandClipboard::WaylandClipboard(std::unique_ptr<WaylandDataControl> connection, QObject* parent)
    : QObject(parent), connection_(std::move(connection)), decodableImages_(DecodableImageTargets()),
      decodableSet_(std::make_shared<const std::set<std::string>>(decodableImages_.begin(), decodableImages_.end())) {
  Registry().SetDecodableImages(*decodableSet_);
  // The worker reports on its own thread; the pass runs on ours. The worker is
  // joined before this object goes, and Qt drops calls queued for a deleted object.
  connection_->Start(
      [this](std::uint64_t serial) {
        QMetaObject::invokeMethod(this, [this, serial] { OnChange(serial); }, Qt::QueuedConnection);
      },
      [this](const WaylandConnectionEvent& event) {
        QMetaObject::invokeMethod(this, [this, event] { OnConnectionEvent(event); }, Qt::QueuedConnection);
      });
}

void WaylandClipboard::OnConnectionEvent(const WaylandConnectionEvent& event) {
  if (!connectionHandler_) return;
  ConnectionReport report;
  report.lost = event.lost;
  report.message = event.lost ? "the connection to the Wayland compositor failed (" + event.reason +
                                    "); connecting again"
                              : "connected to the Wayland compositor again; the clipboard is watched again";
  connectionHandler_(report);
}

WaylandClipboard::~WaylandClipboard() { connection_.reset(); }

WaylandOffer WaylandClipboard::TextOffer(const std::u16string& text) {
  auto utf8 = std::make_shared<const std::string>(Utf16ToUtf8(text));
  auto latin = std::make_shared<const std::string>(EncodeCp1252(text));
  // Wayland programs take text/plain as UTF-8; STRING keeps X11's 8-bit meaning.
  return {{"text/plain;charset=utf-8", utf8}, {"text/plain", utf8}, {"UTF8_STRING", utf8},
          {"TEXT", utf8},                     {"STRING", latin}};
}

void WaylandClipboard::WriteText(SharedText text) {
  writtenImage_.reset();
  WaylandOffer offer = TextOffer(*text);
  Write(std::move(offer), TextContent(std::move(text)));
}

void WaylandClipboard::WriteBitmap(const RasterImage& image) {
  WritePreparedBitmap(PrepareBitmap(std::make_shared<const RasterImage>(image)));
}

Clipboard::PreparedBitmap WaylandClipboard::PrepareBitmap(SharedRaster picture) const {
  // Made before anything of the clipboard changes: a picture too large for the
  // memory left fails here (std::bad_alloc).
  const QByteArray png = ClipboardPng(QImageSharingRaster(picture));
  if (png.isEmpty()) throw std::bad_alloc();
  auto made = std::make_shared<const std::string>(png.constData(), static_cast<std::size_t>(png.size()));
  return {std::move(picture), std::move(made)};
}

void WaylandClipboard::WritePreparedBitmap(const PreparedBitmap& bitmap) {
  PreparedBitmap prepared = bitmap.made ? bitmap : PrepareBitmap(bitmap.picture);
  ClipboardContent content;
  content.formats = {kFormatBitmap};
  writtenImage_ = prepared.picture;
  Write({{"image/png", std::static_pointer_cast<const std::string>(prepared.made)}}, std::move(content));
}

RasterImage WaylandClipboard::ReadBitmap() { return *ReadSharedBitmap(); }

SharedRaster WaylandClipboard::ReadSharedBitmap() {
  const ClipboardContent& content = Content();
  if (writtenImage_ && content.Has(kFormatBitmap)) return writtenImage_;
  if (!content.Has(kFormatBitmap)) throw TallowinError(kUnsupportedClipboardFormat);
  if (content.decodedImage) return content.decodedImage;
  if (!content.encodedImage || content.encodedImage->empty()) throw TallowinError(kUnsupportedClipboardFormat);
  std::optional<RasterImage> raster =
      DecodePicture(std::vector<std::uint8_t>(content.encodedImage->begin(), content.encodedImage->end()));
  if (!raster) throw TallowinError(kUnsupportedClipboardFormat);
  return std::make_shared<const RasterImage>(std::move(*raster));
}

void WaylandClipboard::Write(WaylandOffer offer, ClipboardContent content) {
  ReplaceContent(std::move(content));
  contentSerial_ = 0;
  // A write outside a pass (a re-copy from the history) shows content of its own.
  if (!passSerial_) awaited_.reset();
  // The caller raised the counter once for this write; exactly one
  // notification consumes it, ours below or the consumption here when the
  // write is not made. A pass whose copy a newer one has replaced does not
  // write: that copy is newer and gets its own pass.
  const bool written = (!passSerial_ || *passSerial_ == connection_->LatestForeignSerial()) &&
                       connection_->Write(std::move(offer), passSerial_);
  if (!written) {
    if (counter_) counter_->ConsumePending();
    return;
  }
  // A re-copy's write is processed like a new copy; that pass works on our
  // content, which a foreign copy from now on replaces.
  PassScope pass(passSerial_, connection_->LatestForeignSerial());
  NotifyChanged();
}

void WaylandClipboard::OnChange(std::uint64_t serial) {
  // A newer change is queued behind this one: this content is already replaced.
  if (serial < connection_->LatestForeignSerial()) return;
  if (wantsContent && !wantsContent()) {
    connection_->CancelPending();  // an older read still running is outdated
    handledSerial_ = serial;
    NotifyChanged();  // the gate decides without the content
    return;
  }
  RequestSnapshot();
}

void WaylandClipboard::ProcessCurrentContent() { RequestSnapshot(); }

void WaylandClipboard::RequestSnapshot() {
  connection_->CancelPending();
  WaylandReadPlan plan;
  plan.decodableImages = decodableImages_;
  plan.firstTypes = [decodable = decodableSet_](const std::vector<std::string>& offered) {
    // What a pass reads: the text (format 13, or format 1 when there is no 13;
    // should 13 turn out empty, OnSnapshot waits for the rest), the password
    // hint and the picture.
    const std::string* unicode = UnicodeTextTarget(offered, MimeTextTargets());
    std::vector<std::string> first;
    if (unicode) first.push_back(*unicode);
    bool ansi = false;
    for (const std::string& type : offered) {
      const bool isAnsi = IsEightBitText(type);
      if ((!unicode && isAnsi && !ansi) || type == kPasswordManagerHintTarget || decodable->contains(type)) {
        first.push_back(type);
      }
      ansi = ansi || isAnsi;
    }
    return first;
  };
  connection_->RequestSnapshot(
      std::move(plan),
      [this](WaylandSnapshot snapshot) {
        if (!snapshot.rest) {
          DeliverSnapshot(std::move(snapshot));
          return;
        }
        QMetaObject::invokeMethod(
            this, [this, rest = std::move(snapshot)]() mutable { OnLateValues(std::move(rest)); },
            Qt::QueuedConnection);
      },
      [this](WaylandSnapshot firstPart) { DeliverSnapshot(std::move(firstPart)); });
}

void WaylandClipboard::DeliverSnapshot(WaylandSnapshot snapshot) {
  // Worker thread: decode what is large here, then hand everything to the GUI thread.
  Decoded decoded;
  if (!snapshot.cancelled && snapshot.ownerAnswered) {
    if (const std::string* type = UnicodeTextTarget(snapshot.types, MimeTextTargets())) {
      auto it = snapshot.data.find(*type);
      if (it != snapshot.data.end()) {
        decoded.text = DecodeUnicodeText(it->second);
        it->second = {};  // the decoded text replaces the bytes
      }
    }
    for (const std::string& type : snapshot.types) {
      auto it = snapshot.data.find(type);
      if (!decodableSet_->contains(type) || it == snapshot.data.end()) continue;
      std::optional<RasterImage> raster = DecodePicture(it->second);
      if (raster) decoded.picture = std::make_shared<const RasterImage>(std::move(*raster));
      decoded.pictureBytes = {type, SharedTargetData(snapshot.data, type)};
      break;
    }
  }
  QMetaObject::invokeMethod(
      this,
      [this, snapshot = std::move(snapshot), decoded = std::move(decoded)]() mutable {
        OnSnapshot(std::move(snapshot), std::move(decoded));
      },
      Qt::QueuedConnection);
}

void WaylandClipboard::OnSnapshot(WaylandSnapshot snapshot, Decoded decoded) {
  if (snapshot.cancelled || snapshot.ours) return;
  // A newer change came after this read began; its own pass follows.
  if (snapshot.serial != connection_->LatestForeignSerial()) return;
  if (handledSerial_ != 0 && snapshot.serial <= handledSerial_) return;
  // Format 13 turned out empty or unreadable: the pass reads the text of
  // format 1, which comes with the other values, and waits for them.
  if (snapshot.firstPart && !(decoded.text && !decoded.text->empty()) && OffersEightBitText(snapshot.types)) {
    held_ = HeldFirstPart{std::move(snapshot), std::move(decoded)};
    return;
  }
  held_.reset();  // a first part held for an older change waits no more
  ClipboardContent content;
  if (snapshot.ownerAnswered) {
    content = ContentFromTargets(Registry(), snapshot.types, snapshot.data, std::move(decoded.text), MimeTextTargets(),
                                 decoded.pictureBytes);
    if (content.encodedImage) content.decodedImage = std::move(decoded.picture);
  }
  SetContent(std::move(content));
  contentSerial_ = snapshot.serial;
  awaited_.reset();
  if (snapshot.firstPart) awaited_ = AwaitedValues{snapshot.serial, Content()};
  const std::uint64_t serial = snapshot.serial;
  const std::size_t readBytes = SnapshotBytes(snapshot) + (Content().text ? Content().text->size() : 0);
  snapshot = WaylandSnapshot{};
  decoded = Decoded{};
  if (readBytes > kTrimAfterBytes) malloc_trim(0);
  handledSerial_ = serial;
  PassScope pass(passSerial_, serial);
  NotifyChanged();
}

void WaylandClipboard::OnLateValues(WaylandSnapshot rest) {
  if (held_ && !rest.cancelled && rest.serial == held_->snapshot.serial) {
    HeldFirstPart held = std::move(*held_);
    held_.reset();
    for (auto& [type, bytes] : rest.data) held.snapshot.data.emplace(type, std::move(bytes));
    held.snapshot.failed.insert(held.snapshot.failed.end(), rest.failed.begin(), rest.failed.end());
    held.snapshot.firstPart = false;
    OnSnapshot(std::move(held.snapshot), std::move(held.decoded));
    return;
  }
  // Only for the change whose pass ran last: a newer one has its own values.
  if (!awaited_ || rest.cancelled || rest.serial != awaited_->serial || handledSerial_ != rest.serial) return;
  ClipboardContent whole = std::move(awaited_->content);
  awaited_.reset();
  const ClipboardContent more = ContentFromTargets(Registry(), rest.types, rest.data, nullptr, MimeTextTargets());
  for (const auto& [format, block] : more.blocks) whole.blocks.emplace(format, block);
  // The clipboard still holds that content when no write has replaced it.
  if (contentSerial_ == rest.serial) SetContent(whole);
  ContentClipboard view;
  view.Registry() = Registry();
  view.SetContent(std::move(whole));
  NotifyLateValues(view);
}

}  // namespace tallowin
