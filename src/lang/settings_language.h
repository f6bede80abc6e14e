#pragma once
// The parts of the windows' language routines that change settings: texts and
// item lists of the editable choices that read differently in each language.
// They change the settings through CaptureSettings, so the reactions run as on
// a user's change, and only when a value really changes.

#include <string>
#include <string_view>

#include "settings/capture_settings.h"
#include "lang/language_switch.h"

namespace tallowin {

// The main window's part:
// - the item lists of savetxt_name and saveimg_name become the language's three
//   templates; with TemplateTexts::Reset their texts become the language's
//   default template too, whatever the user had typed;
// - "Bild" becomes "Image" (English) or "Image" becomes "Bild" (German),
//   case-sensitively and everywhere, in the text of saveimg_format and in each of
//   its items; the rest of each text is kept.
void ApplyMainWindowLanguage(CaptureSettings& settings, Language language, TemplateTexts templates);

// The output settings dialog's part: in the text and the items of
// act_sizemethode "Bikubisch" and "Bicubic", and "Nächster Nachbar" and
// "Nearest", are exchanged, so the chosen filter survives the switch.
void ApplyOutputSettingsLanguage(CaptureSettings& settings, Language language);

// Every non-overlapping occurrence of `from` in `text`, left to right, replaced by `to`.
std::u16string ReplaceEvery(std::u16string text, std::u16string_view from, std::u16string_view to);

}  // namespace tallowin
