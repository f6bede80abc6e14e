#pragma once
// The rows of the details list: one per clipboard format, with its name, number and value.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tallowin {

struct DetailsRow {
  std::u16string format;  // "Format" column
  std::uint16_t number;   // "Nummer" column
  std::u16string value;   // "Wert" column
};

class DetailsModel {
 public:
  void Clear() {
    rows_.clear();
    Changed();
  }
  void Append(DetailsRow row) {
    rows_.push_back(std::move(row));
    Changed();
  }
  const std::vector<DetailsRow>& Rows() const { return rows_; }

  std::function<void()> onChanged;

 private:
  void Changed() {
    if (onChanged) onChanged();
  }
  std::vector<DetailsRow> rows_;
};

}  // namespace tallowin
