#include "history/history_model.h"

#include <cstdio>

#include "text/integer_text.h"

namespace tallowin {
namespace {

constexpr std::size_t kWholePreviewBelow = 250;
constexpr std::size_t kCutPreviewLength = 245;

}  // namespace

std::u16string HistoryPreview(std::u16string_view viewContent) {
  if (viewContent.size() < kWholePreviewBelow) return std::u16string(viewContent);
  std::u16string preview(viewContent.substr(0, kCutPreviewLength));
  preview += u"...";
  return preview;
}

std::u16string HistoryTime(const std::tm& t) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", t.tm_hour, t.tm_min, t.tm_sec);
  return std::u16string(buffer, buffer + std::char_traits<char>::length(buffer));
}

void HistoryModel::AddTextEntry(std::u16string_view viewContent, std::u16string clipboardText, const std::tm& now) {
  const std::int32_t index = nextTextIndex_++;
  texts_.resize(static_cast<std::size_t>(index) + 1);
  texts_[static_cast<std::size_t>(index)] = std::move(clipboardText);
  entries_.push_back({HistoryTime(now), u"Text", HistoryPreview(viewContent), DecimalText(index)});
  Changed();
}

void HistoryModel::AddImageEntry(std::int32_t width, std::int32_t height, bool german, const std::tm& now) {
  const std::int32_t number = nextImageIndex_++;
  entries_.push_back({HistoryTime(now), german ? u"Bild" : u"Image",
                      DecimalText(width) + u" x " + DecimalText(height), DecimalText(number)});
  Changed();
}

}  // namespace tallowin
