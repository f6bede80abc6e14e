#pragma once
// Reads foreign CLIPBOARD content on X11 without ever blocking the caller.
//
// Qt's own reads block the GUI thread for seconds per request against an
// owner that does not answer, so the GUI thread never reads through Qt.
// Instead it asks this reader for a snapshot; the reader talks to the owner
// over its own xcb connection on its own worker thread, with a timeout on
// every request, and hands the result back through a callback.
//
// This file is plain C++ and xcb (no Qt), so it can be tested on its own
// under any X server.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace tallowin {

// What the CLIPBOARD owner offered at the time of one request.
struct X11ClipboardSnapshot {
  // False when nobody owns CLIPBOARD, when the owner did not answer the
  // TARGETS request within the timeout, or when the request was cancelled or
  // the connection is gone. An owner that answers but refuses TARGETS counts
  // as answered, with an empty `targets`.
  bool ownerAnswered = false;
  // The window that owned CLIPBOARD when the read began; 0 when nobody did.
  std::uint32_t owner = 0;
  // True only when CancelPending() ended this request; everything else is then
  // as incomplete as the cancellation left it.
  bool cancelled = false;
  // The owner's targets in its order, each once (first place wins), without
  // the meta targets TARGETS, MULTIPLE, TIMESTAMP, DELETE, INCR, SAVE_TARGETS.
  std::vector<std::string> targets;
  // Raw property bytes of each target that was read completely, keyed by
  // target name. Every key is also in `targets`.
  std::map<std::string, std::vector<std::uint8_t>> data;
  // Targets the plan asked for that could not be read: the owner refused the
  // conversion, did not answer in time, died mid-transfer, or the content was
  // larger than the size cap or than what the total cap left. Also the targets
  // skipped after the owner stopped answering (see X11ClipboardReader). In
  // `targets` order.
  std::vector<std::string> failed;
};

// What to fetch besides the target list.
struct X11ReadPlan {
  // The bytes of every listed target except the decodable images and the
  // server-side handles PIXMAP and BITMAP, for the format inspector.
  bool allTargets = true;
  // The bytes of one decodable image target: image/png when listed and
  // decodable, otherwise the first decodable one listed.
  bool oneImage = true;
  // The image targets (MIME types) the caller's picture decoder reads. An
  // image type not named here is a target like any other.
  std::vector<std::string> decodableImages;
};

// One xcb connection, one hidden requestor window and one worker thread.
//
// Every request to the owner waits at most the request timeout (default
// kDefaultRequestTimeout) for the owner's answer, and an INCR transfer waits at
// most that long for each chunk. A whole snapshot takes at most the read limit
// (default kDefaultReadLimit), so an owner that trickles its content piece by
// piece, each just in time, cannot hold the reader either. The first request
// that times out (or meets the read limit) ends the snapshot: the targets not
// yet read go to `failed` without being asked for, so an owner that has
// stopped answering costs about one timeout per snapshot, not one per target.
//
// Only the first kMaxTargets targets of the owner's list are taken; the rest
// of a longer list is never fetched. Conversions are made with a fresh server
// timestamp, never for the meta targets, and into a property of the reader's
// own; an answer that arrives after its request gave up is recognised and
// dropped.
//
// The size cap (default kDefaultSizeCap, 64 MiB) limits the bytes of one
// target, INCR transfers included; a larger target goes to `failed`. The total
// cap (default kDefaultTotalCap, 256 MiB) limits the bytes of all targets of
// one snapshot together: a target larger than what the ones kept before it
// leave goes to `failed` too, and the next, smaller one may still fit. The
// pages a large snapshot freed go back to the system once it is delivered. A larger
// INCR transfer is still run to its end without fetching its bytes (for at
// most ten request timeouts, and never past the read limit), because some
// owners serve nobody else until an open transfer ends.
//
// Thread safety: every public member may be called from any thread, except
// that ReadSnapshot() must not be called from inside a `done` callback.
// ReadSnapshot() blocks its caller, so never call it on the thread that
// answers for this process's own clipboard ownership (the GUI thread after a
// write of ours): that owner cannot answer, and the read times out.
class X11ClipboardReader {
 public:
  static constexpr std::chrono::milliseconds kDefaultRequestTimeout{1000};
  static constexpr std::chrono::milliseconds kDefaultReadLimit{5000};
  static constexpr std::size_t kDefaultSizeCap = std::size_t{64} << 20;
  static constexpr std::size_t kDefaultTotalCap = std::size_t{256} << 20;
  static constexpr std::size_t kMaxTargets = 1000;

  // Opens its own xcb connection to `displayName` (empty: $DISPLAY), creates
  // the requestor window and starts the worker thread. Never throws for a
  // missing display: Connected() then says false and every snapshot comes back
  // with ownerAnswered=false.
  explicit X11ClipboardReader(std::string displayName = {});
  // Aborts the request in progress (at its next wait, so promptly), drops the
  // queued ones and joins the worker. The `done` of requests not finished by
  // then is never called; after the destructor returns no `done` runs.
  ~X11ClipboardReader();

  X11ClipboardReader(const X11ClipboardReader&) = delete;
  X11ClipboardReader& operator=(const X11ClipboardReader&) = delete;

  // Whether the connection and the requestor window were set up. A connection
  // lost later is not reported here: every snapshot then comes back at once
  // with ownerAnswered=false.
  bool Connected() const;

  // Queues one snapshot request and returns at once. `done` is called exactly
  // once, on the worker thread, with the result (unless the reader is
  // destroyed first). Requests are served one at a time in order; `done` must
  // not block for long, since the next request waits for it.
  void RequestSnapshot(X11ReadPlan plan, std::function<void(X11ClipboardSnapshot)> done);

  // Runs the same code as RequestSnapshot on the worker and waits for it. For
  // the command line and tests; the GUI thread uses RequestSnapshot.
  X11ClipboardSnapshot ReadSnapshot(X11ReadPlan plan);

  // Ends the request in progress and every queued one: their `done` is called
  // promptly on the worker thread with cancelled=true. Requests queued after
  // this call are served normally.
  void CancelPending();

  // Apply to requests that start after the call.
  void SetRequestTimeout(std::chrono::milliseconds timeout);
  void SetReadLimit(std::chrono::milliseconds wholeSnapshot);
  void SetSizeCap(std::size_t bytesPerTarget);
  void SetTotalCap(std::size_t bytesPerSnapshot);

 private:
  class Worker;
  std::unique_ptr<Worker> worker_;
};

}  // namespace tallowin
