#include "ui/output_settings_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMargins>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "app/output_settings_logic.h"
#include "lang/ui_texts.h"
#include "backends/qt_text.h"
#include "ui/setting_binder.h"

namespace tallowin {
namespace {

constexpr int kClientWidth = 347;
constexpr int kClientHeight = 473;
// The window keeps the fixed client size of its design; its texts are set a
// little smaller than the main window's so the longest captions (German, and
// the UTF-16 button) fit without clipping.
constexpr int kTextPixelSize = 10;
constexpr QMargins kGroupMargins{4, 1, 1, 2};

// Top to bottom; the code page each sets is the core's reaction to the click.
constexpr Setting kEncodingButtons[] = {Setting::rb_ansi,    Setting::rb_utf7,    Setting::rb_utf7ansi,
                                        Setting::rb_utf8,    Setting::rb_utf16le, Setting::rb_utf_be,
                                        Setting::rb_utf32le, Setting::rb_utf32be, Setting::rb_beibehalten};

QLabel* WrappedLabel(const char* name) {
  auto* label = new QLabel;
  label->setObjectName(QString::fromLatin1(name));
  label->setWordWrap(true);
  return label;
}

}  // namespace

QString OutputSettingsText(std::string_view key, Language language) {
  return ToQString(UiText("Teinstausgabe", key, language));
}

Teinstausgabe::Teinstausgabe(CaptureSettings& settings, Language language, QString docsFolder, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::WindowStaysOnTopHint),
      settings_(settings),
      docsFolder_(std::move(docsFolder)),
      binder_(new SettingBinder(settings, this)),
      language_(language) {
  setObjectName(QStringLiteral("Teinstausgabe"));
  setModal(false);
  setFixedSize(kClientWidth, kClientHeight);
  QFont base = font();
  base.setPixelSize(kTextPixelSize);
  setFont(base);
  setStyleSheet(QStringLiteral("QCheckBox, QRadioButton { spacing: 3px; }"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->setSpacing(2);
  layout->addWidget(BuildImageGroup());
  layout->addWidget(BuildResizeGroup());
  layout->addWidget(BuildTextGroup());
  layout->addStretch(1);
  Sprache(language);
}

Teinstausgabe::~Teinstausgabe() = default;

template <class W>
W* Teinstausgabe::Captioned(W* widget, const char* key) {
  captioned_.emplace_back(widget, key);
  return widget;
}

QWidget* Teinstausgabe::BuildImageGroup() {
  auto* group = Captioned(new QGroupBox, "GroupBox1");
  group->setObjectName(QStringLiteral("GroupBox1"));
  auto* column = new QVBoxLayout(group);
  column->setContentsMargins(kGroupMargins);
  column->setSpacing(3);
  column->addWidget(Captioned(WrappedLabel("Label1"), "Label1"));
  auto* row = new QHBoxLayout;
  auto* quality = Captioned(new QComboBox, "out_quality.name");
  binder_->BindCombo(quality, Setting::out_quality);
  quality->setFixedWidth(60);
  // No completion from the item list: typing "1" must leave "1" in the box (the
  // key rules look at the text as typed, and the slider follows every key).
  quality->setCompleter(nullptr);
  scrollBar1_ = Captioned(new QScrollBar(Qt::Horizontal), "ScrollBar1.name");
  scrollBar1_->setObjectName(SettingObjectName(Setting::ScrollBar1));
  const SettingDescriptor& bar = Describe(Setting::ScrollBar1);
  scrollBar1_->setRange(bar.minInt, bar.maxInt);
  scrollBar1_->setValue(settings_.Integer(Setting::ScrollBar1));
  // The setting clamps the position and reports only a real move; its reaction
  // writes the position into the quality box.
  connect(scrollBar1_, &QScrollBar::valueChanged, this,
          [this](int value) { settings_.SetInteger(Setting::ScrollBar1, value); });
  scrollObserver_ = settings_.AddObserver([this](Setting s) {
    if (s != Setting::ScrollBar1) return;
    const QSignalBlocker block(scrollBar1_);
    scrollBar1_->setValue(settings_.Integer(Setting::ScrollBar1));
  });
  row->addWidget(quality);
  row->addWidget(scrollBar1_, 1);
  column->addLayout(row);
  auto* progressive = Captioned(new QCheckBox, "progressivaktiv");
  // The longest caption of the window; set a trace tighter so it fits.
  QFont tight = progressive->font();
  tight.setLetterSpacing(QFont::PercentageSpacing, 96);
  progressive->setFont(tight);
  binder_->BindCheck(progressive, Setting::progressivaktiv);
  column->addWidget(progressive);
  return group;
}

QWidget* Teinstausgabe::BuildResizeGroup() {
  auto* group = Captioned(new QGroupBox, "GroupBox3");
  group->setObjectName(QStringLiteral("GroupBox3"));
  auto* column = new QVBoxLayout(group);
  column->setContentsMargins(kGroupMargins);
  column->setSpacing(3);
  for (Setting s : {Setting::act_sizehochquerformat, Setting::act_sizekleiner, Setting::act_sizebigger}) {
    auto* box = new QCheckBox;
    binder_->BindCheck(box, s);
    captioned_.emplace_back(box, std::string(Describe(s).name));
    column->addWidget(box);
  }
  auto* row = new QHBoxLayout;
  row->setSpacing(6);
  auto* label2 = Captioned(new QLabel, "Label2");
  label2->setObjectName(QStringLiteral("Label2"));
  auto* method = Captioned(new QComboBox, "act_sizemethode.name");
  binder_->BindCombo(method, Setting::act_sizemethode);
  label2->setBuddy(method);
  label2->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
  row->addWidget(label2);
  row->addWidget(method, 1);
  column->addLayout(row);
  return group;
}

QWidget* Teinstausgabe::BuildTextGroup() {
  auto* group = Captioned(new QGroupBox, "GroupBox2");
  group->setObjectName(QStringLiteral("GroupBox2"));
  auto* column = new QVBoxLayout(group);
  column->setContentsMargins(kGroupMargins);
  column->setSpacing(2);
  column->addWidget(Captioned(WrappedLabel("Label5"), "Label5"));
  for (Setting s : kEncodingButtons) {
    auto* button = new QRadioButton;
    binder_->BindCheck(button, s);
    captioned_.emplace_back(button, std::string(Describe(s).name));
    column->addWidget(button);
  }
  column->addWidget(Captioned(WrappedLabel("Label4"), "Label4"));
  label7_ = Captioned(new QLabel, "Label7.name");
  label7_->setObjectName(QStringLiteral("Label7"));
  label7_->setTextFormat(Qt::RichText);
  label7_->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
  label7_->setCursor(Qt::PointingHandCursor);
  connect(label7_, &QLabel::linkActivated, this,
          [this](const QString& link) { OpenHelpPage(openPage_, QUrl(link), language_); });
  column->addWidget(label7_);
  return group;
}

void Teinstausgabe::Sprache(Language language) {
  language_ = language;
  setWindowTitle(OutputSettingsText("Teinstausgabe", language));
  for (auto& [widget, key] : captioned_) {
    const QString text = OutputSettingsText(key, language);
    widget->setAccessibleName(text);
    if (key.ends_with(".name")) continue;
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
      button->setText(text);
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
      label->setText(text);
    } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
      group->setTitle(text);
    }
  }
  const QString address = InformationPage(language).toString();
  label7_->setText(QStringLiteral("<a href=\"%1\" style=\"color:#B3820F; font-weight:bold; text-decoration:underline\">"
                                  "%2</a>")
                       .arg(address.toHtmlEscaped(), address.toHtmlEscaped()));
  ExchangeResizeMethodNames(settings_, language);
  binder_->RefreshAll();
}

QUrl Teinstausgabe::InformationPage(Language language) const {
  return QUrl::fromLocalFile(docsFolder_ +
                             (language == Language::German ? QStringLiteral("image-formats_de.html") : QStringLiteral("image-formats.html")));
}

}  // namespace tallowin
