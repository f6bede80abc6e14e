#pragma once
// Every owner change of CLIPBOARD, as the X server reports it through XFixes,
// on a connection of its own, read on the thread that owns the watch.
//
// Qt reports an owner change only when the new owner's selection time is newer
// than that of Qt's own last write. A toolkit may take the selection with the
// time of the event that made its copy, which can equal the time of the copy
// before it and so the time of our write-back of that copy; the server grants
// such a request, and Qt would never report the new copy. This watch reports it.

#include <cstdint>
#include <functional>

#include <xcb/xcb.h>

namespace tallowin {

struct X11OwnerChange {
  std::uint32_t owner = 0;          // the new owner window; 0 when the owner went away
  std::uint32_t selectionTime = 0;  // the time the new owner gave with its request
};

class X11SelectionWatch {
 public:
  // `onChange` runs inside Drain() and Sync(), once per change, in the server's order.
  explicit X11SelectionWatch(std::function<void(X11OwnerChange)> onChange);
  ~X11SelectionWatch();
  X11SelectionWatch(const X11SelectionWatch&) = delete;
  X11SelectionWatch& operator=(const X11SelectionWatch&) = delete;

  // False when there is no display or it lacks XFixes: nothing is reported then.
  bool Running() const { return running_; }
  // Readable when changes may be waiting: call Drain() then.
  int FileDescriptor() const;
  // Reports the changes that have arrived.
  void Drain();
  // Reports every change the server made before this call: a round trip on
  // the watch's connection puts their events ahead of its reply.
  void Sync();

 private:
  void Report(xcb_generic_event_t* event);

  std::function<void(X11OwnerChange)> onChange_;
  xcb_connection_t* connection_ = nullptr;
  std::uint8_t eventBase_ = 0;
  bool running_ = false;
};

}  // namespace tallowin
