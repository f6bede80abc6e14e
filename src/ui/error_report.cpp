#include "ui/error_report.h"

#include <QMessageBox>

#include "app/errors.h"
#include "lang/ui_texts.h"
#include "ui/qt_text.h"

namespace tallowin {

QString ErrorReportText(const QString& message) {
  if (!message.isEmpty() && message.back() > QChar(u'.')) return message + QChar(u'.');
  return message;
}

void ShowErrorReport(const QString& message) {
  QMessageBox box(QMessageBox::Critical, ToQString(kApplicationTitle), ErrorReportText(message), QMessageBox::Ok);
  box.setObjectName(QStringLiteral("error_report"));
  box.exec();
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
