#pragma once
// The one-time reordering shared by the history list and the details list.
//
// Each row is turned into a sort key before anything moves, so a key that cannot
// be made (a capture time that is no whole number) raises while the list is still
// in its old order, and the comparison of keys is a strict weak order whatever
// the rows hold.

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <string>
#include <string_view>
#include <vector>

#include "history/text_collator.h"

namespace tallowin {

// A number column sets `number` only; a text column sets `text` only, to the
// collation key of the cell (TextCollator::SortKey): the texts are compared by
// the user's locale, ignoring case, by comparing these keys as bytes.
struct SortKey {
  std::int64_t number = 0;
  std::string text;
};

inline SortKey TextSortKey(const TextCollator& collator, std::u16string_view text) {
  return {0, collator.SortKey(text)};
}
inline SortKey NumberSortKey(std::int64_t number) { return {number, {}}; }

inline int CompareSortKeys(const SortKey& a, const SortKey& b) {
  if (a.number != b.number) return a.number < b.number ? -1 : 1;
  const int c = a.text.compare(b.text);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

// Reorders `rows` by the keys `keyOf` gives, b against a when `descending`.
// Rows with equal keys keep their relative order.
template <class Row, class KeyOf>
void SortRowsByKey(std::vector<Row>& rows, KeyOf keyOf, bool descending) {
  std::vector<SortKey> keys;
  keys.reserve(rows.size());
  for (const Row& row : rows) keys.push_back(keyOf(row));
  std::vector<std::size_t> order(rows.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return descending ? CompareSortKeys(keys[b], keys[a]) < 0 : CompareSortKeys(keys[a], keys[b]) < 0;
  });
  std::vector<Row> sorted;
  sorted.reserve(rows.size());
  for (std::size_t i : order) sorted.push_back(std::move(rows[i]));
  rows = std::move(sorted);
}

}  // namespace tallowin
