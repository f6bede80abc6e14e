// Program entry: the command-line faces run without a window; otherwise the
// start form and the main window are created and the event loop runs.

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <cstdio>
#include <string>
#include <vector>

#include "base/descriptor_limit.h"
#include "base/errors.h"
#include "base/process_setup.h"
#include "app/install_layout.h"
#include "app/program_folder.h"
#include "cli/checked_output.h"
#include "cli/command_line.h"
#include "config/configuration_menu.h"
#include "desktop/session.h"
#include "lang/language_switch.h"
#include "lang/ui_texts.h"
#include "base/utf.h"
#include "ui/error_report.h"
#include "ui/main_window.h"
#include "backends/qt_text.h"
#include "ui/start_form.h"
#include "backends/clipboard_backend.h"

namespace {

// The help pages: installed beside the program, or in the source tree of a build.
std::u16string DocsFolder(const std::string& executableFolder) {
  for (const char* relative : {"/docs/", "/../docs/", "/../share/tallowin/docs/"}) {
    const std::string candidate = executableFolder + relative;
    if (QFileInfo(QString::fromStdString(candidate + "index.html")).exists()) {
      return tallowin::ToU16(QDir::cleanPath(QString::fromStdString(candidate)) + QChar(u'/'));
    }
  }
  return tallowin::Utf8ToUtf16(executableFolder + "/docs/");
}

int RunProgram(int argc, char** argv, const std::vector<std::string>& args) {
  tallowin::SessionOptions options;
  tallowin::ClipboardChoice clipboardChoice = tallowin::ClipboardChoice::kAuto;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--set" && i + tallowin::OptionValueCount(args[i]) < args.size()) {
      options.assignments.push_back(args[++i]);
    } else if (const tallowin::ClipboardArgument clipboard = tallowin::ReadClipboardArgument(args[i]); clipboard.given) {
      if (!clipboard.choice) {
        std::fprintf(stderr, "tallowin: unknown clipboard %s\n%s", args[i].c_str(), tallowin::UsageText().c_str());
        return 2;
      }
      clipboardChoice = *clipboard.choice;
    } else if (!tallowin::ConfigurationArguments({args[i]}).empty()) {
      options.configurations.push_back(args[i]);
    } else if (args[i].rfind('.') != std::string::npos && args[i][0] != '-') {
      // Any other file name is ignored, as the program always did with them.
    } else {
      std::fprintf(stderr, "tallowin: unknown argument %s\n%s", args[i].c_str(), tallowin::UsageText().c_str());
      return 2;
    }
  }
  // The windows go through X11 when it is there (XWayland on a Wayland desktop): the X11
  // clipboard backend works only through Qt's X11 connection, and the splash,
  // the centred windows and the confined pointer of the cut-out dialog need
  // what Wayland does not give a client.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("DISPLAY")) {
    qputenv("QT_QPA_PLATFORM", "xcb");
  }
  tallowin::TallowinApplication app(argc, argv);
  app.setApplicationName(QStringLiteral("tallowin"));
  app.setQuitOnLastWindowClosed(false);
  const std::string exeFolder = tallowin::ExecutableFolder(argv[0]);
  options.language = tallowin::StartLanguageFromMarkers(".");
  try {
    options.programFolder =
        tallowin::Utf8ToUtf16(tallowin::StartProgramFolder(argv[0]));
  } catch (const tallowin::TallowinError& e) {
    // Started from a menu there is no terminal to read standard error in.
    std::fprintf(stderr, "tallowin: %s\n", e.what());
    QMessageBox::critical(nullptr, QStringLiteral("Tallowin"), QString::fromUtf8(e.what()));
    return 1;
  }
  tallowin::MainWindowOptions view;
  view.docsFolder = DocsFolder(exeFolder);
  tallowin::ChosenBackend backend = tallowin::MakeClipboardBackend(clipboardChoice);
  if (!backend.error.empty()) {
    std::fprintf(stderr, "tallowin: %s\n", backend.error.c_str());
    return 1;
  }
  if (!backend.notice.empty()) std::fprintf(stderr, "tallowin: %s\n", backend.notice.c_str());
  view.clipboardFallbackNotice = !backend.notice.empty();

  tallowin::MessageBoxErrorSink errors;
  tallowin::Session session(
      std::move(options), [&backend] { return std::move(backend.clipboard); }, errors);
  tallowin::StartForm start(session.CurrentLanguage());
  tallowin::MainWindow main(session, view, &start);
  session.Backend().SetConnectionHandler([&main](const tallowin::ConnectionReport& report) {
    std::fprintf(stderr, "tallowin: %s\n", report.message.c_str());
    main.ShowClipboardConnection(report.lost);
  });
  start.SetMainWindow(&main);
  start.show();
  return app.exec();
}

}  // namespace

int main(int argc, char** argv) {
  tallowin::PrepareProcess();
  tallowin::ProtectStandardStreams();
  // Every face reads clipboard owners, each of whose types being read holds a descriptor.
  tallowin::RaiseDescriptorLimit();
  const std::vector<std::string> args(argv + 1, argv + argc);
  // --help and --version as options of the program or of a command; a value that
  // happens to read "--help" (after --set or --row) is not an option.
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (const std::size_t values = tallowin::OptionValueCount(a); values > 0) {
      i += values;
    } else if (a == "--help" || a == "-h") {
      return tallowin::WriteStandardOutput(tallowin::UsageText(), "tallowin") ? 0 : 1;
    } else if (a == "--version") {
      return tallowin::WriteStandardOutput(tallowin::VersionText(), "tallowin") ? 0 : 1;
    }
  }
  if (!args.empty() && args[0] == "apply") {
    QCoreApplication app(argc, argv);
    return tallowin::RunApplyCommand(std::vector<std::string>(args.begin() + 1, args.end()));
  }
  if (!args.empty() && args[0] == "run") {
    return tallowin::RunRunCommand(argc, argv, std::vector<std::string>(args.begin() + 1, args.end()));
  }
  if (!args.empty() && args[0] == "formats") {
    QCoreApplication app(argc, argv);  // loads the image plugins that decide which pictures count as BITMAP
    return tallowin::RunFormatsCommand(std::vector<std::string>(args.begin() + 1, args.end()));
  }
  return RunProgram(argc, argv, args);
}
