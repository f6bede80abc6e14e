#include "backends/x11_selection_watch.h"

#include <xcb/xcb.h>
#include <xcb/xfixes.h>

#include <cstdlib>
#include <memory>
#include <utility>

namespace tallowin {
namespace {

template <typename T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

}  // namespace

X11SelectionWatch::X11SelectionWatch(std::function<void(X11OwnerChange)> onChange) : onChange_(std::move(onChange)) {
  int screenNumber = 0;
  xcb_connection_t* c = xcb_connect(nullptr, &screenNumber);
  if (xcb_connection_has_error(c)) {
    xcb_disconnect(c);
    return;
  }
  connection_ = c;
  const xcb_query_extension_reply_t* extension = xcb_get_extension_data(c, &xcb_xfixes_id);
  if (!extension || !extension->present) return;
  Reply<xcb_xfixes_query_version_reply_t> version{
      xcb_xfixes_query_version_reply(c, xcb_xfixes_query_version(c, 1, 0), nullptr), &std::free};
  Reply<xcb_intern_atom_reply_t> atom{xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, 9, "CLIPBOARD"), nullptr),
                                      &std::free};
  if (!version || !atom) return;
  xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(c));
  for (int i = 0; i < screenNumber && screens.rem > 0; ++i) xcb_screen_next(&screens);
  if (screens.rem == 0) return;
  // The same changes Qt listens to: a new owner, and an owner that went away.
  const std::uint32_t mask = XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
                             XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
                             XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE;
  const xcb_void_cookie_t selected =
      xcb_xfixes_select_selection_input_checked(c, screens.data->root, atom->atom, mask);
  if (Reply<xcb_generic_error_t> error{xcb_request_check(c, selected), &std::free}; error) return;
  eventBase_ = extension->first_event;
  running_ = true;
}

X11SelectionWatch::~X11SelectionWatch() {
  if (connection_) xcb_disconnect(connection_);
}

int X11SelectionWatch::FileDescriptor() const { return running_ ? xcb_get_file_descriptor(connection_) : -1; }

void X11SelectionWatch::Report(xcb_generic_event_t* event) {
  if ((event->response_type & 0x7F) == eventBase_ + XCB_XFIXES_SELECTION_NOTIFY) {
    const auto* notify = reinterpret_cast<const xcb_xfixes_selection_notify_event_t*>(event);
    onChange_(X11OwnerChange{notify->owner, notify->selection_timestamp});
  }
  std::free(event);
}

void X11SelectionWatch::Drain() {
  if (!running_) return;
  while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) Report(event);
}

void X11SelectionWatch::Sync() {
  if (!running_) return;
  Reply<xcb_get_input_focus_reply_t> reply{
      xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr), &std::free};
  while (xcb_generic_event_t* event = xcb_poll_for_queued_event(connection_)) Report(event);
}

}  // namespace tallowin
