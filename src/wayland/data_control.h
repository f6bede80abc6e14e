#pragma once
// The regular selection of a Wayland seat through the data-control protocol,
// which lets a client without keyboard focus watch and set it.
//
// One connection of its own and one worker thread that owns it: the worker
// dispatches the compositor's events, reads foreign offers and serves our own
// sources, all from one poll loop that never blocks on a peer. So an owner that
// never writes costs a snapshot about one request timeout, and serving our own
// data to a slow reader holds nothing else up.
//
// A connection that fails (the compositor went away, or ended our client) is
// made again by the worker, after a delay that doubles with every failed
// attempt up to kMaxReconnectDelay, so a dead compositor costs no CPU. The
// selection found on the new connection counts as a change: a copy made while
// the connection was down is not missed.
//
// ext_data_control_manager_v1 is bound when the compositor offers it, the older
// zwlr_data_control_manager_v1 otherwise; both have the same requests and
// events. The primary selection is not watched.
//
// Our own writes carry one extra MIME type, kOwnMarkerPrefix followed by a token
// of this object, so the selection event that a write of ours causes is told
// apart from a foreign copy whatever order the compositor sends its events in.
// That echo is not reported as a change: the caller notifies itself for its own
// writes.
//
// Plain C++ and libwayland-client, no Qt, so it can be tested on its own.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tallowin {

enum class DataControlProtocol { kNone, kExt, kWlr };

// What a snapshot fetches besides the type list.
struct WaylandReadPlan {
  // The bytes of every offered type except the decodable images.
  bool allTypes = true;
  // The bytes of one decodable image type: image/png when offered and
  // decodable, otherwise the first decodable one offered.
  bool oneImage = true;
  // The image MIME types the caller's picture decoder reads.
  std::vector<std::string> decodableImages;
  // With a first-part callback (see RequestSnapshot): given the offered types,
  // the ones whose bytes come in the first part. Each owner serves each type on
  // its own (wl-copy starts a process for every one), so a caller that needs
  // one type at once need not wait for all.
  std::function<std::vector<std::string>(const std::vector<std::string>& offered)> firstTypes;
};

// The seat's selection at the time of one read.
struct WaylandSnapshot {
  // False when there is no selection, when it is our own, when the read was
  // cancelled, or when the connection is gone.
  bool ownerAnswered = false;
  bool cancelled = false;
  // The selection is a write of this object's (its content is the caller's own).
  bool ours = false;
  // A first part: `data` and `failed` hold only the plan's first types.
  bool firstPart = false;
  // What follows a first part: `data` and `failed` hold only the other types.
  bool rest = false;
  // The foreign selection this snapshot is of (see LatestForeignSerial).
  std::uint64_t serial = 0;
  // The offered MIME types in the owner's order, each once, without our marker.
  std::vector<std::string> types;
  // The bytes of each type read completely. Every key is also in `types`.
  std::map<std::string, std::vector<std::uint8_t>> data;
  // Types the plan asked for that could not be read: the owner did not finish
  // within the bounds, or the content was larger than the size cap or did not
  // fit under the total cap. In `types` order.
  std::vector<std::string> failed;
};

// The connection to the compositor failed (`lost`), or works again after a failure.
struct WaylandConnectionEvent {
  bool lost = false;
  std::string reason;  // why it failed, in English; empty when it works again
};

// One write: the MIME types offered, in order, with the bytes served for each.
using WaylandOffer = std::vector<std::pair<std::string, std::shared_ptr<const std::string>>>;

// Thread safety: every public member may be called from any thread, except
// that ReadSnapshot() and Write() must not be called from inside a callback of
// this object (they wait for the worker that runs the callbacks).
class WaylandDataControl {
 public:
  // The types of a snapshot are read in parallel, at most kMaxOpenPipes at
  // once (each costs a descriptor; the types of a first part are asked for
  // first, the others as earlier ones finish); a type whose owner writes
  // nothing for kDefaultRequestTimeout is given up, and a whole snapshot ends
  // after kDefaultReadLimit, however many types there are. One type is read up
  // to kDefaultSizeCap bytes, and all values of one snapshot together (those of
  // a first part included) up to kDefaultTotalCap: a value that would go beyond
  // either is dropped and counts as failed. The pages a large snapshot freed go
  // back to the system once it is delivered.
  static constexpr std::chrono::milliseconds kDefaultRequestTimeout{1000};
  static constexpr std::chrono::milliseconds kDefaultReadLimit{5000};
  static constexpr std::size_t kDefaultSizeCap = std::size_t{64} << 20;
  static constexpr std::size_t kDefaultTotalCap = std::size_t{256} << 20;
  static constexpr std::size_t kMaxTypes = 1000;
  static constexpr std::size_t kMaxOpenPipes = 64;
  // The first attempt to connect again follows a failure after this delay.
  static constexpr std::chrono::milliseconds kFirstReconnectDelay{250};
  static constexpr std::chrono::milliseconds kMaxReconnectDelay{8000};
  // A reader that takes our data slower than this is cut off.
  static constexpr std::chrono::milliseconds kServeLimit{10000};
  static constexpr char kOwnMarkerPrefix[] = "application/x-tallowin-owner;id=";

  // Connects to `displayName` (empty: $WAYLAND_DISPLAY) and looks for a seat
  // and a data-control manager, waiting at most `connectTimeout` for the
  // compositor's answers. Never throws: Protocol() then says kNone and
  // Problem() why.
  explicit WaylandDataControl(std::string displayName = {},
                              std::chrono::milliseconds connectTimeout = std::chrono::milliseconds{3000});
  // Ends the worker; no callback runs after the destructor has returned.
  ~WaylandDataControl();
  WaylandDataControl(const WaylandDataControl&) = delete;
  WaylandDataControl& operator=(const WaylandDataControl&) = delete;

  DataControlProtocol Protocol() const;
  // Why Protocol() is kNone: no display, no seat, no data-control manager.
  const std::string& Problem() const;

  // Starts the worker. `onChange` is called on the worker thread once for
  // every foreign selection change after this call (the selection present at
  // the start is not a change), with its serial. `onConnection`, also on the
  // worker thread, hears of each failure of a working connection (once, when
  // it is found) and of the connection working again. Call once, before the
  // members below; they do nothing useful when Protocol() is kNone, and such a
  // connection is never tried again.
  void Start(std::function<void(std::uint64_t serial)> onChange,
             std::function<void(const WaylandConnectionEvent&)> onConnection = {});

  // The serial of the newest foreign selection the worker has seen: 0 before
  // the first one, raised by one per change. Our own writes do not raise it.
  std::uint64_t LatestForeignSerial() const;

  // Queues one snapshot of the current selection and returns at once; `done`
  // runs exactly once on the worker thread (unless this object is destroyed
  // first). Requests are served one at a time in order.
  //
  // With `first` and plan.firstTypes naming some of the types the plan reads,
  // the snapshot comes in two parts: `first` gets the bytes of those types as
  // soon as each of them is read or given up (firstPart set), and `done` the
  // others later (rest set; a cancelled read gives `done` alone). Otherwise
  // `done` gets the whole snapshot and `first` is not called.
  void RequestSnapshot(WaylandReadPlan plan, std::function<void(WaylandSnapshot)> done,
                       std::function<void(WaylandSnapshot)> first = {});
  // The same, waiting for the result.
  WaylandSnapshot ReadSnapshot(WaylandReadPlan plan);
  // Ends the read in progress and every queued one with cancelled=true.
  void CancelPending();

  // Makes `offer` the selection. With `basedOn`, only while no foreign
  // selection newer than that serial has reached us: a copy made meanwhile is
  // newer than the content the caller worked on and must not be replaced. The
  // worker first makes sure it has seen every event the compositor sent before
  // this request. Returns whether the selection was set; false at once while
  // the connection is down. While the worker connects again to a compositor
  // that takes the connection but does not answer, a call waits up to twice
  // the connect timeout.
  bool Write(WaylandOffer offer, std::optional<std::uint64_t> basedOn);

  // Apply to snapshots that start after the call.
  void SetRequestTimeout(std::chrono::milliseconds timeout);
  void SetReadLimit(std::chrono::milliseconds wholeSnapshot);
  void SetSizeCap(std::size_t bytesPerType);
  void SetTotalCap(std::size_t bytesPerSnapshot);

 private:
  class Worker;
  std::unique_ptr<Worker> worker_;
};

}  // namespace tallowin
