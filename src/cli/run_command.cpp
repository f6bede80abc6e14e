// `tallowin run`: the capture pipeline on the real clipboard with no window.
//
// The same core, settings, file saving and counters as the window; a raised
// error that the window would show in its message box is written to standard
// error instead, and capturing goes on. SIGINT and SIGTERM end the run cleanly
// (the clipboard reader is joined, exit status 0). Configuration files load as
// the window loads them: the --config ones (else Auto.twk of the program
// folder) after the first pass, then the --set values.
//
// No history is kept: nothing could show it.
//
// Built on a Session like the window: the first pass over the content already
// on the clipboard runs with the start-up settings (so it is only looked at).

#include <QGuiApplication>
#include <QSocketNotifier>
#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>

#include "base/errors.h"
#include "app/install_layout.h"
#include "app/program_core.h"
#include "app/program_folder.h"
#include "app/windowless_run.h"
#include "config/configuration.h"
#include "config/configuration_menu.h"
#include "lang/language_switch.h"
#include "cli/command_line.h"
#include "base/utf.h"
#include "desktop/error_sink.h"
#include "desktop/session.h"
#include "ui/error_report.h"
#include "backends/clipboard_backend.h"

namespace tallowin {
namespace {

constexpr char kName[] = "tallowin run";

struct RunOptions {
  std::vector<std::string> configs;
  std::vector<std::string> assignments;
  ClipboardChoice clipboard = ClipboardChoice::kAuto;
};

class UsageError : public std::runtime_error {
  using std::runtime_error::runtime_error;
};

RunOptions ParseRunArguments(const std::vector<std::string>& args) {
  RunOptions o;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (const ClipboardArgument clipboard = ReadClipboardArgument(a); clipboard.given) {
      if (!clipboard.choice) throw UsageError("unknown clipboard " + a);
      o.clipboard = *clipboard.choice;
      continue;
    }
    if (a != "--config" && a != "--set") throw UsageError("unknown argument " + a);
    if (i + 1 >= args.size()) throw UsageError(a + " needs a value");
    (a == "--config" ? o.configs : o.assignments).push_back(args[++i]);
  }
  return o;
}

void PrintError(const char* message) {
  std::fprintf(stderr, "%s: %s\n", kName, ErrorReportText(QString::fromUtf8(message)).toUtf8().constData());
  std::fflush(stderr);
}

// The event dispatch of the run: what the window's would show in a message box goes to standard error.
class RunApplication : public QGuiApplication {
 public:
  using QGuiApplication::QGuiApplication;
  bool notify(QObject* receiver, QEvent* event) override {
    try {
      return QGuiApplication::notify(receiver, event);
    } catch (const std::exception& e) {
      PrintError(e.what());
    }
    return false;
  }
};

// SIGINT and SIGTERM reach the event loop through a socket pair: the handler
// only writes one byte, the loop quits when it reads it.
int signalSocket[2] = {-1, -1};

void OnStopSignal(int) {
  const int saved = errno;
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = ::write(signalSocket[0], &byte, 1);
  errno = saved;
}

bool InstallStopSignals() {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signalSocket) != 0) return false;
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  return ::sigaction(SIGINT, &action, nullptr) == 0 && ::sigaction(SIGTERM, &action, nullptr) == 0;
}

bool DisplayReachable() {
  std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> connection(xcb_connect(nullptr, nullptr),
                                                                          &xcb_disconnect);
  return connection && xcb_connection_has_error(connection.get()) == 0;
}

// As the window's first showing; there is no window, so the geometry numbers
// stay in the settings.
void LoadStartConfigurations(Session& session) {
  ProgramCore& core = session.Core();
  const ConfigurationWindow noWindow = WindowlessConfigurationTarget(core);
  for (const Session::StartConfiguration& c : session.StartConfigurations()) {
    // Loading a missing file changes nothing; in a terminal it deserves a word.
    if (!c.exists) {
      std::fprintf(stderr, "%s: warning: configuration %s not found\n", kName, c.path.c_str());
      continue;
    }
    KonfigurationLaden(core.settings, c.path, true, noWindow);
    std::fprintf(stderr, "%s: configuration %s loaded\n", kName, c.path.c_str());
  }
}

int Run(int& argc, char** argv, const std::vector<std::string>& args) {
  RunOptions options;
  try {
    options = ParseRunArguments(args);
  } catch (const UsageError& e) {
    std::fprintf(stderr, "%s: %s\n%s", kName, e.what(), UsageText().c_str());
    return 2;
  }
  // The clipboard is the Wayland one where the compositor offers data control,
  // else the X11 one (XWayland on a Wayland desktop). A run shows no window: on
  // Wayland alone Qt needs no display at all.
  const bool x11 = !qEnvironmentVariableIsEmpty("DISPLAY");
  const bool waylandPossible = !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") && options.clipboard != ClipboardChoice::kX11;
  if (!x11 && !waylandPossible) {
    std::fprintf(stderr, "%s: no display (DISPLAY is not set%s)\n", kName,
                 options.clipboard == ClipboardChoice::kX11 ? "" : ", nor WAYLAND_DISPLAY");
    return 1;
  }
  // Qt aborts the process when it cannot reach the display; say why and end with 1 instead.
  if (x11 && !DisplayReachable()) {
    std::fprintf(stderr, "%s: cannot connect to the X display %s\n", kName, qgetenv("DISPLAY").constData());
    return 1;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", x11 ? "xcb" : "offscreen");

  const Language language = StartLanguageFromMarkers(".");
  {
    CaptureSettings check(language);
    for (const std::string& assignment : options.assignments) {
      const std::string error = ApplySettingAssignment(check, assignment);
      if (!error.empty()) {
        std::fprintf(stderr, "%s: --set: %s\n", kName, error.c_str());
        return 2;
      }
    }
  }
  std::string programFolder;
  try {
    programFolder = StartProgramFolder();
  } catch (const TallowinError& e) {
    std::fprintf(stderr, "%s: %s\n", kName, e.what());
    return 1;
  }

  RunApplication app(argc, argv);
  app.setApplicationName(QStringLiteral("tallowin"));
  if (!InstallStopSignals()) {
    std::fprintf(stderr, "%s: cannot watch for SIGINT and SIGTERM\n", kName);
    return 1;
  }
  QSocketNotifier stop(signalSocket[1], QSocketNotifier::Read);
  QObject::connect(&stop, &QSocketNotifier::activated, &app, [&app] { app.quit(); });

  ChosenBackend backend = MakeClipboardBackend(options.clipboard);
  if (!backend.error.empty()) {
    std::fprintf(stderr, "%s: %s\n", kName, backend.error.c_str());
    return 1;
  }
  if (!backend.notice.empty()) std::fprintf(stderr, "%s: %s\n", kName, backend.notice.c_str());

  StandardErrorSink errors;
  SessionOptions sessionOptions;
  sessionOptions.language = language;
  sessionOptions.programFolder = Utf8ToUtf16(programFolder);
  sessionOptions.assignments = options.assignments;
  sessionOptions.configurations = options.configs;
  Session session(std::move(sessionOptions), [&backend] { return std::move(backend.clipboard); }, errors);
  session.Backend().SetConnectionHandler([](const ConnectionReport& report) {
    std::fprintf(stderr, "%s: %s\n", kName, report.message.c_str());
    std::fflush(stderr);
  });
  ProgramCore& core = session.Core();
  core.onRegexError = [](std::u16string_view message) {
    std::fprintf(stderr, "%s: %s\n", kName, Utf16ToUtf8(message).c_str());
  };

  // The window's first pass over the content already on the clipboard uses the
  // start-up settings, and its configurations and --set assignments arrive
  // later, when it first shows. A run does the same: they apply once that first
  // pass (which may come late, its content read on the reader's thread) is over.
  bool configured = false;
  auto configure = [&] {
    if (configured) return;
    configured = true;
    LoadStartConfigurations(session);
    session.ApplyStartAssignments();
    // Nobody can look at the history of a run, and a run lasts a whole session:
    // a history would keep every text copied in it. The two switches decide
    // nothing but the history, so turning them off changes no other action.
    core.settings.SetFlag(Setting::cb_history_txt, false);
    core.settings.SetFlag(Setting::cb_history_img, false);
    for (const std::string& warning : WindowlessRunWarnings(core.settings)) {
      std::fprintf(stderr, "%s: warning: %s\n", kName, warning.c_str());
    }
    std::fprintf(stderr, "%s: capturing the clipboard; program folder %s; stop with Ctrl+C or SIGTERM\n", kName,
                 programFolder.c_str());
    std::fflush(stderr);
  };
  session.Board().SetChangeHandler([&core, &configure] {
    struct ConfigureAfterwards {
      const std::function<void()> configure;
      ~ConfigureAfterwards() { configure(); }
    } afterwards{configure};
    core.pipeline->ProcessClipboardChange();
  });
  session.Start();
  // The core event loop, not QGuiApplication's: that one first sets up the
  // accessibility bridge, which a run without windows has no use for. The bridge
  // waits for the session bus, and where there is none libdbus forks a launcher
  // while the reader thread may hold a lock (seen with AddressSanitizer's
  // allocator) that the child then waits on for ever: the run never started
  // capturing, and SIGTERM could not end it.
  QCoreApplication::exec();
  std::fprintf(stderr, "%s: stopped\n", kName);
  return 0;
}

}  // namespace

int RunRunCommand(int& argc, char** argv, const std::vector<std::string>& args) {
  try {
    return Run(argc, argv, args);
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "%s: not enough memory\n", kName);
  }
  return 1;
}

}  // namespace tallowin
