#include "text/replacement_table.h"

#include <algorithm>
#include <utility>

namespace tallowin {

std::u16string MarkerForFlags(bool searchIsRegex, bool replacementIsRegex) {
  if (searchIsRegex) return replacementIsRegex ? u"x" : u"x/-";
  return replacementIsRegex ? u"-/x" : u"-";
}

ReplacementTable::ReplacementTable(CaptureSettings& settings) : settings_(settings) {}

std::vector<std::size_t> ReplacementTable::SelectedRows() const {
  std::vector<std::size_t> rows;
  for (std::size_t i = 0; i < selected_.size(); ++i) {
    if (selected_[i]) rows.push_back(i);
  }
  return rows;
}

void ReplacementTable::AppendRow(ReplacementRow row) {
  rows_.push_back(std::move(row));
  selected_.push_back(false);
  Notify();
}

void ReplacementTable::act_ers_text_addClick() {
  if (settings_.Text(Setting::act_ers_text_suchen).empty()) return;
  AppendRow({settings_.Text(Setting::act_ers_text_suchen), settings_.Text(Setting::act_ers_text_ersetzen),
             MarkerForFlags(settings_.Flag(Setting::act_ers_text_suchen_regex),
                            settings_.Flag(Setting::act_ers_text_ersetzen_regex))});
  act_ers_text_deleteClick();
}

void ReplacementTable::act_ers_text_deleteClick() {
  settings_.SetText(Setting::act_ers_text_suchen, u"");
  settings_.SetText(Setting::act_ers_text_ersetzen, u"");
}

void ReplacementTable::act_ers_text_delmarkClick() {
  if (SelectedRows().empty()) return;
  std::vector<ReplacementRow> kept;
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    if (!selected_[i]) kept.push_back(std::move(rows_[i]));
  }
  rows_ = std::move(kept);
  selected_.assign(rows_.size(), false);
  Notify();
}

void ReplacementTable::act_ers_text_listeKeyDown(TableKey key, CtrlKey ctrl) {
  if (key == TableKey::A && ctrl == CtrlKey::Held) SelectAll();
  if (key == TableKey::Delete) act_ers_text_delmarkClick();
}

void ReplacementTable::SelectAll() { SetSelection(std::vector<bool>(rows_.size(), true)); }

void ReplacementTable::SetSelection(std::vector<bool> selected) {
  selected.resize(rows_.size(), false);
  if (selected == selected_) return;
  selected_ = std::move(selected);
  act_ers_text_listeSelectItem();
  Notify();
}

void ReplacementTable::MoveSelected(std::optional<std::size_t> target) {
  // Rows are inserted before index `insertAt`; the row count means the end.
  const std::size_t insertAt = std::min(target.value_or(rows_.size()), rows_.size());
  if (insertAt < rows_.size() && selected_[insertAt]) return;
  const std::vector<std::size_t> moving = SelectedRows();
  if (moving.empty()) return;

  std::vector<ReplacementRow> moved;
  for (std::size_t i : moving) moved.push_back(rows_[i]);
  std::vector<ReplacementRow> result;
  result.reserve(rows_.size());
  for (std::size_t i = 0; i <= rows_.size(); ++i) {
    if (i == insertAt) result.insert(result.end(), moved.begin(), moved.end());
    if (i < rows_.size() && !selected_[i]) result.push_back(std::move(rows_[i]));
  }
  rows_ = std::move(result);
  selected_.assign(rows_.size(), false);
  Notify();
}

void ReplacementTable::act_ers_text_listeSelectItem() {
  const auto top = std::find(selected_.begin(), selected_.end(), true);
  if (top == selected_.end()) return;
  // A copy: setting the fields runs their reactions and observers, which may change the table.
  const ReplacementRow row = rows_[static_cast<std::size_t>(top - selected_.begin())];
  settings_.SetText(Setting::act_ers_text_suchen, row.search);
  settings_.SetText(Setting::act_ers_text_ersetzen, row.replacement);
  settings_.SetFlag(Setting::act_ers_text_suchen_regex, row.marker == u"x" || row.marker == u"x/-");
  settings_.SetFlag(Setting::act_ers_text_ersetzen_regex, row.marker == u"x" || row.marker == u"-/x");
}

void ReplacementTable::Notify() {
  if (onChanged) onChanged();
}

}  // namespace tallowin
