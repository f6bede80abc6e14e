#pragma once
// The search-and-replace pieces wired the way the program wires them: the error
// display follows the four fields, expression errors go to it, the table's rows
// and the expression replacer feed a capture pipeline over an in-memory clipboard.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/capture_pipeline.h"
#include "clipboard/memory_clipboard.h"
#include "regex/regex_engine.h"
#include "text/regex_error_display.h"
#include "text/regex_replace.h"
#include "text/replacement_table.h"

namespace tallowin::testing {

class SearchReplaceTest : public ::testing::Test {
 protected:
  SearchReplaceTest() {
    errorDisplay.AttachTo(settings);
    PipelineParts parts = RequiredParts(settings, clipboard, state, details, views, history);
    parts.replacementRows = &table.Rows();
    parts.regex = &regex;
    pipeline = std::make_unique<CapturePipeline>(parts);
    clipboard.SetChangeHandler([this] { pipeline->ProcessClipboardChange(); });
    settings.SetFlag(Setting::cb_suchenersetzen, true);
  }

  // Copies `text` as another program would and returns what the capture left on the clipboard.
  std::u16string Capture(std::u16string_view text) {
    clipboard.PlaceTextFromOtherProgram(text);
    return clipboard.ReadText();
  }
  void Pair(std::u16string search, std::u16string replacement, bool searchRegex = false,
            bool replacementRegex = false) {
    settings.SetFlag(Setting::act_ers_text_suchen_regex, searchRegex);
    settings.SetFlag(Setting::act_ers_text_ersetzen_regex, replacementRegex);
    settings.SetText(Setting::act_ers_text_suchen, std::move(search));
    settings.SetText(Setting::act_ers_text_ersetzen, std::move(replacement));
  }
  // Adds a row through the fields, as the "Add to Table" button does.
  void AddRow(std::u16string search, std::u16string replacement, bool searchRegex = false,
              bool replacementRegex = false) {
    Pair(std::move(search), std::move(replacement), searchRegex, replacementRegex);
    table.act_ers_text_addClick();
  }
  bool Shown(ReplaceField field) const { return errorDisplay.Mark(field).visible; }

  CaptureSettings settings;
  MemoryClipboard clipboard;
  CaptureState state;
  DetailsModel details;
  ContentViewsModel views;
  HistoryModel history;
  RegexContext regexContext;
  RegexErrorDisplay errorDisplay;
  RegexReplace regex{regexContext,
                     [this](std::u16string_view message) { errorDisplay.RegExFehlerInMemoMarkieren(message); }};
  ReplacementTable table{settings};
  std::unique_ptr<CapturePipeline> pipeline;
};

}  // namespace tallowin::testing
