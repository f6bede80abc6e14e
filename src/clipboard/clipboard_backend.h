#pragma once
// A clipboard as a session drives it: besides the transfers of Clipboard, it
// takes the core's CaptureSuppressCounter, asks a gate before it fetches a
// foreign change, and can deliver what is on the clipboard now as one change.
// The backend is chosen by whoever builds the session (X11, Wayland, memory).

#include <functional>
#include <string>

#include "clipboard/capture_suppress_counter.h"
#include "clipboard/clipboard.h"

namespace tallowin {

// The backend's connection to its display server failed, or works again after
// a failure.
struct ConnectionReport {
  bool lost = false;
  std::string message;  // English, for standard error
};

class ClipboardBackend {
 public:
  virtual ~ClipboardBackend() = default;

  // The clipboard the pipeline reads and writes through.
  virtual Clipboard& Board() = 0;
  // The pipeline's counter; set before the first write, and it must outlive the backend.
  virtual void SetSuppressCounter(CaptureSuppressCounter* counter) = 0;
  // Asked with each foreign change before its content is fetched; false skips
  // the fetch (the pass would end at its gate anyway). Empty: always fetch.
  virtual void SetContentGate(std::function<bool()> wantsContent) = 0;
  // Delivers the content present now as one change, the way joining the
  // clipboard at start does.
  virtual void ProcessCurrentContent() = 0;
  // Told on the thread that runs the pipeline when the connection to the
  // display server fails (the backend then connects again by itself) and when
  // it works again. A backend without such a connection never calls it.
  virtual void SetConnectionHandler(std::function<void(const ConnectionReport&)> handler) = 0;
};

}  // namespace tallowin
