// A Wayland display that offers a seat and nothing else, the way a desktop
// without the data-control protocol looks to the program. Serves clients on
// the socket named by its argument (an absolute path) until it is ended.

#include <wayland-server.h>

#include <cstdio>

namespace {

void BindSeat(wl_client* client, void*, uint32_t version, uint32_t id) {
  wl_resource* seat = wl_resource_create(client, &wl_seat_interface, static_cast<int>(version), id);
  if (!seat) wl_client_post_no_memory(client);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s SOCKET-PATH\n", argv[0]);
    return 2;
  }
  wl_display* display = wl_display_create();
  if (!display || wl_display_add_socket(display, argv[1]) != 0) {
    std::fprintf(stderr, "cannot serve on %s\n", argv[1]);
    return 1;
  }
  wl_global_create(display, &wl_seat_interface, 1, nullptr, BindSeat);
  std::printf("ready\n");
  std::fflush(stdout);
  wl_display_run(display);
  wl_display_destroy(display);
  return 0;
}
