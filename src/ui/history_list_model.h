#pragma once
// The history list's rows, read straight from the HistoryModel: the list keeps
// no copy of the entries, so a long history costs its texts and nothing more.

#include <QAbstractTableModel>
#include <QStringList>

#include "history/history_model.h"

namespace tallowin {

class HistoryListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  // `history` must outlive this model.
  explicit HistoryListModel(const HistoryModel& history, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  // A column caption (display role, horizontal); how the language walk sets them.
  bool setHeaderData(int section, Qt::Orientation orientation, const QVariant& value, int role) override;

  void SetHeaders(QStringList headers);
  // Brings the rows in line with the history: new entries are appended; after a
  // sort or a removal every row is read again. Returns whether rows were reset.
  bool Refresh();

 private:
  const HistoryModel& history_;
  QStringList headers_;
  int shownRows_ = 0;
  std::uint64_t shownLayout_ = 0;
};

// The content cell as one line: the preview's line breaks drawn as blanks.
QString HistoryContentLine(const std::u16string& preview);

}  // namespace tallowin
