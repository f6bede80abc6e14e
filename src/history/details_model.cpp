#include "history/details_model.h"

#include "history/sort_rows.h"

namespace tallowin {
namespace {

SortKey DetailsSortKey(const TextCollator& collator, const DetailsRow& row, std::int32_t column) {
  switch (column) {
    case 0: return TextSortKey(collator, row.format);
    case 1: return NumberSortKey(row.number);
    case 2: return TextSortKey(collator, row.value.Text());
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
  if (!collator_) collator_ = TextCollator::ForUserLocale();
  const TextCollator& collator = *collator_;
  SortRowsByKey(
      rows_, [&collator, column](const DetailsRow& row) { return DetailsSortKey(collator, row, column); },
      sort.Descending());
  Changed();
}

}  // namespace tallowin
