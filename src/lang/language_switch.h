#pragma once
// The interface language of the running program: the one language code and the
// language routines of the windows that show texts in it.
//
// Every reader asks Current() at the moment it needs a text, so a switch takes
// effect for everything worded afterwards. Texts already shown (a history entry,
// a tab caption chosen at capture) keep the language they were made in until the
// window's own routine or the next capture replaces them.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/language.h"

namespace tallowin {

// The windows with a language routine, in the order in which a switch applies
// them: the main window, the start form, the output settings, the expression
// options and the cut-out dialog.
enum class LanguageWindow { Tprog, Tstart, Teinstausgabe, Teinstregex, Tcutauswahl };

// What a routine does with the two file-name templates: a switch puts the new
// language's default into them; after a configuration load they keep the values
// just loaded and only their item lists are rebuilt.
enum class TemplateTexts { Reset, Keep };

class LanguageSwitch {
 public:
  using Routine = std::function<void(Language, TemplateTexts)>;

  explicit LanguageSwitch(Language start = Language::English) : current_(start) {}
  LanguageSwitch(const LanguageSwitch&) = delete;
  LanguageSwitch& operator=(const LanguageSwitch&) = delete;

  Language Current() const { return current_; }
  // "de" or "en".
  std::u16string_view Code() const { return LanguageCode(current_); }

  // Adds a routine of `window`; a window may have several (the core's part and
  // the widgets' part), run in the order they were added. Returns the handle
  // that removes it; a window that goes away before the switch must remove its own.
  int Register(LanguageWindow window, Routine routine);
  void Unregister(int handle);

  // Sets the code and applies it to every registered window (sprachealles), in
  // the order of LanguageWindow. The language menu and a window's creation pass
  // TemplateTexts::Reset; the configuration loader passes the unchanged
  // language with TemplateTexts::Keep. The routines run even when the language
  // does not change.
  void SwitchLanguage(Language language, TemplateTexts templates = TemplateTexts::Reset);

 private:
  struct Entry {
    int handle;
    LanguageWindow window;
    Routine routine;
  };

  Language current_;
  std::vector<Entry> entries_;
  int nextHandle_ = 1;
};

// The start language from the marker files in `folder`: a file named "de" makes
// it German, whether or not a file "en" is there too; English otherwise.
Language StartLanguageFromMarkers(const std::string& folder);

}  // namespace tallowin
