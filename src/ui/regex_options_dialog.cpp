#include "ui/regex_options_dialog.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/errors.h"
#include "app/regex_options_logic.h"
#include "ui/error_report.h"
#include "ui/language_texts.h"
#include "ui/setting_binder.h"

namespace tallowin {
namespace {

constexpr int kClientWidth = 404;
constexpr int kClientHeight = 504;
constexpr int kTextPixelSize = 11;

constexpr const char* kExamples[] = {"(?i)[a-z]", "(?ms-g)^.+$", "[a-z]\\s(?-i)[a-z]", "((?i)[a-z])\\s[a-z]"};

const struct {
  const char* caption;
  Setting box;
} kCharacterRows[] = {{"Word \\w:", Setting::zk_word},
                      {"Space \\s:", Setting::zk_space},
                      {"LineSeparators:", Setting::zk_lineseparators}};

constexpr Setting kModifierBoxes[] = {Setting::cb_caseinsensitive_i, Setting::cb_multiline_m,
                                      Setting::cb_singleline_s, Setting::cb_greedymode_g,
                                      Setting::cb_whitespacecomments_x};

QLabel* WrappedLabel() {
  auto* label = new QLabel;
  label->setWordWrap(true);
  return label;
}

}  // namespace

Teinstregex::Teinstregex(CaptureSettings& settings, EngineDefaults& defaults, Language language,
                         QString docsFolder, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::WindowStaysOnTopHint),
      settings_(settings),
      defaults_(defaults),
      docsFolder_(std::move(docsFolder)),
      binder_(new SettingBinder(settings, this)),
      language_(language) {
  setObjectName(QStringLiteral("Teinstregex"));
  setModal(false);
  setFixedSize(kClientWidth, kClientHeight);
  QFont base = font();
  base.setPixelSize(kTextPixelSize);
  setFont(base);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 8, 8, 8);
  layout->addWidget(BuildModifierGroup());
  layout->addWidget(BuildCharacterClassGroup());
  layout->addStretch(1);
  layout->addWidget(BuildButtons());
  Sprache(language);
}

Teinstregex::~Teinstregex() = default;

QWidget* Teinstregex::BuildModifierGroup() {
  auto* group = new QGroupBox;
  group->setObjectName(QStringLiteral("GroupBox1"));
  auto* column = new QVBoxLayout(group);
  column->setSpacing(2);
  auto* label6 = WrappedLabel();
  label6->setObjectName(QStringLiteral("Label6"));
  column->addWidget(label6);
  for (Setting s : kModifierBoxes) {
    auto* box = new QCheckBox;
    binder_->BindCheck(box, s);
    column->addWidget(box);
  }
  auto* label8 = WrappedLabel();
  label8->setObjectName(QStringLiteral("Label8"));
  column->addWidget(label8);
  auto* examples = new QLabel;
  examples->setObjectName(QStringLiteral("examples"));
  QStringList lines;
  for (const char* example : kExamples) lines << QString::fromLatin1(example);
  examples->setText(lines.join(QLatin1Char('\n')));
  QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  fixed.setPixelSize(kTextPixelSize);
  examples->setFont(fixed);
  examples->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  examples->setTextInteractionFlags(Qt::TextSelectableByMouse);
  examples->setContentsMargins(12, 0, 0, 0);
  column->addWidget(examples);
  auto* label13 = WrappedLabel();
  label13->setObjectName(QStringLiteral("Label13"));
  column->addWidget(label13);
  column->addWidget(LinkLabel("Label7", true));
  return group;
}

QWidget* Teinstregex::BuildCharacterClassGroup() {
  auto* group = new QGroupBox;
  group->setObjectName(QStringLiteral("GroupBox2"));
  auto* column = new QVBoxLayout(group);
  column->setSpacing(3);
  auto* label5 = WrappedLabel();
  label5->setObjectName(QStringLiteral("Label5"));
  column->addWidget(label5);
  auto* grid = new QGridLayout;
  int row = 0;
  for (const auto& r : kCharacterRows) {
    auto* caption = new QLabel(QString::fromLatin1(r.caption));
    auto* edit = new QLineEdit;
    binder_->BindLine(edit, r.box);
    caption->setBuddy(edit);
    edit->setAccessibleName(caption->text());
    grid->addWidget(caption, row, 0);
    grid->addWidget(edit, row, 1);
    ++row;
  }
  grid->setColumnStretch(1, 1);
  column->addLayout(grid);
  auto* label4 = WrappedLabel();
  label4->setObjectName(QStringLiteral("Label4"));
  column->addWidget(label4);
  column->addWidget(LinkLabel("Label2", false));
  return group;
}

QWidget* Teinstregex::BuildButtons() {
  auto* row = new QWidget;
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addStretch(1);
  const struct {
    const char* name;
    void (Teinstregex::*click)();
  } buttons[] = {{"Button3", &Teinstregex::Button3Click},
                 {"Button2", nullptr},
                 {"Button1", &Teinstregex::Button1Click}};
  for (const auto& b : buttons) {
    auto* button = new QPushButton;
    button->setObjectName(QString::fromLatin1(b.name));
    button->setAutoDefault(false);
    if (b.click) {
      connect(button, &QPushButton::clicked, this, b.click);
    } else {
      connect(button, &QPushButton::clicked, this, [this] { Button2Click(); });
    }
    layout->addWidget(button);
  }
  return row;
}

QLabel* Teinstregex::LinkLabel(const char* name, bool modifiersSection) {
  auto* link = new QLabel;
  link->setObjectName(QString::fromLatin1(name));
  link->setTextFormat(Qt::RichText);
  link->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
  link->setCursor(Qt::PointingHandCursor);
  link->setWordWrap(true);
  connect(link, &QLabel::linkActivated, this, &Teinstregex::Label7Click);
  links_.emplace_back(link, modifiersSection);
  return link;
}

void Teinstregex::Sprache(Language language) {
  language_ = language;
  RetextWindow(this, "Teinstregex", language);
  for (auto& [link, modifiersSection] : links_) {
    const QString address = InformationPage(language, modifiersSection).toString();
    link->setText(QStringLiteral("<a href=\"%1\" style=\"color:#B3820F\">%2</a>")
                      .arg(address.toHtmlEscaped(), address.toHtmlEscaped()));
  }
}

QUrl Teinstregex::InformationPage(Language language, bool modifiersSection) const {
  const QString page = language == Language::German ? QStringLiteral("regex_de.html") : QStringLiteral("regex.html");
  QUrl url = QUrl::fromLocalFile(docsFolder_ + page);
  if (modifiersSection) url.setFragment(QStringLiteral("modifiers"));
  return url;
}

bool Teinstregex::Button2Click() {
  try {
    ApplyRegexOptions(settings_, defaults_);
  } catch (const TallowinError& e) {
    ShowErrorReport(QString::fromUtf8(e.what()));
    return false;
  }
  return true;
}

void Teinstregex::Button1Click() {
  if (Button2Click()) close();
}

void Teinstregex::Button3Click() { RestoreRegexOptionDefaults(settings_); }

void Teinstregex::Label7Click(const QString& link) { OpenHelpPage(openPage_, QUrl(link), language_); }

}  // namespace tallowin
