#include "lang/ui_texts.h"

namespace tallowin {
namespace {

// Window by window; within the main window in the order in which its language
// routine sets the texts.
constexpr UiTextRow kTexts[] = {
    // --- Tprog, the main window ---------------------------------------------------
    {"Tprog", "Tprog", u"Tallowin - Brannick Media", u"Tallowin - Brannick Media"},
    {"Tprog", "folder_picker.title", u"Select Folder", u"Ordner auswählen"},
    {"Tprog", "Panel7", u"  History", u"  Verlauf"},
    {"Tprog", "Panel9", u"  Actions", u"  Aktionen"},
    {"Tprog", "Panel11", u"  Clipboard Content", u"  Inhalt der Zwischenablage"},
    {"Tprog", "Programm1", u"Program", u"Programm"},
    {"Tprog", "m_bugreport", u"Report Bug or Improvement..", u"Fehler oder Verbesserung melden.."},
    {"Tprog", "m_close", u"Close", u"Beenden"},
    {"Tprog", "einst", u"Settings", u"Einstellungen"},
    {"Tprog", "m_einst_aktiv", u"Clipboard-Exploring active", u"Clipboard-Erfassung aktiv"},
    {"Tprog", "einst_akt", u"Options regarding Actions and Saving..", u"Optionen für Aktionen und Speicherung.."},
    {"Tprog", "einst_regex", u"Options regarding Regular Expressions..", u"Optionen für reguläre Ausdrücke.."},
    {"Tprog", "einst_verl", u"Options regarding History..", u"Optionen für den Verlauf.."},
    {"Tprog", "einst_spr", u"Language", u"Sprache"},
    {"Tprog", "m_konfig", u"Configuration", u"Konfiguration"},
    {"Tprog", "m_konfig_save", u"Save current Configuration", u"Aktuelle Konfiguration speichern"},
    {"Tprog", "m_konfig_load", u"Load Configuration", u"Konfiguration laden"},
    {"Tprog", "m_konfig_standard", u"Reset all Settings", u"Alle Einstellungen zurücksetzen"},
    {"Tprog", "m_konfig_save_start", u"Save current Configuration as Start Configuration (auto.twk)",
     u"Aktuelle Konfiguration als Startkonfiguration speichern (auto.twk)"},
    {"Tprog", "m_konfig_start", u"Load Start Configuration (auto.twk) if possible",
     u"Startkonfiguration (auto.twk) laden wenn vorhanden"},
    {"Tprog", "m_konfig_autosave", u"Auto Save Settings on Exit", u"Konfiguration beim Beenden speichern"},
    {"Tprog", "m_konfig_autosave_nie", u"Never", u"Nicht speichern"},
    {"Tprog", "m_konfig_autosave_alles", u"Save all", u"Alles speichern"},
    {"Tprog", "m_konfig_start.missing", u"There is no Start Configuration available in the application folder.",
     u"Es ist keine Startkonfiguration im Programmverzeichnis vorhanden."},
    {"Tprog", "zuletzt.0", u"Time", u"Zeit"},
    {"Tprog", "zuletzt.1", u"Type", u"Art"},
    {"Tprog", "zuletzt.2", u"Content", u"Inhalt"},
    {"Tprog", "pop1", u"Copy to Clipboard again (Double Click)", u"In die Zwischenablage (Doppelklick)"},
    {"Tprog", "pop2", u"Delete from List (DEL-Key)", u"Aus Liste löschen (Entf-Taste)"},
    {"Tprog", "cb_history_dblclick", u"Double Click to copy to Clipboard again", u"Doppelklick zum erneuten hinzufügen"},
    {"Tprog", "cb_history_txt", u"Add Text to History", u"Texte im Verlauf zeigen"},
    {"Tprog", "cb_history_img", u"Add Images to History", u"Bilder im Verlauf zeigen"},
    {"Tprog", "liste.0", u"Format", u"Format"},
    {"Tprog", "liste.1", u"Number", u"Nummer"},
    {"Tprog", "liste.2", u"Value", u"Wert"},
    {"Tprog", "cb_suchenersetzen", u"Clipboard Text: Search and Replace", u"Text in der Zwischenablage: Suchen und Ersetzen"},
    {"Tprog", "act_ers_text_delmark", u"Delete Selected", u"Markierte löschen"},
    {"Tprog", "act_ers_la1", u"Search for:", u"Suchen nach:"},
    {"Tprog", "act_ers_la2", u"Replace by:", u"Ersetzen durch:"},
    {"Tprog", "cb_se_mehrfach", u"Show Options for multiple Replacements", u"Optionen für mehrfache Ersetzungen anzeigen"},
    {"Tprog", "act_ers_text_add", u"Add to Table", u"Felder hinzufügen"},
    {"Tprog", "act_ers_text_delete", u"Clear Boxes", u"Felder leeren"},
    {"Tprog", "act_ers_casesensitive", u"Case-Sensitive", u"Groß- und Kleinschreibung beachten"},
    {"Tprog", "act_ers_text_liste.0", u"Search for:", u"Suchen nach:"},
    {"Tprog", "act_ers_text_liste.1", u"Replace by:", u"Ersetzen durch:"},
    {"Tprog", "act_ers_text_liste.2", u"RegEx", u"RegEx"},
    {"Tprog", "act_ers_text_suchen_regex", u"Use RegEx", u"Als RegEx"},
    {"Tprog", "act_ers_text_ersetzen_regex", u"Use RegEx", u"Als RegEx"},
    {"Tprog", "cb_resizeimg", u"Clipboard Images: Resize", u"Bilder in der Zwischenablage: Vergrößern oder Verkleinern"},
    {"Tprog", "Label1", u"Maximum Size:", u"Maximalgröße:"},
    {"Tprog", "Label11", u"Options:", u"Optionen:"},
    {"Tprog", "Label10", u"Width:", u"Breite:"},
    {"Tprog", "Label12", u"Height:", u"Höhe:"},
    {"Tprog", "Label13", u"Pixel", u"Pixel"},
    {"Tprog", "Label14", u"Pixel", u"Pixel"},
    {"Tprog", "act_resizeimg_prop", u"Keep Proportions", u"Proportionen beibehalten"},
    {"Tprog", "cb_textadd", u"Clipboard Text: Add Text", u"Text in der Zwischenablage: Text anhängen"},
    {"Tprog", "Label2", u"In Front:", u"Vorne:"},
    {"Tprog", "Label3", u"Behind:", u"Hinten:"},
    {"Tprog", "cb_savetxt", u"Clipboard Text: Save automatically", u"Text in der Zwischenablage: Automatisch speichern"},
    {"Tprog", "savetxt_ordnerwahl", u"Select Directory..", u"Ordner wählen.."},
    {"Tprog", "saveimg_ordnerwahl", u"Select Directory..", u"Ordner wählen.."},
    {"Tprog", "Label9", u"Directory:", u"Ordner:"},
    {"Tprog", "Label4", u"Directory:", u"Ordner:"},
    {"Tprog", "Label7", u"File Name:", u"Dateiname:"},
    {"Tprog", "Label5", u"File Name:", u"Dateiname:"},
    {"Tprog", "Label8", u"File Format:", u"Dateiformat:"},
    {"Tprog", "Label6", u"File Format:", u"Dateiformat:"},
    {"Tprog", "cb_saveimg", u"Clipboard Images: Save automatically", u"Bilder in der Zwischenablage: Automatisch speichern"},
    {"Tprog", "save_img_vorher", u"Save Image before Resizing", u"Bild vor dem Vergrößern oder Verkleinern speichern"},
    {"Tprog", "save_img_nachher", u"Save Image after Resizing", u"Bild nach dem Vergrößern oder Verkleinern speichern"},
    {"Tprog", "cb_cutimg", u"Clipboard Images: Cut to Size", u"Bilder in der Zwischenablage: Zuschneiden"},
    {"Tprog", "rb_cutimg_auswahl", u"Select Cutout at each Screenshot with Marquee",
     u"Ausschnitt bei jedem Screenshot mit einem Auswahlrahmen festlegen"},
    {"Tprog", "rb_cutimg_direkt", u"Cut off the following Pixels at the sides:", u"So viele Pixel an den Seiten abschneiden:"},
    {"Tprog", "Label15", u"Left", u"Links"},
    {"Tprog", "Label16", u"Right", u"Rechts"},
    {"Tprog", "Label17", u"Above", u"Oben"},
    {"Tprog", "Label18", u"Below", u"Unten"},
    {"Tprog", "sd_konfig.proposed", u"Configuration.twk", u"Konfiguration.twk"},
    {"Tprog", "sd_konfig.filter", u"Tallowin Configuration|*.twk", u"Tallowin Konfiguration|*.twk"},
    {"Tprog", "einst_spr_de", u"Deutsch", u"Deutsch"},
    {"Tprog", "einst_spr_en", u"English", u"English"},
    // The link and help menus: m_soft_de and Hilfe1 are shown in German,
    // m_soft_en and Information1 in English, so each reads in its own language.
    {"Tprog", "m_soft_de", u"Tallowin", u"Tallowin"},
    {"Tprog", "m_soft_de_about", u"Über Tallowin..", u"Über Tallowin.."},
    {"Tprog", "m_soft_de_donate", u"Tallowin unterstützen..", u"Tallowin unterstützen.."},
    {"Tprog", "Hilfe1", u"Hilfe", u"Hilfe"},
    {"Tprog", "Hilfe1_index", u"Hilfe zu Tallowin..", u"Hilfe zu Tallowin.."},
    {"Tprog", "Hilfe1_regex", u"Reguläre Ausdrücke..", u"Reguläre Ausdrücke.."},
    {"Tprog", "Hilfe1_support", u"Fragen und Probleme..", u"Fragen und Probleme.."},
    {"Tprog", "m_soft_en", u"Tallowin", u"Tallowin"},
    {"Tprog", "m_soft_en_about", u"About Tallowin..", u"About Tallowin.."},
    {"Tprog", "m_soft_en_donate", u"Support Tallowin..", u"Support Tallowin.."},
    {"Tprog", "Information1", u"Information", u"Information"},
    {"Tprog", "Information1_index", u"Tallowin Help..", u"Tallowin Help.."},
    {"Tprog", "Information1_regex", u"Regular Expressions..", u"Regular Expressions.."},
    {"Tprog", "Information1_support", u"Questions and Problems..", u"Questions and Problems.."},
    // Accessible names of controls without a caption of their own, or whose
    // caption reads the same in two places.
    {"Tprog", "zuletzt.name", u"History", u"Verlauf"},
    {"Tprog", "liste.name", u"Clipboard formats", u"Formate der Zwischenablage"},
    {"Tprog", "display_txt.name", u"Clipboard text", u"Text der Zwischenablage"},
    {"Tprog", "display_txt_cut.format", u"The text view shows the first %1 of %2 characters.",
     u"Die Textansicht zeigt die ersten %1 von %2 Zeichen."},
    {"Tprog", "display_img.name", u"Clipboard image", u"Bild der Zwischenablage"},
    {"Tprog", "act_ers_text_liste.name", u"Replacement table", u"Ersetzungstabelle"},
    {"Tprog", "act_ers_text_suchen.name", u"Search for", u"Suchen nach"},
    {"Tprog", "act_ers_text_ersetzen.name", u"Replace by", u"Ersetzen durch"},
    {"Tprog", "act_textadd_vorne.name", u"Text in front", u"Text vorne"},
    {"Tprog", "act_textadd_hinten.name", u"Text behind", u"Text hinten"},
    {"Tprog", "TabSet1.name", u"Content pages", u"Inhaltsseiten"},
    {"Tprog", "act_ers_text_suchen_regex.name", u"Search text is a RegEx", u"Suchtext als RegEx"},
    {"Tprog", "act_ers_text_ersetzen_regex.name", u"Replacement is a RegEx", u"Ersetzung als RegEx"},
    {"Tprog", "savetxt_ordner.name", u"Directory for texts", u"Ordner für Texte"},
    {"Tprog", "savetxt_ordnerwahl.name", u"Select directory for texts..", u"Ordner für Texte wählen.."},
    {"Tprog", "savetxt_name.name", u"File name for texts", u"Dateiname für Texte"},
    {"Tprog", "savetxt_format.name", u"File format for texts", u"Dateiformat für Texte"},
    {"Tprog", "saveimg_ordner.name", u"Directory for images", u"Ordner für Bilder"},
    {"Tprog", "saveimg_ordnerwahl.name", u"Select directory for images..", u"Ordner für Bilder wählen.."},
    {"Tprog", "saveimg_name.name", u"File name for images", u"Dateiname für Bilder"},
    {"Tprog", "saveimg_format.name", u"File format for images", u"Dateiformat für Bilder"},
    {"Tprog", "act_zuschlinks.name", u"Pixels to cut off on the left", u"Links abzuschneidende Pixel"},
    {"Tprog", "act_zuschrechts.name", u"Pixels to cut off on the right", u"Rechts abzuschneidende Pixel"},
    {"Tprog", "act_zuschoben.name", u"Pixels to cut off above", u"Oben abzuschneidende Pixel"},
    {"Tprog", "act_zuschunten.name", u"Pixels to cut off below", u"Unten abzuschneidende Pixel"},
    {"Tprog", "act_sizebenutzer_x.name", u"Maximum width in pixels", u"Maximale Breite in Pixel"},
    {"Tprog", "act_sizebenutzer_y.name", u"Maximum height in pixels", u"Maximale Höhe in Pixel"},
    {"Tprog", "ScrollBox1.name", u"Actions area", u"Aktionsbereich"},
    {"Tprog", "ScrollBox2.name", u"Clipboard image area", u"Bildbereich der Zwischenablage"},
    // The edit box and the item list inside an editable choice box, in every
    // window: the box's accessible name and this.
    {"Tprog", "combo_edit.suffix", u" (typed text)", u" (Eingabe)"},
    {"Tprog", "combo_list.suffix", u" (items)", u" (Auswahl)"},

    // --- Tstart, the start form ---------------------------------------------------
    {"Tstart", "Tstart", u"Tallowin - Brannick Media", u"Tallowin - Brannick Media"},
    {"Tstart", "splash_line.format", u"Clipboard capture and cleaning", u"Zwischenablage erfassen und bereinigen"},
    {"Tstart", "splash_hint.format", u"Click to continue", u"Klicken zum Fortfahren"},

    // --- Teinstregex, the expression options ---------------------------------------
    // "Standard", "OK", the row captions and the examples read the same in both.
    {"Teinstregex", "Teinstregex", u"Options regarding Regular Expressions", u"Einstellungen für Reguläre Ausdrücke"},
    {"Teinstregex", "GroupBox1", u"Modifiers", u"Modifikatoren"},
    {"Teinstregex", "Label6", u"The following modifiers are used:", u"Folgende Modifikatoren werden angewendet:"},
    {"Teinstregex", "cb_caseinsensitive_i", u"Modifier i: Case-Insensitive", u"Modifikator i: Case-Insensitive"},
    {"Teinstregex", "cb_multiline_m", u"Modifier m: Multi Line", u"Modifikator m: Multi Line"},
    {"Teinstregex", "cb_singleline_s", u"Modifier s: Single Line", u"Modifikator s: Single Line"},
    {"Teinstregex", "cb_greedymode_g", u"Modifier g: Greedy Mode", u"Modifikator g: Greedy Mode"},
    {"Teinstregex", "cb_whitespacecomments_x", u"Modifier x: Extended Syntax", u"Modifiktaor x: Extended Syntax"},
    {"Teinstregex", "Label8", u"Examples to use modifiers within regular expressions:",
     u"Beispiele um Modifikatoren direkt im regulären Ausdruck zu ändern:"},
    {"Teinstregex", "Label13", u"Information and explanations regarding modifiers:",
     u"Informationen und Erklärungen zu den Modifikatoren auf:"},
    {"Teinstregex", "GroupBox2", u"Character Classes", u"Zeichenklassen"},
    {"Teinstregex", "Label5", u"The following characters are used for character classes:",
     u"Folgende Zeichen werden für die Zeichenklassen verwendet:"},
    {"Teinstregex", "Label4", u"Information and help regarding the usage of regular expressions:",
     u"Informationen und Hilfe zur Benutzung von regulären Ausdrücken:"},
    {"Teinstregex", "Button2", u"Assume", u"Übernehmen"},
    {"Teinstregex", "Button3", u"Standard", u"Standard"},
    {"Teinstregex", "Button1", u"OK", u"OK"},
    {"Teinstregex", "Label7.name", u"Help page on modifiers", u"Hilfeseite zu den Modifikatoren"},
    {"Teinstregex", "Label2.name", u"Help page on regular expressions", u"Hilfeseite zu regulären Ausdrücken"},
    {"Teinstregex", "examples.name", u"Example expressions", u"Beispielausdrücke"},

    // --- Tcutauswahl, the cut-out dialog ------------------------------------------
    {"Tcutauswahl", "Tcutauswahl", u"Choose the Cutout with your Mouse",
     u"Wählen Sie einen Auschnitt des Bildes mit Ihrer Maus"},
    {"Tcutauswahl", "Abbrechen", u"Cancel", u"Abbrechen"},
    {"Tcutauswahl", "Button1", u"OK", u"OK"},
    {"Tcutauswahl", "Label15", u"Left", u"Links"},
    {"Tcutauswahl", "Label16", u"Right", u"Rechts"},
    {"Tcutauswahl", "Label17", u"Above", u"Oben"},
    {"Tcutauswahl", "Label18", u"Below", u"Unten"},
    {"Tcutauswahl", "act_zuschlinks.name", u"Left", u"Links"},
    {"Tcutauswahl", "act_zuschrechts.name", u"Right", u"Rechts"},
    {"Tcutauswahl", "act_zuschoben.name", u"Above", u"Oben"},
    {"Tcutauswahl", "act_zuschunten.name", u"Below", u"Unten"},
    {"Tcutauswahl", "bild.name", u"Picture to cut", u"Zuzuschneidendes Bild"},
    {"Tcutauswahl", "ScrollBox2.name", u"Cutout area", u"Ausschnittbereich"},

    // --- Teinstausgabe, the output settings dialog -------------------------------
    // Captions that read the same in both languages are here too: the dialog takes
    // all of its texts from this table.
    {"Teinstausgabe", "Teinstausgabe", u"Settings",
     u"Einstellungen"},
    {"Teinstausgabe", "GroupBox1", u"Image Output",
     u"Bildausgabe"},
    {"Teinstausgabe", "Label1", u"Output Quality for Formats JPEG, JNG, MNG and JPG2000",
     u"Ausgabe-Qualität für Formate JPEG, JNG, MNG und JPG2000"},
    {"Teinstausgabe", "progressivaktiv", u"Use Progressiv-Function for Formats JPEF, JNG and MNG",
     u"Progressiv-Funktion für Formate JPEG, JNG und MNG verwenden"},
    {"Teinstausgabe", "GroupBox3", u"Image Resizing",
     u"Vergrößerung oder Verkleinerung der Bilder"},
    {"Teinstausgabe", "act_sizehochquerformat", u"Distinction between Landscape and Portrait",
     u"Unterscheidung zwischen Hoch- und Querformat"},
    {"Teinstausgabe", "act_sizebigger", u"Process if Original is larger than Maximum Size",
     u"Ändern wenn Ursprungsbild größer als Maximalgröße"},
    {"Teinstausgabe", "act_sizekleiner", u"Process if Original is smaller than Maximum Size",
     u"Ändern wenn Ursprungsbild kleiner als Maximalgröße"},
    {"Teinstausgabe", "Label2", u"Resize Method:",
     u"Skaliermethode:"},
    {"Teinstausgabe", "GroupBox2", u"Coding of Text Files",
     u"Kodierung von Textdateien"},
    {"Teinstausgabe", "Label5", u"Text Files are saved in this File Format:",
     u"Die Textdateien werden in folgendem Format abgespeichert:"},
    {"Teinstausgabe", "rb_ansi", u"ANSI Text",
     u"ANSI Text"},
    {"Teinstausgabe", "rb_utf7", u"Unicode UTF-7",
     u"Unicode UTF-7"},
    {"Teinstausgabe", "rb_utf7ansi", u"Unicode UTF-7 saved as ANSI",
     u"Unicode UTF-7 als ANSI gespeichert"},
    {"Teinstausgabe", "rb_utf8", u"Unicode UTF-8",
     u"Unicode UTF-8"},
    {"Teinstausgabe", "rb_utf16le", u"Unicode UTF-16 Little Endian (Standard Windows Unicode)",
     u"Unicode UTF-16 Little Endian (Standard Windows Unicode)"},
    {"Teinstausgabe", "rb_utf_be", u"Unicode UTF-16 Big Endian",
     u"Unicode UTF-16 Big Endian"},
    {"Teinstausgabe", "rb_utf32le", u"Unicode UTF-32 Little Endian",
     u"Unicode UTF-32 Little Endian"},
    {"Teinstausgabe", "rb_utf32be", u"Unicode UTF-32 Big Endian",
     u"Unicode UTF-32 Big Endian"},
    {"Teinstausgabe", "rb_beibehalten", u"If no Unicode, save as ANSI, in other cases UTF-8",
     u"Falls kein Unicode als ANSI speichern, sonst UTF-8"},
    {"Teinstausgabe", "Label4", u"Information to the File Formats, you can get on:",
     u"Informationen zu den Formaten erhalten Sie auf dieser Seite:"},
    {"Teinstausgabe", "out_quality.name", u"Output quality",
     u"Ausgabe-Qualität"},
    {"Teinstausgabe", "ScrollBar1.name", u"Output quality slider",
     u"Schieberegler der Ausgabe-Qualität"},
    {"Teinstausgabe", "act_sizemethode.name", u"Resize method",
     u"Skaliermethode"},
    {"Teinstausgabe", "Label7.name", u"Help page on the file formats",
     u"Hilfeseite zu den Dateiformaten"},

    // --- The tray icon ---------------------------------------------------------
    {"Tray", "trayShowHide.show", u"Show window", u"Fenster anzeigen"},
    {"Tray", "trayShowHide.hide", u"Hide window", u"Fenster verbergen"},
    {"Tray", "toolTip.on", u"Tallowin - capturing", u"Tallowin - Erfassung aktiv"},
    {"Tray", "toolTip.off", u"Tallowin - capturing off", u"Tallowin - Erfassung aus"},

    // --- Help pages that no browser could show (any window's links) --------------
    {"Tprog", "noBrowser.format", u"No web browser could be started to show the page %1.",
     u"Es konnte kein Webbrowser gestartet werden, um die Seite %1 anzuzeigen."},

    // --- Status line texts of the main window ----------------------------------
    {"Tprog", "statusBar.waylandFallback",
     u"This Wayland desktop offers no data-control: the clipboard is watched through X11 (XWayland).",
     u"Dieser Wayland-Desktop bietet kein Data-Control: Die Zwischenablage wird über X11 (XWayland) beobachtet."},
    {"Tprog", "statusBar.waylandLost",
     u"The connection to the Wayland clipboard was lost; connecting again.",
     u"Die Verbindung zur Wayland-Zwischenablage ist unterbrochen; sie wird neu aufgebaut."},
};

}  // namespace

std::span<const UiTextRow> UiTextTable() { return kTexts; }

std::u16string_view UiText(std::string_view window, std::string_view control, Language language) {
  for (const UiTextRow& row : kTexts) {
    if (row.window == window && row.control == control) return row.In(language);
  }
  return {};
}

FooterLink FooterLinkForTick(int tick) {
  if (tick % 3 == 0) return FooterLink::Donate;
  if (tick % 2 != 0) return FooterLink::Help;
  return FooterLink::Support;
}

std::u16string_view FooterLinkCaption(FooterLink link, Language language) {
  const bool de = language == Language::German;
  switch (link) {
    case FooterLink::Donate:
      return de ? u"Gefällt Ihnen Tallowin? Hier erfahren Sie, wie Sie die Entwicklung unterstützen können."
                : u"Do you like Tallowin? Find out how you can support its development.";
    case FooterLink::Help:
      return de ? u"Hilfe zu Tallowin: Erfassen, Ersetzen, Speichern und reguläre Ausdrücke"
                : u"Tallowin help: capturing, replacing, saving and regular expressions";
    case FooterLink::Support:
      return de ? u"Fragen oder Probleme? So melden Sie einen Fehler oder eine Verbesserung."
                : u"Questions or problems? How to report a bug or an improvement.";
  }
  return {};
}

ConfigDialogTexts ConfigFileDialogTexts(Language language) {
  return {UiText("Tprog", "sd_konfig.proposed", language), UiText("Tprog", "sd_konfig.filter", language)};
}

}  // namespace tallowin
