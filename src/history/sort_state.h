#pragma once
// The sort state of the history list and the details list. One object serves
// both lists: a click on a column of either list continues the toggling started
// by the same column index in the other one. The main window owns it.

#include <cstdint>

namespace tallowin {

struct SortState {
  std::int32_t sortColumn = 0;      // SortColumn: the column to sort by
  std::int32_t lastSortColumn = 0;  // LastSortColumn: the column of the previous click
  std::int32_t sortDescending = 0;  // SortDescending: 0 or 1

  // A click on `column` of either list: the same index as the previous click
  // toggles the direction, a new one starts ascending. Because the state starts
  // at column 0, the very first click on a first column sorts descending.
  void ColumnClick(std::int32_t column);
  bool Descending() const { return sortDescending != 0; }
};

}  // namespace tallowin
