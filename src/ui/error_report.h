#pragma once
// The GUI thread's default error report: a raised error that leaves an event
// handler is shown in a message box, and the program goes on.

#include <QApplication>
#include <QString>

#include "desktop/error_sink.h"
#include "lang/ui_texts.h"

class QWidget;

namespace tallowin {

// The message as shown: a full stop is added when the text ends in a character
// that sorts after ".".
QString ErrorReportText(const QString& message);

// The line added under a message that was raised again `repeats` times while its
// box was open.
QString ErrorRepeatLine(int repeats, Language language);

// The line added under a message for `others` different errors raised while
// its box was open, naming the last of them.
QString ErrorOthersLine(int others, const QString& last, Language language);

// Shows the message box and returns when it is closed. One box is open at a
// time: an error raised while it is open (this call was made from its event
// loop) is counted into it, as a repeat of its text or as another error, and
// this call returns at once. The box stands over the window that was active (a
// modal dialog first), so it is never hidden behind a window that stays on top.
void ShowErrorReport(const QString& message);

// The language of the repeat line; English until set.
void SetErrorReportLanguage(Language language);

// The window a box shown now would stand over; nullptr when none is active.
QWidget* ErrorReportOwner();

// A session's errors as the window shows them: in the message box.
class MessageBoxErrorSink final : public ErrorSink {
 public:
  void ShowError(std::string_view message) override;
};

class TallowinApplication : public QApplication {
 public:
  TallowinApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace tallowin
