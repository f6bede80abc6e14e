#pragma once
// Tstart: the borderless splash window that is the application's main form.
// Closing it ends the program. Its timer shows the main window after four ticks
// (about 2.4 s), hides the splash after six and stops after eight; a click on
// the picture shows the main window at once.

#include <QTimer>
#include <QWidget>

#include "base/language.h"

class QLabel;

namespace tallowin {

class StartForm : public QWidget {
  Q_OBJECT

 public:
  explicit StartForm(Language language);

  // `main` is shown by the timer or a click; not owned.
  void SetMainWindow(QWidget* main) { main_ = main; }
  // sprache of Tstart: the picture of the language and the application title.
  void Sprache(Language language);
  int SplashTicks() const { return splashTicks_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void Timer1Timer();
  void ShowMain();

  Language language_;
  QLabel* spr_ = nullptr;  // never shown: the language code, "de" or "en", as the form holds it
  QWidget* main_ = nullptr;
  QTimer timer1_;
  int splashTicks_ = 0;
};

}  // namespace tallowin
