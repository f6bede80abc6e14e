#include "history/details_model.h"

#include "history/sort_rows.h"

namespace tallowin {
namespace {

SortKey DetailsSortKey(const DetailsRow& row, std::int32_t column) {
  switch (column) {
    case 0: return TextSortKey(row.format);
    case 1: return NumberSortKey(row.number);
    case 2: return TextSortKey(row.value.Text());
    default: return {};  // no such column: every row compares equal
  }
}

}  // namespace

void DetailsModel::Clear() {
  rows_.clear();
  Changed();
}

void DetailsModel::Append(DetailsRow row) {
  rows_.push_back(std::move(row));
  Changed();
}

void DetailsModel::ColumnClick(SortState& sort, std::int32_t column) {
  sort.ColumnClick(column);
  Sort(sort);
}

void DetailsModel::Sort(const SortState& sort) {
  const std::int32_t column = sort.sortColumn;
  SortRowsByKey(rows_, [column](const DetailsRow& row) { return DetailsSortKey(row, column); }, sort.Descending());
  Changed();
}

}  // namespace tallowin
