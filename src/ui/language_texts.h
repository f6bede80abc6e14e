#pragma once
// The re-texting walk: a window's controls take their texts from the language
// table by their object names, so no window keeps a hand-made list of what to
// re-text, and a control added later only needs a name and a table row.

#include <QString>
#include <string_view>

#include "base/language.h"

class QWidget;

namespace tallowin {

// A text of the table as a QString; empty when the table has none.
QString WindowText(std::string_view window, std::string_view control, Language language);

// Sets, from the rows of `window` in the language table: the title of `root`,
// and for every control below it with a row (widgets, menus, menu entries) its
// caption, its column captions and its accessible name. Top-level windows below
// `root` (its dialogs) are left to their own routines; menus are walked.
void RetextWindow(QWidget* root, std::string_view window, Language language);

}  // namespace tallowin
