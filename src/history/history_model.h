#pragma once
// The history list: one entry per captured text or image, as it arrived.
// Texts are stored in HistoryTexts at positions that are never reused or shifted,
// so the index kept in an entry stays valid after removals and sorting.

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

namespace tallowin {

struct HistoryEntry {
  std::u16string time;     // "HH:mm:ss"
  std::u16string type;     // "Text", or "Bild"/"Image"
  std::u16string content;  // text preview, or "<width> x <height>"
  std::u16string index;    // position in HistoryTexts, or the image number
  bool IsText() const { return type == u"Text"; }
};

// The preview of a text view's content: whole below 250 units, else its first 245 units and "...".
std::u16string HistoryPreview(std::u16string_view viewContent);

// The capture time as "HH:mm:ss".
std::u16string HistoryTime(const std::tm& t);

class HistoryModel {
 public:
  void AddTextEntry(std::u16string_view viewContent, std::u16string clipboardText, const std::tm& now);
  void AddImageEntry(std::int32_t width, std::int32_t height, bool german, const std::tm& now);

  const std::vector<HistoryEntry>& Entries() const { return entries_; }
  const std::vector<std::u16string>& HistoryTexts() const { return texts_; }
  std::int32_t NextTextIndex() const { return nextTextIndex_; }
  std::int32_t NextImageIndex() const { return nextImageIndex_; }

  std::function<void()> onChanged;

 private:
  void Changed() {
    if (onChanged) onChanged();
  }
  std::vector<HistoryEntry> entries_;
  std::vector<std::u16string> texts_;
  std::int32_t nextTextIndex_ = 0;
  std::int32_t nextImageIndex_ = 0;
};

}  // namespace tallowin
