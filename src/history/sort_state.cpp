#include "history/sort_state.h"

namespace tallowin {

void SortState::ColumnClick(std::int32_t column) {
  sortColumn = column;
  sortDescending = sortColumn == lastSortColumn ? 1 - sortDescending : 0;
  lastSortColumn = sortColumn;
}

}  // namespace tallowin
