#pragma once
// Shows a RegexErrorDisplay in the search-and-replace section: each field's mark
// label (bold, dark red) with the error as its caption, and the field's text in
// dark red while its mark is shown, in the window text colour otherwise.

#include <QLabel>
#include <QObject>

#include "text/regex_error_display.h"

class QPlainTextEdit;

namespace tallowin {

// A one-line label that shows as much of its text as fits, ending in "…" when
// cut; text(), the tool tip and the accessible name keep the whole text.
class ElidingLabel : public QLabel {
  Q_OBJECT

 public:
  using QLabel::QLabel;
  // The text as drawn at the label's present width.
  QString ShownText() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

class RegexErrorView : public QObject {
  Q_OBJECT

 public:
  // The four widgets must outlive the view. The view takes the display's
  // onChanged; the callback does nothing once the view is gone, and the view
  // never touches the display after its constructor but through that callback,
  // so either may be destroyed first.
  RegexErrorView(RegexErrorDisplay& display, QPlainTextEdit* searchField, QLabel* searchMark,
                 QPlainTextEdit* replacementField, QLabel* replacementMark, QObject* parent = nullptr);
  // Brings the four widgets in line with the display.
  void Show();

 private:
  RegexErrorDisplay& display_;
  QPlainTextEdit* searchField_;
  QLabel* searchMark_;
  QPlainTextEdit* replacementField_;
  QLabel* replacementMark_;
};

}  // namespace tallowin
