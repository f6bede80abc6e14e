#pragma once
// Tprog: the working window. It builds the widgets, binds them to the settings
// and shows the core's models; every rule lives in the core.

#include <QAction>
#include <QMainWindow>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/program_core.h"
#include "config/configuration.h"
#include "config/configuration_menu.h"
#include "desktop/session.h"
#include "lang/ui_texts.h"

class QLabel;
class QMenu;
class QPlainTextEdit;
class QScrollArea;
class QSplitter;
class QTabBar;
class QStackedWidget;
class QTreeView;
class QTreeWidget;
class QVBoxLayout;
class QWidget;

namespace tallowin {

class SettingBinder;
class MarqueeCutDialog;
class PictureView;
class HistoryListModel;
class ReplacementTableWidget;
class StartForm;
class Teinstausgabe;
class Teinstregex;
class TrayIcon;

struct MainWindowOptions {
  std::u16string docsFolder;               // where the help pages are
  bool clipboardFallbackNotice = false;    // a Wayland session without data-control fell back to X11
};

class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  // Creates the window hidden, as FormCreate does: texts, then the session's
  // start-up (the first pass over the content already on the clipboard, sections
  // collapsed, folders, counters) unless it has started already. `session` must
  // outlive the window.
  MainWindow(Session& session, MainWindowOptions options, StartForm* startForm);
  ~MainWindow() override;

  ProgramCore& Core() { return *core_; }
  const ConfigMenu& ConfigurationMenu() const { return configMenu_; }

  // The configuration commands, as the menu runs them (tests call them directly).
  void KonfigurationSpeichern(const QString& path);
  void KonfigurationLaden(const QString& path, bool startup);
  void KonfigurationLadenStandard();
  void KonfigurationAddMenu(const QString& path);
  void SaveStartConfiguration();  // m_konfig_save_startClick
  TrayIcon* Tray() { return tray_; }
  Session& AttachedSession() { return session_; }
  bool MaximizeOnActivate() const { return maximizeOnActivate_; }
  // FormResize: the actions area takes three fifths of the right column, the
  // history column a third of the width.
  void ApplyResizeRule();
  // The file a help page opens: its German version ("<name>_de.html") under the
  // German interface.
  QString DocPath(const QString& page) const;
  // The status line says that the clipboard's connection is lost (the backend
  // connects again by itself) until it works again.
  void ShowClipboardConnection(bool lost);

 protected:
  void showEvent(QShowEvent* event) override;
  void changeEvent(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildMenus();
  QWidget* BuildHistoryColumn();
  QWidget* BuildContentArea();
  QWidget* BuildActionsArea();
  QWidget* BuildSection(int index, QWidget* body);
  QWidget* BuildSearchReplaceBody();
  QWidget* BuildAddTextBody();
  QWidget* BuildSaveTextBody();
  QWidget* BuildCutImageBody();
  QWidget* BuildResizeImageBody();
  QWidget* BuildSaveImageBody();
  QWidget* BuildFooter();
  QWidget* Heading(const char* panel);
  // A check box or radio button bound to `s`; its object name finds its caption in the language table.
  template <class Button>
  Button* BoundButton(Setting s);
  // Lays out `panel` as its heading bar over `frame`; returns the frame's layout.
  QVBoxLayout* HeadedPanel(QWidget* panel, Setting panelSetting, Setting headingSetting, QWidget* frame,
                           Setting frameSetting);
  void RegisterLanguageRoutines();
  // sprache of Tprog: every text of the window in `language`, the menus of that
  // language, the check marks, the picker title, the configuration dialogs'
  // texts and the link line.
  void Sprache(Language language);
  void ApplyPanelColours();
  void RelayoutSections();
  void ShowHistory();
  void HistorySelectionChanged();
  void HistoryRecopy();
  void HistoryPopup(const QPoint& at);
  void ShowContent();
  void ShowDetails();
  void ShowTextCutNote();
  void ShowClipboardStatus(Language language);
  void FooterTick();
  void OpenDoc(const QString& page);
  // einst_akt: the output settings dialog, centred on this window when it opens.
  void ShowOutputSettings();
  void ShowFooterLink(FooterLink link);
  void ApplyStartGeometry();
  ConfigurationWindow ConfigurationTarget();
  // The language routine a configuration load ends with.
  void ReapplyLanguage();
  bool ConfigCaptionFits(std::string_view caption) const;
  void FormShow();

  Session& session_;
  MainWindowOptions options_;
  bool clipboardConnectionLost_ = false;
  StartForm* startForm_;
  ProgramCore* core_;  // the session's
  CaptureSwitch::Subscription captureShown_;  // keeps m_einst_aktiv's check mark on the switch
  SettingBinder* binder_ = nullptr;
  bool shownOnce_ = false;
  bool quitting_ = false;  // the program is ending: no close query saves any more
  bool maximizeOnActivate_ = false;
  int footerTicks_ = 0;
  QTimer timer1_;

  QAction* einstAktiv_ = nullptr;
  QAction* closeAction_ = nullptr;  // m_close
  TrayIcon* tray_ = nullptr;
  QLabel* laspenden_ = nullptr;
  QSplitter* splitter1_ = nullptr;
  QSplitter* splitter2_ = nullptr;
  QTreeView* zuletzt_ = nullptr;
  HistoryListModel* historyRows_ = nullptr;
  QTreeWidget* liste_ = nullptr;
  QTabBar* tabSet1_ = nullptr;
  QStackedWidget* pc_ = nullptr;
  QPlainTextEdit* displayTxt_ = nullptr;
  QWidget* textPage_ = nullptr;    // tab_txt: the text view over its note
  QLabel* textCutNote_ = nullptr;  // shown when the view holds only the text's beginning
  PictureView* displayImg_ = nullptr;
  QScrollArea* scrollBox2_ = nullptr;
  QScrollArea* scrollBox1_ = nullptr;
  QWidget* actionsCanvas_ = nullptr;
  ReplacementTableWidget* replacementTable_ = nullptr;
  Teinstregex* regexOptions_ = nullptr;
  Teinstausgabe* outputSettings_ = nullptr;  // made at its first opening, kept to the end
  MarqueeCutDialog* cutauswahl_ = nullptr;  // Tcutauswahl, shown by the crop step
  // The picture the image view shows; the view holds it, so a newer picture
  // never comes at the same address.
  const RasterImage* shownPicture_ = nullptr;
  std::uint64_t shownTextRevision_ = ~std::uint64_t{0};
  QString footerPage_;
  std::u16string shownText_;  // what the text view was last given: at most its limit
  std::uint64_t shownHistorySelection_ = 0;
  bool applyingHistorySelection_ = false;
  std::vector<QWidget*> sectionHeaders_;
  std::vector<QWidget*> sectionBodies_;
  std::vector<ObserverHandle> observers_;  // the window's own reactions to setting changes
  ConfigMenu configMenu_;
  QMenu* konfigMenu_ = nullptr;
  QAction* konfigStart_ = nullptr;
  QAction* einstSprDe_ = nullptr;
  QAction* einstSprEn_ = nullptr;
  std::vector<std::pair<QMenu*, bool>> languageMenus_;  // the link and help menus, and whether each is the German one
  QString pickerTitle_;                                  // of the folder picker both save sections open
  ConfigDialogTexts configDialogTexts_;                  // proposed name and filter of the configuration dialogs
};

}  // namespace tallowin
