// A small data-control client for the tests and the latency benchmark:
//   wayland_test_client watch        prints "<monotonic seconds> ours|foreign" for every
//                                    selection change (ours: a write of the program)
//   wayland_test_client hang TYPE... makes itself the selection owner of TYPE... and never
//                                    writes any data; prints "ready" once it owns it
//   wayland_test_client copy TEXT [SLOW-TYPE...]
//                                    owns the selection with TEXT under the five text types
//                                    wl-copy offers, serving every request in-process (no
//                                    process per request); prints "ready" once it owns it.
//                                    Each SLOW-TYPE is offered too and served TEXT one byte
//                                    every 0.4 s from a child process, which then prints
//                                    "served SLOW-TYPE".
//   wayland_test_client copy-8bit TEXT
//                                    the same five types, but only the 8-bit ones (text/plain,
//                                    STRING) hold TEXT; the UTF-8 ones are empty
//   wayland_test_client many N TEXT  owns the selection with N types: TEXT as
//                                    text/plain;charset=utf-8, then application/x-many-1 ...
//                                    application/x-many-(N-1), each holding its own name;
//                                    every request served at once, in-process
//   wayland_test_client flood N      owns the selection with N types application/x-flood-1 ...
//                                    application/x-flood-N and writes bytes into every request
//                                    as fast as the reader takes them, for as long as it reads
//   Owners print "ready" once they own the selection, and raise their own soft
//   descriptor limit so that many requests at once cannot end them.
// Talks to $WAYLAND_DISPLAY with zwlr_data_control_manager_v1 (what wlroots offers).

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <cstring>
#include <ctime>
#include <map>
#include <string>
#include <vector>

#include "wayland/data_control.h"
#include "wlr-data-control-unstable-v1-client-protocol.h"

namespace {

wl_seat* seat = nullptr;
zwlr_data_control_manager_v1* manager = nullptr;
std::map<zwlr_data_control_offer_v1*, bool> offersOurs;  // offer -> carries the program's marker
std::vector<int> heldFds;                                 // kept open, never written
bool cancelled = false;

void Global(void*, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
  if (std::strcmp(interface, wl_seat_interface.name) == 0 && !seat) {
    seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
  } else if (std::strcmp(interface, zwlr_data_control_manager_v1_interface.name) == 0) {
    manager = static_cast<zwlr_data_control_manager_v1*>(
        wl_registry_bind(registry, name, &zwlr_data_control_manager_v1_interface, 1));
  }
}
void GlobalRemove(void*, wl_registry*, uint32_t) {}
const wl_registry_listener kRegistry{Global, GlobalRemove};

void OfferType(void*, zwlr_data_control_offer_v1* offer, const char* type) {
  if (std::strncmp(type, tallowin::WaylandDataControl::kOwnMarkerPrefix,
                   std::strlen(tallowin::WaylandDataControl::kOwnMarkerPrefix)) == 0) {
    offersOurs[offer] = true;
  }
}
const zwlr_data_control_offer_v1_listener kOffer{OfferType};

void DataOffer(void*, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer) {
  offersOurs[offer] = false;
  zwlr_data_control_offer_v1_add_listener(offer, &kOffer, nullptr);
}
void Selection(void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer) {
  if (data) {  // watching
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    std::printf("%.6f %s\n", now.tv_sec + now.tv_nsec / 1e9, offer && offersOurs[offer] ? "ours" : "foreign");
    std::fflush(stdout);
  }
  for (auto it = offersOurs.begin(); it != offersOurs.end();) {
    if (it->first != offer) {
      zwlr_data_control_offer_v1_destroy(it->first);
      it = offersOurs.erase(it);
    } else {
      ++it;
    }
  }
}
void Finished(void*, zwlr_data_control_device_v1*) { cancelled = true; }
void Primary(void*, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer) {
  if (offer) {
    offersOurs.erase(offer);
    zwlr_data_control_offer_v1_destroy(offer);
  }
}
const zwlr_data_control_device_v1_listener kDevice{DataOffer, Selection, Finished, Primary};

const char* servedText = nullptr;  // copy: the text served for every request
std::vector<std::string> slowTypes;  // copy: served byte by byte
bool eightBitOnly = false;           // copy-8bit: the UTF-8 types are served empty
bool namesAsValues = false;          // many: a type other than the text holds its own name
bool flooding = false;               // flood: every request is written to without end
std::vector<int> floodFds;           // flood: the requests being written to

void ServeSlowly(const char* type, int fd) {
  if (fork() != 0) {
    close(fd);
    return;
  }
  for (const char* p = servedText; *p; ++p) {
    usleep(400000);
    if (write(fd, p, 1) != 1) _exit(1);
  }
  close(fd);
  std::printf("served %s\n", type);
  std::fflush(stdout);
  _exit(0);
}

void WriteAll(int fd, const char* bytes, std::size_t size) {
  for (std::size_t sent = 0; sent < size;) {
    const ssize_t n = write(fd, bytes + sent, size - sent);
    if (n <= 0) break;
    sent += static_cast<std::size_t>(n);
  }
}

void Send(void*, zwlr_data_control_source_v1*, const char* type, int32_t fd) {
  if (flooding) {
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    floodFds.push_back(fd);
    return;
  }
  if (namesAsValues && std::strcmp(type, "text/plain;charset=utf-8") != 0) {
    WriteAll(fd, type, std::strlen(type));
    close(fd);
    return;
  }
  if (!servedText) {
    heldFds.push_back(fd);
    return;
  }
  if (std::find(slowTypes.begin(), slowTypes.end(), type) != slowTypes.end()) {
    ServeSlowly(type, fd);
    return;
  }
  const bool eightBitType = std::strcmp(type, "text/plain") == 0 || std::strcmp(type, "STRING") == 0;
  WriteAll(fd, servedText, eightBitOnly && !eightBitType ? 0 : std::strlen(servedText));
  close(fd);
}
void Cancelled(void*, zwlr_data_control_source_v1*) { cancelled = true; }
const zwlr_data_control_source_v1_listener kSource{Send, Cancelled};

// Writes into every flooded request until it would block; a reader that went
// away is dropped. `polled` are the requests `fds` were polled for.
void Flood(const std::vector<pollfd>& fds, std::size_t polled) {
  static const std::vector<char> kBytes(64 * 1024, 'x');
  std::vector<int> kept;
  for (std::size_t i = 0; i < floodFds.size(); ++i) {
    const int fd = floodFds[i];
    bool open = true;
    if (i < polled && fds[1 + i].revents != 0) {
      for (int round = 0; round < 16; ++round) {
        const ssize_t n = write(fd, kBytes.data(), kBytes.size());
        if (n < 0 && errno != EAGAIN && errno != EINTR) open = false;
        if (n <= 0) break;
      }
    }
    if (open) {
      kept.push_back(fd);
    } else {
      close(fd);
    }
  }
  floodFds = std::move(kept);
}

// The display's events and the flooded requests in one poll loop.
void ServeFlood(wl_display* display) {
  std::vector<pollfd> fds;
  while (!cancelled) {
    while (wl_display_prepare_read(display) != 0) {
      if (wl_display_dispatch_pending(display) < 0) return;
    }
    wl_display_flush(display);
    fds.assign(1, pollfd{wl_display_get_fd(display), POLLIN, 0});
    for (int fd : floodFds) fds.push_back(pollfd{fd, POLLOUT, 0});
    const std::size_t polled = floodFds.size();
    poll(fds.data(), fds.size(), -1);
    if (fds[0].revents != 0) {
      if (wl_display_read_events(display) < 0) return;
    } else {
      wl_display_cancel_read(display);
    }
    if (wl_display_dispatch_pending(display) < 0) return;
    Flood(fds, polled);
  }
}

}  // namespace

int main(int argc, char** argv) {
  eightBitOnly = argc == 3 && std::strcmp(argv[1], "copy-8bit") == 0;
  const bool copy = (argc >= 3 && std::strcmp(argv[1], "copy") == 0) || eightBitOnly;
  const bool many = argc == 4 && std::strcmp(argv[1], "many") == 0;
  const bool flood = argc == 3 && std::strcmp(argv[1], "flood") == 0;
  if (argc < 2 ||
      (std::strcmp(argv[1], "watch") != 0 && std::strcmp(argv[1], "hang") != 0 && !copy && !many && !flood)) {
    std::fprintf(stderr,
                 "usage: %s watch | hang TYPE... | copy TEXT [SLOW-TYPE...] | copy-8bit TEXT | many N TEXT | "
                 "flood N\n",
                 argv[0]);
    return 2;
  }
  signal(SIGPIPE, SIG_IGN);
  signal(SIGCHLD, SIG_IGN);  // the slow servers end on their own
  rlimit files{};
  if (getrlimit(RLIMIT_NOFILE, &files) == 0) {
    files.rlim_cur = files.rlim_max;
    setrlimit(RLIMIT_NOFILE, &files);
  }
  const char* textTypes[] = {"text/plain;charset=utf-8", "text/plain", "TEXT", "STRING", "UTF8_STRING"};
  std::vector<std::string> names;  // many, flood: the types offered
  std::vector<const char*> types(argv + 2, argv + argc);
  if (copy) {
    servedText = argv[2];
    slowTypes.assign(argv + 3, argv + argc);
    types.assign(std::begin(textTypes), std::end(textTypes));
    for (const std::string& slow : slowTypes) types.push_back(slow.c_str());
  } else if (many || flood) {
    const int count = std::atoi(argv[2]);
    if (many) {
      servedText = argv[3];
      names.push_back("text/plain;charset=utf-8");
    }
    for (int i = 1; names.size() < static_cast<std::size_t>(count); ++i) {
      names.push_back(std::string(many ? "application/x-many-" : "application/x-flood-") + std::to_string(i));
    }
    namesAsValues = many;
    flooding = flood;
    types.clear();
    for (const std::string& name : names) types.push_back(name.c_str());
  }
  const bool watch = std::strcmp(argv[1], "watch") == 0;
  wl_display* display = wl_display_connect(nullptr);
  if (!display) {
    std::fprintf(stderr, "cannot connect to the Wayland display\n");
    return 1;
  }
  wl_registry_add_listener(wl_display_get_registry(display), &kRegistry, nullptr);
  wl_display_roundtrip(display);
  if (!seat || !manager) {
    std::fprintf(stderr, "no seat or no zwlr_data_control_manager_v1\n");
    return 1;
  }
  zwlr_data_control_device_v1* device = zwlr_data_control_manager_v1_get_data_device(manager, seat);
  zwlr_data_control_device_v1_add_listener(device, &kDevice, watch ? static_cast<void*>(display) : nullptr);
  wl_display_roundtrip(display);
  if (!watch) {
    zwlr_data_control_source_v1* source = zwlr_data_control_manager_v1_create_data_source(manager);
    zwlr_data_control_source_v1_add_listener(source, &kSource, nullptr);
    for (const char* type : types) zwlr_data_control_source_v1_offer(source, type);
    zwlr_data_control_device_v1_set_selection(device, source);
    wl_display_roundtrip(display);
    std::printf("ready\n");
    std::fflush(stdout);
  }
  if (flood) ServeFlood(display);
  while (!cancelled && wl_display_dispatch(display) >= 0) {
  }
  for (int fd : heldFds) close(fd);
  wl_display_disconnect(display);
  return 0;
}
