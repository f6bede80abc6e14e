#include "ui/error_report.h"

#include <QMessageBox>
#include <QPointer>
#include <optional>

#include "base/errors.h"
#include "backends/qt_text.h"

namespace tallowin {
namespace {

// The one box waiting for OK, with the text it opened with and the errors
// raised since: repeats of that text, and others (the last one kept).
struct OpenReport {
  QPointer<QMessageBox> box;
  QString text;
  int repeats = 0;
  int others = 0;
  QString lastOther;
};

std::optional<OpenReport>& CurrentReport() {
  static std::optional<OpenReport> report;
  return report;
}

Language& ReportLanguage() {
  static Language language = Language::English;
  return language;
}

QString ReportBoxText(const OpenReport& report) {
  QString text = report.text;
  if (report.repeats > 0 || report.others > 0) text += QStringLiteral("\n");
  if (report.repeats > 0) text += QStringLiteral("\n") + ErrorRepeatLine(report.repeats, ReportLanguage());
  if (report.others > 0) {
    text += QStringLiteral("\n") + ErrorOthersLine(report.others, report.lastOther, ReportLanguage());
  }
  return text;
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

QString ErrorOthersLine(int others, const QString& last, Language language) {
  if (language == Language::German) {
    return others == 1 ? QStringLiteral("(und ein weiterer Fehler: %1)").arg(last)
                       : QStringLiteral("(und %1 weitere Fehler, zuletzt: %2)").arg(others).arg(last);
  }
  return others == 1 ? QStringLiteral("(and 1 more error: %1)").arg(last)
                     : QStringLiteral("(and %1 more errors, the last: %2)").arg(others).arg(last);
}

void SetErrorReportLanguage(Language language) { ReportLanguage() = language; }

QWidget* ErrorReportOwner() {
  if (QWidget* modal = QApplication::activeModalWidget()) return modal;
  return QApplication::activeWindow();
}

void ShowErrorReport(const QString& message) {
  const QString text = ErrorReportText(message);
  std::optional<OpenReport>& open = CurrentReport();
  if (open && open->box) {
    // One box at a time: an error raised while it waits (from its event loop,
    // while capturing goes on) is counted into it instead of stacking a box.
    if (text == open->text) {
      ++open->repeats;
    } else {
      ++open->others;
      open->lastOther = text;
    }
    open->box->setText(ReportBoxText(*open));
    return;
  }
  // On the heap: the owner may be destroyed while the box waits, and takes its
  // children with it.
  QPointer<QMessageBox> box =
      new QMessageBox(QMessageBox::Critical, ToQString(kApplicationTitle), text, QMessageBox::Ok, ErrorReportOwner());
  box->setObjectName(QStringLiteral("error_report"));
  open = OpenReport{box, text, 0, 0, QString()};
  box->exec();
  // Unless a box of its own followed this one (its owner took it away early).
  if (open && (!open->box || open->box == box)) open.reset();
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
