#pragma once
// MemoryClipboard as a session's backend: changes are delivered synchronously,
// so a session over it runs without a display (tests, window-less tools).

#include "clipboard/clipboard_backend.h"
#include "clipboard/memory_clipboard.h"

namespace tallowin {

class MemoryBackend final : public MemoryClipboard, public ClipboardBackend {
 public:
  Clipboard& Board() override { return *this; }
  // Our own writes notify inside the write call, where the pipeline's gate
  // consumes the raised counter; the backend itself needs no counter.
  void SetSuppressCounter(CaptureSuppressCounter*) override {}
  void SetContentGate(std::function<bool()>) override {}
  void SetConnectionHandler(std::function<void(const ConnectionReport&)>) override {}
  void ProcessCurrentContent() override { NotifyChanged(); }
};

}  // namespace tallowin
