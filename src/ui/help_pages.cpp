#include "ui/help_pages.h"

#include <QDesktopServices>

#include "lang/ui_texts.h"
#include "ui/error_report.h"
#include "backends/qt_text.h"

namespace tallowin {

bool OpenInDefaultBrowser(const QUrl& page) { return QDesktopServices::openUrl(page); }

QString NoBrowserMessage(const QUrl& page, Language language) {
  const QString shown = page.isLocalFile() ? page.toLocalFile() : page.toDisplayString();
  return ToQString(UiText("Tprog", "noBrowser.format", language)).arg(shown);
}

void OpenHelpPage(const PageOpener& open, const QUrl& page, Language language) {
  if (!open(page)) ShowErrorReport(NoBrowserMessage(page, language));
}

}  // namespace tallowin
