#pragma once
// Every interface text of the program's windows in both languages, in one table
// keyed by window and control.
//
// A control is named by its object name. The re-texting walk of a window looks
// each of its controls up by that name:
//   "<control>"        the caption (button, label, menu, menu entry, group box);
//                      it is also the control's accessible name;
//   "<control>.name"   the accessible name alone, for controls without a caption
//                      of their own or whose caption reads the same elsewhere;
//   "<control>.0" ...  the captions of a list's columns, in order;
//   "<window>"         under its own window: the window title.
// Any other suffix (".format", ".filter", ...) is a text a window looks up
// itself, at the moment it shows it.

#include <span>
#include <string_view>

#include "base/language.h"

namespace tallowin {

inline constexpr std::u16string_view kApplicationTitle = u"Tallowin - Brannick Media";

struct UiTextRow {
  std::string_view window;   // "Tprog", "Tstart", "Teinstregex", "Tcutauswahl", "Teinstausgabe", "Tray"
  std::string_view control;  // object name, with an optional suffix
  std::u16string_view english;
  std::u16string_view german;

  std::u16string_view In(Language language) const { return language == Language::German ? german : english; }
};

// The rows of every window, each window's in the order its routine sets them.
std::span<const UiTextRow> UiTextTable();

// The text of `control` on `window` in `language`; an empty view when the table
// has none.
std::u16string_view UiText(std::string_view window, std::string_view control, Language language);

// The footer link line: rotates every 10 seconds among three captions.
enum class FooterLink { Donate, Help, Support };
FooterLink FooterLinkForTick(int tick);
std::u16string_view FooterLinkCaption(FooterLink link, Language language);

// The two configuration file dialogs: the proposed name of the save dialog and
// the filter of both, as display text, a vertical bar and the pattern.
struct ConfigDialogTexts {
  std::u16string_view proposedName;
  std::u16string_view filter;
};
ConfigDialogTexts ConfigFileDialogTexts(Language language);

}  // namespace tallowin
