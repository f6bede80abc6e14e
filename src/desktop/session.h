#pragma once
// One running program: a clipboard backend, the program core over it, the
// start-up sequence and the capture switch. The faces (the main window, a
// window-less run, a tray) attach to a session; none of them owns the program.
//
// Order of use: construct (the core exists, nothing has been processed), let
// the faces attach (models' handlers, the marquee dialog), then Start() runs the
// first pass over the content already on the clipboard and finishes start-up.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/program_core.h"
#include "clipboard/clipboard_backend.h"
#include "desktop/capture_switch.h"
#include "desktop/error_sink.h"

namespace tallowin {

struct SessionOptions {
  Language language = Language::English;
  std::u16string programFolder;          // with a trailing "/"
  std::vector<std::string> assignments;     // --set KEY=VALUE, applied by ApplyStartAssignments
  std::vector<std::string> configurations;  // FILE.twk arguments, for the face to load in order
};

using ClipboardBackendFactory = std::function<std::unique_ptr<ClipboardBackend>()>;

class Session {
 public:
  // `errors` must outlive the session.
  Session(SessionOptions options, const ClipboardBackendFactory& makeBackend, ErrorSink& errors);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  ProgramCore& Core() { return *core_; }
  const ProgramCore& Core() const { return *core_; }
  Clipboard& Board() { return backend_->Board(); }
  ClipboardBackend& Backend() { return *backend_; }
  CaptureSwitch& Capture() { return capture_; }
  ErrorSink& Errors() { return errors_; }
  const SessionOptions& Options() const { return options_; }
  Language CurrentLanguage() const { return core_->CurrentLanguage(); }

  // The dialog the crop step asks in marquee mode; none (the default) makes
  // that mode skip the cut. `dialog` must stay alive until it is replaced.
  void SetMarqueeDialog(MarqueeDialog* dialog);

  // What creating the main window does once the faces are attached: the
  // counter zeroed, the first pass over the content already on the clipboard
  // (with the start-up settings), then the sections collapsed, the output
  // folders set to the program folder and the file counters zeroed. Once only.
  void Start();
  bool Started() const { return started_; }

  // The configurations a start loads, in order, after the first pass: those
  // named on the command line, else the start configuration of the program
  // folder when it exists. Loading a named file that does not exist changes no
  // setting; a face says so.
  struct StartConfiguration {
    std::string path;
    bool named = false;   // named on the command line
    bool exists = false;  // a file is there
  };
  std::vector<StartConfiguration> StartConfigurations() const;

  // The --set assignments, in order, at the first showing; each one that fails
  // is reported through the error sink and the rest still apply.
  void ApplyStartAssignments();

 private:
  SessionOptions options_;
  ErrorSink& errors_;
  std::unique_ptr<ClipboardBackend> backend_;
  std::unique_ptr<ProgramCore> core_;
  CaptureSwitch capture_;
  bool started_ = false;
};

}  // namespace tallowin
