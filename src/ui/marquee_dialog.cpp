#include "ui/marquee_dialog.h"

#include <QComboBox>
#include <QEventLoop>
#include <QKeyEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QScreen>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>
#include <xcb/xcb.h>

#include "ui/language_texts.h"
#include "backends/qt_text.h"
#include "backends/raster_qimage.h"
#include "ui/setting_binder.h"

namespace tallowin {

// The picture control `bild`: paints its image and reports mouse events in
// picture pixels. The outline is XORed into the image, so only the changed
// strips are repainted.
class MarqueePicture : public QWidget {
 public:
  std::function<void(MouseButton, int, int)> onDown;
  std::function<void(int, int)> onMove;
  std::function<void()> onUp;

  explicit MarqueePicture(QWidget* parent) : QWidget(parent) {
    setObjectName("bild");
    setAttribute(Qt::WA_OpaquePaintEvent);
    // A window of its own, so the pointer can be confined to it.
    setAttribute(Qt::WA_NativeWindow);
    setMouseTracking(true);
  }

  void SetPicture(const RasterImage& raster) {
    image_ = OpaqueQImageFromRaster(raster);
    resize(image_.size());
    update();
  }

  // Inverts red, green and blue of every outline pixel exactly once (corners
  // included), clipped to the picture.
  void XorOutline(const SelectionRect& r) {
    const int x0 = std::min(r.left, r.right), y0 = std::min(r.top, r.bottom);
    const int x1 = std::max(x0, std::max(r.left, r.right) - 1), y1 = std::max(y0, std::max(r.top, r.bottom) - 1);
    auto invert = [this](int x, int y) {
      if (x < 0 || y < 0 || x >= image_.width() || y >= image_.height()) return;
      reinterpret_cast<QRgb*>(image_.scanLine(y))[x] ^= 0x00FFFFFFu;
    };
    for (int x = x0; x <= x1; ++x) invert(x, y0);
    if (y1 != y0) {
      for (int x = x0; x <= x1; ++x) invert(x, y1);
    }
    for (int y = y0 + 1; y < y1; ++y) {
      invert(x0, y);
      if (x1 != x0) invert(x1, y);
    }
    QRegion strips;
    strips += QRect(x0, y0, x1 - x0 + 1, 1);
    strips += QRect(x0, y1, x1 - x0 + 1, 1);
    strips += QRect(x0, y0, 1, y1 - y0 + 1);
    strips += QRect(x1, y0, 1, y1 - y0 + 1);
    update(strips);
  }

 protected:
  void paintEvent(QPaintEvent* event) override {
    QPainter painter(this);
    for (const QRect& r : event->region()) painter.drawImage(r.topLeft(), image_, r);
  }
  void mousePressEvent(QMouseEvent* e) override {
    const MouseButton b = e->button() == Qt::LeftButton    ? MouseButton::Left
                          : e->button() == Qt::RightButton ? MouseButton::Right
                                                           : MouseButton::Middle;
    onDown(b, e->position().toPoint().x(), e->position().toPoint().y());
  }
  void mouseMoveEvent(QMouseEvent* e) override { onMove(e->position().toPoint().x(), e->position().toPoint().y()); }
  void mouseReleaseEvent(QMouseEvent*) override { onUp(); }

 private:
  QImage image_;
};

namespace {

xcb_connection_t* X11Connection() {
  auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  return x11 ? x11->connection() : nullptr;
}

const char* const kMarginNames[4] = {"act_zuschlinks", "act_zuschrechts", "act_zuschoben", "act_zuschunten"};
const char* const kLabelNames[4] = {"Label15", "Label16", "Label17", "Label18"};

}  // namespace

MarqueeCutDialog::MarqueeCutDialog(Language language, QWidget* parent) : QDialog(parent) {
  setObjectName("Tcutauswahl");
  setWindowFlag(Qt::WindowStaysOnTopHint);
  setMinimumSize(650, 300);
  // Modal for the main window only: the tray icon and its menu stay usable.
  setWindowModality(Qt::WindowModal);

  scrollBox2_ = new QScrollArea;
  scrollBox2_->setObjectName("ScrollBox2");
  scrollBox2_->setBackgroundRole(QPalette::Dark);
  scrollBox2_->setWidgetResizable(false);
  scrollBox2_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  bild_ = new MarqueePicture(scrollBox2_);
  scrollBox2_->setWidget(bild_);
  bild_->onDown = [this](MouseButton b, int x, int y) { selection_.MouseDown(b, x, y); };
  bild_->onMove = [this](int x, int y) { selection_.MouseMove(x, y); };
  bild_->onUp = [this] { selection_.MouseUp(); };

  auto* strip = new QHBoxLayout;
  const std::vector<std::u16string> items = DefaultItems(Setting::act_zuschlinks, language);
  for (int i = 0; i < 4; ++i) {
    labels_[i] = new QLabel;
    labels_[i]->setObjectName(kLabelNames[i]);
    margins_[i] = new QComboBox;
    margins_[i]->setObjectName(kMarginNames[i]);
    margins_[i]->setEditable(true);
    margins_[i]->setInsertPolicy(QComboBox::NoInsert);
    for (const std::u16string& item : items) margins_[i]->addItem(ToQString(item));
    margins_[i]->setEditText("0");
    KeepCurrentItemWithText(margins_[i]);  // its list opens on the margin it shows
    margins_[i]->setFixedWidth(60);
    labels_[i]->setBuddy(margins_[i]);
    connect(margins_[i], &QComboBox::editTextChanged, this, [this] {
      if (!settingMargins_) selection_.MarginsChanged();
    });
    strip->addWidget(labels_[i]);
    strip->addWidget(margins_[i]);
  }
  strip->addStretch(1);
  abbrechen_ = new QPushButton;
  abbrechen_->setObjectName("Abbrechen");
  button1_ = new QPushButton("OK");
  button1_->setObjectName("Button1");
  button1_->setDefault(true);
  strip->addWidget(abbrechen_);
  strip->addWidget(button1_);
  connect(abbrechen_, &QPushButton::clicked, this, &MarqueeCutDialog::Cancel);
  connect(button1_, &QPushButton::clicked, this, &QDialog::accept);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(scrollBox2_, 1);
  layout->addLayout(strip);
  Sprache(language);
}

MarqueeCutDialog::~MarqueeCutDialog() { ReleasePointer(); }

void MarqueeCutDialog::Sprache(Language language) {
  RetextWindow(this, "Tcutauswahl", language);
}

void MarqueeCutDialog::ShowPicture(const RasterImage& picture) {
  bild_->SetPicture(picture);
  selection_.ShowPicture(picture.width, picture.height);
}

void MarqueeCutDialog::Cancel() {
  selection_.Cancel();
  reject();
}

void MarqueeCutDialog::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
    Cancel();
    return;
  }
  QDialog::keyPressEvent(event);
}

std::optional<MarginTexts> MarqueeCutDialog::ChooseCutout(const RasterImage& picture) {
  if (isVisible()) {
    // A newer copy while the dialog is open: the dialog now shows it, and
    // what the user chooses is for it. The older call returns on the same close.
    ShowPicture(picture);
    if (isMinimized()) setWindowState(windowState() & ~Qt::WindowMinimized);
    raise();
    activateWindow();
    QEventLoop wait;
    connect(this, &QDialog::finished, &wait, &QEventLoop::quit);
    wait.exec(QEventLoop::DialogExec);
  } else {
    withdrawn_ = false;
    ShowPicture(picture);
    // Maximised; the size is set as well for displays without a window manager.
    if (QScreen* shown = screen()) setGeometry(shown->availableGeometry());
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowMaximized);
    show();
    // Above the main window also where no window manager keeps it on top.
    raise();
    activateWindow();
    exec();
  }
  ReleasePointer();
  if (withdrawn_) return std::nullopt;
  return Margins();
}

void MarqueeCutDialog::Withdraw() {
  if (!isVisible()) return;
  withdrawn_ = true;
  selection_.MouseUp();  // a drag in progress ends where it is
  ReleasePointer();
  reject();
}

void MarqueeCutDialog::DrawSelectionRect(const SelectionRect& rect) { bild_->XorOutline(rect); }

void MarqueeCutDialog::ConfinePointer(std::int32_t, std::int32_t) {
  // The picture's own window is the confinement area; the server keeps the
  // pointer inside its visible part while the view scrolls.
  xcb_connection_t* c = X11Connection();
  if (!c) return;
  const auto window = static_cast<xcb_window_t>(bild_->winId());
  const std::uint16_t mask = XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE |
                             XCB_EVENT_MASK_POINTER_MOTION | XCB_EVENT_MASK_ENTER_WINDOW | XCB_EVENT_MASK_LEAVE_WINDOW;
  // The button press gave us an implicit grab without confinement, which
  // blocks a new grab; ours replaces it. With owner events on, the picture
  // keeps receiving its events as before.
  xcb_ungrab_pointer(c, XCB_CURRENT_TIME);
  auto cookie = xcb_grab_pointer(c, 1, window, mask, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC, window, XCB_NONE,
                                 XCB_CURRENT_TIME);
  xcb_grab_pointer_reply_t* reply = xcb_grab_pointer_reply(c, cookie, nullptr);
  pointerGrabbed_ = reply && reply->status == XCB_GRAB_STATUS_SUCCESS;
  free(reply);
}

void MarqueeCutDialog::ReleasePointer() {
  if (!pointerGrabbed_) return;
  pointerGrabbed_ = false;
  if (xcb_connection_t* c = X11Connection()) {
    xcb_ungrab_pointer(c, XCB_CURRENT_TIME);
    xcb_flush(c);
  }
}

ScrollState MarqueeCutDialog::Scroll() const {
  ScrollState s;
  s.horizontalPosition = scrollBox2_->horizontalScrollBar()->value();
  s.verticalPosition = scrollBox2_->verticalScrollBar()->value();
  s.horizontalRange = bild_->width();
  s.verticalRange = bild_->height();
  s.boxWidth = scrollBox2_->viewport()->width();
  s.boxHeight = scrollBox2_->viewport()->height();
  return s;
}

void MarqueeCutDialog::ScrollTo(std::int32_t horizontal, std::int32_t vertical) {
  scrollBox2_->horizontalScrollBar()->setValue(horizontal);
  scrollBox2_->verticalScrollBar()->setValue(vertical);
}

void MarqueeCutDialog::SetTitle(const std::u16string& title) { setWindowTitle(ToQString(title)); }

MarginTexts MarqueeCutDialog::Margins() const {
  return {ToU16(margins_[0]->currentText()), ToU16(margins_[1]->currentText()), ToU16(margins_[2]->currentText()),
          ToU16(margins_[3]->currentText())};
}

void MarqueeCutDialog::SetMargins(const MarginTexts& m) {
  settingMargins_ = true;
  const std::u16string* texts[4] = {&m.left, &m.right, &m.top, &m.bottom};
  for (int i = 0; i < 4; ++i) margins_[i]->setEditText(ToQString(*texts[i]));
  settingMargins_ = false;
}

void MarqueeCutDialog::FocusOk() { button1_->setFocus(); }

}  // namespace tallowin
