// The reader has two halves:
//   SelectionRequestor: the xcb side. One connection, one unmapped requestor
//     window, the ICCCM conversion protocol (ConvertSelection, SelectionNotify,
//     property reads, INCR). Used only on the worker thread once constructed.
//   X11ClipboardReader::Worker: the request queue, the worker thread and
//     cancellation.
//
// Invariants:
// - The only waits on another client are waits for events, and every one of
//   them has a deadline, never later than the snapshot's own, and also wakes
//   for cancellation and shutdown.
//   Replies (GetProperty, InternAtom, ...) come from the server itself.
// - A conversion that was given up (timeout, cancellation, abandoned INCR)
//   retires its property: later requests use the next property of a small
//   pool, so a late answer can only land where nobody looks. Refusals name no
//   property; a late one is told apart by the request's timestamp.
// - Meta targets are never converted, except TARGETS to list the targets.

#include "x11/x11_clipboard_reader.h"

#include <malloc.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <future>
#include <mutex>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <utility>

namespace tallowin {
namespace {

using Clock = std::chrono::steady_clock;

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};
// Every xcb reply and event is malloc'd by xcb and owned by the caller.
template <class T>
using XcbPtr = std::unique_ptr<T, FreeDeleter>;
using EventPtr = XcbPtr<xcb_generic_event_t>;

struct ConnectionDeleter {
  void operator()(xcb_connection_t* c) const { xcb_disconnect(c); }
};
using ConnectionPtr = std::unique_ptr<xcb_connection_t, ConnectionDeleter>;

// Largest piece asked for in one GetProperty, in 32-bit units (256 KiB).
constexpr std::uint32_t kChunkWords = 1u << 16;
// Properties a given-up conversion may still be answered into.
constexpr std::size_t kPropertyPoolSize = 16;
// Remembered given-up requests, for telling late refusals apart.
constexpr std::size_t kAbandonedMemory = 32;
// An unwanted INCR transfer is run to its end for at most this many request
// timeouts before it is abandoned.
constexpr int kDiscardBudgetInTimeouts = 10;
// After a snapshot that fetched more than this, the freed pages go back to the
// system: glibc keeps large freed blocks of the worker's arena otherwise.
constexpr std::size_t kTrimAfterBytes = std::size_t{1} << 20;
constexpr std::string_view kPropertyPrefix = "TALLOWIN_SELECTION_";
constexpr std::string_view kTimestampProperty = "TALLOWIN_TIMESTAMP";

constexpr std::array<std::string_view, 6> kMetaTargets = {
    "TARGETS", "MULTIPLE", "TIMESTAMP", "DELETE", "INCR", "SAVE_TARGETS"};

bool IsMetaTarget(std::string_view name) {
  return std::find(kMetaTargets.begin(), kMetaTargets.end(), name) != kMetaTargets.end();
}

// Server-side pixmap and bitmap handles: ids, not bytes anyone could use.
bool IsHandleTarget(std::string_view name) { return name == "PIXMAP" || name == "BITMAP"; }

std::uint8_t EventType(const xcb_generic_event_t& ev) { return ev.response_type & 0x7f; }

// An eventfd that interrupts the requestor's poll() on cancellation and shutdown.
class WakeUpFd {
 public:
  WakeUpFd() : fd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
  ~WakeUpFd() {
    if (fd_ >= 0) close(fd_);
  }
  WakeUpFd(const WakeUpFd&) = delete;
  WakeUpFd& operator=(const WakeUpFd&) = delete;

  int Fd() const { return fd_; }
  void Signal() const {
    std::uint64_t one = 1;
    static_cast<void>(!write(fd_, &one, sizeof one));
  }
  void Drain() const {
    std::uint64_t count = 0;
    static_cast<void>(!read(fd_, &count, sizeof count));
  }

 private:
  int fd_;
};

enum class Outcome { kDone, kRefused, kTooLarge, kTimedOut, kAborted, kConnectionLost };

// The owner is not going to answer any further request of this snapshot.
bool OwnerStalled(Outcome o) {
  return o == Outcome::kTimedOut || o == Outcome::kConnectionLost;
}

// What to do with content beyond the size cap: fail the target, or keep the
// first `cap` bytes and drop the rest unread.
enum class Overflow { kFail, kTruncate };

struct Fetched {
  Outcome outcome = Outcome::kDone;
  xcb_atom_t type = XCB_NONE;
  std::uint8_t format = 0;
  std::vector<std::uint8_t> bytes;
  bool truncated = false;  // Overflow::kTruncate dropped bytes
};

Fetched Failure(Outcome outcome) {
  Fetched fetched;
  fetched.outcome = outcome;
  return fetched;
}

struct Target {
  xcb_atom_t atom;
  std::string name;
};

struct Limits {
  std::chrono::milliseconds timeout;
  std::chrono::milliseconds readLimit;
  std::size_t sizeCap;
  std::size_t totalCap;
};

using AbortCheck = std::function<bool()>;

bool IsDecodable(const X11ReadPlan& plan, std::string_view name) {
  return std::find(plan.decodableImages.begin(), plan.decodableImages.end(), name) !=
         plan.decodableImages.end();
}

// image/png when offered and decodable, otherwise the first decodable image
// target, otherwise none.
const Target* PreferredImage(const std::vector<Target>& offered, const X11ReadPlan& plan) {
  auto image = std::find_if(offered.begin(), offered.end(), [&](const Target& t) {
    return t.name == "image/png" && IsDecodable(plan, t.name);
  });
  if (image == offered.end()) {
    image = std::find_if(offered.begin(), offered.end(),
                         [&](const Target& t) { return IsDecodable(plan, t.name); });
  }
  return image == offered.end() ? nullptr : &*image;
}

// The targets whose bytes `plan` asks for, in the owner's order.
std::vector<const Target*> PlannedTargets(const std::vector<Target>& offered,
                                          const X11ReadPlan& plan) {
  const Target* image = plan.oneImage ? PreferredImage(offered, plan) : nullptr;
  std::vector<const Target*> planned;
  for (const Target& t : offered) {
    const bool inspected = plan.allTargets && !IsDecodable(plan, t.name) && !IsHandleTarget(t.name);
    if (inspected || &t == image) planned.push_back(&t);
  }
  return planned;
}

class SelectionRequestor {
 public:
  SelectionRequestor(const std::string& displayName, const WakeUpFd& wake);

  bool Connected() const { return window_ != XCB_NONE; }

  // One whole snapshot; returns early with cancelled=true when `aborted` says so.
  X11ClipboardSnapshot Read(const X11ReadPlan& plan, Limits limits, const AbortCheck& aborted);
  // The bytes the last Read() fetched from the server, kept or not.
  std::size_t BytesFetched() const { return fetched_; }

 private:
  xcb_atom_t Intern(std::string_view name);
  std::vector<std::string> AtomNames(const std::vector<xcb_atom_t>& atoms);
  xcb_window_t Owner();
  xcb_timestamp_t ServerTime();

  std::vector<Target> OfferedTargets(const Fetched& targetList);
  void ReadTargets(const std::vector<const Target*>& planned, X11ClipboardSnapshot& snapshot);
  Fetched Convert(xcb_atom_t target, std::size_t cap, Overflow overflow);
  Fetched ReadProperty(std::size_t cap, Overflow overflow);
  Fetched ReadIncr(const Fetched& announcement, std::size_t cap, Overflow overflow);
  Outcome DiscardIncr();
  void Abandon(xcb_atom_t target);
  void RetireProperty();

  // Waits at most one request timeout, and never past `latest` or the end of
  // the snapshot's read limit.
  template <class Match>
  Outcome WaitForEvent(Match match, EventPtr& event,
                       Clock::time_point latest = Clock::time_point::max());
  bool IsAnswerTo(const xcb_generic_event_t& ev, xcb_atom_t target) const;
  bool IsNewValueOf(const xcb_generic_event_t& ev, xcb_atom_t property) const;
  void DiscardPendingEvents();

  ConnectionPtr connection_;
  const WakeUpFd& wake_;
  xcb_window_t window_ = XCB_NONE;
  xcb_atom_t clipboard_ = XCB_NONE;
  xcb_atom_t targetsAtom_ = XCB_NONE;
  xcb_atom_t incrAtom_ = XCB_NONE;
  xcb_atom_t timestampProperty_ = XCB_NONE;
  std::array<xcb_atom_t, kPropertyPoolSize> propertyPool_{};
  std::size_t propertyIndex_ = 0;
  std::unordered_map<xcb_atom_t, std::string> atomNames_;
  std::deque<std::pair<xcb_atom_t, xcb_timestamp_t>> abandoned_;

  // Per snapshot.
  xcb_atom_t property_ = XCB_NONE;
  xcb_timestamp_t time_ = XCB_CURRENT_TIME;
  Limits limits_{X11ClipboardReader::kDefaultRequestTimeout, X11ClipboardReader::kDefaultReadLimit,
                 X11ClipboardReader::kDefaultSizeCap, X11ClipboardReader::kDefaultTotalCap};
  std::size_t fetched_ = 0;
  Clock::time_point readDeadline_ = Clock::time_point::max();
  const AbortCheck* aborted_ = nullptr;
};

SelectionRequestor::SelectionRequestor(const std::string& displayName, const WakeUpFd& wake)
    : wake_(wake) {
  int screenNumber = 0;
  connection_.reset(xcb_connect(displayName.empty() ? nullptr : displayName.c_str(), &screenNumber));
  if (!connection_ || xcb_connection_has_error(connection_.get()) || wake_.Fd() < 0) return;

  xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(connection_.get()));
  for (int i = 0; i < screenNumber && it.rem > 0; ++i) xcb_screen_next(&it);
  if (it.rem == 0) return;

  // Unmapped and input-only: it exists to receive SelectionNotify and to hold
  // the properties owners answer into. It goes away with the connection.
  xcb_window_t window = xcb_generate_id(connection_.get());
  const std::uint32_t eventMask = XCB_EVENT_MASK_PROPERTY_CHANGE;
  xcb_void_cookie_t created = xcb_create_window_checked(
      connection_.get(), XCB_COPY_FROM_PARENT, window, it.data->root, 0, 0, 1, 1, 0,
      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &eventMask);
  if (XcbPtr<xcb_generic_error_t> error{xcb_request_check(connection_.get(), created)}) return;

  clipboard_ = Intern("CLIPBOARD");
  targetsAtom_ = Intern("TARGETS");
  incrAtom_ = Intern("INCR");
  timestampProperty_ = Intern(kTimestampProperty);
  propertyPool_[0] = Intern(std::string(kPropertyPrefix) + "0");
  if (clipboard_ && targetsAtom_ && incrAtom_ && timestampProperty_ && propertyPool_[0]) {
    window_ = window;
  }
}

xcb_atom_t SelectionRequestor::Intern(std::string_view name) {
  xcb_intern_atom_cookie_t cookie = xcb_intern_atom(
      connection_.get(), 0, static_cast<std::uint16_t>(name.size()), name.data());
  XcbPtr<xcb_intern_atom_reply_t> reply{xcb_intern_atom_reply(connection_.get(), cookie, nullptr)};
  if (!reply) return XCB_NONE;
  atomNames_.emplace(reply->atom, std::string(name));
  return reply->atom;
}

// Asks for all unknown names at once; atoms never change meaning while the
// server runs, so the cache lives as long as the connection.
std::vector<std::string> SelectionRequestor::AtomNames(const std::vector<xcb_atom_t>& atoms) {
  // Owners may list ever new atoms; the cache must not grow for the life of the process.
  if (atomNames_.size() > 16 * X11ClipboardReader::kMaxTargets) atomNames_.clear();
  std::vector<std::pair<xcb_atom_t, xcb_get_atom_name_cookie_t>> pending;
  for (xcb_atom_t atom : atoms) {
    if (atom != XCB_NONE && !atomNames_.contains(atom)) {
      pending.emplace_back(atom, xcb_get_atom_name(connection_.get(), atom));
    }
  }
  for (auto& [atom, cookie] : pending) {
    XcbPtr<xcb_get_atom_name_reply_t> reply{
        xcb_get_atom_name_reply(connection_.get(), cookie, nullptr)};
    if (reply) {
      atomNames_[atom] = std::string(xcb_get_atom_name_name(reply.get()),
                                     xcb_get_atom_name_name_length(reply.get()));
    }
  }
  std::vector<std::string> names;
  names.reserve(atoms.size());
  for (xcb_atom_t atom : atoms) {
    auto found = atomNames_.find(atom);
    names.push_back(found == atomNames_.end() ? std::string() : found->second);
  }
  return names;
}

xcb_window_t SelectionRequestor::Owner() {
  XcbPtr<xcb_get_selection_owner_reply_t> reply{xcb_get_selection_owner_reply(
      connection_.get(), xcb_get_selection_owner(connection_.get(), clipboard_), nullptr)};
  return reply ? reply->owner : XCB_NONE;
}

// A zero-length append to our own window yields a PropertyNotify carrying the
// server's current time: the timestamp ICCCM wants on ConvertSelection.
xcb_timestamp_t SelectionRequestor::ServerTime() {
  xcb_change_property(connection_.get(), XCB_PROP_MODE_APPEND, window_, timestampProperty_,
                      XCB_ATOM_STRING, 8, 0, nullptr);
  EventPtr event;
  auto isStamp = [this](const xcb_generic_event_t& ev) {
    return IsNewValueOf(ev, timestampProperty_);
  };
  if (WaitForEvent(isStamp, event) != Outcome::kDone) return XCB_CURRENT_TIME;
  return reinterpret_cast<const xcb_property_notify_event_t*>(event.get())->time;
}

template <class Match>
Outcome SelectionRequestor::WaitForEvent(Match match, EventPtr& event, Clock::time_point latest) {
  const Clock::time_point deadline = std::min({latest, readDeadline_, Clock::now() + limits_.timeout});
  xcb_connection_t* c = connection_.get();
  for (;;) {
    while (EventPtr ev{xcb_poll_for_event(c)}) {
      if (match(*ev)) {
        event = std::move(ev);
        return Outcome::kDone;
      }
    }
    if (xcb_connection_has_error(c)) return Outcome::kConnectionLost;
    if (aborted_ && (*aborted_)()) return Outcome::kAborted;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return Outcome::kTimedOut;

    xcb_flush(c);
    pollfd fds[2] = {{xcb_get_file_descriptor(c), POLLIN, 0}, {wake_.Fd(), POLLIN, 0}};
    const int ready = poll(fds, 2, static_cast<int>(left.count()));
    if (ready < 0 && errno != EINTR) return Outcome::kConnectionLost;
    if (ready > 0 && (fds[1].revents & POLLIN)) wake_.Drain();
  }
}

bool SelectionRequestor::IsAnswerTo(const xcb_generic_event_t& ev, xcb_atom_t target) const {
  if (EventType(ev) != XCB_SELECTION_NOTIFY) return false;
  const auto& n = reinterpret_cast<const xcb_selection_notify_event_t&>(ev);
  if (n.requestor != window_ || n.selection != clipboard_ || n.target != target) return false;
  if (n.property != XCB_NONE) return n.property == property_;
  if (n.time == time_) return true;
  return std::find(abandoned_.begin(), abandoned_.end(), std::pair{target, n.time}) ==
         abandoned_.end();
}

bool SelectionRequestor::IsNewValueOf(const xcb_generic_event_t& ev, xcb_atom_t property) const {
  if (EventType(ev) != XCB_PROPERTY_NOTIFY) return false;
  const auto& n = reinterpret_cast<const xcb_property_notify_event_t&>(ev);
  return n.window == window_ && n.atom == property && n.state == XCB_PROPERTY_NEW_VALUE;
}

void SelectionRequestor::DiscardPendingEvents() {
  while (EventPtr ev{xcb_poll_for_event(connection_.get())}) {
  }
}

X11ClipboardSnapshot SelectionRequestor::Read(const X11ReadPlan& plan, Limits limits,
                                            const AbortCheck& aborted) {
  X11ClipboardSnapshot snapshot;
  if (!Connected() || xcb_connection_has_error(connection_.get())) return snapshot;
  limits_ = limits;
  fetched_ = 0;
  readDeadline_ = Clock::now() + limits.readLimit;
  aborted_ = &aborted;
  property_ = propertyPool_[propertyIndex_];
  DiscardPendingEvents();
  snapshot.owner = Owner();
  if (snapshot.owner == XCB_NONE) return snapshot;
  time_ = ServerTime();

  // A list longer than kMaxTargets is cut, not refused: its first targets are
  // as good as anyone's, and the rest never costs memory.
  const Fetched targetList =
      Convert(targetsAtom_, X11ClipboardReader::kMaxTargets * sizeof(xcb_atom_t), Overflow::kTruncate);
  if (targetList.outcome == Outcome::kAborted) snapshot.cancelled = true;
  if (OwnerStalled(targetList.outcome) || snapshot.cancelled) return snapshot;
  snapshot.ownerAnswered = true;
  if (targetList.outcome != Outcome::kDone) return snapshot;

  const std::vector<Target> offered = OfferedTargets(targetList);
  for (const Target& t : offered) snapshot.targets.push_back(t.name);
  ReadTargets(PlannedTargets(offered, plan), snapshot);
  return snapshot;
}

// After the first target the owner did not answer in time, the rest fail
// unasked: an owner that stopped answering costs one timeout, not one each.
// Each target may take what the total cap leaves of the values kept before it
// (up to the size cap); a later, smaller one may still fit.
void SelectionRequestor::ReadTargets(const std::vector<const Target*>& planned,
                                   X11ClipboardSnapshot& snapshot) {
  bool ownerStalled = false;
  std::size_t kept = 0;
  for (const Target* t : planned) {
    if (ownerStalled) {
      snapshot.failed.push_back(t->name);
      continue;
    }
    const std::size_t room = limits_.totalCap - std::min(kept, limits_.totalCap);
    Fetched fetched = Convert(t->atom, std::min(limits_.sizeCap, room), Overflow::kFail);
    if (fetched.outcome == Outcome::kAborted) {
      snapshot.cancelled = true;
      return;
    }
    if (fetched.outcome == Outcome::kDone) {
      kept += fetched.bytes.size();
      snapshot.data.emplace(t->name, std::move(fetched.bytes));
    } else {
      snapshot.failed.push_back(t->name);
      ownerStalled = OwnerStalled(fetched.outcome);
    }
  }
}

// TARGETS comes back as 32-bit atoms. Meta targets, unnamed atoms and repeats
// are dropped; the first place of a target wins.
std::vector<Target> SelectionRequestor::OfferedTargets(const Fetched& targetList) {
  std::vector<xcb_atom_t> atoms;
  if (targetList.format == 32) {
    atoms.resize(targetList.bytes.size() / sizeof(xcb_atom_t));
    std::memcpy(atoms.data(), targetList.bytes.data(), atoms.size() * sizeof(xcb_atom_t));
  }
  const std::vector<std::string> names = AtomNames(atoms);
  std::vector<Target> offered;
  for (std::size_t i = 0; i < atoms.size(); ++i) {
    const std::string& name = names[i];
    const bool seen = std::any_of(offered.begin(), offered.end(),
                                  [&](const Target& t) { return t.atom == atoms[i]; });
    if (!name.empty() && !IsMetaTarget(name) && !seen) offered.push_back({atoms[i], name});
  }
  return offered;
}

Fetched SelectionRequestor::Convert(xcb_atom_t target, std::size_t cap, Overflow overflow) {
  // Whatever an earlier transfer left in the property must not pass for the answer.
  xcb_delete_property(connection_.get(), window_, property_);
  xcb_convert_selection(connection_.get(), window_, clipboard_, target, property_, time_);

  EventPtr event;
  const Outcome waited = WaitForEvent(
      [this, target](const xcb_generic_event_t& ev) { return IsAnswerTo(ev, target); }, event);
  if (waited != Outcome::kDone) {
    Abandon(target);
    return Failure(waited);
  }
  if (reinterpret_cast<const xcb_selection_notify_event_t*>(event.get())->property == XCB_NONE) {
    return Failure(Outcome::kRefused);
  }

  // The INCR announcement is one 32-bit size: it is never cut short.
  Fetched fetched = ReadProperty(std::max<std::size_t>(cap, sizeof(std::uint32_t)), overflow);
  if (fetched.outcome == Outcome::kDone && fetched.type != incrAtom_ && fetched.bytes.size() > cap) {
    return Failure(Outcome::kTooLarge);  // a few bytes let through for the announcement's sake
  }
  if (fetched.outcome == Outcome::kDone && fetched.type == incrAtom_) {
    fetched = ReadIncr(fetched, cap, overflow);
    const bool finished = fetched.outcome == Outcome::kDone ||
                          (fetched.outcome == Outcome::kTooLarge && DiscardIncr() == Outcome::kDone);
    if (!finished) Abandon(target);
  }
  return fetched;
}

// Reads the property in pieces and deletes it (GetProperty deletes only with
// the last piece, when nothing is left after it). Content longer than `cap` is
// deleted unread (Overflow::kFail), or read up to `cap` and the rest deleted
// unread (Overflow::kTruncate): either way the server never sends more than
// `cap` bytes of it.
Fetched SelectionRequestor::ReadProperty(std::size_t cap, Overflow overflow) {
  Fetched result;
  std::uint32_t offsetWords = 0;
  for (;;) {
    // The pieces come from the server itself, promptly; still, the snapshot's
    // read limit holds between any two of them.
    if (Clock::now() >= readDeadline_) {
      xcb_delete_property(connection_.get(), window_, property_);
      return Failure(Outcome::kTimedOut);
    }
    const std::size_t roomWords = (cap - result.bytes.size()) / 4;
    const std::uint32_t words = overflow == Overflow::kTruncate
                                    ? static_cast<std::uint32_t>(std::min<std::size_t>(kChunkWords, roomWords))
                                    : kChunkWords;
    xcb_get_property_cookie_t cookie = xcb_get_property(
        connection_.get(), 1, window_, property_, XCB_GET_PROPERTY_TYPE_ANY, offsetWords, words);
    XcbPtr<xcb_get_property_reply_t> reply{
        xcb_get_property_reply(connection_.get(), cookie, nullptr)};
    if (!reply) return Failure(Outcome::kConnectionLost);
    if (reply->type == XCB_NONE) return Failure(Outcome::kRefused);

    const auto length = static_cast<std::size_t>(xcb_get_property_value_length(reply.get()));
    if (overflow == Overflow::kFail && result.bytes.size() + length + reply->bytes_after > cap) {
      xcb_delete_property(connection_.get(), window_, property_);
      return Failure(Outcome::kTooLarge);
    }
    const auto* value = static_cast<const std::uint8_t*>(xcb_get_property_value(reply.get()));
    result.bytes.insert(result.bytes.end(), value, value + length);
    fetched_ += length;
    result.type = reply->type;
    result.format = reply->format;
    if (reply->bytes_after == 0) return result;
    if (cap - result.bytes.size() < 4) {  // only with Overflow::kTruncate: the cap is reached
      xcb_delete_property(connection_.get(), window_, property_);
      result.truncated = true;
      return result;
    }
    offsetWords += static_cast<std::uint32_t>(length / 4);
  }
}

// The INCR property has already been read and deleted, which tells the owner
// to start. Each further piece arrives as a new value of our property and is
// taken by deleting it; a zero-length piece ends the transfer. With
// Overflow::kTruncate, the pieces beyond `cap` are still taken to the end, but
// deleted unread.
Fetched SelectionRequestor::ReadIncr(const Fetched& announcement, std::size_t cap, Overflow overflow) {
  std::uint32_t sizeHint = 0;
  if (announcement.bytes.size() >= sizeof sizeHint) {
    std::memcpy(&sizeHint, announcement.bytes.data(), sizeof sizeHint);
  }
  if (overflow == Overflow::kFail && sizeHint > cap) return Failure(Outcome::kTooLarge);

  Fetched result;
  result.bytes.reserve(std::min<std::size_t>(sizeHint, cap));
  const xcb_atom_t property = property_;
  auto isNextPiece = [this, property](const xcb_generic_event_t& ev) {
    return IsNewValueOf(ev, property);
  };
  for (;;) {
    EventPtr event;
    const Outcome waited = WaitForEvent(isNextPiece, event);
    if (waited != Outcome::kDone) return Failure(waited);
    Fetched piece = ReadProperty(cap - result.bytes.size(), overflow);
    if (piece.outcome != Outcome::kDone) return piece;
    if (piece.bytes.empty() && !piece.truncated) {
      result.type = piece.type;
      result.format = piece.format;
      return result;
    }
    result.bytes.insert(result.bytes.end(), piece.bytes.begin(), piece.bytes.end());
    result.truncated = result.truncated || piece.truncated;
  }
}

// Some owners serve nobody else while an INCR transfer is open, and wait
// forever for the deletion that asks for the next piece. So a transfer we do
// not want is still taken to its end: each piece is deleted unread (only its
// length is asked for), until the zero-length piece.
Outcome SelectionRequestor::DiscardIncr() {
  const Clock::time_point budget = Clock::now() + kDiscardBudgetInTimeouts * limits_.timeout;
  const xcb_atom_t property = property_;
  auto isNextPiece = [this, property](const xcb_generic_event_t& ev) {
    return IsNewValueOf(ev, property);
  };
  for (;;) {
    EventPtr event;
    const Outcome waited = WaitForEvent(isNextPiece, event, budget);
    if (waited != Outcome::kDone) return waited;
    XcbPtr<xcb_get_property_reply_t> reply{xcb_get_property_reply(
        connection_.get(),
        xcb_get_property(connection_.get(), 0, window_, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 0),
        nullptr)};
    if (!reply) return Outcome::kConnectionLost;
    if (reply->type == XCB_NONE) continue;
    xcb_delete_property(connection_.get(), window_, property);
    if (reply->bytes_after == 0) return Outcome::kDone;
  }
}

void SelectionRequestor::Abandon(xcb_atom_t target) {
  abandoned_.emplace_back(target, time_);
  if (abandoned_.size() > kAbandonedMemory) abandoned_.pop_front();
  RetireProperty();
}

void SelectionRequestor::RetireProperty() {
  propertyIndex_ = (propertyIndex_ + 1) % kPropertyPoolSize;
  xcb_atom_t& next = propertyPool_[propertyIndex_];
  if (next == XCB_NONE) next = Intern(std::string(kPropertyPrefix) + std::to_string(propertyIndex_));
  if (next != XCB_NONE) property_ = next;
}

}  // namespace

class X11ClipboardReader::Worker {
 public:
  explicit Worker(const std::string& displayName)
      : requestor_(displayName, wake_), thread_([this] { Run(); }) {}

  ~Worker() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    stopRequested_ = true;
    queueChanged_.notify_all();
    wake_.Signal();
    thread_.join();
  }

  bool Connected() const { return requestor_.Connected(); }

  void Enqueue(X11ReadPlan plan, std::function<void(X11ClipboardSnapshot)> done) {
    {
      std::lock_guard lock(mutex_);
      queue_.push_back({plan, std::move(done), cancelEpoch_.load()});
    }
    queueChanged_.notify_one();
  }

  void CancelPending() {
    {
      std::lock_guard lock(mutex_);
      ++cancelEpoch_;
    }
    wake_.Signal();
  }

  void SetTimeout(std::chrono::milliseconds timeout) { timeoutMs_ = timeout.count(); }
  void SetReadLimit(std::chrono::milliseconds limit) { readLimitMs_ = limit.count(); }
  void SetSizeCap(std::size_t cap) { sizeCap_ = cap; }
  void SetTotalCap(std::size_t cap) { totalCap_ = cap; }

 private:
  struct Request {
    X11ReadPlan plan;
    std::function<void(X11ClipboardSnapshot)> done;
    std::uint64_t epoch;
  };

  void Run() {
    for (;;) {
      Request request;
      {
        std::unique_lock lock(mutex_);
        queueChanged_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (stopping_) return;
        request = std::move(queue_.front());
        queue_.pop_front();
      }
      const AbortCheck aborted = [this, &request] {
        return stopRequested_.load() || request.epoch < cancelEpoch_.load();
      };
      X11ClipboardSnapshot snapshot;
      if (aborted()) {
        snapshot.cancelled = true;
      } else {
        const Limits limits{std::chrono::milliseconds(timeoutMs_.load()),
                            std::chrono::milliseconds(readLimitMs_.load()), sizeCap_.load(), totalCap_.load()};
        snapshot = requestor_.Read(request.plan, limits, aborted);
      }
      if (stopRequested_) return;
      if (request.done) request.done(std::move(snapshot));
      snapshot = {};
      if (requestor_.BytesFetched() > kTrimAfterBytes) malloc_trim(0);
    }
  }

  WakeUpFd wake_;
  SelectionRequestor requestor_;
  std::mutex mutex_;
  std::condition_variable queueChanged_;
  std::deque<Request> queue_;
  bool stopping_ = false;
  std::atomic<bool> stopRequested_{false};
  std::atomic<std::uint64_t> cancelEpoch_{0};
  std::atomic<std::int64_t> timeoutMs_{kDefaultRequestTimeout.count()};
  std::atomic<std::int64_t> readLimitMs_{kDefaultReadLimit.count()};
  std::atomic<std::size_t> sizeCap_{kDefaultSizeCap};
  std::atomic<std::size_t> totalCap_{kDefaultTotalCap};
  std::thread thread_;  // last: starts after everything it uses exists
};

X11ClipboardReader::X11ClipboardReader(std::string displayName)
    : worker_(std::make_unique<Worker>(displayName)) {}

X11ClipboardReader::~X11ClipboardReader() = default;

bool X11ClipboardReader::Connected() const { return worker_->Connected(); }

void X11ClipboardReader::RequestSnapshot(X11ReadPlan plan,
                                         std::function<void(X11ClipboardSnapshot)> done) {
  worker_->Enqueue(plan, std::move(done));
}

X11ClipboardSnapshot X11ClipboardReader::ReadSnapshot(X11ReadPlan plan) {
  auto result = std::make_shared<std::promise<X11ClipboardSnapshot>>();
  std::future<X11ClipboardSnapshot> ready = result->get_future();
  worker_->Enqueue(plan, [result](X11ClipboardSnapshot s) { result->set_value(std::move(s)); });
  return ready.get();
}

void X11ClipboardReader::CancelPending() { worker_->CancelPending(); }

void X11ClipboardReader::SetRequestTimeout(std::chrono::milliseconds timeout) {
  worker_->SetTimeout(timeout);
}

void X11ClipboardReader::SetReadLimit(std::chrono::milliseconds wholeSnapshot) {
  worker_->SetReadLimit(wholeSnapshot);
}

void X11ClipboardReader::SetSizeCap(std::size_t bytesPerTarget) { worker_->SetSizeCap(bytesPerTarget); }

void X11ClipboardReader::SetTotalCap(std::size_t bytesPerSnapshot) { worker_->SetTotalCap(bytesPerSnapshot); }

}  // namespace tallowin
