#pragma once
// Small helpers shared by the history tests.

#include <ctime>
#include <string>
#include <vector>

#include "history/history_model.h"

namespace tallowin::testing {

inline std::tm At(int hour, int minute, int second) {
  std::tm t{};
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  return t;
}

// The re-copy's check boxes as plain flags, with a record of every flip.
class FakeSwitches : public HistorySwitches {
 public:
  bool RecopyEnabled() const override { return recopyEnabled; }
  bool TextsAdded() const override { return textsAdded; }
  void SetTextsAdded(bool on) override {
    textsAdded = on;
    flips.push_back(on);
  }
  bool recopyEnabled = true;
  bool textsAdded = true;
  std::vector<bool> flips;
};

// Adds a text entry the way the pipeline does: the view holds the text plus CR LF.
inline void AddText(HistoryModel& h, const std::u16string& text, std::tm at = At(12, 0, 0)) {
  h.AddTextEntry(text + u"\r\n", MakeSharedText(text), at);
}

inline std::vector<std::u16string> StoredTexts(const HistoryModel& h) {
  std::vector<std::u16string> out;
  for (const SharedText& text : h.HistoryTexts()) out.push_back(*text);
  return out;
}

inline std::vector<std::u16string> Column(const HistoryModel& h, int cell) {
  std::vector<std::u16string> out;
  for (const HistoryEntry& e : h.Entries()) {
    out.push_back(cell == 0 ? e.time : cell == 1 ? e.type : cell == 2 ? e.content : e.index);
  }
  return out;
}

using Texts = std::vector<std::u16string>;

}  // namespace tallowin::testing
