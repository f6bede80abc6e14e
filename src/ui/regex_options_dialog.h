#pragma once
// Teinstregex: the options of new expression engines. The five modifier boxes
// take effect at once (through their settings' reactions, attached in the core);
// the three character lists only with apply ("Übernehmen"/"Assume") or OK.
// Standard puts the start values back into the boxes. One window for the whole
// run, shown without blocking the main window and kept on top.

#include <QDialog>
#include <QString>
#include <QUrl>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "settings/capture_settings.h"
#include "regex/engine_defaults.h"
#include "ui/help_pages.h"

class QLabel;

namespace tallowin {

class SettingBinder;

class Teinstregex : public QDialog {
  Q_OBJECT

 public:
  // `settings` and `defaults` must outlive the window. `docsFolder` is the folder
  // of the help pages, with a trailing "/". FormCreate: the texts of `language`.
  Teinstregex(CaptureSettings& settings, EngineDefaults& defaults, Language language,
              QString docsFolder, QWidget* parent = nullptr);
  ~Teinstregex() override;

  // The texts of `language`.
  void Sprache(Language language);

  // Button2Click (apply). A character list that cannot be converted is reported in
  // the error message box; returns whether the apply went through.
  bool Button2Click();
  // Button1Click (OK): apply, then close; the window stays open when apply failed.
  void Button1Click();
  // Button3Click (Standard).
  void Button3Click();

  // The page a help link opens in `language`; a file URL in the docs folder.
  QUrl InformationPage(Language language, bool modifiersSection) const;
  // Replaces the default browser (tests, or a window that opens pages itself). A
  // page it cannot show is reported in the message box.
  void SetPageOpener(PageOpener opener) { openPage_ = std::move(opener); }

 private:
  QWidget* BuildModifierGroup();
  QWidget* BuildCharacterClassGroup();
  QWidget* BuildButtons();
  QLabel* LinkLabel(const char* name, bool modifiersSection);
  void Label7Click(const QString& link);

  CaptureSettings& settings_;
  EngineDefaults& defaults_;
  QString docsFolder_;
  SettingBinder* binder_ = nullptr;
  PageOpener openPage_ = OpenInDefaultBrowser;
  Language language_;  // of the texts shown, and of a report that a page could not be shown
  std::vector<std::pair<QLabel*, bool>> links_;              // the two link labels, and which section they name
};

}  // namespace tallowin
