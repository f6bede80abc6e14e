#pragma once
// The program's icon in the desktop's system tray, where the desktop has one.
//
// Its menu holds the capture switch and Close of the main window's own menus
// (the same actions, so check mark, shortcut, captions and behaviour are
// shared), and an entry that shows or hides the main window. A click on the
// icon shows or hides the window as well. The window itself behaves as without
// a tray: closing it ends the program.

#include <QIcon>
#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>

#include "lang/ui_texts.h"

class QAction;
class QWidget;

namespace tallowin {

class TrayIcon : public QObject {
  Q_OBJECT

 public:
  // `window`, `captureSwitch` and `close` must outlive the tray icon.
  TrayIcon(QWidget* window, QAction* captureSwitch, QAction* close, Language language, QObject* parent = nullptr);
  ~TrayIcon() override;

  void SetLanguage(Language language);
  QMenu* Menu() { return &menu_; }
  QAction* ShowHideAction() { return showHide_; }
  QSystemTrayIcon* Icon() { return &icon_; }
  // Shows the hidden window (raised and activated) or hides the shown one.
  void ToggleWindow();

  // The icon drawn for a capture switch that is on or off.
  static QIcon DrawIcon(bool capturing);

 private:
  void Refresh();

  QWidget* window_;
  QAction* captureSwitch_;
  Language language_;
  QMenu menu_;
  QAction* showHide_ = nullptr;
  QSystemTrayIcon icon_;
};

}  // namespace tallowin
