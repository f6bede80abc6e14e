#include "ui/setting_binder.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalBlocker>

#include "base/integer_text.h"
#include "backends/qt_text.h"

namespace tallowin {
namespace {

class KeyFilter : public QObject {
 public:
  KeyFilter(InputFilter filter, QWidget* box) : QObject(box), filter_(filter), box_(box) {}

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::InputMethod) {
      // A composed character arrives without a key press; it is typed all the same.
      auto* input = static_cast<QInputMethodEvent*>(event);
      const QString text = input->commitString();
      for (QChar c : text) {
        if (Refuses(c)) return true;
      }
      return false;
    }
    if (event->type() != QEvent::KeyPress) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    const QString text = key->text();
    if (text.isEmpty() || (key->modifiers() & Qt::ControlModifier)) return false;  // control keys pass
    const QChar c = text.at(0);
    // So do keys that carry a control character (Delete brings U+007F on X11,
    // Escape U+001B); backspace alone counts as typed.
    if (c.category() == QChar::Other_Control && c != QChar(u'\b')) return false;
    return Refuses(c);
  }

 private:
  bool Refuses(QChar c) const {
    switch (filter_) {
      case InputFilter::FileNamePart:
        return QStringLiteral("\"*/:<>?\\|").contains(c);
      case InputFilter::FolderPath:
        // "/" separates folders here, so it can be typed; the backslash cannot.
        return QStringLiteral("\"*\\<>?|").contains(c);
      case InputFilter::DigitsOnly:
        return !(c.isDigit() && c.unicode() < 0x80) && c != QChar(u'\b');
      case InputFilter::Quality: {
        if (!(c.isDigit() && c.unicode() < 0x80) && c != QChar(u'\b')) return true;
        // A box already holding a number outside 1..100 takes no key at all.
        const auto* combo = qobject_cast<const QComboBox*>(box_);
        const QString current = combo ? combo->currentText() : QString();
        const auto value = ParseIntegerText(ToU16(current));
        return value && (*value < 1 || *value > 100);
      }
      case InputFilter::None:
        return false;
    }
    return false;
  }
  InputFilter filter_;
  QWidget* box_;
};

// A double click selects the whole text of a folder box.
class SelectAllOnDoubleClick : public QObject {
 public:
  explicit SelectAllOnDoubleClick(QLineEdit* edit) : QObject(edit), edit_(edit) {}

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() != QEvent::MouseButtonDblClick) return false;
    edit_->selectAll();
    return true;
  }

 private:
  QLineEdit* edit_;
};

// A choice box named by its accessible name (by its text when it has none),
// with its text as the value and the action that opens its list.
class NamedChoiceBox : public QAccessibleWidget {
 public:
  explicit NamedChoiceBox(QComboBox* combo) : QAccessibleWidget(combo, QAccessible::ComboBox) {}

  QString text(QAccessible::Text t) const override {
    const QComboBox* box = combo();
    if (t == QAccessible::Name && !box->accessibleName().isEmpty()) return box->accessibleName();
    if (t == QAccessible::Name || t == QAccessible::Value) return box->currentText();
    return QAccessibleWidget::text(t);
  }
  QStringList actionNames() const override { return QAccessibleWidget::actionNames() << showMenuAction(); }
  void doAction(const QString& action) override {
    if (action == showMenuAction()) return combo()->showPopup();
    QAccessibleWidget::doAction(action);  // taking the focus
  }

 private:
  QComboBox* combo() const { return static_cast<QComboBox*>(widget()); }
};

QAccessibleInterface* ChoiceBoxFactory(const QString& className, QObject* object) {
  if (className != QLatin1String("QComboBox")) return nullptr;
  auto* combo = qobject_cast<QComboBox*>(object);
  return combo ? new NamedChoiceBox(combo) : nullptr;
}

}  // namespace

void InstallAccessibleChoiceBoxes() {
  static const bool installed = [] {
    QAccessible::installFactory(&ChoiceBoxFactory);
    return true;
  }();
  (void)installed;
}

QString SettingObjectName(Setting s) {
  const std::string_view name = Describe(s).name;
  return QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
}

QString MemoToWidget(const std::u16string& text) {
  QString q = ToQString(text);
  q.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return q;
}

std::u16string MemoFromWidget(const QString& text) {
  // Line breaks on the Linux clipboard are LF; a pasted CR LF is stored as LF.
  QString q = text;
  q.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  q.replace(QChar::LineSeparator, QChar(u'\n'));  // Shift+Enter
  return ToU16(q);
}

void MatchCurrentItemToText(QComboBox* combo) {
  const QString text = combo->currentText();
  const int item = combo->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
  if (item == combo->currentIndex()) return;
  QLineEdit* edit = combo->lineEdit();
  const QSignalBlocker blockCombo(combo);
  if (item >= 0 || !edit) {
    combo->setCurrentIndex(item);  // the item's text is the edit's text: the edit is not touched
    return;
  }
  // No item: the combo box empties its edit along with the index, so the text
  // goes back with its cursor and selection, unseen by anything that watches it.
  const QSignalBlocker blockEdit(edit);
  const int cursor = edit->cursorPosition();
  const int selectionStart = edit->selectionStart();
  const int selectionLength = edit->selectionLength();
  combo->setCurrentIndex(-1);
  edit->setText(text);
  if (selectionStart >= 0 && selectionLength > 0) {
    // setSelection leaves the cursor at its far end; start from the other end
    // when the cursor stood at the start of the selection.
    if (cursor == selectionStart) {
      edit->setSelection(selectionStart + selectionLength, -selectionLength);
    } else {
      edit->setSelection(selectionStart, selectionLength);
    }
  } else {
    edit->setCursorPosition(cursor);
  }
}

void KeepCurrentItemWithText(QComboBox* combo) {
  MatchCurrentItemToText(combo);
  QObject::connect(combo, &QComboBox::editTextChanged, combo, [combo] { MatchCurrentItemToText(combo); });
}

void InstallInputFilter(QWidget* box, InputFilter filter) {
  if (filter == InputFilter::None) return;
  // An editable combo box keeps the keyboard focus itself and hands its keys to
  // its line edit by a direct call, past the edit's event filters; so the filter
  // watches the combo box, and the edit too for keys sent straight to it.
  box->installEventFilter(new KeyFilter(filter, box));
  if (auto* combo = qobject_cast<QComboBox*>(box); combo && combo->lineEdit()) {
    combo->lineEdit()->installEventFilter(new KeyFilter(filter, box));
  }
}

SettingBinder::SettingBinder(CaptureSettings& settings, QObject* parent) : QObject(parent), settings_(settings) {
  observer_ = settings_.AddObserver([this](Setting s) { Refresh(s); });
}

SettingBinder::~SettingBinder() = default;

void SettingBinder::Refresh(Setting s) {
  for (auto& [setting, view] : views_) {
    if (setting == s) view();
  }
}

void SettingBinder::RefreshAll() {
  for (auto& entry : views_) entry.second();
}

void SettingBinder::BindCheck(QAbstractButton* box, Setting s) {
  box->setObjectName(SettingObjectName(s));
  box->setCheckable(true);
  box->setAutoExclusive(false);  // the model keeps radio groups exclusive
  auto view = [this, box, s] {
    const QSignalBlocker block(box);
    box->setChecked(settings_.Flag(s));
  };
  view();
  views_.emplace_back(s, view);
  const bool radio = Describe(s).kind == SettingKind::Choice;
  // Every change of the box's state reaches the setting, whatever caused it (a
  // click, a key, an accessibility action, a programmatic toggle); the view above
  // blocks the signal, so a setting shown by the box does not come back as a change.
  connect(box, &QAbstractButton::toggled, this, [this, box, s, radio](bool checked) {
    // A radio button cannot be switched off by itself, only by its group.
    settings_.SetFlag(s, radio ? true : checked);
    const QSignalBlocker block(box);
    box->setChecked(settings_.Flag(s));
  });
}

void SettingBinder::BindLine(QLineEdit* edit, Setting s) {
  edit->setObjectName(SettingObjectName(s));
  auto view = [this, edit, s] {
    const QString text = ToQString(settings_.Text(s));
    if (edit->text() == text) return;
    const QSignalBlocker block(edit);
    edit->setText(text);
    edit->setCursorPosition(0);  // a text put in shows its start, not its end
  };
  view();
  views_.emplace_back(s, view);
  connect(edit, &QLineEdit::textChanged, this, [this, s](const QString& text) { settings_.SetText(s, ToU16(text)); });
  InstallInputFilter(edit, Describe(s).filter);
  if (Describe(s).filter == InputFilter::FolderPath) edit->installEventFilter(new SelectAllOnDoubleClick(edit));
}

void SettingBinder::BindCombo(QComboBox* combo, Setting s) {
  combo->setObjectName(SettingObjectName(s));
  combo->setEditable(true);
  combo->setInsertPolicy(QComboBox::NoInsert);
  auto view = [this, combo, s] {
    const QSignalBlocker block(combo);
    QStringList items;
    for (const std::u16string& item : settings_.Items(s)) items << ToQString(item);
    QStringList shown;
    for (int i = 0; i < combo->count(); ++i) shown << combo->itemText(i);
    if (shown != items) {
      combo->clear();
      combo->addItems(items);
    }
    const QString text = ToQString(settings_.Text(s));
    if (combo->currentText() != text) combo->setEditText(text);
    MatchCurrentItemToText(combo);  // new items, or a text set with the signal blocked
  };
  view();
  views_.emplace_back(s, view);
  connect(combo, &QComboBox::editTextChanged, this,
          [this, s](const QString& text) { settings_.SetText(s, ToU16(text)); });
  KeepCurrentItemWithText(combo);
  InstallInputFilter(combo, Describe(s).filter);
}

void SettingBinder::BindMemo(QPlainTextEdit* memo, Setting s) {
  memo->setObjectName(SettingObjectName(s));
  memo->setTabChangesFocus(true);  // Tab moves on, so the keyboard can leave the field
  auto view = [this, memo, s] {
    if (MemoFromWidget(memo->toPlainText()) == settings_.Text(s)) return;
    const QSignalBlocker block(memo);
    memo->setPlainText(MemoToWidget(settings_.Text(s)));
  };
  view();
  views_.emplace_back(s, view);
  connect(memo, &QPlainTextEdit::textChanged, this,
          [this, memo, s] { settings_.SetText(s, MemoFromWidget(memo->toPlainText())); });
}

void SettingBinder::BindVisibility(QWidget* panel, Setting s) {
  panel->setObjectName(SettingObjectName(s));
  auto view = [this, panel, s] { panel->setVisible(settings_.Flag(s)); };
  views_.emplace_back(s, view);
}

}  // namespace tallowin
