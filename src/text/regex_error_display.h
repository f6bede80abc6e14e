#pragma once
// Where an expression error is shown: beside the search field or the replacement
// field of the search-and-replace section, whichever the user changed last.
//
// Each of the two fields has a mark (a label, hidden at start, caption "RegEx")
// and, while the mark shows an error, draws its own text in the error colour.
// A change of a field hides its mark again; so does a change of its partner in
// the add-text section (text in front goes with the search field, text behind
// with the replacement field). A later successful replacement leaves a shown
// error where it is.

#include <functional>
#include <string>
#include <string_view>

#include "settings/capture_settings.h"

namespace tallowin {

// The field an expression error is shown at.
enum class ReplaceField { None, Search, Replacement };

// Dark red of the marks and of a field's text while it shows an error.
struct ErrorColour {
  int red, green, blue;
};
inline constexpr ErrorColour kRegexErrorColour{127, 28, 23};

struct RegexErrorMark {
  bool visible = false;            // the label is shown and the field's text is dark red
  std::u16string caption = u"RegEx";  // the last error message once one was shown
};

class RegexErrorDisplay {
 public:
  // Runs the change handlers on every real change of act_ers_text_suchen and
  // act_textadd_vorne (search side) and of act_ers_text_ersetzen and
  // act_textadd_hinten (replacement side). `settings` must not run them after
  // this object is gone.
  void AttachTo(CaptureSettings& settings);

  // Hides the search field's mark and makes it the field edited last.
  void act_ers_text_suchenChange();
  // Hides the replacement field's mark and makes it the field edited last.
  void act_ers_text_ersetzenChange();

  // Shows `message` at the field edited last; nothing before any field was changed.
  void RegExFehlerInMemoMarkieren(std::u16string_view message);

  ReplaceField LastEditedField() const { return lastEdited_; }
  // The mark of ReplaceField::Search or ReplaceField::Replacement.
  const RegexErrorMark& Mark(ReplaceField field) const;

  // Called after every change of a mark or of the field edited last (the view redraws).
  std::function<void()> onChanged;

 private:
  void FieldChanged(ReplaceField field);
  RegexErrorMark& MarkOf(ReplaceField field);
  void Notify();

  ReplaceField lastEdited_ = ReplaceField::None;
  RegexErrorMark search_;
  RegexErrorMark replacement_;
};

}  // namespace tallowin
