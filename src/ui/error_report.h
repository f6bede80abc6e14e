#pragma once
// The GUI thread's default error report: a raised error that leaves an event
// handler is shown in a message box, and the program goes on.

#include <QApplication>
#include <QString>

namespace tallowin {

// The message as shown: a full stop is added when the text ends in a character
// that sorts after ".".
QString ErrorReportText(const QString& message);

void ShowErrorReport(const QString& message);

class TallowinApplication : public QApplication {
 public:
  TallowinApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace tallowin
