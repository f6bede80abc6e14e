#pragma once
// The rows of the details list: one per clipboard format, with its name, number
// and value, in the clipboard's order until the user sorts them.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "clipboard/clipboard.h"
#include "clipboard/format_inspection.h"
#include "history/sort_state.h"
#include "history/text_collator.h"

namespace tallowin {

struct DetailsRow {
  std::u16string format;  // "Format" column
  FormatNumber number;    // "Nummer" column, shown in decimal
  FormatValue value;      // "Wert" column, decoded when first shown or sorted
};

class DetailsModel {
 public:
  void Clear();
  void Append(DetailsRow row);
  const std::vector<DetailsRow>& Rows() const { return rows_; }

  // A click on column `column` of the list: updates the shared state (the same
  // object the history list uses), then sorts once.
  void ColumnClick(SortState& sort, std::int32_t column);
  // One reordering: column 0 by name and column 2 by value, as texts in the
  // locale order ignoring case; column 1 by number, as numbers (2 before 13 before 49161). Reversed
  // when the state is descending. The next processed change refills the list in
  // the clipboard's order.
  void Sort(const SortState& sort);
  // The text order of both calls: the user's locale (TextCollator::ForUserLocale),
  // made at the first sort unless set before.
  void SetCollator(std::shared_ptr<const TextCollator> collator) { collator_ = std::move(collator); }

  std::function<void()> onChanged;

 private:
  void Changed() {
    if (onChanged) onChanged();
  }
  std::shared_ptr<const TextCollator> collator_;
  std::vector<DetailsRow> rows_;
};

}  // namespace tallowin
