#pragma once
// The program's core objects, assembled once and shared by the window and the
// command line: the settings with their reactions, the state that outlives a
// pass, the view and history models, the replacement table and the pipeline.

#include <memory>
#include <string>
#include <vector>

#include "app/capture_pipeline.h"
#include "settings/capture_settings.h"
#include "app/section_layout.h"
#include "clipboard/clipboard.h"
#include "history/history_reactions.h"
#include "history/sort_state.h"
#include "image/formats/image_format.h"
#include "image/image_steps.h"
#include "lang/language_switch.h"
#include "regex/regex_engine.h"
#include "text/regex_error_display.h"
#include "text/regex_replace.h"
#include "text/replacement_table.h"

namespace tallowin {

class ProgramCore {
 public:
  // `clipboard` must outlive the core. The clipboard's change handler is set to
  // run the pipeline once per change.
  ProgramCore(Clipboard& clipboard, Language language);
  ProgramCore(const ProgramCore&) = delete;
  ProgramCore& operator=(const ProgramCore&) = delete;

  // What the main window's creation does to the core after the first pass:
  // collapse the sections, point both output folders at the program folder and
  // zero the file counters.
  void FinishStartup(const std::u16string& programFolder);

  Language CurrentLanguage() const { return language.Current(); }

  // Called with every expression error besides showing it at the field edited
  // last (the command line prints it).
  std::function<void(std::u16string_view message)> onRegexError;

  // The one language code; the windows register their language routines here.
  // The core's own parts (the settings that read differently per language, the
  // expression engine's messages) are registered first.
  LanguageSwitch language;
  CaptureSettings settings;
  CaptureState state;
  DetailsModel details;
  ContentViewsModel views;
  HistoryModel history;
  ReplacementTable replacementTable{settings};  // act_ers_text_liste
  RegexContext regex;                           // the engine defaults and the error report
  RegexErrorDisplay regexErrors;
  RegexReplace regexReplace{regex, [this](std::u16string_view message) { ReportRegexError(message); }};
  SortState sort;  // shared by the history and the details list
  SettingsHistorySwitches historySwitches{settings};
  SectionLayout sectionLayout{settings};
  ImageSteps imageSteps{settings};  // the window attaches the marquee dialog
  ImageFormatRegistry imageFormats;  // the file writers and their options
  std::unique_ptr<CapturePipeline> pipeline;

 private:
  void AttachReactions();
  void ReportRegexError(std::u16string_view message);

  Clipboard& clipboard_;
  std::unique_ptr<ImageStepActions> imageActions_;
};

// Applies "KEY=VALUE" to the setting named KEY: flags and radio buttons take an
// integer ("1" on, "0" off), texts the value as given, the scroll bar an integer.
// Returns an error text, empty on success.
std::string ApplySettingAssignment(CaptureSettings& settings, std::string_view assignment);

}  // namespace tallowin
