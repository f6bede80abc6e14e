#include "ui/regex_error_view.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QStyle>
#include <QPlainTextEdit>
#include <QPointer>

#include "backends/qt_text.h"

namespace tallowin {
namespace {

QColor ErrorQColour() { return QColor(kRegexErrorColour.red, kRegexErrorColour.green, kRegexErrorColour.blue); }

void StyleMark(QLabel* mark) {
  QFont bold = mark->font();
  bold.setBold(true);
  mark->setFont(bold);
  QPalette pal = mark->palette();
  pal.setColor(QPalette::WindowText, ErrorQColour());
  mark->setPalette(pal);
  // A long message must not push the field aside: the label takes the width it
  // is given, and the whole message is in its tool tip.
  mark->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

void ShowField(const RegexErrorMark& mark, QPlainTextEdit* field, QLabel* label) {
  QPalette pal = field->palette();
  const QColor text = mark.visible ? ErrorQColour() : QApplication::palette(field).color(QPalette::Text);
  for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) pal.setColor(group, QPalette::Text, text);
  field->setPalette(pal);
  if (mark.visible) {
    label->setText(ToQString(mark.caption));
    label->setToolTip(label->text());
  }
  label->setVisible(mark.visible);
}

}  // namespace

QString ElidingLabel::ShownText() const {
  return fontMetrics().elidedText(text(), Qt::ElideRight, contentsRect().width());
}

void ElidingLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  style()->drawItemText(&painter, contentsRect(), static_cast<int>(alignment()), palette(), isEnabled(), ShownText(),
                        foregroundRole());
}

RegexErrorView::RegexErrorView(RegexErrorDisplay& display, QPlainTextEdit* searchField, QLabel* searchMark,
                               QPlainTextEdit* replacementField, QLabel* replacementMark, QObject* parent)
    : QObject(parent),
      display_(display),
      searchField_(searchField),
      searchMark_(searchMark),
      replacementField_(replacementField),
      replacementMark_(replacementMark) {
  StyleMark(searchMark_);
  StyleMark(replacementMark_);
  display_.onChanged = [view = QPointer<RegexErrorView>(this)] {
    if (view) view->Show();
  };
  Show();
}

void RegexErrorView::Show() {
  ShowField(display_.Mark(ReplaceField::Search), searchField_, searchMark_);
  ShowField(display_.Mark(ReplaceField::Replacement), replacementField_, replacementMark_);
}

}  // namespace tallowin
