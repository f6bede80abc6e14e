#include "history/history_model.h"

#include <algorithm>
#include <cstdio>

#include "base/errors.h"
#include "history/sort_rows.h"
#include "base/integer_text.h"
#include "base/utf.h"

namespace tallowin {
namespace {

constexpr std::size_t kWholePreviewBelow = kHistoryPreviewReads;
constexpr std::size_t kCutPreviewLength = 245;
constexpr char16_t kTimeSeparator = u':';

// The capture time as a number: every separator removed, the rest read as a
// whole number (14:03:22 becomes 140322).
std::int64_t TimeNumber(const std::u16string& time) {
  std::u16string digits = time;
  std::erase(digits, kTimeSeparator);
  const std::optional<std::int32_t> number = ParseIntegerText(digits);
  if (!number) throw TallowinError("'" + Utf16ToUtf8(time) + "' is not a valid integer value");
  return *number;
}

const std::u16string& Cell(const HistoryEntry& e, std::int32_t column) {
  static const std::u16string kNoCell;
  switch (column) {
    case 0: return e.time;
    case 1: return e.type;
    case 2: return e.content;
    case 3: return e.index;
    default: return kNoCell;
  }
}

}  // namespace

std::u16string HistoryPreview(std::u16string_view viewContent) {
  if (viewContent.size() < kWholePreviewBelow) return std::u16string(viewContent);
  std::u16string preview(viewContent.substr(0, kCutPreviewLength));
  preview += u"...";
  return preview;
}

std::u16string HistoryTime(const std::tm& t) {
  char buffer[48];  // room for any int hour, so an odd value is shown, not cut
  std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", t.tm_hour, t.tm_min, t.tm_sec);
  return std::u16string(buffer, buffer + std::char_traits<char>::length(buffer));
}

void HistoryModel::AddTextEntry(std::u16string_view viewContent, SharedText clipboardText, const std::tm& now) {
  const std::int32_t index = nextTextIndex_++;
  texts_.resize(static_cast<std::size_t>(index) + 1, MakeSharedText({}));
  if (clipboardText) texts_[static_cast<std::size_t>(index)] = std::move(clipboardText);
  entries_.push_back({HistoryTime(now), u"Text", HistoryPreview(viewContent), DecimalText(index)});
  Changed();
}

void HistoryModel::AddImageEntry(std::int32_t width, std::int32_t height, Language language, const std::tm& now) {
  const std::int32_t number = nextImageIndex_++;
  entries_.push_back({HistoryTime(now), language == Language::German ? u"Bild" : u"Image",
                      DecimalText(width) + u" x " + DecimalText(height), DecimalText(number)});
  Changed();
}

bool HistoryModel::Select(std::size_t row, bool selected) {
  if (row >= entries_.size() || entries_[row].selected == selected) return false;
  entries_[row].selected = selected;
  ++selectionRevision_;
  if (entries_[row].IsText() && onTextEntrySelectionChanged) onTextEntrySelectionChanged();
  return true;
}

void HistoryModel::SetSelected(std::size_t row, bool selected) {
  if (Select(row, selected)) Changed();
}

void HistoryModel::SelectAll() {
  bool any = false;
  for (std::size_t row = 0; row < entries_.size(); ++row) any = Select(row, true) || any;
  if (any) Changed();
}

bool HistoryModel::HasSelection() const {
  return std::any_of(entries_.begin(), entries_.end(), [](const HistoryEntry& e) { return e.selected; });
}

void HistoryModel::KeyDown(HistoryKey key, bool ctrlHeld) {
  if (key == HistoryKey::A && ctrlHeld) SelectAll();
  if (key == HistoryKey::Delete) RemoveSelected();
}

// Texts of removed entries stay in HistoryTexts: the positions are what the
// remaining entries' cell 3 point at.
template <class Pred>
void HistoryModel::RemoveWhere(Pred pred) {
  if (std::erase_if(entries_, pred) > 0) {
    ++layoutRevision_;
    Changed();
  }
}

void HistoryModel::RemoveSelected() {
  RemoveWhere([](const HistoryEntry& e) { return e.selected; });
}

void HistoryModel::RemoveEntries(EntryKind kind) {
  RemoveWhere([kind](const HistoryEntry& e) { return e.IsText() == (kind == EntryKind::Text); });
}

void HistoryModel::ColumnClick(SortState& sort, std::int32_t column) {
  sort.ColumnClick(column);
  Sort(sort);
}

void HistoryModel::Sort(const SortState& sort) {
  const std::int32_t column = sort.sortColumn;
  if (!collator_) collator_ = TextCollator::ForUserLocale();
  const TextCollator& collator = *collator_;
  SortRowsByKey(
      entries_,
      [&collator, column](const HistoryEntry& e) {
        return column == 0 ? NumberSortKey(TimeNumber(e.time)) : TextSortKey(collator, Cell(e, column));
      },
      sort.Descending());
  ++layoutRevision_;
  Changed();
}

}  // namespace tallowin
