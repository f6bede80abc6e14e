#include "ui/main_window.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QFontMetrics>
#include <QFileDialog>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QMouseEvent>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTabBar>
#include <QTreeView>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <cstdio>

#include "base/errors.h"
#include "lang/ui_texts.h"
#include "base/integer_text.h"
#include "base/utf.h"
#include "text/output_naming.h"
#include "ui/error_report.h"
#include "ui/help_pages.h"
#include "ui/history_list_model.h"
#include "ui/language_texts.h"
#include "backends/qt_text.h"
#include "ui/marquee_dialog.h"
#include "ui/picture_view.h"
#include "ui/background_work.h"
#include "wayland/backend_choice.h"
#include "backends/raster_qimage.h"
#include "ui/regex_error_view.h"
#include "ui/output_settings_dialog.h"
#include "ui/regex_options_dialog.h"
#include "ui/replacement_table_widget.h"
#include "ui/setting_binder.h"
#include "ui/start_form.h"
#include "ui/tray_icon.h"
#include "backends/x11_clipboard.h"

namespace tallowin {
namespace {

// A file dialog filter "Description|*.ext" as Qt writes it: "Description (*.ext)".
QString DialogFilter(std::u16string_view filter) {
  const QString text = ToQString(filter);
  const qsizetype bar = text.indexOf(QLatin1Char('|'));
  return bar < 0 ? text : text.left(bar) + QStringLiteral(" (") + text.mid(bar + 1) + QLatin1Char(')');
}

constexpr int kClientWidth = 758;
constexpr int kClientHeight = 569;
constexpr int kHistoryWidth = 281;
constexpr int kHistoryMinWidth = 250;
constexpr int kRightMinWidth = 470;
constexpr int kContentMinHeight = 150;
constexpr int kActionsHeight = 360;
constexpr int kActionsMinHeight = 250;
constexpr int kHeadingHeight = 24;
constexpr int kFooterHeight = 17;
constexpr int kTabStripHeight = 21;
constexpr int kFooterIntervalMs = 10000;
// The text view holds at most this many units of the content: a text document
// lays out a paragraph whole, so a multi-megabyte text (above all one without
// line breaks) would stall the window for seconds. A note under the view says
// when the text is longer.
constexpr std::size_t kShownTextLimit = 64 * 1024;
// A details cell shows one line of a few hundred pixels; the rest of a longer
// value is never drawn. (Its escapes make the shown text longer than this.)
constexpr std::size_t kDetailsCellLimit = 4096;
const QColor kHeadingText(0x4E, 0x4E, 0x4E);

// The actions area: section headers and bodies are placed by the core's section
// layout, so the canvas only reports its width changes.
class ActionsCanvas : public QWidget {
 public:
  std::function<void()> onResize;

 protected:
  void resizeEvent(QResizeEvent* event) override {
    QWidget::resizeEvent(event);
    if (onResize) onResize();
  }
};

QColor Darker(QColor c, int by) {
  // Each channel is reduced as an 8-bit value, modulo 256.
  return QColor((c.red() - by) & 0xFF, (c.green() - by) & 0xFF, (c.blue() - by) & 0xFF);
}

QString Key(const char* name) { return QString::fromLatin1(name); }

}  // namespace

MainWindow::MainWindow(Session& session, MainWindowOptions options, StartForm* startForm)
    : session_(session),
      options_(std::move(options)),
      startForm_(startForm),
      core_(&session.Core()),
      configMenu_(Utf16ToUtf8(session.Options().programFolder)) {
  setObjectName(QStringLiteral("Tprog"));
  InstallAccessibleChoiceBoxes();  // before the first box exists
  setAttribute(Qt::WA_QuitOnClose, false);
  QFont base = font();
  base.setFamily(QStringLiteral("Sans Serif"));
  base.setPixelSize(11);
  setFont(base);

  binder_ = new SettingBinder(core_->settings, this);

  BuildMenus();
  tray_ = new TrayIcon(this, einstAktiv_, closeAction_, session_.CurrentLanguage(), this);
  auto* central = new QWidget(this);
  auto* outer = new QVBoxLayout(central);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSpacing(0);
  splitter1_ = new QSplitter(Qt::Horizontal, central);
  splitter1_->setObjectName(QStringLiteral("Splitter1"));
  splitter1_->setChildrenCollapsible(false);
  QWidget* left = BuildHistoryColumn();
  auto* right = new QWidget;
  binder_->BindVisibility(right, Setting::Panel3);
  right->setMinimumWidth(kRightMinWidth);
  auto* rightLayout = new QVBoxLayout(right);
  rightLayout->setContentsMargins(0, 0, 0, 0);
  splitter2_ = new QSplitter(Qt::Vertical, right);
  splitter2_->setObjectName(QStringLiteral("Splitter2"));
  splitter2_->setChildrenCollapsible(false);
  splitter2_->addWidget(BuildContentArea());
  splitter2_->addWidget(BuildActionsArea());
  rightLayout->addWidget(splitter2_);
  splitter1_->addWidget(left);
  splitter1_->addWidget(right);
  splitter1_->setStretchFactor(1, 1);
  splitter2_->setStretchFactor(0, 1);
  outer->addWidget(splitter1_, 1);
  outer->addWidget(BuildFooter());
  setCentralWidget(central);

  core_->details.onChanged = [this] { ShowDetails(); };
  core_->views.onChanged = [this] { ShowContent(); };
  core_->history.onChanged = [this] { ShowHistory(); };
  observers_.push_back(core_->settings.AddObserver([this](Setting s) {
    for (const SectionInfo& section : Sections()) {
      if (s == section.toggle || s == section.body) return RelayoutSections();
    }
    if (s == Setting::cb_se_mehrfach) RelayoutSections();
  }));

  // The marquee dialog exists, hidden, before the first pass can need it.
  cutauswahl_ = new MarqueeCutDialog(core_->CurrentLanguage(), this);
  session_.SetMarqueeDialog(cutauswahl_);
  // The pixel work of the image steps runs beside the window's events.
  session_.Core().pipeline->SetWorkRunner(RunWhileHandlingEvents);

  // FormCreate, in order.
  RegisterLanguageRoutines();
  core_->language.SwitchLanguage(core_->CurrentLanguage());
  session_.Start();
  ApplyPanelColours();
  binder_->RefreshAll();
  RelayoutSections();
  ApplyStartGeometry();
  // The configuration files of the program folder are offered in the menu.
  for (const std::string& path : ListConfigurationFiles(Utf16ToUtf8(session_.Options().programFolder))) {
    KonfigurationAddMenu(QString::fromStdString(path));
  }

  timer1_.setInterval(kFooterIntervalMs);
  connect(&timer1_, &QTimer::timeout, this, &MainWindow::FooterTick);
  timer1_.start();
}

MainWindow::~MainWindow() {
  delete tray_;  // it watches this window and shares its actions
  tray_ = nullptr;
  captureShown_.Reset();
  // FormDestroy: the stored history texts go with the session's core; the X11
  // selection needs no leaving. The session lives on, so nothing of this window
  // may stay attached to it.
  core_->details.onChanged = nullptr;
  core_->views.onChanged = nullptr;
  core_->history.onChanged = nullptr;
  // The widgets and the binders observe the settings, which die with the core
  // before QWidget's destructor deletes the children: remove them first.
  delete regexOptions_;
  regexOptions_ = nullptr;
  delete outputSettings_;
  outputSettings_ = nullptr;
  session_.SetMarqueeDialog(nullptr);
  session_.Core().pipeline->SetWorkRunner(nullptr);
  delete cutauswahl_;
  cutauswahl_ = nullptr;
  delete binder_;
  binder_ = nullptr;
  observers_.clear();
  scrollBox2_ = nullptr;
  displayImg_ = nullptr;
  zuletzt_ = nullptr;
  delete centralWidget();
  menuBar()->clear();
}

void MainWindow::BuildMenus() {
  QMenuBar* bar = menuBar();
  auto action = [this](QMenu* menu, const char* key) {
    QAction* a = menu->addAction(QString());
    a->setObjectName(Key(key));
    return a;
  };
  auto menu = [this, bar](const char* key) {
    QMenu* m = bar->addMenu(QString());
    m->setObjectName(Key(key));
    return m;
  };

  QMenu* program = menu("Programm1");
  connect(action(program, "m_bugreport"), &QAction::triggered, this,
          [this] { OpenDoc(QStringLiteral("support.html")); });
  program->addSeparator();
  closeAction_ = action(program, "m_close");
  connect(closeAction_, &QAction::triggered, this, [this] {
    // Ends the program through the start form, without the close query. Qt
    // closes every window on quitting, this one too: that close must not save.
    quitting_ = true;
    // A cut-out being chosen is abandoned, not applied: the copy stays as it was.
    if (cutauswahl_) cutauswahl_->Withdraw();
    if (startForm_) startForm_->close();
    QApplication::quit();
  });

  QMenu* settings = menu("einst");
  einstAktiv_ = action(settings, "m_einst_aktiv");
  einstAktiv_->setCheckable(true);
  einstAktiv_->setChecked(session_.Capture().On());
  einstAktiv_->setShortcut(QKeySequence(Qt::Key_F3));
  einstAktiv_->setShortcutContext(Qt::ApplicationShortcut);
  connect(einstAktiv_, &QAction::toggled, this, [this](bool on) { session_.Capture().Set(on); });
  captureShown_ = session_.Capture().Observe([this](bool on) { einstAktiv_->setChecked(on); });
  settings->addSeparator();
  // The language switch and the configuration commands arrive with their own
  // work; until then their entries are disabled.
  connect(action(settings, "einst_akt"), &QAction::triggered, this, [this] { ShowOutputSettings(); });
  connect(action(settings, "einst_regex"), &QAction::triggered, this, [this] {
    if (!regexOptions_) {
      regexOptions_ = new Teinstregex(core_->settings, core_->regex.engineDefaults, core_->CurrentLanguage(),
                                      ToQString(options_.docsFolder), this);
    }
    regexOptions_->show();
    regexOptions_->raise();
  });
  QMenu* language = settings->addMenu(QString());
  language->setObjectName(QStringLiteral("einst_spr"));
  einstSprDe_ = action(language, "einst_spr_de");
  einstSprEn_ = action(language, "einst_spr_en");
  for (QAction* a : {einstSprDe_, einstSprEn_}) a->setCheckable(true);
  // einst_spr_deClick, einst_spr_enClick: the check marks follow from the routine.
  connect(einstSprDe_, &QAction::triggered, this, [this] { core_->language.SwitchLanguage(Language::German); });
  connect(einstSprEn_, &QAction::triggered, this, [this] { core_->language.SwitchLanguage(Language::English); });

  // The configuration menu: eight fixed entries, then one per known file.
  QMenu* config = menu("m_konfig");
  konfigMenu_ = config;
  config->setToolTipsVisible(true);
  // sd_konfig and od_konfig: the filter and proposed name follow the language;
  // the save dialog adds ".twk" to a name without an extension and asks nothing
  // before using an existing file (it is updated in place); the open dialog also
  // takes the name of a file that does not exist (loading it changes nothing).
  const auto configDialog = [this](QFileDialog::AcceptMode mode) {
    auto* dialog = new QFileDialog(this);
    dialog->setAttribute(Qt::WA_DeleteOnClose, false);
    dialog->setAcceptMode(mode);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setOption(QFileDialog::DontConfirmOverwrite);
    dialog->setNameFilter(DialogFilter(configDialogTexts_.filter));
    dialog->setDirectory(ToQString(session_.Options().programFolder));
    if (mode == QFileDialog::AcceptSave) {
      dialog->setObjectName(QStringLiteral("sd_konfig"));
      dialog->setDefaultSuffix(QStringLiteral("twk"));
      dialog->selectFile(ToQString(configDialogTexts_.proposedName));
    } else {
      dialog->setObjectName(QStringLiteral("od_konfig"));
    }
    std::unique_ptr<QFileDialog> owned(dialog);
    const QStringList chosen = owned->exec() == QDialog::Accepted ? owned->selectedFiles() : QStringList();
    return chosen.isEmpty() ? QString() : chosen.front();
  };
  connect(action(config, "m_konfig_save"), &QAction::triggered, this, [this, configDialog] {
    const QString path = configDialog(QFileDialog::AcceptSave);
    if (path.isEmpty()) return;
    KonfigurationSpeichern(path);
    KonfigurationAddMenu(path);
  });
  connect(action(config, "m_konfig_save_start"), &QAction::triggered, this, [this] { SaveStartConfiguration(); });
  connect(action(config, "m_konfig_load"), &QAction::triggered, this, [this, configDialog] {
    const QString path = configDialog(QFileDialog::AcceptOpen);
    if (path.isEmpty()) return;
    KonfigurationLaden(path, false);
    KonfigurationAddMenu(path);
  });
  config->addSeparator()->setObjectName(QStringLiteral("N3"));
  QMenu* autosave = config->addMenu(QString());
  autosave->setObjectName(QStringLiteral("m_konfig_autosave"));
  for (Setting mine : {Setting::m_konfig_autosave_alles, Setting::m_konfig_autosave_nie}) {
    QAction* a = action(autosave, Describe(mine).name.data());
    a->setCheckable(true);
    a->setChecked(core_->settings.Flag(mine));
    connect(a, &QAction::triggered, this, [this, a, mine] {
      ChooseExitSave(core_->settings, mine);
      a->setChecked(core_->settings.Flag(mine));
    });
    observers_.push_back(core_->settings.AddObserver([this, a, mine](Setting s) {
      if (s == mine) a->setChecked(core_->settings.Flag(mine));
    }));
  }
  config->addSeparator()->setObjectName(QStringLiteral("N4"));
  connect(action(config, "m_konfig_standard"), &QAction::triggered, this, [this] { KonfigurationLadenStandard(); });
  konfigStart_ = action(config, "m_konfig_start");
  konfigStart_->setToolTip(QString::fromStdString(configMenu_.StartConfigurationPath()));
  connect(konfigStart_, &QAction::triggered, this, [this] {
    const QString path = konfigStart_->toolTip();
    if (QFileInfo::exists(path)) {
      KonfigurationLaden(path, false);
    } else {
      QMessageBox::information(this, windowTitle(),
                               ToQString(UiText("Tprog", "m_konfig_start.missing", core_->CurrentLanguage())), QMessageBox::Ok);
    }
  });

  // The link and help menus, one pair per language; the language routine shows
  // the pair of the current language. Each opens the pages of its own language.
  const struct {
    const char* menu;
    bool german;
    std::initializer_list<std::pair<const char*, const char*>> entries;  // entry, page
  } helpMenus[] = {
      {"m_soft_de", true, {{"m_soft_de_about", "about_de.html"}, {"m_soft_de_donate", "donate_de.html"}}},
      {"Hilfe1", true,
       {{"Hilfe1_index", "index_de.html"}, {"Hilfe1_regex", "regex_de.html"}, {"Hilfe1_support", "support_de.html"}}},
      {"m_soft_en", false, {{"m_soft_en_about", "about.html"}, {"m_soft_en_donate", "donate.html"}}},
      {"Information1", false,
       {{"Information1_index", "index.html"}, {"Information1_regex", "regex.html"},
        {"Information1_support", "support.html"}}},
  };
  for (const auto& m : helpMenus) {
    QMenu* help = menu(m.menu);
    languageMenus_.emplace_back(help, m.german);
    for (const auto& [entry, page] : m.entries) {
      const QString file = QString::fromLatin1(page);
      connect(action(help, entry), &QAction::triggered, this, [this, file] {
        OpenHelpPage(OpenInDefaultBrowser, QUrl::fromLocalFile(ToQString(options_.docsFolder) + file),
                     core_->CurrentLanguage());
      });
    }
  }
}

void MainWindow::RegisterLanguageRoutines() {
  // sprachealles: the main window, the start form, then the dialogs. The core
  // registered its own parts (settings, expression messages) before these.
  LanguageSwitch& language = core_->language;
  language.Register(LanguageWindow::Tprog, [this](Language now, TemplateTexts) {
    SetErrorReportLanguage(now);
    Sprache(now);
  });
  language.Register(LanguageWindow::Tstart, [this](Language now, TemplateTexts) {
    if (startForm_) startForm_->Sprache(now);
  });
  language.Register(LanguageWindow::Teinstausgabe, [this](Language now, TemplateTexts) {
    if (outputSettings_) outputSettings_->Sprache(now);
  });
  language.Register(LanguageWindow::Teinstregex, [this](Language now, TemplateTexts) {
    if (regexOptions_) regexOptions_->Sprache(now);
  });
  language.Register(LanguageWindow::Tcutauswahl, [this](Language now, TemplateTexts) {
    if (cutauswahl_) cutauswahl_->Sprache(now);
  });
}

template <class Button>
Button* MainWindow::BoundButton(Setting s) {
  auto* button = new Button;
  binder_->BindCheck(button, s);
  return button;
}

QWidget* MainWindow::Heading(const char* panel) {
  auto* heading = new QLabel;
  heading->setObjectName(Key(panel));
  heading->setFixedHeight(kHeadingHeight);
  heading->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  heading->setAutoFillBackground(true);
  QFont f = heading->font();
  f.setPixelSize(13);
  f.setBold(true);
  heading->setFont(f);
  QPalette p = heading->palette();
  p.setColor(QPalette::WindowText, kHeadingText);
  heading->setPalette(p);
  return heading;
}

QVBoxLayout* MainWindow::HeadedPanel(QWidget* panel, Setting panelSetting, Setting headingSetting,
                                      QWidget* frame, Setting frameSetting) {
  binder_->BindVisibility(panel, panelSetting);
  auto* layout = new QVBoxLayout(panel);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  QWidget* heading = Heading(Describe(headingSetting).name.data());
  binder_->BindVisibility(heading, headingSetting);
  layout->addWidget(heading);
  binder_->BindVisibility(frame, frameSetting);
  layout->addWidget(frame, 1);
  auto* frameLayout = new QVBoxLayout(frame);
  frameLayout->setContentsMargins(2, 2, 2, 2);
  frameLayout->setSpacing(2);
  return frameLayout;
}

namespace {

// A report-style list with whole-row selection that the user cannot edit.
QTreeWidget* ReportList(const char* name, std::initializer_list<int> widths) {
  auto* list = new QTreeWidget;
  list->setObjectName(QString::fromLatin1(name));
  list->setColumnCount(static_cast<int>(widths.size()));
  list->setRootIsDecorated(false);
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list->setUniformRowHeights(true);
  int column = 0;
  for (int width : widths) list->header()->resizeSection(column++, width);
  list->header()->setSectionsClickable(true);
  return list;
}

}  // namespace

QWidget* MainWindow::BuildHistoryColumn() {
  auto* panel2 = new QWidget;
  panel2->setMinimumWidth(kHistoryMinWidth);
  QVBoxLayout* frameLayout = HeadedPanel(panel2, Setting::Panel2, Setting::Panel7, new QWidget, Setting::Panel6);
  zuletzt_ = new QTreeView;
  zuletzt_->setObjectName(QStringLiteral("zuletzt"));
  historyRows_ = new HistoryListModel(core_->history, this);
  zuletzt_->setModel(historyRows_);
  zuletzt_->setRootIsDecorated(false);
  zuletzt_->setSelectionBehavior(QAbstractItemView::SelectRows);
  zuletzt_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  zuletzt_->setUniformRowHeights(true);
  zuletzt_->setAllColumnsShowFocus(true);
  zuletzt_->header()->resizeSection(0, 63);
  zuletzt_->header()->resizeSection(1, 44);
  zuletzt_->header()->resizeSection(2, 100);
  zuletzt_->header()->setSectionsClickable(true);
  zuletzt_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  zuletzt_->setContextMenuPolicy(Qt::CustomContextMenu);
  zuletzt_->installEventFilter(this);
  connect(zuletzt_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &MainWindow::HistorySelectionChanged);
  connect(zuletzt_, &QTreeView::doubleClicked, this, [this] { HistoryRecopy(); });
  connect(zuletzt_, &QTreeView::customContextMenuRequested, this, &MainWindow::HistoryPopup);
  connect(zuletzt_->header(), &QHeaderView::sectionClicked, this,
          [this](int column) { core_->history.ColumnClick(core_->sort, column); });
  frameLayout->addWidget(zuletzt_, 1);
  auto* historyText = BoundButton<QCheckBox>(Setting::cb_history_txt);
  auto* historyImages = BoundButton<QCheckBox>(Setting::cb_history_img);
  frameLayout->addWidget(historyText);
  frameLayout->addWidget(historyImages);
  return panel2;
}

QWidget* MainWindow::BuildContentArea() {
  auto* panel5 = new QWidget;
  panel5->setMinimumHeight(kContentMinHeight);
  QVBoxLayout* frameLayout = HeadedPanel(panel5, Setting::Panel5, Setting::Panel11, new QWidget, Setting::Panel10);
  frameLayout->setSpacing(0);
  tabSet1_ = new QTabBar;
  tabSet1_->setObjectName(QStringLiteral("TabSet1"));
  tabSet1_->setFixedHeight(kTabStripHeight);
  tabSet1_->setDrawBase(false);
  tabSet1_->setExpanding(false);
  tabSet1_->addTab(QStringLiteral("Text"));
  tabSet1_->addTab(QStringLiteral("Details"));
  connect(tabSet1_, &QTabBar::currentChanged, this, [this](int index) {
    if (index >= 0) core_->views.SelectTab(index);
  });
  frameLayout->addWidget(tabSet1_);

  pc_ = new QStackedWidget;
  pc_->setObjectName(QStringLiteral("pc"));
  displayTxt_ = new QPlainTextEdit;
  displayTxt_->setObjectName(QStringLiteral("display_txt"));
  displayTxt_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  displayTxt_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  displayTxt_->setTabChangesFocus(true);
  scrollBox2_ = new QScrollArea;
  scrollBox2_->setObjectName(QStringLiteral("ScrollBox2"));
  scrollBox2_->setBackgroundRole(QPalette::Base);
  scrollBox2_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  displayImg_ = new PictureView;
  displayImg_->setObjectName(QStringLiteral("display_img"));
  displayImg_->setCursor(Qt::SizeAllCursor);
  displayImg_->installEventFilter(this);
  scrollBox2_->setWidget(displayImg_);
  scrollBox2_->viewport()->installEventFilter(this);
  const auto scrolled = [this] {
    core_->views.ScrollTo(scrollBox2_->horizontalScrollBar()->value(), scrollBox2_->verticalScrollBar()->value());
  };
  connect(scrollBox2_->horizontalScrollBar(), &QScrollBar::valueChanged, this, scrolled);
  connect(scrollBox2_->verticalScrollBar(), &QScrollBar::valueChanged, this, scrolled);
  liste_ = ReportList("liste", {100, 70, 250});
  connect(liste_->header(), &QHeaderView::sectionClicked, this,
          [this](int column) { core_->details.ColumnClick(core_->sort, column); });
  textPage_ = new QWidget;
  auto* textPageLayout = new QVBoxLayout(textPage_);
  textPageLayout->setContentsMargins(0, 0, 0, 0);
  textPageLayout->setSpacing(0);
  textPageLayout->addWidget(displayTxt_, 1);
  textCutNote_ = new QLabel;
  textCutNote_->setObjectName(QStringLiteral("display_txt_cut"));
  textCutNote_->setVisible(false);
  textPageLayout->addWidget(textCutNote_);
  pc_->addWidget(textPage_);     // tab_txt
  pc_->addWidget(scrollBox2_);   // tab_img
  pc_->addWidget(liste_);        // tab_details
  frameLayout->addWidget(pc_, 1);
  return panel5;
}

QWidget* MainWindow::BuildActionsArea() {
  auto* panel4 = new QWidget;
  panel4->setMinimumHeight(kActionsMinHeight);
  QVBoxLayout* frameLayout = HeadedPanel(panel4, Setting::Panel4, Setting::Panel9, new QWidget, Setting::Panel8);
  scrollBox1_ = new QScrollArea;
  scrollBox1_->setObjectName(QStringLiteral("ScrollBox1"));
  scrollBox1_->setWidgetResizable(true);
  scrollBox1_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  auto* canvas = new ActionsCanvas;
  canvas->onResize = [this] { RelayoutSections(); };
  actionsCanvas_ = canvas;
  QWidget* bodies[kSectionCount] = {BuildSearchReplaceBody(), BuildAddTextBody(),     BuildSaveTextBody(),
                                    BuildCutImageBody(),      BuildResizeImageBody(), BuildSaveImageBody()};
  for (int i = 0; i < kSectionCount; ++i) BuildSection(i, bodies[i]);
  scrollBox1_->setWidget(canvas);
  frameLayout->addWidget(scrollBox1_, 1);
  return panel4;
}

QWidget* MainWindow::BuildSection(int index, QWidget* body) {
  const SectionInfo& section = Sections()[static_cast<std::size_t>(index)];
  auto* header = new QWidget(actionsCanvas_);
  binder_->BindVisibility(header, section.header);
  auto* headerLayout = new QHBoxLayout(header);
  headerLayout->setContentsMargins(6, 0, 6, 0);
  auto* toggle = BoundButton<QCheckBox>(section.toggle);
  QFont bold = toggle->font();
  bold.setBold(true);
  toggle->setFont(bold);
  headerLayout->addWidget(toggle);
  headerLayout->addStretch(1);
  body->setParent(actionsCanvas_);
  body->setObjectName(SettingObjectName(section.body));
  sectionHeaders_.push_back(header);
  sectionBodies_.push_back(body);
  return header;
}

namespace {

// A section body holding its inner group (pa_...), whose grid carries the
// controls; `top` is the grid's top margin, `spacing` its row spacing (-1: the style's).
QWidget* SectionBody(QGridLayout*& grid, Setting groupSetting, SettingBinder* binder, int top, int spacing) {
  auto* body = new QWidget;
  auto* layout = new QVBoxLayout(body);
  layout->setContentsMargins(3, 0, 3, 6);
  auto* group = new QWidget;
  group->setAutoFillBackground(true);
  binder->BindVisibility(group, groupSetting);
  layout->addWidget(group);
  grid = new QGridLayout(group);
  grid->setContentsMargins(8, top, 8, 4);
  if (spacing >= 0) grid->setVerticalSpacing(spacing);
  return body;
}

}  // namespace

QWidget* MainWindow::BuildSearchReplaceBody() {
  QGridLayout* grid = nullptr;
  QWidget* body = SectionBody(grid, Setting::pa_suchenersetzen, binder_, 6, 3);
  const struct {
    const char* label;
    Setting field;
    Setting regex;
    const char* mark;
  } rows[] = {{"act_ers_la1", Setting::act_ers_text_suchen, Setting::act_ers_text_suchen_regex,
               "act_ers_text_suchen_regfehler"},
              {"act_ers_la2", Setting::act_ers_text_ersetzen, Setting::act_ers_text_ersetzen_regex,
               "act_ers_text_ersetzen_regfehler"}};
  int row = 0;
  QPlainTextEdit* fields[2] = {};
  QLabel* marks[2] = {};
  for (const auto& r : rows) {
    auto* label = new QLabel;
    label->setObjectName(Key(r.label));
    auto* memo = new QPlainTextEdit;
    fields[row] = memo;
    memo->setFixedHeight(42);
    binder_->BindMemo(memo, r.field);
    label->setBuddy(memo);
    auto* regex = BoundButton<QCheckBox>(r.regex);
    auto* mark = new ElidingLabel;  // styled and shown by the error view
    mark->setObjectName(Key(r.mark));
    mark->hide();
    marks[row] = mark;
    grid->addWidget(label, row, 0, Qt::AlignTop);
    grid->addWidget(memo, row, 1);
    auto* side = new QVBoxLayout;
    side->addWidget(regex);
    side->addWidget(mark);
    side->addStretch(1);
    grid->addLayout(side, row, 2);
    ++row;
  }
  new RegexErrorView(core_->regexErrors, fields[0], marks[0], fields[1], marks[1], this);
  auto* caseSensitive = BoundButton<QCheckBox>(Setting::act_ers_casesensitive);
  auto* multiple = BoundButton<QCheckBox>(Setting::cb_se_mehrfach);
  grid->addWidget(caseSensitive, row++, 1);
  grid->addWidget(multiple, row++, 1);

  // The replacement table area: shown with cb_se_mehrfach.
  auto* tableArea = new QWidget;
  tableArea->setObjectName(QStringLiteral("act_ers_tabelle"));
  auto* tableLayout = new QHBoxLayout(tableArea);
  tableLayout->setContentsMargins(0, 0, 0, 0);
  replacementTable_ = new ReplacementTableWidget(core_->replacementTable);
  replacementTable_->setFixedHeight(88);
  tableLayout->addWidget(replacementTable_, 1);
  auto* buttons = new QVBoxLayout;
  ReplacementTable& table = core_->replacementTable;
  const std::pair<const char*, void (ReplacementTable::*)()> actions[] = {
      {"act_ers_text_add", &ReplacementTable::act_ers_text_addClick},
      {"act_ers_text_delete", &ReplacementTable::act_ers_text_deleteClick},
      {"act_ers_text_delmark", &ReplacementTable::act_ers_text_delmarkClick}};
  for (const auto& [key, click] : actions) {
    auto* button = new QPushButton;
    button->setObjectName(Key(key));
    connect(button, &QPushButton::clicked, this, [&table, click = click] { (table.*click)(); });
    buttons->addWidget(button);
  }
  buttons->addStretch(1);
  tableLayout->addLayout(buttons);
  grid->addWidget(tableArea, row, 0, 1, 3);
  grid->setColumnStretch(1, 1);
  observers_.push_back(core_->settings.AddObserver([this, tableArea](Setting s) {
    if (s == Setting::cb_se_mehrfach) tableArea->setVisible(core_->settings.Flag(Setting::cb_se_mehrfach));
  }));
  tableArea->setVisible(core_->settings.Flag(Setting::cb_se_mehrfach));
  return body;
}

QWidget* MainWindow::BuildAddTextBody() {
  QGridLayout* grid = nullptr;
  QWidget* body = SectionBody(grid, Setting::pa_textadd, binder_, 6, -1);
  const std::pair<const char*, Setting> rows[] = {{"Label2", Setting::act_textadd_vorne},
                                                  {"Label3", Setting::act_textadd_hinten}};
  int row = 0;
  for (const auto& [labelKey, field] : rows) {
    auto* label = new QLabel;
    label->setObjectName(Key(labelKey));
    auto* memo = new QPlainTextEdit;
    binder_->BindMemo(memo, field);
    label->setBuddy(memo);
    grid->addWidget(label, row, 0, Qt::AlignTop);
    grid->addWidget(memo, row, 1);
    ++row;
  }
  grid->setColumnStretch(1, 1);
  return body;
}

namespace {

// Directory, file name and file format rows shared by the two save sections.
struct SaveRows {
  Setting folder, name, format;
  const char* folderLabel;
  const char* pickButton;
  const char* nameLabel;
  const char* formatLabel;
};

}  // namespace

static void AddSaveRows(QGridLayout* grid, const SaveRows& rows, SettingBinder* binder,
                        QWidget* parent,
                        const std::function<QString()>& pickerTitle, CaptureSettings& settings) {
  auto* folderLabel = new QLabel;
  folderLabel->setObjectName(Key(rows.folderLabel));
  auto* folder = new QLineEdit;
  binder->BindLine(folder, rows.folder);
  folderLabel->setBuddy(folder);
  auto* pick = new QPushButton;
  pick->setObjectName(QString::fromLatin1(rows.pickButton));
  // Both save sections read alike; their accessible names (".name" rows of the
  // language table) say which one a control is in.
  const Setting folderSetting = rows.folder;
  QObject::connect(pick, &QPushButton::clicked, parent, [parent, pickerTitle, folderSetting, &settings] {
    // SelectOutputFolder: a confirmed folder replaces the text; cancelling keeps it.
    // The picker starts in the box's folder, or the nearest one above it that exists.
    const QString before = ToQString(settings.Text(folderSetting));
    const QString start = ToQString(PickerStartFolder(settings.Text(folderSetting)));
    const QString chosen = QFileDialog::getExistingDirectory(parent, pickerTitle(), start, QFileDialog::ShowDirsOnly);
    if (!chosen.isEmpty()) settings.SetText(folderSetting, ToU16(chosen));
    if (settings.Text(folderSetting).empty()) settings.SetText(folderSetting, ToU16(before));
  });
  auto* nameLabel = new QLabel;
  nameLabel->setObjectName(Key(rows.nameLabel));
  auto* name = new QComboBox;
  binder->BindCombo(name, rows.name);
  nameLabel->setBuddy(name);
  auto* formatLabel = new QLabel;
  formatLabel->setObjectName(Key(rows.formatLabel));
  auto* format = new QComboBox;
  binder->BindCombo(format, rows.format);
  formatLabel->setBuddy(format);
  grid->addWidget(folderLabel, 0, 0);
  grid->addWidget(folder, 0, 1);
  grid->addWidget(pick, 0, 2);
  grid->addWidget(nameLabel, 1, 0);
  grid->addWidget(name, 1, 1, 1, 2);
  grid->addWidget(formatLabel, 2, 0);
  grid->addWidget(format, 2, 1, 1, 2);
  grid->setColumnStretch(1, 1);
}

QWidget* MainWindow::BuildSaveTextBody() {
  QGridLayout* grid = nullptr;
  QWidget* body = SectionBody(grid, Setting::pa_savetxt, binder_, 6, -1);
  AddSaveRows(grid,
              {Setting::savetxt_ordner, Setting::savetxt_name, Setting::savetxt_format, "Label9", "savetxt_ordnerwahl",
               "Label7", "Label8"},
              binder_, this, [this] { return pickerTitle_; },
              core_->settings);
  return body;
}

QWidget* MainWindow::BuildCutImageBody() {
  QGridLayout* grid = nullptr;
  QWidget* body = SectionBody(grid, Setting::pa_cutimg, binder_, 4, 2);
  auto* marquee = BoundButton<QRadioButton>(Setting::rb_cutimg_auswahl);
  auto* direct = BoundButton<QRadioButton>(Setting::rb_cutimg_direkt);
  grid->addWidget(marquee, 0, 0, 1, 8);
  grid->addWidget(direct, 1, 0, 1, 8);
  const std::pair<const char*, Setting> margins[] = {{"Label15", Setting::act_zuschlinks},
                                                     {"Label16", Setting::act_zuschrechts},
                                                     {"Label17", Setting::act_zuschoben},
                                                     {"Label18", Setting::act_zuschunten}};
  int column = 0;
  for (const auto& [labelKey, setting] : margins) {
    auto* label = new QLabel;
    label->setObjectName(Key(labelKey));
    auto* combo = new QComboBox;
    binder_->BindCombo(combo, setting);
    label->setBuddy(combo);
    grid->addWidget(label, 2, column++);
    grid->addWidget(combo, 2, column++);
  }
  return body;
}

QWidget* MainWindow::BuildResizeImageBody() {
  QGridLayout* grid = nullptr;
  QWidget* body = SectionBody(grid, Setting::pa_resizeimg, binder_, 4, 2);
  auto add = [this](const char* key) {
    auto* label = new QLabel;
    label->setObjectName(Key(key));
    return label;
  };
  grid->addWidget(add("Label1"), 0, 0);
  QLabel* width = add("Label10");
  auto* x = new QComboBox;
  binder_->BindCombo(x, Setting::act_sizebenutzer_x);
  width->setBuddy(x);
  grid->addWidget(width, 0, 1);
  grid->addWidget(x, 0, 2);
  grid->addWidget(add("Label13"), 0, 3);
  QLabel* height = add("Label12");
  auto* y = new QComboBox;
  binder_->BindCombo(y, Setting::act_sizebenutzer_y);
  height->setBuddy(y);
  grid->addWidget(height, 1, 1);
  grid->addWidget(y, 1, 2);
  grid->addWidget(add("Label14"), 1, 3);
  grid->addWidget(add("Label11"), 2, 0);
  auto* keep = BoundButton<QCheckBox>(Setting::act_resizeimg_prop);
  grid->addWidget(keep, 2, 1, 1, 3);
  grid->setColumnStretch(4, 1);
  return body;
}

QWidget* MainWindow::BuildSaveImageBody() {
  QGridLayout* grid = nullptr;
  QWidget* body = SectionBody(grid, Setting::pa_saveimg, binder_, 4, 2);
  AddSaveRows(grid,
              {Setting::saveimg_ordner, Setting::saveimg_name, Setting::saveimg_format, "Label4", "saveimg_ordnerwahl",
               "Label5", "Label6"},
              binder_, this, [this] { return pickerTitle_; },
              core_->settings);
  auto* before = BoundButton<QCheckBox>(Setting::save_img_vorher);
  auto* after = BoundButton<QCheckBox>(Setting::save_img_nachher);
  grid->addWidget(before, 3, 1, 1, 2);
  grid->addWidget(after, 4, 1, 1, 2);
  return body;
}

QWidget* MainWindow::BuildFooter() {
  auto* panel1 = new QWidget;
  binder_->BindVisibility(panel1, Setting::Panel1);
  panel1->setFixedHeight(kFooterHeight);
  auto* layout = new QHBoxLayout(panel1);
  layout->setContentsMargins(0, 0, 0, 0);
  laspenden_ = new QLabel;
  laspenden_->setObjectName(QStringLiteral("laspenden"));
  laspenden_->setAlignment(Qt::AlignCenter);
  laspenden_->setCursor(Qt::PointingHandCursor);
  laspenden_->setTextFormat(Qt::RichText);
  laspenden_->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
  laspenden_->setFocusPolicy(Qt::StrongFocus);
  laspenden_->installEventFilter(this);  // Enter and Space open the page
  connect(laspenden_, &QLabel::linkActivated, this, [this](const QString& page) { OpenDoc(page); });
  layout->addWidget(laspenden_);
  return panel1;
}

void MainWindow::Sprache(Language language) {
  // The settings that read differently per language (name templates, "Bild" in
  // the image formats) were changed by the core's part of this routine; the
  // widgets show them once the texts are set.
  RetextWindow(this, "Tprog", language);
  pickerTitle_ = WindowText("Tprog", "folder_picker.title", language);
  configDialogTexts_ = ConfigFileDialogTexts(language);
  // The link and help menus of the current language are shown, the others hidden.
  const bool german = language == Language::German;
  for (const auto& [menu, forGerman] : languageMenus_) menu->menuAction()->setVisible(forGerman == german);
  einstSprDe_->setChecked(german);
  einstSprEn_->setChecked(!german);
  footerTicks_ = 0;
  ShowFooterLink(FooterLink::Donate);
  ShowTextCutNote();
  binder_->RefreshAll();
  if (tray_) tray_->SetLanguage(language);
  ShowClipboardStatus(language);
}

void MainWindow::ShowClipboardConnection(bool lost) {
  clipboardConnectionLost_ = lost;
  ShowClipboardStatus(core_->CurrentLanguage());
}

void MainWindow::ShowClipboardStatus(Language language) {
  const char* key = clipboardConnectionLost_          ? "statusBar.waylandLost"
                    : options_.clipboardFallbackNotice ? "statusBar.waylandFallback"
                                                       : nullptr;
  if (key) {
    statusBar()->showMessage(ToQString(UiText("Tprog", key, language)));
  } else if (auto* bar = findChild<QStatusBar*>(QString(), Qt::FindDirectChildrenOnly)) {
    // Not statusBar(): that would give a window which never had anything to say there a status line.
    bar->clearMessage();
  }
}

void MainWindow::ShowFooterLink(FooterLink link) {
  static const char* const kPages[] = {"donate.html", "index.html", "support.html"};
  footerPage_ = QString::fromLatin1(kPages[static_cast<int>(link)]);
  const QString caption = ToQString(FooterLinkCaption(link, core_->CurrentLanguage()));
  laspenden_->setText(QStringLiteral("<a href=\"%1\" style=\"color:#B3820F\">%2</a>")
                          .arg(footerPage_, caption.toHtmlEscaped()));
  laspenden_->setAccessibleName(caption);
}

void MainWindow::ApplyPanelColours() {
  const QColor face = QApplication::palette().color(QPalette::Button);
  for (QWidget* heading : findChildren<QWidget*>()) {
    const QString name = heading->objectName();
    QColor colour;
    if (name == QLatin1String("Panel7") || name == QLatin1String("Panel9") || name == QLatin1String("Panel11")) {
      colour = Darker(face, 50);
    } else if (name.startsWith(QLatin1String("pa_"))) {
      colour = Darker(face, 5);
    } else {
      continue;
    }
    QPalette p = heading->palette();
    p.setColor(QPalette::Window, colour);
    heading->setPalette(p);
    heading->setAutoFillBackground(true);
  }
}

void MainWindow::RelayoutSections() {
  if (!actionsCanvas_ || sectionBodies_.size() != kSectionCount) return;
  const ActionsAreaGeometry& g = core_->sectionLayout.Geometry();
  const int width = actionsCanvas_->width();
  for (int i = 0; i < kSectionCount; ++i) {
    const SectionInfo& section = Sections()[static_cast<std::size_t>(i)];
    sectionHeaders_[i]->setGeometry(0, g.headerTop[i], width, kSectionHeaderHeight);
    sectionHeaders_[i]->setVisible(core_->settings.Flag(section.header));
    const bool shown = core_->settings.Flag(section.body);
    sectionBodies_[i]->setGeometry(0, g.bodyTop[i], width, g.bodyHeight[i]);
    sectionBodies_[i]->setVisible(shown);
  }
  actionsCanvas_->setMinimumHeight(g.scrollRange);
}

void MainWindow::ShowHistory() {
  const HistoryModel& history = core_->history;
  if (historyRows_->Refresh()) shownHistorySelection_ = ~history.SelectionRevision();
  if (applyingHistorySelection_ || history.SelectionRevision() == shownHistorySelection_) return;
  shownHistorySelection_ = history.SelectionRevision();
  QItemSelection selection;
  const std::vector<HistoryEntry>& entries = history.Entries();
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (!entries[i].selected) continue;
    const int row = static_cast<int>(i);
    selection.select(historyRows_->index(row, 0), historyRows_->index(row, 2));
  }
  const QSignalBlocker block(zuletzt_->selectionModel());
  zuletzt_->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
  zuletzt_->viewport()->update();
}

void MainWindow::HistorySelectionChanged() {
  // The list already shows this selection: the model takes it row by row, and
  // the redraws in between must not push its half-updated state back.
  applyingHistorySelection_ = true;
  const int count = historyRows_->rowCount();
  QItemSelectionModel* selection = zuletzt_->selectionModel();
  for (int i = 0; i < count; ++i) {
    core_->history.SetSelected(static_cast<std::size_t>(i), selection->isRowSelected(i, {}));
  }
  applyingHistorySelection_ = false;
  shownHistorySelection_ = core_->history.SelectionRevision();
}

void MainWindow::HistoryRecopy() {
  const RecopyOutcome outcome = core_->history.Recopy(core_->historySwitches, session_.Board());
  if (outcome != RecopyOutcome::ShowImageMessage) return;
  // Without a parent the box is centred on the screen, not on the window; it
  // takes its final size only when shown, so Qt places it then.
  QMessageBox box(QMessageBox::Information, ToQString(kRecopyMessageCaption),
                  ToQString(RecopyImageMessage(core_->CurrentLanguage())), QMessageBox::Ok);
  box.setObjectName(QStringLiteral("recopy_message"));
  box.setWindowModality(Qt::ApplicationModal);
  box.exec();
}

void MainWindow::HistoryPopup(const QPoint& at) {
  if (!core_->history.PopupAllowed()) return;
  QMenu popup(this);
  const Language language = core_->CurrentLanguage();
  QAction* again = popup.addAction(WindowText("Tprog", "pop1", language));
  again->setObjectName(QStringLiteral("pop1"));
  QAction* remove = popup.addAction(WindowText("Tprog", "pop2", language));
  remove->setObjectName(QStringLiteral("pop2"));
  QAction* chosen = popup.exec(zuletzt_->viewport()->mapToGlobal(at));
  if (chosen == again) HistoryRecopy();
  if (chosen == remove) core_->history.RemoveSelected();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (zuletzt_ && watched == zuletzt_ && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    const bool ctrl = key->modifiers() & Qt::ControlModifier;
    if (key->key() == Qt::Key_A && ctrl) {
      core_->history.KeyDown(HistoryKey::A, true);
      return true;
    }
    if (key->key() == Qt::Key_Delete) {
      core_->history.KeyDown(HistoryKey::Delete, ctrl);
      return true;
    }
  }
  if (displayImg_ && watched == displayImg_) {
    const QEvent::Type type = event->type();
    if (type == QEvent::MouseButtonPress || type == QEvent::MouseMove || type == QEvent::MouseButtonRelease) {
      auto* mouse = static_cast<QMouseEvent*>(event);
      const QPoint p = mouse->globalPosition().toPoint();
      const ScreenPoint at{p.x(), p.y()};
      if (type == QEvent::MouseButtonPress) core_->views.ImageMouseDown(at);
      if (type == QEvent::MouseMove) core_->views.ImageMouseMove(at, mouse->buttons() & Qt::LeftButton);
      if (type == QEvent::MouseButtonRelease) core_->views.ImageMouseUp();
      return true;
    }
  }
  if (laspenden_ && watched == laspenden_ && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) {
      OpenDoc(footerPage_);
      return true;
    }
  }
  if (scrollBox2_ && watched == scrollBox2_->viewport() && event->type() == QEvent::Resize) {
    core_->views.SetViewportSize(scrollBox2_->viewport()->width(), scrollBox2_->viewport()->height());
  }
  return QMainWindow::eventFilter(watched, event);
}

void MainWindow::ShowDetails() {
  const std::vector<DetailsRow>& rows = core_->details.Rows();
  const int shown = liste_->topLevelItemCount();
  // A pass appends rows one by one; anything else (clearing, sorting) redraws the list.
  if (static_cast<std::size_t>(shown) >= rows.size()) liste_->clear();
  for (std::size_t i = static_cast<std::size_t>(liste_->topLevelItemCount()); i < rows.size(); ++i) {
    const DetailsRow& r = rows[i];
    // A cell shows one line: control characters show as escapes, so a binary
    // value or a text with line breaks does not stretch its row.
    liste_->addTopLevelItem(new QTreeWidgetItem({ToQString(OneLineText(r.format)), QString::number(r.number),
                                                 ToQString(OneLineText(r.value.Prefix(kDetailsCellLimit)))}));
  }
}

void MainWindow::ShowContent() {
  const ContentViewsModel& views = core_->views;
  // The model changes several times per pass; the document is rebuilt only
  // when its text did. The user may type into the view; a processed change
  // replaces that too.
  if (views.TextRevision() != shownTextRevision_) {
    shownTextRevision_ = views.TextRevision();
    std::u16string shown = views.TextPrefix(kShownTextLimit);
    if (shown != shownText_ || displayTxt_->document()->isModified()) {
      shownText_ = std::move(shown);
      displayTxt_->setPlainText(MemoToWidget(shownText_));
    }
    ShowTextCutNote();
  }
  {
    const QSignalBlocker block(tabSet1_);
    for (int i = 0; i < 2 && i < static_cast<int>(views.Tabs().size()); ++i) {
      tabSet1_->setTabText(i, ToQString(views.Tabs()[static_cast<std::size_t>(i)]));
    }
    tabSet1_->setCurrentIndex(views.SelectedTab());
  }
  switch (views.VisiblePage()) {
    case ContentPage::Text: pc_->setCurrentWidget(textPage_); break;
    case ContentPage::Image: pc_->setCurrentWidget(scrollBox2_); break;
    case ContentPage::Details: pc_->setCurrentWidget(liste_); break;
  }
  const SharedRaster& image = views.Image();
  if (image.get() != shownPicture_) {
    shownPicture_ = image.get();
    displayImg_->SetPicture(image);
  }
  const QSignalBlocker blockH(scrollBox2_->horizontalScrollBar());
  const QSignalBlocker blockV(scrollBox2_->verticalScrollBar());
  scrollBox2_->horizontalScrollBar()->setValue(views.HorizontalPosition());
  scrollBox2_->verticalScrollBar()->setValue(views.VerticalPosition());
}

void MainWindow::ShowTextCutNote() {
  const std::size_t size = core_->views.TextSize();
  textCutNote_->setVisible(size > kShownTextLimit);
  if (size <= kShownTextLimit) return;
  const QLocale locale(core_->CurrentLanguage() == Language::German ? QLocale::German : QLocale::English);
  textCutNote_->setText(WindowText("Tprog", "display_txt_cut.format", core_->CurrentLanguage())
                            .arg(locale.toString(static_cast<qulonglong>(kShownTextLimit)),
                                 locale.toString(static_cast<qulonglong>(size))));
}

void MainWindow::FooterTick() {
  ++footerTicks_;
  ShowFooterLink(FooterLinkForTick(footerTicks_));
}

void MainWindow::OpenDoc(const QString& page) {
  OpenHelpPage(OpenInDefaultBrowser, QUrl::fromLocalFile(DocPath(page)), core_->CurrentLanguage());
}

QString MainWindow::DocPath(const QString& page) const {
  // Every page has a German version "<name>_de.html" beside it.
  QString name = page;
  if (core_->CurrentLanguage() == Language::German && !name.endsWith(QLatin1String("_de.html"))) {
    name.replace(QRegularExpression(QStringLiteral("\\.html$")), QStringLiteral("_de.html"));
  }
  return ToQString(options_.docsFolder) + name;
}

void MainWindow::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (shownOnce_) return;
  shownOnce_ = true;
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect frame = frameGeometry();
    move(screen->availableGeometry().center() - QPoint(frame.width() / 2, frame.height() / 2));
  }
  FormShow();
}

void MainWindow::FormShow() {
  // The configurations named on the command line, in order, else the start
  // configuration; each named one joins the menu, also one that is missing.
  for (const Session::StartConfiguration& c : session_.StartConfigurations()) {
    if (!c.exists) std::fprintf(stderr, "tallowin: warning: configuration %s not found\n", c.path.c_str());
    KonfigurationLaden(QString::fromStdString(c.path), true);
    if (c.named) KonfigurationAddMenu(QString::fromStdString(c.path));
  }
  session_.ApplyStartAssignments();
  // A client area that does not fit the whole desktop with 50 pixels to spare
  // is maximized at the first activation.
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect desktop = screen->virtualGeometry();
    const QSize client = centralWidget()->size();
    if (client.height() + 50 > desktop.height() || client.width() + 50 > desktop.width()) {
      maximizeOnActivate_ = true;
    }
  }
}

void MainWindow::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow() && maximizeOnActivate_) {
    maximizeOnActivate_ = false;
    showMaximized();
  }
}

void MainWindow::ApplyStartGeometry() {
  // The client area is measured, not computed from the menu bar's size hint:
  // the bar's height is known only once its captions are set and it is laid out.
  // Hidden widgets are laid out only on demand, so each level is laid out here,
  // and the first showing finds every part at its size (the resize rule then
  // runs on real sizes).
  const auto layOut = [this] {
    for (QLayout* level : {layout(), centralWidget()->layout()}) {
      level->invalidate();  // a hidden window's resize does not
      level->activate();
    }
  };
  resize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
  layOut();
  resize(kClientWidth, height() + kClientHeight - centralWidget()->height());
  layOut();
  splitter1_->setSizes({kHistoryWidth, splitter1_->width() - splitter1_->handleWidth() - kHistoryWidth});
  if (QWidget* right = splitter1_->widget(1); right && right->layout()) {
    right->layout()->invalidate();
    right->layout()->activate();
  }
  splitter2_->setSizes({splitter2_->height() - splitter2_->handleWidth() - kActionsHeight, kActionsHeight});
}

void MainWindow::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  ApplyResizeRule();
}

void MainWindow::ApplyResizeRule() {
  const QList<int> columns = splitter1_->sizes();
  const QList<int> parts = splitter2_->sizes();
  if (columns.size() == 2) {
    const int total = columns[0] + columns[1];
    const int left = total / 3;
    splitter1_->setSizes({left, total - left});
  }
  if (parts.size() == 2) {
    const int total = parts[0] + parts[1];
    const int lower = (total / 5) * 3;
    splitter2_->setSizes({total - lower, lower});
  }
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // The close query saves the start configuration when "Save all" is checked.
  // A failed save keeps the window open and shows why.
  if (!quitting_ && core_->settings.Flag(Setting::m_konfig_autosave_alles)) {
    try {
      SaveStartConfiguration();
    } catch (const TallowinError& e) {
      event->ignore();
      ShowErrorReport(QString::fromUtf8(e.what()));
      return;
    }
  }
  quitting_ = true;  // the quit below closes every window again
  event->accept();
  if (startForm_) startForm_->close();
  QApplication::quit();
}

void MainWindow::ShowOutputSettings() {
  if (!outputSettings_) {
    outputSettings_ = new Teinstausgabe(core_->settings, core_->CurrentLanguage(), ToQString(options_.docsFolder), this);
  }
  if (!outputSettings_->isVisible()) {
    outputSettings_->move(frameGeometry().center() - outputSettings_->rect().center());
  }
  outputSettings_->show();
  outputSettings_->raise();
  outputSettings_->activateWindow();
}

ConfigurationWindow MainWindow::ConfigurationTarget() {
  ConfigurationWindow target;
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect desktop = screen->virtualGeometry();
    target.screenWidth = desktop.width();
    target.screenHeight = desktop.height();
  }
  target.currentGeometry = [this] {
    WindowGeometry g;
    g.maximized = isMaximized();
    const QRect normal = isMaximized() ? normalGeometry() : geometry();
    const int frameExtra = height() - centralWidget()->height();
    g.clientWidth = isMaximized() ? normal.width() : centralWidget()->width();
    g.clientHeight = isMaximized() ? normal.height() - frameExtra : centralWidget()->height();
    g.top = pos().y();
    g.left = pos().x();
    return g;
  };
  target.maximizeOnActivate = [this] { maximizeOnActivate_ = true; };
  target.maximizeAtOrigin = [this] {
    move(0, 0);
    showMaximized();
  };
  target.applyGeometry = [this] {
    const WindowGeometry& g = core_->settings.Geometry();
    const QPoint at(g.left.value_or(pos().x()), g.top.value_or(pos().y()));
    resize(g.clientWidth, g.clientHeight + height() - centralWidget()->height());
    move(at);
  };
  target.sectionLayout = [this] {
    // Run() hides the bodies before it restacks, so the last change it reports
    // still saw the old stacking: place the sections again.
    core_->sectionLayout.Run(std::nullopt);
    RelayoutSections();
  };
  target.applyLanguage = [this] { ReapplyLanguage(); };
  return target;
}

void MainWindow::ReapplyLanguage() {
  // A load keeps the name templates it has just set.
  core_->language.SwitchLanguage(core_->CurrentLanguage(), TemplateTexts::Keep);
}

void MainWindow::KonfigurationSpeichern(const QString& path) {
  tallowin::KonfigurationSpeichern(core_->settings, path.toStdString(), ConfigurationTarget());
}

void MainWindow::KonfigurationLaden(const QString& path, bool startup) {
  // A value the file lacks keeps the window as it stands, not as it started.
  const ConfigurationWindow target = ConfigurationTarget();
  core_->settings.Geometry() = target.currentGeometry();
  tallowin::KonfigurationLaden(core_->settings, path.toStdString(), startup, target);
}

void MainWindow::KonfigurationLadenStandard() {
  tallowin::KonfigurationLadenStandard(core_->settings, session_.Options().programFolder);
  binder_->RefreshAll();
}

void MainWindow::SaveStartConfiguration() {
  const std::string path = configMenu_.StartConfigurationPath();
  KonfigurationSpeichern(QString::fromStdString(path));
  configMenu_.SetStartHint(path);
  konfigStart_->setToolTip(QString::fromStdString(path));
}

bool MainWindow::ConfigCaptionFits(std::string_view caption) const {
  // Twice the link line's width plus 30 pixels, measured in its font.
  const int limit = 2 * (laspenden_ ? laspenden_->width() : width()) + 30;
  const QFontMetrics metrics(laspenden_ ? laspenden_->font() : font());
  return metrics.horizontalAdvance(QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size()))) <= limit;
}

void MainWindow::KonfigurationAddMenu(const QString& path) {
  const ConfigMenuEntry* entry =
      configMenu_.Add(path.toStdString(), [this](std::string_view caption) { return ConfigCaptionFits(caption); });
  if (!entry) return;
  QAction* a = konfigMenu_->addAction(QString::fromStdString(entry->caption));
  a->setObjectName(QString::fromStdString(entry->name));
  a->setToolTip(QString::fromStdString(entry->hint));
  // KonfigurationLadenMenu: a file that has vanished does nothing, silently.
  connect(a, &QAction::triggered, this, [this, a] {
    if (QFileInfo::exists(a->toolTip())) KonfigurationLaden(a->toolTip(), false);
  });
}

}  // namespace tallowin
