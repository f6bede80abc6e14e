#pragma once
// The identifiers of every setting, in the order in which the controls exist:
// the main window's panels, then its controls, then the output settings dialog,
// then the regular-expression options dialog. The configuration writer walks
// this order, so it must not be rearranged.

#include <cstddef>

namespace tallowin {

#define TALLOWIN_SETTINGS(X)                                                                    \
  /* Main window panels */                                                                      \
  X(Panel1) X(Panel2) X(Panel6) X(Panel7) X(Panel3) X(Panel4) X(Panel8) X(Panel9) X(pa001a)    \
  X(pa006b) X(pa_saveimg) X(pa006a) X(pa005b) X(pa_resizeimg) X(pa005a) X(pa003b)              \
  X(pa_savetxt) X(pa003a) X(pa002b) X(pa_textadd) X(pa002a) X(pa001b) X(pa_suchenersetzen)    \
  X(pa004b) X(pa_cutimg) X(pa004a) X(Panel5) X(Panel10) X(Panel11)                             \
  /* Main window controls */                                                                    \
  X(cb_history_txt) X(cb_history_img) X(cb_history_dblclick) X(cb_suchenersetzen)              \
  X(saveimg_format) X(saveimg_name) X(saveimg_ordner) X(save_img_vorher) X(save_img_nachher)   \
  X(cb_saveimg) X(act_sizebenutzer_x) X(act_sizebenutzer_y) X(act_resizeimg_prop)              \
  X(cb_resizeimg) X(savetxt_format) X(savetxt_name) X(savetxt_ordner) X(cb_savetxt)            \
  X(act_textadd_vorne) X(act_textadd_hinten) X(cb_textadd) X(act_ers_text_suchen)              \
  X(act_ers_text_ersetzen) X(act_ers_text_suchen_regex) X(act_ers_casesensitive)               \
  X(act_ers_text_ersetzen_regex) X(cb_se_mehrfach) X(rb_cutimg_auswahl) X(rb_cutimg_direkt)    \
  X(act_zuschlinks) X(act_zuschrechts) X(act_zuschoben) X(act_zuschunten) X(cb_cutimg)         \
  X(m_konfig_autosave_nie) X(m_konfig_autosave_alles)                                          \
  /* Output settings dialog */                                                                  \
  X(out_quality) X(ScrollBar1) X(progressivaktiv) X(rb_ansi) X(rb_utf7) X(rb_utf8)             \
  X(rb_beibehalten) X(rb_utf7ansi) X(rb_utf16le) X(rb_utf_be) X(rb_utf32le) X(rb_utf32be)      \
  X(act_sizehochquerformat) X(act_sizekleiner) X(act_sizebigger) X(act_sizemethode)            \
  /* Regular-expression options dialog */                                                       \
  X(cb_caseinsensitive_i) X(cb_multiline_m) X(cb_singleline_s) X(cb_greedymode_g)              \
  X(cb_whitespacecomments_x) X(zk_word) X(zk_space) X(zk_lineseparators)

// Enumerator names are the control names, which are also the configuration keys.
enum class Setting : int {
#define TALLOWIN_SETTING_ENUM(name) name,
  TALLOWIN_SETTINGS(TALLOWIN_SETTING_ENUM)
#undef TALLOWIN_SETTING_ENUM
};

inline constexpr std::size_t kSettingCount = 0
#define TALLOWIN_SETTING_COUNT(name) +1
    TALLOWIN_SETTINGS(TALLOWIN_SETTING_COUNT)
#undef TALLOWIN_SETTING_COUNT
    ;

constexpr std::size_t Index(Setting s) { return static_cast<std::size_t>(s); }

}  // namespace tallowin
