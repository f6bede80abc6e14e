#include "ui/error_report.h"

#include <QMessageBox>
#include <QPointer>
#include <vector>

#include "app/errors.h"
#include "ui/qt_text.h"

namespace tallowin {
namespace {

// A box still waiting for OK, with the text it opened with and how often that
// text was raised again since.
struct OpenReport {
  QPointer<QMessageBox> box;
  QString text;
  int repeats = 0;
};

// The boxes open on the GUI thread, innermost last (a different error raised in
// a box's event loop opens its own box over it).
std::vector<OpenReport>& OpenReports() {
  static std::vector<OpenReport> reports;
  return reports;
}

Language& ReportLanguage() {
  static Language language = Language::English;
  return language;
}

}  // namespace

QString ErrorReportText(const QString& message) {
  if (!message.isEmpty() && message.back() > QChar(u'.')) return message + QChar(u'.');
  return message;
}

QString ErrorRepeatLine(int repeats, Language language) {
  if (language == Language::German) return QStringLiteral("(%1-mal wiederholt)").arg(repeats);
  return QStringLiteral("(repeated %1 times)").arg(repeats);
}

void SetErrorReportLanguage(Language language) { ReportLanguage() = language; }

QWidget* ErrorReportOwner() {
  if (QWidget* modal = QApplication::activeModalWidget()) return modal;
  return QApplication::activeWindow();
}

void ShowErrorReport(const QString& message) {
  const QString text = ErrorReportText(message);
  for (OpenReport& open : OpenReports()) {
    if (!open.box || open.text != text) continue;
    ++open.repeats;
    open.box->setText(text + QStringLiteral("\n\n") + ErrorRepeatLine(open.repeats, ReportLanguage()));
    return;
  }
  // On the heap: the owner may be destroyed while the box waits, and takes its
  // children with it.
  QPointer<QMessageBox> box =
      new QMessageBox(QMessageBox::Critical, ToQString(kApplicationTitle), text, QMessageBox::Ok, ErrorReportOwner());
  box->setObjectName(QStringLiteral("error_report"));
  OpenReports().push_back({box, text, 0});
  box->exec();
  std::erase_if(OpenReports(), [&box](const OpenReport& open) { return !open.box || open.box == box; });
  delete box.data();
}

void MessageBoxErrorSink::ShowError(std::string_view message) {
  ShowErrorReport(QString::fromUtf8(message.data(), static_cast<qsizetype>(message.size())));
}

TallowinApplication::TallowinApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TallowinApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const TallowinError& e) {
    ShowErrorReport(QString::fromUtf8(e.what()));
  } catch (const std::exception& e) {
    ShowErrorReport(QString::fromUtf8(e.what()));
  }
  return false;
}

}  // namespace tallowin
