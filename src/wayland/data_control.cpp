#include "wayland/data_control.h"

#include <fcntl.h>
#include <malloc.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>
#include <future>
#include <mutex>
#include <random>
#include <set>
#include <thread>

#include "ext-data-control-v1-client-protocol.h"
#include "wlr-data-control-unstable-v1-client-protocol.h"

namespace tallowin {
namespace {

// Both protocols have the same requests and events in the same order with the
// same arguments, so one set of opcodes and one listener layout serve both;
// only the interfaces of the objects differ.
static_assert(EXT_DATA_CONTROL_MANAGER_V1_CREATE_DATA_SOURCE == ZWLR_DATA_CONTROL_MANAGER_V1_CREATE_DATA_SOURCE);
static_assert(EXT_DATA_CONTROL_MANAGER_V1_GET_DATA_DEVICE == ZWLR_DATA_CONTROL_MANAGER_V1_GET_DATA_DEVICE);
static_assert(EXT_DATA_CONTROL_MANAGER_V1_DESTROY == ZWLR_DATA_CONTROL_MANAGER_V1_DESTROY);
static_assert(EXT_DATA_CONTROL_DEVICE_V1_SET_SELECTION == ZWLR_DATA_CONTROL_DEVICE_V1_SET_SELECTION);
static_assert(EXT_DATA_CONTROL_DEVICE_V1_DESTROY == ZWLR_DATA_CONTROL_DEVICE_V1_DESTROY);
static_assert(EXT_DATA_CONTROL_SOURCE_V1_OFFER == ZWLR_DATA_CONTROL_SOURCE_V1_OFFER);
static_assert(EXT_DATA_CONTROL_SOURCE_V1_DESTROY == ZWLR_DATA_CONTROL_SOURCE_V1_DESTROY);
static_assert(EXT_DATA_CONTROL_OFFER_V1_RECEIVE == ZWLR_DATA_CONTROL_OFFER_V1_RECEIVE);
static_assert(EXT_DATA_CONTROL_OFFER_V1_DESTROY == ZWLR_DATA_CONTROL_OFFER_V1_DESTROY);

struct Interfaces {
  const wl_interface* manager;
  const wl_interface* device;
  const wl_interface* source;
  const wl_interface* offer;
};
constexpr Interfaces kExt{&ext_data_control_manager_v1_interface, &ext_data_control_device_v1_interface,
                          &ext_data_control_source_v1_interface, &ext_data_control_offer_v1_interface};
constexpr Interfaces kWlr{&zwlr_data_control_manager_v1_interface, &zwlr_data_control_device_v1_interface,
                          &zwlr_data_control_source_v1_interface, &zwlr_data_control_offer_v1_interface};

// The listener layouts the two protocols share, with untyped objects.
struct DeviceListener {
  void (*dataOffer)(void* data, wl_proxy* device, wl_proxy* offer);
  void (*selection)(void* data, wl_proxy* device, wl_proxy* offer);
  void (*finished)(void* data, wl_proxy* device);
  void (*primarySelection)(void* data, wl_proxy* device, wl_proxy* offer);
};
struct SourceListener {
  void (*send)(void* data, wl_proxy* source, const char* mimeType, int32_t fd);
  void (*cancelled)(void* data, wl_proxy* source);
};
struct OfferListener {
  void (*offer)(void* data, wl_proxy* offer, const char* mimeType);
};
static_assert(sizeof(DeviceListener) == sizeof(ext_data_control_device_v1_listener));
static_assert(sizeof(DeviceListener) == sizeof(zwlr_data_control_device_v1_listener));
static_assert(sizeof(SourceListener) == sizeof(ext_data_control_source_v1_listener));
static_assert(sizeof(OfferListener) == sizeof(ext_data_control_offer_v1_listener));

using Clock = std::chrono::steady_clock;

// A value arrives in blocks of kBlock bytes, each filled before the next is
// made: no buffer grows by copying, and a dropped value's blocks are reused by
// the others' (the same size from the same arena) instead of leaving holes.
constexpr std::size_t kBlock = 64 * 1024;
// The read() calls one pipe gets per round of the poll loop: an owner that
// writes as fast as we read holds neither the other types nor the deadline
// checks up.
constexpr int kReadsPerRound = 16;
// After a read that took in more than this, its freed pages go back to the
// system: glibc keeps large freed blocks of the worker's arena otherwise.
constexpr std::size_t kTrimAfterBytes = std::size_t{1} << 20;

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

std::string OwnMarker() {
  std::random_device random;
  char token[40];
  std::snprintf(token, sizeof token, "%08x%08x.%d", random(), random(), static_cast<int>(::getpid()));
  return std::string(WaylandDataControl::kOwnMarkerPrefix) + token;
}

WaylandSnapshot CancelledSnapshot() {
  WaylandSnapshot snapshot;
  snapshot.cancelled = true;
  return snapshot;
}

int MillisecondsUntil(Clock::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return static_cast<int>(std::clamp<long long>(left, 0, 60'000));
}

}  // namespace

class WaylandDataControl::Worker {
 public:
  Worker(const std::string& displayName, std::chrono::milliseconds connectTimeout);
  ~Worker();

  DataControlProtocol protocol = DataControlProtocol::kNone;
  std::string problem;
  std::atomic<std::uint64_t> foreignSerial{0};

  void Start(std::function<void(std::uint64_t)> onChange,
             std::function<void(const WaylandConnectionEvent&)> onConnection);
  void Post(std::function<void()> command);

  // Commands, run on the worker.
  struct SnapshotRequest {
    WaylandReadPlan plan;
    std::function<void(WaylandSnapshot)> done;
    std::function<void(WaylandSnapshot)> first;
  };
  void BeginSnapshot(SnapshotRequest request);
  void CancelAll();
  bool DoWrite(const WaylandOffer& offer, std::optional<std::uint64_t> basedOn);

  std::chrono::milliseconds requestTimeout = kDefaultRequestTimeout;
  std::chrono::milliseconds readLimit = kDefaultReadLimit;
  std::size_t sizeCap = kDefaultSizeCap;
  std::size_t totalCap = kDefaultTotalCap;

 private:
  struct Offer {
    std::vector<std::string> types;
    bool ours = false;
  };
  struct Source {
    WaylandOffer data;
  };
  struct Block {
    std::unique_ptr<std::uint8_t[]> bytes = std::make_unique_for_overwrite<std::uint8_t[]>(kBlock);
    std::size_t used = 0;
  };
  // One type the read wants from the selection's owner. It waits to be asked
  // for (`asked` false), is being read (`fd` open), or is over (asked, fd < 0).
  struct Pipe {
    std::string type;
    int fd = -1;
    bool asked = false;
    std::vector<Block> blocks;  // what has arrived; only the last one is not full
    std::size_t size = 0;       // bytes in `blocks`
    Clock::time_point lastProgress;
  };
  // The blocks of `pipe` as one value; each block is freed once copied.
  static std::vector<std::uint8_t> TakeValue(Pipe& pipe);
  struct Read {
    WaylandSnapshot snapshot;
    std::function<void(WaylandSnapshot)> done;
    std::function<void(WaylandSnapshot)> first;  // empty once the first part is delivered, or with none
    std::set<std::string> firstTypes;             // the pipes' types that make the first part
    std::vector<Pipe> pipes;                      // in the owner's order
    std::vector<std::size_t> askOrder;            // indices into `pipes`: the first part's types first
    std::size_t nextToAsk = 0;                    // into askOrder
    std::size_t open = 0;                         // pipes with an open fd
    std::size_t held = 0;                         // bytes of the values kept and being read
    std::size_t taken = 0;                        // bytes read in all, kept or not
    // The offer the types are asked of; null once the selection has changed
    // or the connection is gone: the types not asked for by then fail.
    wl_proxy* offer = nullptr;
    Clock::time_point deadline;
  };
  // Asks the owner for further types while fewer than kMaxOpenPipes are open.
  void AskForMore();
  // Opens a pipe for `pipe` and asks the read's offer to fill it; returns 0 or
  // the errno of the pipe or descriptor that could not be made.
  int Ask(Pipe& pipe, Clock::time_point now);
  // Hands the first part over once none of its types is still waiting or being read.
  void DeliverFirstPart();
  // Our data on its way to a reader.
  struct Serve {
    int fd = -1;
    std::shared_ptr<const std::string> bytes;
    std::size_t sent = 0;
    Clock::time_point deadline;
  };

  // Sets up display_, the seat, the manager and the device; returns the
  // protocol bound, or kNone with `problem` saying why.
  DataControlProtocol Connect(std::chrono::milliseconds timeout, std::string& problem);
  // Destroys every object of the connection and the connection itself.
  void Disconnect();
  // A connection found broken: reported, torn down, and tried again later.
  void LoseConnection();
  void Reconnect();
  // Waits until the compositor has answered everything sent so far, handling
  // the events that arrive meanwhile; false when it did not answer in time.
  bool Roundtrip(std::chrono::milliseconds timeout);
  // Reads and handles what the compositor has sent, waiting at most `timeoutMs`.
  bool PumpDisplay(int timeoutMs);
  void Run();
  void RunCommands();
  void StartNextRead();
  void ProgressReads(const std::vector<pollfd>& fds, std::size_t first);
  void FinishRead(bool cancelled);
  void ProgressServes(const std::vector<pollfd>& fds, std::size_t first);
  void Destroy(wl_proxy*& proxy);

  static void OnGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t version);
  static void OnGlobalRemove(void*, wl_registry*, uint32_t) {}
  static void OnDataOffer(void* data, wl_proxy* device, wl_proxy* offer);
  static void OnSelection(void* data, wl_proxy* device, wl_proxy* offer);
  static void OnFinished(void* data, wl_proxy* device);
  static void OnPrimarySelection(void* data, wl_proxy* device, wl_proxy* offer);
  static void OnOfferType(void* data, wl_proxy* offer, const char* mimeType);
  static void OnSend(void* data, wl_proxy* source, const char* mimeType, int32_t fd);
  static void OnCancelled(void* data, wl_proxy* source);
  static void OnSyncDone(void* data, wl_callback* callback, uint32_t);

  static constexpr wl_registry_listener kRegistryListener{&OnGlobal, &OnGlobalRemove};
  static constexpr DeviceListener kDeviceListener{&OnDataOffer, &OnSelection, &OnFinished, &OnPrimarySelection};
  static constexpr OfferListener kOfferListener{&OnOfferType};
  static constexpr SourceListener kSourceListener{&OnSend, &OnCancelled};
  static constexpr wl_callback_listener kSyncListener{&OnSyncDone};

  wl_display* display_ = nullptr;
  wl_registry* registry_ = nullptr;
  wl_seat* seat_ = nullptr;
  wl_proxy* manager_ = nullptr;
  wl_proxy* device_ = nullptr;
  const Interfaces* interfaces_ = nullptr;
  std::uint32_t extName_ = 0, wlrName_ = 0, wlrVersion_ = 0;
  bool dead_ = false;  // the connection failed, the device is gone, or there is no connection
  bool finished_ = false;  // the compositor withdrew the device

  const std::string displayName_;
  const std::chrono::milliseconds connectTimeout_;
  std::function<void(const WaylandConnectionEvent&)> onConnection_;
  Clock::time_point connectedSince_;
  Clock::time_point reconnectAt_;  // while display_ is null after a failure
  std::chrono::milliseconds reconnectDelay_ = kFirstReconnectDelay;

  std::map<wl_proxy*, Offer> offers_;  // announced offers, the selection's among them
  wl_proxy* selection_ = nullptr;
  bool started_ = false;
  std::function<void(std::uint64_t)> onChange_;
  std::string marker_ = OwnMarker();

  std::map<wl_proxy*, Source> sources_;  // ours, until cancelled
  std::vector<Serve> serves_;

  std::deque<SnapshotRequest> queuedReads_;
  std::optional<Read> read_;

  int wake_ = -1;  // eventfd: commands are waiting, or the worker is to stop
  std::mutex mutex_;
  std::deque<std::function<void()>> commands_;
  bool stop_ = false;
  std::thread thread_;
};

WaylandDataControl::Worker::Worker(const std::string& displayName, std::chrono::milliseconds connectTimeout)
    : displayName_(displayName), connectTimeout_(connectTimeout) {
  wake_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  protocol = Connect(connectTimeout_, problem);
  connectedSince_ = Clock::now();
}

DataControlProtocol WaylandDataControl::Worker::Connect(std::chrono::milliseconds timeout, std::string& problem) {
  dead_ = false;
  display_ = wl_display_connect(displayName_.empty() ? nullptr : displayName_.c_str());
  if (!display_) {
    dead_ = true;
    problem = "cannot connect to the Wayland display";
    return DataControlProtocol::kNone;
  }
  registry_ = wl_display_get_registry(display_);
  wl_registry_add_listener(registry_, &kRegistryListener, this);
  if (!Roundtrip(timeout)) {
    problem = "the Wayland compositor did not answer";
    return DataControlProtocol::kNone;
  }
  if (!seat_) {
    problem = "the Wayland compositor offers no seat";
    return DataControlProtocol::kNone;
  }
  DataControlProtocol bound;
  if (extName_ != 0) {
    interfaces_ = &kExt;
    manager_ = static_cast<wl_proxy*>(wl_registry_bind(registry_, extName_, kExt.manager, 1));
    bound = DataControlProtocol::kExt;
  } else if (wlrName_ != 0) {
    interfaces_ = &kWlr;
    // Version 1 suffices: the primary selection of version 2 is not watched.
    manager_ = static_cast<wl_proxy*>(wl_registry_bind(registry_, wlrName_, kWlr.manager, 1));
    bound = DataControlProtocol::kWlr;
  } else {
    problem = "the Wayland compositor offers no data-control protocol";
    return DataControlProtocol::kNone;
  }
  device_ = wl_proxy_marshal_flags(manager_, EXT_DATA_CONTROL_MANAGER_V1_GET_DATA_DEVICE, interfaces_->device,
                                   wl_proxy_get_version(manager_), 0, nullptr, seat_);
  wl_proxy_add_listener(device_, reinterpret_cast<void (**)(void)>(const_cast<DeviceListener*>(&kDeviceListener)),
                        this);
  // The device reports the selection present now: at the start it is the start
  // content, not a change; on a connection made again it is one (see OnSelection).
  if (!Roundtrip(timeout)) {
    problem = "the Wayland compositor did not answer";
    return DataControlProtocol::kNone;
  }
  return bound;
}

void WaylandDataControl::Worker::Disconnect() {
  if (read_) read_->offer = nullptr;
  for (auto& [source, unused] : sources_) {
    wl_proxy* p = source;
    Destroy(p);
  }
  sources_.clear();
  for (auto& [offer, unused] : offers_) {
    wl_proxy* p = offer;
    Destroy(p);
  }
  offers_.clear();
  selection_ = nullptr;
  Destroy(device_);
  Destroy(manager_);
  if (seat_) wl_seat_destroy(seat_);
  seat_ = nullptr;
  if (registry_) wl_registry_destroy(registry_);
  registry_ = nullptr;
  if (display_) wl_display_disconnect(display_);
  display_ = nullptr;
  interfaces_ = nullptr;
  extName_ = wlrName_ = wlrVersion_ = 0;
  dead_ = true;
  finished_ = false;
}

void WaylandDataControl::Worker::LoseConnection() {
  std::string reason;
  if (finished_) {
    reason = "the compositor withdrew the clipboard device";
  } else if (const int error = wl_display_get_error(display_); error == EPROTO) {
    reason = "protocol error";
  } else {
    reason = error != 0 ? std::strerror(error) : "the connection ended";
  }
  Disconnect();
  const Clock::time_point now = Clock::now();
  // A connection that worked for a while starts the delays afresh; one that
  // fails again soon after it was made keeps doubling them.
  if (now - connectedSince_ >= kMaxReconnectDelay) reconnectDelay_ = kFirstReconnectDelay;
  reconnectAt_ = now + reconnectDelay_;
  if (onConnection_) onConnection_(WaylandConnectionEvent{true, reason});
}

void WaylandDataControl::Worker::Reconnect() {
  std::string ignored;
  if (Connect(connectTimeout_, ignored) == DataControlProtocol::kNone) {
    Disconnect();
    reconnectDelay_ = std::min<std::chrono::milliseconds>(reconnectDelay_ * 2, kMaxReconnectDelay);
    reconnectAt_ = Clock::now() + reconnectDelay_;
    return;
  }
  connectedSince_ = Clock::now();
  reconnectDelay_ = std::min<std::chrono::milliseconds>(reconnectDelay_ * 2, kMaxReconnectDelay);
  if (onConnection_) onConnection_(WaylandConnectionEvent{false, {}});
}

void WaylandDataControl::Worker::OnGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface,
                                          uint32_t version) {
  auto* self = static_cast<Worker*>(data);
  const std::string_view iface(interface);
  if (iface == wl_seat_interface.name && !self->seat_) {
    // The first seat: a desktop has one.
    self->seat_ = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
  } else if (iface == ext_data_control_manager_v1_interface.name) {
    self->extName_ = name;
  } else if (iface == zwlr_data_control_manager_v1_interface.name) {
    self->wlrName_ = name;
    self->wlrVersion_ = version;
  }
}

void WaylandDataControl::Worker::OnSyncDone(void* data, wl_callback*, uint32_t) {
  if (data) *static_cast<bool*>(data) = true;
}

bool WaylandDataControl::Worker::Roundtrip(std::chrono::milliseconds timeout) {
  if (dead_) return false;
  bool done = false;
  wl_callback* callback = wl_display_sync(display_);
  wl_callback_add_listener(callback, &kSyncListener, &done);
  const Clock::time_point deadline = Clock::now() + timeout;
  while (!done && !dead_) {
    const int left = MillisecondsUntil(deadline);
    if (!PumpDisplay(left) || (left == 0 && !done)) break;
  }
  if (!done) {
    // The callback must not fire into `done` once this frame is gone.
    wl_proxy_set_user_data(reinterpret_cast<wl_proxy*>(callback), nullptr);
    wl_callback_destroy(callback);
    return false;
  }
  wl_callback_destroy(callback);
  return true;
}

bool WaylandDataControl::Worker::PumpDisplay(int timeoutMs) {
  if (dead_) return false;
  while (wl_display_prepare_read(display_) != 0) {
    if (wl_display_dispatch_pending(display_) < 0) return dead_ = true, false;
  }
  if (wl_display_flush(display_) < 0 && errno != EAGAIN) {
    wl_display_cancel_read(display_);
    return dead_ = true, false;
  }
  pollfd fd{wl_display_get_fd(display_), POLLIN, 0};
  if (::poll(&fd, 1, timeoutMs) > 0) {
    if (wl_display_read_events(display_) < 0) return dead_ = true, false;
  } else {
    wl_display_cancel_read(display_);
  }
  if (wl_display_dispatch_pending(display_) < 0) return dead_ = true, false;
  return true;
}

void WaylandDataControl::Worker::Destroy(wl_proxy*& proxy) {
  if (!proxy) return;
  // Every data-control object's destroy request has opcode 1, the manager's 2.
  const std::uint32_t opcode = proxy == manager_ ? EXT_DATA_CONTROL_MANAGER_V1_DESTROY : EXT_DATA_CONTROL_OFFER_V1_DESTROY;
  wl_proxy_marshal_flags(proxy, opcode, nullptr, wl_proxy_get_version(proxy), WL_MARSHAL_FLAG_DESTROY);
  proxy = nullptr;
}

void WaylandDataControl::Worker::OnDataOffer(void* data, wl_proxy*, wl_proxy* offer) {
  auto* self = static_cast<Worker*>(data);
  wl_proxy_add_listener(offer, reinterpret_cast<void (**)(void)>(const_cast<OfferListener*>(&kOfferListener)), self);
  self->offers_.emplace(offer, Offer{});
}

void WaylandDataControl::Worker::OnOfferType(void* data, wl_proxy* offer, const char* mimeType) {
  auto* self = static_cast<Worker*>(data);
  auto it = self->offers_.find(offer);
  if (it == self->offers_.end()) return;
  if (mimeType == self->marker_) {
    it->second.ours = true;
    return;
  }
  // Another instance's marker says only who wrote; it is no content.
  if (std::string_view(mimeType).starts_with(kOwnMarkerPrefix)) return;
  std::vector<std::string>& types = it->second.types;
  // A list longer than kMaxTypes is cut; a repeated type is listed where it first stands.
  if (types.size() < kMaxTypes && std::find(types.begin(), types.end(), mimeType) == types.end()) {
    types.emplace_back(mimeType);
  }
}

void WaylandDataControl::Worker::OnSelection(void* data, wl_proxy*, wl_proxy* offer) {
  auto* self = static_cast<Worker*>(data);
  if (self->selection_ && self->selection_ != offer) {
    self->offers_.erase(self->selection_);
    self->Destroy(self->selection_);
  }
  // A read still asking the old offer for types would get the new owner's data or none.
  if (self->read_ && self->read_->offer != offer) self->read_->offer = nullptr;
  self->selection_ = offer;
  const auto it = offer ? self->offers_.find(offer) : self->offers_.end();
  if (it != self->offers_.end() && it->second.ours) return;  // the echo of a write of ours
  // Before Start() this is the start content (see Connect).
  const std::uint64_t serial = self->foreignSerial.fetch_add(1) + 1;
  if (self->started_ && self->onChange_) self->onChange_(serial);
}

void WaylandDataControl::Worker::OnPrimarySelection(void* data, wl_proxy*, wl_proxy* offer) {
  auto* self = static_cast<Worker*>(data);
  if (!offer || offer == self->selection_) return;
  self->offers_.erase(offer);
  self->Destroy(offer);
}

void WaylandDataControl::Worker::OnFinished(void* data, wl_proxy*) {
  auto* self = static_cast<Worker*>(data);
  self->dead_ = true;
  self->finished_ = true;
}

void WaylandDataControl::Worker::OnSend(void* data, wl_proxy* source, const char* mimeType, int32_t fd) {
  auto* self = static_cast<Worker*>(data);
  auto it = self->sources_.find(source);
  std::shared_ptr<const std::string> bytes;
  if (it != self->sources_.end()) {
    for (const auto& [type, content] : it->second.data) {
      if (type == mimeType) bytes = content;
    }
  }
  if (!bytes) {
    ::close(fd);
    return;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
  self->serves_.push_back(Serve{fd, std::move(bytes), 0, Clock::now() + kServeLimit});
}

void WaylandDataControl::Worker::OnCancelled(void* data, wl_proxy* source) {
  auto* self = static_cast<Worker*>(data);
  self->sources_.erase(source);
  self->Destroy(source);
}

void WaylandDataControl::Worker::Start(std::function<void(std::uint64_t)> onChange,
                                       std::function<void(const WaylandConnectionEvent&)> onConnection) {
  onChange_ = std::move(onChange);
  onConnection_ = std::move(onConnection);
  started_ = true;
  if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
}

void WaylandDataControl::Worker::Post(std::function<void()> command) {
  {
    std::lock_guard lock(mutex_);
    commands_.push_back(std::move(command));
  }
  const std::uint64_t one = 1;
  [[maybe_unused]] ssize_t n = ::write(wake_, &one, sizeof one);
}

void WaylandDataControl::Worker::RunCommands() {
  std::uint64_t count;
  [[maybe_unused]] ssize_t n = ::read(wake_, &count, sizeof count);
  for (;;) {
    std::function<void()> command;
    {
      std::lock_guard lock(mutex_);
      if (commands_.empty()) return;
      command = std::move(commands_.front());
      commands_.pop_front();
    }
    command();
  }
}

void WaylandDataControl::Worker::Run() {
  // A reader that goes away makes our write fail with EPIPE instead of ending the process.
  sigset_t pipe;
  sigemptyset(&pipe);
  sigaddset(&pipe, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
  std::vector<pollfd> fds;
  // Only a connection that once worked is made again.
  const bool reconnects = protocol != DataControlProtocol::kNone;
  for (;;) {
    {
      std::lock_guard lock(mutex_);
      if (stop_) break;
    }
    if (reconnects && dead_ && display_) LoseConnection();
    if (reconnects && !display_ && Clock::now() >= reconnectAt_) Reconnect();
    const bool display = !dead_ && display_;
    if (display) {
      while (wl_display_prepare_read(display_) != 0) {
        if (wl_display_dispatch_pending(display_) < 0) dead_ = true;
        if (dead_) break;
      }
    }
    const bool reading = display && !dead_;
    if (reading && wl_display_flush(display_) < 0 && errno != EAGAIN) dead_ = true;
    fds.clear();
    fds.push_back({wake_, POLLIN, 0});
    fds.push_back({reading ? wl_display_get_fd(display_) : -1, POLLIN, 0});
    Clock::time_point deadline = Clock::now() + std::chrono::seconds(60);
    if (reconnects && dead_) deadline = display_ ? Clock::now() : std::min(deadline, reconnectAt_);
    const std::size_t firstPipe = fds.size();
    if (read_) {
      deadline = std::min(deadline, read_->deadline);
      for (const Pipe& p : read_->pipes) {
        fds.push_back({p.fd, POLLIN, 0});
        if (p.fd >= 0) deadline = std::min(deadline, p.lastProgress + requestTimeout);
      }
    }
    const std::size_t firstServe = fds.size();
    for (const Serve& s : serves_) {
      fds.push_back({s.fd, POLLOUT, 0});
      deadline = std::min(deadline, s.deadline);
    }
    ::poll(fds.data(), fds.size(), MillisecondsUntil(deadline));
    if (reading) {
      if (fds[1].revents & (POLLIN | POLLERR | POLLHUP)) {
        if (wl_display_read_events(display_) < 0) dead_ = true;
      } else {
        wl_display_cancel_read(display_);
      }
      if (!dead_ && wl_display_dispatch_pending(display_) < 0) dead_ = true;
    }
    if (read_) ProgressReads(fds, firstPipe);
    ProgressServes(fds, firstServe);
    if (fds[0].revents & POLLIN) RunCommands();
    if (!read_) StartNextRead();
  }
}

void WaylandDataControl::Worker::BeginSnapshot(SnapshotRequest request) {
  queuedReads_.push_back(std::move(request));
  if (!read_) StartNextRead();
}

void WaylandDataControl::Worker::StartNextRead() {
  if (queuedReads_.empty()) return;
  SnapshotRequest request = std::move(queuedReads_.front());
  queuedReads_.pop_front();
  const WaylandReadPlan& plan = request.plan;
  Read read;
  read.done = std::move(request.done);
  read.deadline = Clock::now() + readLimit;
  WaylandSnapshot& snapshot = read.snapshot;
  snapshot.serial = foreignSerial.load();
  const auto it = selection_ ? offers_.find(selection_) : offers_.end();
  if (dead_ || it == offers_.end() || it->second.ours) {
    snapshot.ours = it != offers_.end() && it->second.ours;
    read_ = std::move(read);
    FinishRead(false);
    return;
  }
  snapshot.ownerAnswered = true;
  snapshot.types = it->second.types;
  const std::set<std::string> decodable(plan.decodableImages.begin(), plan.decodableImages.end());
  const std::string* image = nullptr;
  if (plan.oneImage) {
    for (const std::string& type : snapshot.types) {
      if (!decodable.contains(type)) continue;
      if (type == "image/png") {
        image = &type;
        break;
      }
      if (!image) image = &type;
    }
  }
  for (const std::string& type : snapshot.types) {
    const bool wanted = decodable.contains(type) ? image == &type : plan.allTypes;
    if (!wanted) continue;
    Pipe& pipe = read.pipes.emplace_back();
    pipe.type = type;
  }
  if (plan.firstTypes) {
    const std::vector<std::string> first = plan.firstTypes(snapshot.types);
    for (const Pipe& pipe : read.pipes) {
      if (std::find(first.begin(), first.end(), pipe.type) != first.end()) read.firstTypes.insert(pipe.type);
    }
    // Without any of them being read there is nothing to hand over early.
    if (request.first && !read.firstTypes.empty()) read.first = std::move(request.first);
  }
  // What a pass needs is asked for first, whatever the owner's order.
  for (const bool firstPart : {true, false}) {
    for (std::size_t i = 0; i < read.pipes.size(); ++i) {
      if (read.firstTypes.contains(read.pipes[i].type) == firstPart) read.askOrder.push_back(i);
    }
  }
  read.offer = selection_;
  read_ = std::move(read);
  AskForMore();
  if (read_->open == 0) FinishRead(false);
}

void WaylandDataControl::Worker::AskForMore() {
  Read& read = *read_;
  const Clock::time_point now = Clock::now();
  bool asked = false;
  while (read.open < kMaxOpenPipes && read.nextToAsk < read.askOrder.size()) {
    Pipe& pipe = read.pipes[read.askOrder[read.nextToAsk]];
    const int error = read.offer && !dead_ && now < read.deadline ? Ask(pipe, now) : EBADF;
    // Out of descriptors while other types are being read: this one waits for them.
    if ((error == EMFILE || error == ENFILE) && read.open > 0) break;
    pipe.asked = true;
    ++read.nextToAsk;
    if (error == 0) {
      ++read.open;
      asked = true;
    }
  }
  if (asked && wl_display_flush(display_) < 0 && errno != EAGAIN) dead_ = true;
}

int WaylandDataControl::Worker::Ask(Pipe& pipe, Clock::time_point now) {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) return errno;
  // libwayland sends a duplicate of the write end, made when the request is
  // queued; a duplicate it cannot make ends the whole connection. So room for
  // one is made sure of here first.
  const int spare = ::fcntl(ends[1], F_DUPFD_CLOEXEC, 0);
  if (spare < 0) {
    const int error = errno;
    ::close(ends[0]);
    ::close(ends[1]);
    return error;
  }
  ::close(spare);
  // Ours is closed at once, so the read end sees its end once the owner has
  // closed its copy.
  wl_proxy_marshal_flags(read_->offer, EXT_DATA_CONTROL_OFFER_V1_RECEIVE, nullptr,
                         wl_proxy_get_version(read_->offer), 0, pipe.type.c_str(), ends[1]);
  ::close(ends[1]);
  pipe.fd = ends[0];
  pipe.lastProgress = now;
  return 0;
}

void WaylandDataControl::Worker::DeliverFirstPart() {
  for (const Pipe& pipe : read_->pipes) {
    if ((!pipe.asked || pipe.fd >= 0) && read_->firstTypes.contains(pipe.type)) return;
  }
  WaylandSnapshot& whole = read_->snapshot;
  WaylandSnapshot part;
  part.ownerAnswered = whole.ownerAnswered;
  part.serial = whole.serial;
  part.types = whole.types;
  part.firstPart = true;
  for (const std::string& type : whole.types) {
    if (!read_->firstTypes.contains(type)) continue;
    if (auto it = whole.data.find(type); it != whole.data.end()) {
      part.data.emplace(type, std::move(it->second));
      whole.data.erase(it);
    } else {
      part.failed.push_back(type);
    }
  }
  whole.rest = true;
  std::function<void(WaylandSnapshot)> first = std::move(read_->first);
  read_->first = nullptr;
  first(std::move(part));
}

void WaylandDataControl::Worker::ProgressReads(const std::vector<pollfd>& fds, std::size_t first) {
  const Clock::time_point now = Clock::now();
  Read& read = *read_;
  // Ends the read of `pipe`; with `complete`, its bytes are the type's value
  // and stay held, otherwise they are dropped.
  auto end = [&read](Pipe& pipe, bool complete) {
    if (complete) {
      read.snapshot.data.emplace(pipe.type, TakeValue(pipe));
    } else {
      read.held -= pipe.size;
    }
    pipe.blocks.clear();
    pipe.size = 0;
    CloseFd(pipe.fd);
    --read.open;
  };
  for (std::size_t i = 0; i < read.pipes.size(); ++i) {
    Pipe& pipe = read.pipes[i];
    if (pipe.fd < 0) continue;
    for (int reads = 0; fds[first + i].revents != 0 && reads < kReadsPerRound; ++reads) {
      if (Clock::now() >= read.deadline) break;
      if (pipe.blocks.empty() || pipe.blocks.back().used == kBlock) pipe.blocks.emplace_back();
      Block& block = pipe.blocks.back();
      const ssize_t n = ::read(pipe.fd, block.bytes.get() + block.used, kBlock - block.used);
      if (n > 0) {
        pipe.lastProgress = now;
        const auto more = static_cast<std::size_t>(n);
        block.used += more;
        pipe.size += more;
        read.held += more;
        read.taken += more;
        // Too large on its own, or too much with the others: absent, like a value over the size cap.
        if (pipe.size > sizeCap || read.held > totalCap) {
          end(pipe, false);
          break;
        }
        continue;
      }
      if (n == 0) {  // the owner closed its end: the type is complete
        end(pipe, true);
      } else if (errno != EAGAIN && errno != EINTR) {
        end(pipe, false);
      }
      break;
    }
    const Clock::time_point later = Clock::now();
    if (pipe.fd >= 0 && (later - pipe.lastProgress >= requestTimeout || later >= read.deadline)) end(pipe, false);
  }
  AskForMore();
  if (read.first) DeliverFirstPart();
  if (read.open == 0) FinishRead(false);
}

std::vector<std::uint8_t> WaylandDataControl::Worker::TakeValue(Pipe& pipe) {
  std::vector<std::uint8_t> value;
  value.reserve(pipe.size);
  for (Block& block : pipe.blocks) {
    value.insert(value.end(), block.bytes.get(), block.bytes.get() + block.used);
    block.bytes.reset();
  }
  return value;
}

void WaylandDataControl::Worker::FinishRead(bool cancelled) {
  Read read = std::move(*read_);
  read_.reset();
  for (Pipe& pipe : read.pipes) {
    CloseFd(pipe.fd);
    // A first part already named its own failures.
    if (read.snapshot.rest && read.firstTypes.contains(pipe.type)) continue;
    if (!read.snapshot.data.contains(pipe.type)) read.snapshot.failed.push_back(pipe.type);
  }
  if (cancelled) read.snapshot = CancelledSnapshot();
  if (read.done) read.done(std::move(read.snapshot));
  const std::size_t taken = read.taken;
  read = Read{};
  if (taken > kTrimAfterBytes) malloc_trim(0);
}

void WaylandDataControl::Worker::CancelAll() {
  if (read_) FinishRead(true);
  while (!queuedReads_.empty()) {
    auto done = std::move(queuedReads_.front().done);
    queuedReads_.pop_front();
    if (done) done(CancelledSnapshot());
  }
}

void WaylandDataControl::Worker::ProgressServes(const std::vector<pollfd>& fds, std::size_t first) {
  const Clock::time_point now = Clock::now();
  // Requests handled since the poll (the compositor's events are dispatched
  // after it) added serves at the end that have no entry in `fds` yet: they
  // are written from the next round on.
  const std::size_t polled = fds.size() - first;
  for (std::size_t i = 0; i < serves_.size(); ++i) {
    Serve& s = serves_[i];
    if (i < polled && fds[first + i].revents != 0) {
      while (s.sent < s.bytes->size()) {
        const ssize_t n = ::write(s.fd, s.bytes->data() + s.sent, s.bytes->size() - s.sent);
        if (n > 0) {
          s.sent += static_cast<std::size_t>(n);
        } else {
          if (n < 0 && errno != EAGAIN && errno != EINTR) s.sent = s.bytes->size();  // the reader went away
          break;
        }
      }
    }
    if (s.sent >= s.bytes->size() || now >= s.deadline) CloseFd(s.fd);
  }
  std::erase_if(serves_, [](const Serve& s) { return s.fd < 0; });
  // A SIGPIPE held back by the mask must not stay pending on this thread.
  sigset_t pipe;
  sigemptyset(&pipe);
  sigaddset(&pipe, SIGPIPE);
  const timespec zero{0, 0};
  while (::sigtimedwait(&pipe, nullptr, &zero) > 0) {
  }
}

bool WaylandDataControl::Worker::DoWrite(const WaylandOffer& offer, std::optional<std::uint64_t> basedOn) {
  if (dead_ || !manager_ || !device_) return false;
  // Every selection event the compositor sent before this point is handled
  // first, so a foreign copy that reached it before our write is seen here.
  if (!Roundtrip(requestTimeout)) return false;
  if (basedOn && foreignSerial.load() != *basedOn) return false;
  wl_proxy* source = wl_proxy_marshal_flags(manager_, EXT_DATA_CONTROL_MANAGER_V1_CREATE_DATA_SOURCE,
                                            interfaces_->source, wl_proxy_get_version(manager_), 0, nullptr);
  wl_proxy_add_listener(source, reinterpret_cast<void (**)(void)>(const_cast<SourceListener*>(&kSourceListener)),
                        this);
  for (const auto& [type, bytes] : offer) {
    wl_proxy_marshal_flags(source, EXT_DATA_CONTROL_SOURCE_V1_OFFER, nullptr, 1, 0, type.c_str());
  }
  wl_proxy_marshal_flags(source, EXT_DATA_CONTROL_SOURCE_V1_OFFER, nullptr, 1, 0, marker_.c_str());
  Source& own = sources_[source];
  own.data = offer;
  own.data.emplace_back(marker_, std::make_shared<const std::string>());
  wl_proxy_marshal_flags(device_, EXT_DATA_CONTROL_DEVICE_V1_SET_SELECTION, nullptr, wl_proxy_get_version(device_), 0,
                         source);
  if (wl_display_flush(display_) < 0 && errno != EAGAIN) dead_ = true;
  return !dead_;
}

WaylandDataControl::Worker::~Worker() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  const std::uint64_t one = 1;
  [[maybe_unused]] ssize_t n = ::write(wake_, &one, sizeof one);
  if (thread_.joinable()) thread_.join();
  if (read_) {
    for (Pipe& pipe : read_->pipes) CloseFd(pipe.fd);
  }
  read_.reset();  // the callbacks are not called after the end
  queuedReads_.clear();
  for (Serve& s : serves_) CloseFd(s.fd);
  Disconnect();
  CloseFd(wake_);
}

WaylandDataControl::WaylandDataControl(std::string displayName, std::chrono::milliseconds connectTimeout)
    : worker_(std::make_unique<Worker>(displayName, connectTimeout)) {}

WaylandDataControl::~WaylandDataControl() = default;

DataControlProtocol WaylandDataControl::Protocol() const { return worker_->protocol; }
const std::string& WaylandDataControl::Problem() const { return worker_->problem; }

void WaylandDataControl::Start(std::function<void(std::uint64_t)> onChange,
                               std::function<void(const WaylandConnectionEvent&)> onConnection) {
  worker_->Start(std::move(onChange), std::move(onConnection));
}

std::uint64_t WaylandDataControl::LatestForeignSerial() const { return worker_->foreignSerial.load(); }

void WaylandDataControl::RequestSnapshot(WaylandReadPlan plan, std::function<void(WaylandSnapshot)> done,
                                         std::function<void(WaylandSnapshot)> first) {
  Worker* worker = worker_.get();
  auto shared = std::make_shared<Worker::SnapshotRequest>(
      Worker::SnapshotRequest{std::move(plan), std::move(done), std::move(first)});
  worker->Post([worker, shared] { worker->BeginSnapshot(std::move(*shared)); });
}

WaylandSnapshot WaylandDataControl::ReadSnapshot(WaylandReadPlan plan) {
  auto promise = std::make_shared<std::promise<WaylandSnapshot>>();
  std::future<WaylandSnapshot> result = promise->get_future();
  RequestSnapshot(std::move(plan), [promise](WaylandSnapshot snapshot) { promise->set_value(std::move(snapshot)); });
  return result.get();
}

void WaylandDataControl::CancelPending() {
  Worker* worker = worker_.get();
  worker->Post([worker] { worker->CancelAll(); });
}

bool WaylandDataControl::Write(WaylandOffer offer, std::optional<std::uint64_t> basedOn) {
  Worker* worker = worker_.get();
  auto promise = std::make_shared<std::promise<bool>>();
  std::future<bool> result = promise->get_future();
  auto shared = std::make_shared<WaylandOffer>(std::move(offer));
  worker->Post([worker, promise, shared, basedOn] { promise->set_value(worker->DoWrite(*shared, basedOn)); });
  return result.get();
}

void WaylandDataControl::SetRequestTimeout(std::chrono::milliseconds timeout) {
  Worker* worker = worker_.get();
  worker->Post([worker, timeout] { worker->requestTimeout = timeout; });
}

void WaylandDataControl::SetReadLimit(std::chrono::milliseconds wholeSnapshot) {
  Worker* worker = worker_.get();
  worker->Post([worker, wholeSnapshot] { worker->readLimit = wholeSnapshot; });
}

void WaylandDataControl::SetSizeCap(std::size_t bytesPerType) {
  Worker* worker = worker_.get();
  worker->Post([worker, bytesPerType] { worker->sizeCap = bytesPerType; });
}

void WaylandDataControl::SetTotalCap(std::size_t bytesPerSnapshot) {
  Worker* worker = worker_.get();
  worker->Post([worker, bytesPerSnapshot] { worker->totalCap = bytesPerSnapshot; });
}

}  // namespace tallowin
