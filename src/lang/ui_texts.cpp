#include "lang/ui_texts.h"

#include <array>

namespace tallowin {
namespace {

struct UiTextRow {
  std::string_view key;
  std::u16string_view english;
  std::u16string_view german;
};

// In the order in which the language routine sets them.
constexpr UiTextRow kTexts[] = {
    {"Tprog", u"Tallowin - Brannick Media", u"Tallowin - Brannick Media"},
    {"folder_picker", u"Select Folder", u"Ordner auswählen"},
    {"Panel7", u"  History", u"  Verlauf"},
    {"Panel9", u"  Actions", u"  Aktionen"},
    {"Panel11", u"  Clipboard Content", u"  Inhalt der Zwischenablage"},
    {"Programm1", u"Program", u"Programm"},
    {"m_bugreport", u"Report Bug or Improvement..", u"Fehler oder Verbesserung melden.."},
    {"m_close", u"Close", u"Beenden"},
    {"einst", u"Settings", u"Einstellungen"},
    {"m_einst_aktiv", u"Clipboard-Exploring active", u"Clipboard-Erfassung aktiv"},
    {"einst_akt", u"Options regarding Actions and Saving..", u"Optionen für Aktionen und Speicherung.."},
    {"einst_regex", u"Options regarding Regular Expressions..", u"Optionen für reguläre Ausdrücke.."},
    {"einst_verl", u"Options regarding History..", u"Optionen für den Verlauf.."},
    {"einst_spr", u"Language", u"Sprache"},
    {"m_konfig", u"Configuration", u"Konfiguration"},
    {"m_konfig_save", u"Save current Configuration", u"Aktuelle Konfiguration speichern"},
    {"m_konfig_load", u"Load Configuration", u"Konfiguration laden"},
    {"m_konfig_standard", u"Reset all Settings", u"Alle Einstellungen zurücksetzen"},
    {"m_konfig_save_start", u"Save current Configuration as Start Configuration (auto.twk)",
     u"Aktuelle Konfiguration als Startkonfiguration speichern (auto.twk)"},
    {"m_konfig_start", u"Load Start Configuration (auto.twk) if possible",
     u"Startkonfiguration (auto.twk) laden wenn vorhanden"},
    {"m_konfig_autosave", u"Auto Save Settings on Exit", u"Konfiguration beim Beenden speichern"},
    {"m_konfig_autosave_nie", u"Never", u"Nicht speichern"},
    {"m_konfig_autosave_alles", u"Save all", u"Alles speichern"},
    {"sd_konfig.filter", u"Tallowin Configuration (*.twk)", u"Tallowin Konfiguration (*.twk)"},
    {"sd_konfig.name", u"Configuration.twk", u"Konfiguration.twk"},
    {"m_konfig_start.missing", u"There is no Start Configuration available in the application folder.",
     u"Es ist keine Startkonfiguration im Programmverzeichnis vorhanden."},
    {"zuletzt.0", u"Time", u"Zeit"},
    {"zuletzt.1", u"Type", u"Art"},
    {"zuletzt.2", u"Content", u"Inhalt"},
    {"pop1", u"Copy to Clipboard again (Double Click)", u"In die Zwischenablage (Doppelklick)"},
    {"pop2", u"Delete from List (DEL-Key)", u"Aus Liste löschen (Entf-Taste)"},
    {"cb_history_dblclick", u"Double Click to copy to Clipboard again", u"Doppelklick zum erneuten hinzufügen"},
    {"cb_history_txt", u"Add Text to History", u"Texte im Verlauf zeigen"},
    {"cb_history_img", u"Add Images to History", u"Bilder im Verlauf zeigen"},
    {"liste.0", u"Format", u"Format"},
    {"liste.1", u"Number", u"Nummer"},
    {"liste.2", u"Value", u"Wert"},
    {"cb_suchenersetzen", u"Clipboard Text: Search and Replace", u"Text in der Zwischenablage: Suchen und Ersetzen"},
    {"act_ers_text_delmark", u"Delete Selected", u"Markierte löschen"},
    {"act_ers_la1", u"Search for:", u"Suchen nach:"},
    {"act_ers_la2", u"Replace by:", u"Ersetzen durch:"},
    {"cb_se_mehrfach", u"Show Options for multiple Replacements", u"Optionen für mehrfache Ersetzungen anzeigen"},
    {"act_ers_text_add", u"Add to Table", u"Felder hinzufügen"},
    {"act_ers_text_delete", u"Clear Boxes", u"Felder leeren"},
    {"act_ers_casesensitive", u"Case-Sensitive", u"Groß- und Kleinschreibung beachten"},
    {"act_ers_text_liste.0", u"Search for:", u"Suchen nach:"},
    {"act_ers_text_liste.1", u"Replace by:", u"Ersetzen durch:"},
    {"act_ers_text_liste.2", u"RegEx", u"RegEx"},
    {"act_ers_text_suchen_regex", u"Use RegEx", u"Als RegEx"},
    {"act_ers_text_ersetzen_regex", u"Use RegEx", u"Als RegEx"},
    {"act_ers_text_suchen_regfehler", u"RegEx", u"RegEx"},
    {"act_ers_text_ersetzen_regfehler", u"RegEx", u"RegEx"},
    {"cb_resizeimg", u"Clipboard Images: Resize", u"Bilder in der Zwischenablage: Vergrößern oder Verkleinern"},
    {"Label1", u"Maximum Size:", u"Maximalgröße:"},
    {"Label11", u"Options:", u"Optionen:"},
    {"Label10", u"Width:", u"Breite:"},
    {"Label12", u"Height:", u"Höhe:"},
    {"Label13", u"Pixel", u"Pixel"},
    {"Label14", u"Pixel", u"Pixel"},
    {"act_resizeimg_prop", u"Keep Proportions", u"Proportionen beibehalten"},
    {"cb_textadd", u"Clipboard Text: Add Text", u"Text in der Zwischenablage: Text anhängen"},
    {"Label2", u"In Front:", u"Vorne:"},
    {"Label3", u"Behind:", u"Hinten:"},
    {"cb_savetxt", u"Clipboard Text: Save automatically", u"Text in der Zwischenablage: Automatisch speichern"},
    {"savetxt_ordnerwahl", u"Select Directory..", u"Ordner wählen.."},
    {"saveimg_ordnerwahl", u"Select Directory..", u"Ordner wählen.."},
    {"Label9", u"Directory:", u"Ordner:"},
    {"Label4", u"Directory:", u"Ordner:"},
    {"Label7", u"File Name:", u"Dateiname:"},
    {"Label5", u"File Name:", u"Dateiname:"},
    {"Label8", u"File Format:", u"Dateiformat:"},
    {"Label6", u"File Format:", u"Dateiformat:"},
    {"cb_saveimg", u"Clipboard Images: Save automatically", u"Bilder in der Zwischenablage: Automatisch speichern"},
    {"save_img_vorher", u"Save Image before Resizing", u"Bild vor dem Vergrößern oder Verkleinern speichern"},
    {"save_img_nachher", u"Save Image after Resizing", u"Bild nach dem Vergrößern oder Verkleinern speichern"},
    {"cb_cutimg", u"Clipboard Images: Cut to Size", u"Bilder in der Zwischenablage: Zuschneiden"},
    {"rb_cutimg_auswahl", u"Select Cutout at each Screenshot with Marquee",
     u"Ausschnitt bei jedem Screenshot mit einem Auswahlrahmen festlegen"},
    {"rb_cutimg_direkt", u"Cut off the following Pixels at the sides:", u"So viele Pixel an den Seiten abschneiden:"},
    {"Label15", u"Left", u"Links"},
    {"Label16", u"Right", u"Rechts"},
    {"Label17", u"Above", u"Oben"},
    {"Label18", u"Below", u"Unten"},
    {"sd_konfig", u"Configuration.twk", u"Konfiguration.twk"},
    {"sd_konfig.filter", u"Tallowin Configuration|*.twk", u"Tallowin Konfiguration|*.twk"},
    {"einst_spr_de", u"Deutsch", u"Deutsch"},
    {"einst_spr_en", u"English", u"English"},
    // Help menus: m_soft_de/Hilfe1 are shown in German, m_soft_en/Information1 in English.
    {"m_soft", u"Tallowin", u"Tallowin"},
    {"help_menu", u"Information", u"Hilfe"},
    {"help_contents", u"Help..", u"Hilfe.."},
    {"help_regex", u"Regular Expressions..", u"Reguläre Ausdrücke.."},
    {"help_about", u"About Tallowin..", u"Über Tallowin.."},
    // Accessible names of controls without a caption of their own.
    {"zuletzt", u"History", u"Verlauf"},
    {"liste", u"Clipboard formats", u"Formate der Zwischenablage"},
    {"display_txt", u"Clipboard text", u"Text der Zwischenablage"},
    {"display_txt_cut", u"The text view shows the first %1 of %2 characters.",
     u"Die Textansicht zeigt die ersten %1 von %2 Zeichen."},
    {"display_img", u"Clipboard image", u"Bild der Zwischenablage"},
    {"act_ers_text_suchen", u"Search for", u"Suchen nach"},
    {"act_ers_text_ersetzen", u"Replace by", u"Ersetzen durch"},
    {"act_textadd_vorne", u"Text in front", u"Text vorne"},
    {"act_textadd_hinten", u"Text behind", u"Text hinten"},
    {"TabSet1", u"Content pages", u"Inhaltsseiten"},
    // Controls whose caption (or buddy label) reads the same in two places, and
    // boxes named only by their value otherwise.
    {"act_ers_text_suchen_regex.name", u"Search text is a RegEx", u"Suchtext als RegEx"},
    {"act_ers_text_ersetzen_regex.name", u"Replacement is a RegEx", u"Ersetzung als RegEx"},
    {"savetxt_ordner.name", u"Directory for texts", u"Ordner für Texte"},
    {"savetxt_ordnerwahl.name", u"Select directory for texts..", u"Ordner für Texte wählen.."},
    {"savetxt_name.name", u"File name for texts", u"Dateiname für Texte"},
    {"savetxt_format.name", u"File format for texts", u"Dateiformat für Texte"},
    {"saveimg_ordner.name", u"Directory for images", u"Ordner für Bilder"},
    {"saveimg_ordnerwahl.name", u"Select directory for images..", u"Ordner für Bilder wählen.."},
    {"saveimg_name.name", u"File name for images", u"Dateiname für Bilder"},
    {"saveimg_format.name", u"File format for images", u"Dateiformat für Bilder"},
    {"act_zuschlinks.name", u"Pixels to cut off on the left", u"Links abzuschneidende Pixel"},
    {"act_zuschrechts.name", u"Pixels to cut off on the right", u"Rechts abzuschneidende Pixel"},
    {"act_zuschoben.name", u"Pixels to cut off above", u"Oben abzuschneidende Pixel"},
    {"act_zuschunten.name", u"Pixels to cut off below", u"Unten abzuschneidende Pixel"},
    {"act_sizebenutzer_x.name", u"Maximum width in pixels", u"Maximale Breite in Pixel"},
    {"act_sizebenutzer_y.name", u"Maximum height in pixels", u"Maximale Höhe in Pixel"},
    // The edit box inside an editable choice box: the box's name and this.
    {"combo_edit", u" (typed text)", u" (Eingabe)"},
    {"combo_list", u" (items)", u" (Auswahl)"},
    {"ScrollBox1", u"Actions area", u"Aktionsbereich"},
    {"ScrollBox2", u"Clipboard image area", u"Bildbereich der Zwischenablage"},
    // Start form.
    {"splash_line", u"Clipboard capture and cleaning", u"Zwischenablage erfassen und bereinigen"},
    {"splash_hint", u"Click to continue", u"Klicken zum Fortfahren"},
    // Marquee dialog.
    {"Tcutauswahl", u"Choose the Cutout with your Mouse", u"W\u00e4hlen Sie einen Auschnitt des Bildes mit Ihrer Maus"},
    {"Tcutauswahl.Abbrechen", u"Cancel", u"Abbrechen"},
    {"Tcutauswahl.Button1", u"OK", u"OK"},
    {"Tcutauswahl.bild", u"Picture to cut", u"Zuzuschneidendes Bild"},
    {"Tcutauswahl.ScrollBox2", u"Cutout area", u"Ausschnittbereich"},
};

}  // namespace

std::u16string_view UiText(std::string_view key, Language language) {
  for (const UiTextRow& row : kTexts) {
    if (row.key == key) return language == Language::German ? row.german : row.english;
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

}  // namespace tallowin
