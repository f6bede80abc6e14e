#include "ui/language_texts.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QTreeWidget>
#include <string>

#include "lang/ui_texts.h"
#include "backends/qt_text.h"

namespace tallowin {
namespace {

void SetColumnCaptions(QObject* object, const QStringList& captions) {
  if (auto* tree = qobject_cast<QTreeWidget*>(object)) {
    tree->setHeaderLabels(captions);
  } else if (auto* view = qobject_cast<QAbstractItemView*>(object); view && view->model()) {
    for (int i = 0; i < captions.size(); ++i) view->model()->setHeaderData(i, Qt::Horizontal, captions[i], Qt::DisplayRole);
  }
}

void SetCaption(QObject* object, const QString& text) {
  if (auto* button = qobject_cast<QAbstractButton*>(object)) {
    button->setText(text);
  } else if (auto* label = qobject_cast<QLabel*>(object)) {
    label->setText(text);
  } else if (auto* group = qobject_cast<QGroupBox*>(object)) {
    group->setTitle(text);
  } else if (auto* menu = qobject_cast<QMenu*>(object)) {
    menu->setTitle(text);
  } else if (auto* action = qobject_cast<QAction*>(object)) {
    action->setText(text);
  }
}

void Retext(QObject* object, std::string_view window, Language language) {
  const std::string name = object->objectName().toStdString();
  if (name.empty()) return;
  auto* widget = qobject_cast<QWidget*>(object);
  const QString caption = WindowText(window, name, language);
  if (!caption.isEmpty()) {
    SetCaption(object, caption);
    if (widget) widget->setAccessibleName(caption);
  }
  QStringList columns;
  for (int i = 0;; ++i) {
    const QString column = WindowText(window, name + "." + std::to_string(i), language);
    if (column.isEmpty()) break;
    columns << column;
  }
  if (!columns.isEmpty()) SetColumnCaptions(object, columns);
  const QString accessible = WindowText(window, name + ".name", language);
  if (widget && !accessible.isEmpty()) widget->setAccessibleName(accessible);
  // An editable choice box shows its edit box and its item list as controls of
  // their own; they are named after the box, the same way in every window.
  if (auto* combo = qobject_cast<QComboBox*>(object); combo && !combo->accessibleName().isEmpty()) {
    const QString box = combo->accessibleName();
    if (combo->lineEdit()) combo->lineEdit()->setAccessibleName(box + WindowText("Tprog", "combo_edit.suffix", language));
    combo->view()->setAccessibleName(box + WindowText("Tprog", "combo_list.suffix", language));
  }
}

void Walk(QObject* parent, std::string_view window, Language language) {
  for (QObject* child : parent->children()) {
    auto* widget = qobject_cast<QWidget*>(child);
    if (widget && widget->isWindow() && !qobject_cast<QMenu*>(widget)) continue;  // a dialog of its own
    Retext(child, window, language);
    Walk(child, window, language);
  }
}

}  // namespace

QString WindowText(std::string_view window, std::string_view control, Language language) {
  return ToQString(UiText(window, control, language));
}

void RetextWindow(QWidget* root, std::string_view window, Language language) {
  const QString title = WindowText(window, window, language);
  if (!title.isEmpty()) root->setWindowTitle(title);
  Walk(root, window, language);
}

}  // namespace tallowin
