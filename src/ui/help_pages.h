#pragma once
// Opening the help pages in the default browser. When no browser can be started
// (Qt finds no xdg-open or desktop launcher), the user is told so in the message
// box, with the page's path, instead of being left with a link that does nothing.

#include <QString>
#include <QUrl>
#include <functional>

#include "base/language.h"

namespace tallowin {

// Shows `page`; false when nothing could be started to show it.
using PageOpener = std::function<bool(const QUrl&)>;

// The default browser, through QDesktopServices.
bool OpenInDefaultBrowser(const QUrl& page);

// The message for a page that could not be shown, in `language`: a file page
// named by its path.
QString NoBrowserMessage(const QUrl& page, Language language);

// Opens `page` with `open`; when that fails, shows NoBrowserMessage in the
// message box (over the active window) and returns when it is closed.
void OpenHelpPage(const PageOpener& open, const QUrl& page, Language language);

}  // namespace tallowin
