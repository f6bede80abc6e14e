#pragma once
// A clipboard backend on a real display server (X11, Wayland): content held as
// a snapshot of the owner's formats, change notifications delivered on the
// thread that runs the pipeline, and the pipeline's counter consulted around
// our own writes.

#include <functional>

#include "clipboard/capture_suppress_counter.h"
#include "clipboard/clipboard_backend.h"
#include "clipboard/content_clipboard.h"

namespace tallowin {

class DesktopClipboard : public ContentClipboard, public ClipboardBackend {
 public:
  Clipboard& Board() override { return *this; }
  // The pipeline's CaptureSuppressCounter; must be set before the first write and outlive this object.
  void SetSuppressCounter(CaptureSuppressCounter* counter) override { counter_ = counter; }
  void SetContentGate(std::function<bool()> gate) override { wantsContent = std::move(gate); }
  void SetConnectionHandler(std::function<void(const ConnectionReport&)> handler) override {
    connectionHandler_ = std::move(handler);
  }

  // Called with each foreign change before its content is fetched; returning
  // false skips the fetch (the pass would end at its gate anyway).
  std::function<bool()> wantsContent;

 protected:
  CaptureSuppressCounter* counter_ = nullptr;
  std::function<void(const ConnectionReport&)> connectionHandler_;
};

}  // namespace tallowin
