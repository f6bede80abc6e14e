#pragma once
// Binds widgets to settings both ways. A widget's objectName is its setting's
// name; a user change goes through CaptureSettings (so its reactions run), and
// every change of the setting, from anywhere, is shown by the widget.

#include <QObject>
#include <QWidget>
#include <functional>
#include <vector>

#include "settings/capture_settings.h"

class QAbstractButton;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;

namespace tallowin {

class SettingBinder : public QObject {
  Q_OBJECT

 public:
  // `settings` must outlive the binder.
  explicit SettingBinder(CaptureSettings& settings, QObject* parent = nullptr);
  ~SettingBinder() override;

  void BindCheck(QAbstractButton* box, Setting s);  // check box or radio button
  void BindLine(QLineEdit* edit, Setting s);
  void BindCombo(QComboBox* combo, Setting s);
  void BindMemo(QPlainTextEdit* memo, Setting s);
  void BindVisibility(QWidget* panel, Setting s);

  // Brings every bound widget in line with its setting (after items changed, for example).
  void RefreshAll();

 private:
  void Refresh(Setting s);

  CaptureSettings& settings_;
  ObserverHandle observer_;
  std::vector<std::pair<Setting, std::function<void()>>> views_;
};

// Gives every choice box an accessible
// interface whose name is the box's accessible name and whose value is its
// text; Qt's own names a box by its value on Linux, so a screen reader could not
// tell the boxes apart. Call before the boxes are first seen by an
// accessibility client; later calls do nothing.
void InstallAccessibleChoiceBoxes();

// Keeps an editable box's current item the one its text names, or none when no
// item does, through every change of the text; so its list opens on that item
// and the arrow keys step on from it. BindCombo does this for its boxes.
void KeepCurrentItemWithText(QComboBox* combo);
// The same once, now: the text, the cursor and the selection stay as they are.
void MatchCurrentItemToText(QComboBox* combo);

// Refuses typed characters by the box's filter; pasted or loaded text passes.
void InstallInputFilter(QWidget* box, InputFilter filter);

// The control name of `s`, used as the widget's objectName.
QString SettingObjectName(Setting s);

// Memo text: every line break is LF in the model and in the widget (a CR LF
// read from the model is shown as one break; one typed or pasted is stored as LF).
QString MemoToWidget(const std::u16string& text);
std::u16string MemoFromWidget(const QString& text);

}  // namespace tallowin
