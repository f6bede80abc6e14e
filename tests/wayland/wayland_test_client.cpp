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
// Talks to $WAYLAND_DISPLAY with zwlr_data_control_manager_v1 (what wlroots offers).

#include <poll.h>
#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
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

void Send(void*, zwlr_data_control_source_v1*, const char* type, int32_t fd) {
  if (!servedText) {
    heldFds.push_back(fd);
    return;
  }
  if (std::find(slowTypes.begin(), slowTypes.end(), type) != slowTypes.end()) {
    ServeSlowly(type, fd);
    return;
  }
  const bool eightBitType = std::strcmp(type, "text/plain") == 0 || std::strcmp(type, "STRING") == 0;
  const std::size_t size = eightBitOnly && !eightBitType ? 0 : std::strlen(servedText);
  for (std::size_t sent = 0; sent < size;) {
    const ssize_t n = write(fd, servedText + sent, size - sent);
    if (n <= 0) break;
    sent += static_cast<std::size_t>(n);
  }
  close(fd);
}
void Cancelled(void*, zwlr_data_control_source_v1*) { cancelled = true; }
const zwlr_data_control_source_v1_listener kSource{Send, Cancelled};

}  // namespace

int main(int argc, char** argv) {
  eightBitOnly = argc == 3 && std::strcmp(argv[1], "copy-8bit") == 0;
  const bool copy = (argc >= 3 && std::strcmp(argv[1], "copy") == 0) || eightBitOnly;
  if (argc < 2 || (std::strcmp(argv[1], "watch") != 0 && std::strcmp(argv[1], "hang") != 0 && !copy)) {
    std::fprintf(stderr, "usage: %s watch | hang TYPE... | copy TEXT [SLOW-TYPE...] | copy-8bit TEXT\n", argv[0]);
    return 2;
  }
  signal(SIGPIPE, SIG_IGN);
  signal(SIGCHLD, SIG_IGN);  // the slow servers end on their own
  const char* textTypes[] = {"text/plain;charset=utf-8", "text/plain", "TEXT", "STRING", "UTF8_STRING"};
  std::vector<const char*> types(argv + 2, argv + argc);
  if (copy) {
    servedText = argv[2];
    slowTypes.assign(argv + 3, argv + argc);
    types.assign(std::begin(textTypes), std::end(textTypes));
    for (const std::string& slow : slowTypes) types.push_back(slow.c_str());
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
  while (!cancelled && wl_display_dispatch(display) >= 0) {
  }
  for (int fd : heldFds) close(fd);
  wl_display_disconnect(display);
  return 0;
}
