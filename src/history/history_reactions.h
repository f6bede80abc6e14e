#pragma once
// The history's ties to the settings and the content views, attached once when
// the program is assembled.

#include "settings/capture_settings.h"
#include "history/content_views_model.h"
#include "history/history_model.h"

namespace tallowin {

// The re-copy's switches over the settings model: flipping cb_history_txt goes
// through SetFlag, so its reaction and the check box follow.
class SettingsHistorySwitches : public HistorySwitches {
 public:
  // `settings` must outlive this object.
  explicit SettingsHistorySwitches(CaptureSettings& settings) : settings_(settings) {}
  bool RecopyEnabled() const override { return settings_.Flag(Setting::cb_history_dblclick); }
  bool TextsAdded() const override { return settings_.Flag(Setting::cb_history_txt); }
  void SetTextsAdded(bool on) override { settings_.SetFlag(Setting::cb_history_txt, on); }

 private:
  CaptureSettings& settings_;
};

// Pruning: when cb_history_txt (cb_history_img) becomes unchecked, by a click, a
// configuration load or the reset, every text (image) entry is removed, except
// while a re-copy runs. Checking a box again brings nothing back.
// Also shows the text page whenever a text entry is selected or unselected (the
// tab strip stays as it is).
// `history` and `views` must outlive `settings`' use of these reactions.
void AttachHistoryReactions(CaptureSettings& settings, HistoryModel& history, ContentViewsModel& views);

}  // namespace tallowin
