#include "ui/start_form.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QScreen>

#include "lang/ui_texts.h"
#include "backends/qt_text.h"

namespace tallowin {
namespace {

constexpr int kWidth = 380;
constexpr int kHeight = 235;
constexpr int kTickMs = 600;

}  // namespace

StartForm::StartForm(Language language) : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint), language_(language) {
  setObjectName(QStringLiteral("Tstart"));
  setFixedSize(kWidth, kHeight);
  setCursor(Qt::PointingHandCursor);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->geometry().center() - QPoint(kWidth / 2, kHeight / 2));
  }
  spr_ = new QLabel(QStringLiteral("en"), this);
  spr_->setObjectName(QStringLiteral("spr"));
  spr_->hide();
  Sprache(language);
  timer1_.setInterval(kTickMs);
  connect(&timer1_, &QTimer::timeout, this, &StartForm::Timer1Timer);
  timer1_.start();
}

void StartForm::Sprache(Language language) {
  language_ = language;
  spr_->setText(ToQString(LanguageCode(language)));
  QApplication::setApplicationDisplayName(QString());
  setWindowTitle(ToQString(kApplicationTitle));
  setAccessibleName(ToQString(kApplicationTitle));
  update();
}

void StartForm::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient sky(0, 0, 0, kHeight);
  sky.setColorAt(0, QColor(0x2B, 0x4C, 0x7E));
  sky.setColorAt(1, QColor(0x13, 0x24, 0x3D));
  p.fillRect(rect(), sky);
  // A stylised clipboard: a board with a clip and three text lines.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0xF3, 0xE9, 0xD2));
  p.drawRoundedRect(QRect(28, 52, 92, 124), 8, 8);
  p.setBrush(QColor(0xB3, 0x82, 0x0F));
  p.drawRoundedRect(QRect(54, 42, 40, 20), 5, 5);
  p.setBrush(QColor(0x4E, 0x4E, 0x4E));
  for (int i = 0; i < 4; ++i) p.drawRect(QRect(42, 84 + i * 20, i == 3 ? 40 : 64, 6));

  QFont title = font();
  title.setPixelSize(40);
  title.setBold(true);
  p.setFont(title);
  p.setPen(Qt::white);
  p.drawText(QRect(138, 62, 230, 50), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Tallowin"));
  QFont line = font();
  line.setPixelSize(13);
  p.setFont(line);
  p.setPen(QColor(0xDD, 0xE6, 0xF0));
  p.drawText(QRect(140, 112, 230, 40), Qt::AlignLeft | Qt::TextWordWrap,
             ToQString(UiText("Tstart", "splash_line.format", language_)));
  line.setPixelSize(11);
  p.setFont(line);
  p.setPen(QColor(0xA0, 0xB0, 0xC4));
  p.drawText(QRect(140, 190, 230, 20), Qt::AlignLeft, ToQString(UiText("Tstart", "splash_hint.format", language_)));
  p.drawText(QRect(140, 206, 230, 20), Qt::AlignLeft, QStringLiteral("Brannick Media"));
}

void StartForm::mousePressEvent(QMouseEvent*) {
  ShowMain();
  hide();
  timer1_.stop();
}

void StartForm::closeEvent(QCloseEvent* event) {
  event->accept();
  QApplication::quit();
}

void StartForm::ShowMain() {
  if (!main_) return;
  main_->show();
  main_->raise();
  main_->activateWindow();
}

void StartForm::Timer1Timer() {
  ++splashTicks_;
  if (splashTicks_ > 3) ShowMain();
  if (splashTicks_ > 5) hide();
  if (splashTicks_ > 7) timer1_.stop();
}

}  // namespace tallowin
