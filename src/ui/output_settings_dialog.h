#pragma once
// Teinstausgabe: how output is produced. The quality and progressive mode of
// saved JPEG, JNG and MNG images, the rules and method of resizing, and the
// encoding of saved text files. Every control is a setting; the quality box and
// its scroll bar follow each other through the core's quality link, the
// encoding buttons set the text code page through the core's reaction. One
// window for the whole run, created hidden, shown without blocking the main
// window and kept on top.

#include <QDialog>
#include <QString>
#include <QUrl>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "settings/capture_settings.h"
#include "ui/help_pages.h"

class QLabel;
class QScrollBar;

namespace tallowin {

class SettingBinder;

class Teinstausgabe : public QDialog {
  Q_OBJECT

 public:
  // `settings` must outlive the window. `docsFolder` is the folder of the help
  // pages, with a trailing "/". FormCreate: the texts of `language`.
  Teinstausgabe(CaptureSettings& settings, Language language, QString docsFolder, QWidget* parent = nullptr);
  ~Teinstausgabe() override;

  // The texts of `language`; the scaling method names are exchanged in the
  // setting, so the chosen method stays chosen.
  void Sprache(Language language);

  // The page Label7 names and opens: the formats page in the docs folder.
  QUrl InformationPage(Language language) const;
  // Replaces the default browser (tests). A page it cannot show is reported in
  // the message box.
  void SetPageOpener(PageOpener opener) { openPage_ = std::move(opener); }

 private:
  QWidget* BuildImageGroup();
  QWidget* BuildResizeGroup();
  QWidget* BuildTextGroup();
  template <class W>
  W* Captioned(W* widget, const char* key);

  CaptureSettings& settings_;
  QString docsFolder_;
  SettingBinder* binder_ = nullptr;
  QScrollBar* scrollBar1_ = nullptr;
  QLabel* label7_ = nullptr;
  ObserverHandle scrollObserver_;
  PageOpener openPage_ = OpenInDefaultBrowser;
  Language language_;  // of the texts shown, and of a report that a page could not be shown
  std::vector<std::pair<QWidget*, std::string>> captioned_;  // widgets whose text follows the language
};

// The text of one dialog element in `language` ("Teinstausgabe" is the window
// title); empty for an unknown key. The dialog's whole text table is behind it.
QString OutputSettingsText(std::string_view key, Language language);

}  // namespace tallowin
