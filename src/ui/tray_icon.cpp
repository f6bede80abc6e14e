#include "ui/tray_icon.h"

#include <QAction>
#include <QEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QWidget>
#include <functional>

#include "lang/ui_texts.h"
#include "backends/qt_text.h"

namespace tallowin {
namespace {

QString ShowHideCaption(bool windowVisible, Language language) {
  return ToQString(UiText("Tray", windowVisible ? "trayShowHide.hide" : "trayShowHide.show", language));
}

QString ToolTip(bool capturing, Language language) {
  return ToQString(UiText("Tray", capturing ? "toolTip.on" : "toolTip.off", language));
}

// Keeps the show/hide caption right whenever the window is shown or hidden by
// any means (its own close box, the splash timer, the tray).
class VisibilityWatch : public QObject {
 public:
  VisibilityWatch(QObject* parent, std::function<void()> changed) : QObject(parent), changed_(std::move(changed)) {}
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Show || event->type() == QEvent::Hide) changed_();
    return false;
  }

 private:
  std::function<void()> changed_;
};

}  // namespace

TrayIcon::TrayIcon(QWidget* window, QAction* captureSwitch, QAction* close, Language language, QObject* parent)
    : QObject(parent), window_(window), captureSwitch_(captureSwitch), language_(language) {
  menu_.setObjectName(QStringLiteral("trayMenu"));
  menu_.addAction(captureSwitch_);
  showHide_ = menu_.addAction(QString());
  showHide_->setObjectName(QStringLiteral("trayShowHide"));
  connect(showHide_, &QAction::triggered, this, &TrayIcon::ToggleWindow);
  menu_.addSeparator();
  menu_.addAction(close);
  connect(&menu_, &QMenu::aboutToShow, this, &TrayIcon::Refresh);
  connect(captureSwitch_, &QAction::toggled, this, &TrayIcon::Refresh);
  window_->installEventFilter(new VisibilityWatch(this, [this] { Refresh(); }));

  icon_.setContextMenu(&menu_);
  connect(&icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::Trigger) ToggleWindow();
  });
  Refresh();
  // Without a tray the icon stays invisible; Qt shows it when a tray appears.
  icon_.show();
}

TrayIcon::~TrayIcon() {
  icon_.hide();
  icon_.setContextMenu(nullptr);
}

void TrayIcon::SetLanguage(Language language) {
  language_ = language;
  Refresh();
}

namespace {

// The window's own dialogs that are open (the cut-out dialog, the option
// dialogs). A window manager iconifies them together with the window.
QList<QWidget*> OpenDialogs(QWidget* window) {
  QList<QWidget*> open;
  for (QWidget* child : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (child->isWindow() && child->isVisible() && child->windowType() != Qt::Popup) open.append(child);
  }
  return open;
}

}  // namespace

void TrayIcon::ToggleWindow() {
  const QList<QWidget*> dialogs = OpenDialogs(window_);
  bool allShown = window_->isVisible() && !window_->isMinimized();
  for (QWidget* dialog : dialogs) allShown = allShown && !dialog->isMinimized();
  if (allShown) {
    window_->hide();
  } else {
    // Everything comes back: the window, and the dialogs iconified with it,
    // the modal one (which holds the window's input) on top.
    window_->showNormal();
    window_->raise();
    window_->activateWindow();
    QWidget* modal = nullptr;
    for (QWidget* dialog : dialogs) {
      if (dialog->isMinimized()) dialog->setWindowState(dialog->windowState() & ~Qt::WindowMinimized);
      dialog->show();
      dialog->raise();
      if (dialog->isModal()) modal = dialog;
    }
    if (modal) modal->activateWindow();
  }
  Refresh();
}

void TrayIcon::Refresh() {
  const bool capturing = captureSwitch_->isChecked();
  showHide_->setText(ShowHideCaption(window_->isVisible(), language_));
  icon_.setToolTip(ToolTip(capturing, language_));
  icon_.setIcon(DrawIcon(capturing));
}

QIcon TrayIcon::DrawIcon(bool capturing) {
  QIcon icon;
  for (int size : {16, 22, 24, 32, 48, 64}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);
    const QColor board = capturing ? QColor(0x4E, 0x4E, 0x4E) : QColor(0xA0, 0xA0, 0xA0);
    const QColor accent = capturing ? QColor(0xB3, 0x82, 0x0F) : QColor(0xC8, 0xC8, 0xC8);
    p.setPen(Qt::NoPen);
    p.setBrush(board);
    p.drawRoundedRect(QRectF(10, 8, 44, 52), 6, 6);
    p.setBrush(QColor(0xF3, 0xF1, 0xEC));
    p.drawRoundedRect(QRectF(16, 16, 32, 38), 2, 2);
    p.setBrush(accent);
    p.drawRoundedRect(QRectF(22, 4, 20, 10), 3, 3);
    QPen pen(accent, 5, Qt::SolidLine, Qt::RoundCap);
    p.setPen(pen);
    p.drawLine(QPointF(22, 24), QPointF(42, 24));
    p.drawLine(QPointF(32, 24), QPointF(32, 48));
    p.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

}  // namespace tallowin
