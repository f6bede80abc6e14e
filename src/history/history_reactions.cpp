#include "history/history_reactions.h"

namespace tallowin {
namespace {

void AttachPruning(CaptureSettings& settings, HistoryModel& history, Setting box, EntryKind kind) {
  settings.AttachReaction(box, [&settings, &history, box, kind] {
    if (!settings.Flag(box) && !history.RecopyInProgress()) history.RemoveEntries(kind);
  });
}

}  // namespace

void AttachHistoryReactions(CaptureSettings& settings, HistoryModel& history, ContentViewsModel& views) {
  AttachPruning(settings, history, Setting::cb_history_txt, EntryKind::Text);
  AttachPruning(settings, history, Setting::cb_history_img, EntryKind::Image);
  history.onTextEntrySelectionChanged = [&views] { views.ShowPage(ContentPage::Text); };
}

}  // namespace tallowin
