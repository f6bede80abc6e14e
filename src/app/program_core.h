#pragma once
// The program's core objects, assembled once and shared by the window and the
// command line: the settings with their reactions, the state that outlives a
// pass, the view and history models, the replacement table and the pipeline.

#include <memory>
#include <string>
#include <vector>

#include "app/capture_pipeline.h"
#include "app/capture_settings.h"
#include "app/section_layout.h"
#include "clipboard/clipboard.h"
#include "history/history_reactions.h"
#include "history/sort_state.h"

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

  Language CurrentLanguage() const { return language_; }
  void SetLanguage(Language language) { language_ = language; }

  CaptureSettings settings;
  CaptureState state;
  DetailsModel details;
  ContentViewsModel views;
  HistoryModel history;
  std::vector<ReplacementRow> replacementRows;
  SortState sort;  // shared by the history and the details list
  SettingsHistorySwitches historySwitches{settings};
  SectionLayout sectionLayout{settings};
  std::unique_ptr<CapturePipeline> pipeline;

 private:
  void AttachReactions();

  Clipboard& clipboard_;
  Language language_;
};

// Applies "KEY=VALUE" to the setting named KEY: flags and radio buttons take an
// integer ("1" on, "0" off), texts the value as given, the scroll bar an integer.
// Returns an error text, empty on success.
std::string ApplySettingAssignment(CaptureSettings& settings, std::string_view assignment);

}  // namespace tallowin
