#include "history/history_model.h"

#include <algorithm>

#include "base/integer_text.h"

namespace tallowin {

std::u16string_view RecopyImageMessage(Language language) {
  if (language == Language::German) {
    return u"Im Moment können nur Texte erneut zur Zwischenablage hinzugefügt werden.\r\n"
           u"Alter Bilder aus der Zwischenablage werden wegen Ihres hohen Speicherverbrauchs nicht gespeichert.";
  }
  return u"At the moment only texts can be copied to the clipboard again.\r\n"
         u"Older clipboard images are not kept because of their high memory consumption.";
}

RecopyOutcome HistoryModel::Recopy(HistorySwitches& switches, Clipboard& clipboard) {
  recopyInProgress_ = true;
  RecopyOutcome outcome;
  try {
    outcome = RecopyFirstSelected(switches, clipboard);
  } catch (...) {
    recopyInProgress_ = false;
    throw;
  }
  recopyInProgress_ = false;
  return outcome;
}

// The pass caused by the write runs inside WriteClipboardText and may change the
// list, so nothing here refers into entries_ once the write has begun.
RecopyOutcome HistoryModel::RecopyFirstSelected(HistorySwitches& switches, Clipboard& clipboard) {
  if (!switches.RecopyEnabled()) return RecopyOutcome::NothingCopied;
  const auto first = std::find_if(entries_.begin(), entries_.end(), [](const HistoryEntry& e) { return e.selected; });
  if (first == entries_.end()) return RecopyOutcome::NothingCopied;
  if (!first->IsText()) return RecopyOutcome::ShowImageMessage;

  const SharedText text = StoredText(first->index);
  const bool textsAdded = switches.TextsAdded();
  switches.SetTextsAdded(false);
  try {
    if (text) WriteClipboardText(clipboard, text);
  } catch (...) {
    switches.SetTextsAdded(textsAdded);
    throw;
  }
  switches.SetTextsAdded(textsAdded);
  return text ? RecopyOutcome::TextCopied : RecopyOutcome::NothingCopied;
}

SharedText HistoryModel::StoredText(std::u16string_view indexCell) const {
  const std::optional<std::int32_t> index = ParseIntegerText(indexCell);
  if (!index || *index < 0 || static_cast<std::size_t>(*index) >= texts_.size()) return nullptr;
  return texts_[static_cast<std::size_t>(*index)];
}

}  // namespace tallowin
