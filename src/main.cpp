// Program entry: the command-line faces run without a window; otherwise the
// start form and the main window are created and the event loop runs.

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <cstdio>
#include <string>
#include <vector>

#include "app/errors.h"
#include "app/install_layout.h"
#include "app/program_folder.h"
#include "cli/checked_output.h"
#include "cli/command_line.h"
#include "desktop/session.h"
#include "lang/ui_texts.h"
#include "text/utf.h"
#include "ui/error_report.h"
#include "ui/main_window.h"
#include "ui/qt_text.h"
#include "ui/start_form.h"
#include "ui/x11_clipboard.h"

namespace {

std::string ExecutableFolder(const char* argv0) {
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) exe = std::filesystem::absolute(argv0, ec);
  return exe.parent_path().string();
}

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
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--set" && i + 1 < args.size()) {
      options.assignments.push_back(args[++i]);
    } else if (args[i].size() > 4 && args[i].ends_with(".twk")) {
      std::fprintf(stderr, "tallowin: configuration files are not available in this version: %s\n", args[i].c_str());
    } else {
      std::fprintf(stderr, "tallowin: unknown argument %s\n%s", args[i].c_str(), tallowin::UsageText().c_str());
      return 2;
    }
  }
  tallowin::TallowinApplication app(argc, argv);
  app.setApplicationName(QStringLiteral("tallowin"));
  app.setQuitOnLastWindowClosed(false);
  const std::string exeFolder = ExecutableFolder(argv[0]);
  options.language = tallowin::GermanMarkerPresent(".") ? tallowin::Language::German : tallowin::Language::English;
  try {
    options.programFolder =
        tallowin::Utf8ToUtf16(tallowin::ResolveProgramFolder(tallowin::ProgramFolderCandidate(exeFolder)));
  } catch (const tallowin::TallowinError& e) {
    // Started from a menu there is no terminal to read standard error in.
    std::fprintf(stderr, "tallowin: %s\n", e.what());
    QMessageBox::critical(nullptr, QStringLiteral("Tallowin"), QString::fromUtf8(e.what()));
    return 1;
  }
  tallowin::MainWindowOptions view;
  view.docsFolder = DocsFolder(exeFolder);

  tallowin::MessageBoxErrorSink errors;
  tallowin::Session session(
      std::move(options), [] { return std::make_unique<tallowin::X11Clipboard>(); }, errors);
  tallowin::StartForm start(session.CurrentLanguage());
  tallowin::MainWindow main(session, view, &start);
  start.SetMainWindow(&main);
  start.show();
  return app.exec();
}

}  // namespace

int main(int argc, char** argv) {
  tallowin::ProtectStandardStreams();
  const std::vector<std::string> args(argv + 1, argv + argc);
  // --help and --version as options of the program or of a command; a value that
  // happens to read "--help" (after --set or --row) is not an option.
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--set" || a == "--config" || a == "--output") {
      ++i;
    } else if (a == "--row") {
      i += 3;
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
