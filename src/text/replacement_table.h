#pragma once
// The replacement table of the search-and-replace section: further pairs applied
// after the single pair, top to bottom, by ReplaceTextStep. Rows live as long as
// the program runs; no configuration stores them.
//
// The model holds the rows and which of them are selected; a view shows both and
// reports the user's selection back through SetSelection. Every operation that
// changes rows or selection calls onChanged once at its end.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "settings/capture_settings.h"
#include "text/search_replace.h"

namespace tallowin {

// The marker of a row added from the two regex flags of the single pair.
std::u16string MarkerForFlags(bool searchIsRegex, bool replacementIsRegex);

// Keys the table reacts to.
enum class TableKey { A, Delete, Other };
enum class CtrlKey { Up, Held };

class ReplacementTable {
 public:
  // `settings` (the single pair and its flags) must outlive the table.
  explicit ReplacementTable(CaptureSettings& settings);
  ReplacementTable(const ReplacementTable&) = delete;
  ReplacementTable& operator=(const ReplacementTable&) = delete;

  // The rows in display order. The reference stays valid for the table's lifetime,
  // so the pipeline may keep a pointer to it.
  const std::vector<ReplacementRow>& Rows() const { return rows_; }
  bool IsSelected(std::size_t row) const { return selected_[row]; }
  std::vector<std::size_t> SelectedRows() const;

  // Appends a row as given, unselected (the command line's --row).
  void AppendRow(ReplacementRow row);

  // act_ers_text_addClick: appends the single pair with the marker of its flags and
  // empties the two fields (search first). Nothing when the search field is empty.
  void act_ers_text_addClick();
  // act_ers_text_deleteClick: empties the search field, then the replacement field.
  void act_ers_text_deleteClick();
  // act_ers_text_delmarkClick: deletes every selected row.
  void act_ers_text_delmarkClick();
  // act_ers_text_listeKeyDown: Ctrl+A selects every row, Delete deletes the selected ones.
  void act_ers_text_listeKeyDown(TableKey key, CtrlKey ctrl);

  void SelectAll();
  // The user's selection, one flag per row (missing flags count as unselected).
  // When it changed and is not empty, the topmost selected row is loaded into the
  // single pair (act_ers_text_listeSelectItem).
  void SetSelection(std::vector<bool> selected);

  // act_ers_text_listeDragDrop from this table: the selected rows move, keeping
  // their order, to just before row `target`, or to the end when there is none.
  // They are not selected afterwards. A drop onto one of the moving rows changes
  // nothing, so no row is ever lost or doubled.
  void MoveSelected(std::optional<std::size_t> target);

  std::function<void()> onChanged;

 private:
  void act_ers_text_listeSelectItem();
  void Notify();

  CaptureSettings& settings_;
  std::vector<ReplacementRow> rows_;
  std::vector<bool> selected_;
};

}  // namespace tallowin
