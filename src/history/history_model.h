#pragma once
// The history list: one entry per captured text or image, as it arrived.
//
// Texts are stored in HistoryTexts at positions that are never reused or
// shifted: removing an entry leaves its text in place, so the index kept in
// every other entry stays valid after removals and sorting. Images are not
// stored; an image entry keeps only its size text. The list lives in memory only.

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "clipboard/clipboard.h"
#include "base/language.h"
#include "history/sort_state.h"
#include "history/text_collator.h"

namespace tallowin {

struct HistoryEntry {
  std::u16string time;     // cell 0: "HH:mm:ss"
  std::u16string type;     // cell 1: "Text", or "Bild"/"Image"
  std::u16string content;  // cell 2: text preview, or "<width> x <height>"
  std::u16string index;    // cell 3, never shown: position in HistoryTexts, or the image number
  bool selected = false;   // list state, not a cell; moves with the entry when the list is sorted

  bool IsText() const { return type == u"Text"; }
};

enum class EntryKind { Text, Image };

// The preview of a text view's content: whole below 250 units, else its first
// 245 units and "...". The view holds the text plus CR LF, so a text of up to
// 247 units is shown whole. The first kHistoryPreviewReads units of the
// content decide the preview.
inline constexpr std::size_t kHistoryPreviewReads = 250;
std::u16string HistoryPreview(std::u16string_view viewContent);

// The capture time as "HH:mm:ss", 24-hour, in both languages.
std::u16string HistoryTime(const std::tm& t);

// The check boxes under the list that a re-copy reads and flips. Turning
// "texts added" off and on again must run the box's reaction like a click, so
// the pass that the re-copy's write causes adds no text entry.
class HistorySwitches {
 public:
  virtual ~HistorySwitches() = default;
  virtual bool RecopyEnabled() const = 0;  // cb_history_dblclick
  virtual bool TextsAdded() const = 0;     // cb_history_txt
  virtual void SetTextsAdded(bool on) = 0;
};

enum class RecopyOutcome {
  NothingCopied,     // re-copy switched off, no selection, or an index beyond HistoryTexts
  TextCopied,        // the stored text was written to the clipboard
  ShowImageMessage,  // an image entry: show RecopyImageMessage, copy nothing
};

// The information box for a re-copied image entry: caption, one "OK" button,
// centred on the screen. The text contains a CR LF line break.
inline constexpr std::u16string_view kRecopyMessageCaption = u"Information";
std::u16string_view RecopyImageMessage(Language language);

// The keys the list reacts to; every other key is Other.
enum class HistoryKey { A, Delete, Other };

class HistoryModel {
 public:
  // The two additions the capture pipeline makes; both append at the end.
  // `viewContent` is the text view's content (text plus CR LF), of which the
  // preview needs no more than its first 250 units; `clipboardText` is stored
  // at position NextTextIndex, shared, not copied.
  void AddTextEntry(std::u16string_view viewContent, SharedText clipboardText, const std::tm& now);
  void AddImageEntry(std::int32_t width, std::int32_t height, Language language, const std::tm& now);

  const std::vector<HistoryEntry>& Entries() const { return entries_; }
  // Never null.
  const std::vector<SharedText>& HistoryTexts() const { return texts_; }
  std::int32_t NextTextIndex() const { return nextTextIndex_; }
  std::int32_t NextImageIndex() const { return nextImageIndex_; }

  // Selection, as the list shows it. Rows out of range are ignored.
  void SetSelected(std::size_t row, bool selected);
  void SelectAll();
  bool HasSelection() const;
  // The popup menu opens only while an entry is selected.
  bool PopupAllowed() const { return HasSelection(); }

  // Ctrl+A selects all entries; Delete removes the selected ones, whatever other
  // modifier keys are held.
  void KeyDown(HistoryKey key, bool ctrlHeld);
  // Delete key and the popup entry "Delete from List".
  void RemoveSelected();
  // Pruning: removes every entry of `kind`.
  void RemoveEntries(EntryKind kind);

  // A click on column `column` of the list: updates the shared state, then sorts once.
  void ColumnClick(SortState& sort, std::int32_t column);
  // One reordering by the state's column and direction. Column 0 compares the
  // capture times as numbers (the ":" removed); other columns compare their
  // cells as texts by the locale order, ignoring case. Raises TallowinError("'<time>' is not a valid
  // integer value") for a time that is no whole number, before anything moves.
  // Entries added later are appended unsorted.
  void Sort(const SortState& sort);
  // The text order of both calls: the user's locale (TextCollator::ForUserLocale),
  // made at the first sort unless set before.
  void SetCollator(std::shared_ptr<const TextCollator> collator) { collator_ = std::move(collator); }

  // Double click and the popup entry "Copy to Clipboard again": writes the
  // stored text of the first selected entry with WriteClipboardText, without
  // raising CaptureSuppressCounter, so the pipeline processes it like a new copy.
  // "Texts added" is switched off around the write, so that pass adds no entry,
  // and restored afterwards, also when the write raises (the error then
  // propagates). RecopyInProgress is true for the whole call.
  RecopyOutcome Recopy(HistorySwitches& switches, Clipboard& clipboard);
  bool RecopyInProgress() const { return recopyInProgress_; }

  // Counted up by every change that moves or removes entries (sorting, removal),
  // and by every selection change, so a view can append new rows cheaply and
  // rebuild or reselect only when needed.
  std::uint64_t LayoutRevision() const { return layoutRevision_; }
  std::uint64_t SelectionRevision() const { return selectionRevision_; }

  // Called after every real change (entries, order, selection), for redrawing.
  std::function<void()> onChanged;
  // Called when a text entry was selected or unselected; the window then shows the text page.
  std::function<void()> onTextEntrySelectionChanged;

 private:
  void Changed() {
    if (onChanged) onChanged();
  }
  std::shared_ptr<const TextCollator> collator_;
  bool Select(std::size_t row, bool selected);
  template <class Pred>
  void RemoveWhere(Pred pred);
  RecopyOutcome RecopyFirstSelected(HistorySwitches& switches, Clipboard& clipboard);
  SharedText StoredText(std::u16string_view indexCell) const;

  std::vector<HistoryEntry> entries_;
  std::vector<SharedText> texts_;
  std::int32_t nextTextIndex_ = 0;
  std::int32_t nextImageIndex_ = 0;
  bool recopyInProgress_ = false;
  std::uint64_t layoutRevision_ = 0;
  std::uint64_t selectionRevision_ = 0;
};

}  // namespace tallowin
