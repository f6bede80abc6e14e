#include "text/regex_error_display.h"

#include <cassert>
#include <utility>

namespace tallowin {

void RegexErrorDisplay::AttachTo(CaptureSettings& settings) {
  for (Setting s : {Setting::act_ers_text_suchen, Setting::act_textadd_vorne}) {
    settings.AttachReaction(s, [this] { act_ers_text_suchenChange(); });
  }
  for (Setting s : {Setting::act_ers_text_ersetzen, Setting::act_textadd_hinten}) {
    settings.AttachReaction(s, [this] { act_ers_text_ersetzenChange(); });
  }
}

void RegexErrorDisplay::act_ers_text_suchenChange() { FieldChanged(ReplaceField::Search); }

void RegexErrorDisplay::act_ers_text_ersetzenChange() { FieldChanged(ReplaceField::Replacement); }

void RegexErrorDisplay::RegExFehlerInMemoMarkieren(std::u16string_view message) {
  if (lastEdited_ == ReplaceField::None) return;
  RegexErrorMark& mark = MarkOf(lastEdited_);
  mark.visible = true;
  mark.caption = std::u16string(message);
  Notify();
}

const RegexErrorMark& RegexErrorDisplay::Mark(ReplaceField field) const {
  assert(field != ReplaceField::None);
  return field == ReplaceField::Search ? search_ : replacement_;
}

void RegexErrorDisplay::FieldChanged(ReplaceField field) {
  MarkOf(field).visible = false;
  lastEdited_ = field;
  Notify();
}

RegexErrorMark& RegexErrorDisplay::MarkOf(ReplaceField field) {
  return const_cast<RegexErrorMark&>(std::as_const(*this).Mark(field));
}

void RegexErrorDisplay::Notify() {
  if (onChanged) onChanged();
}

}  // namespace tallowin
