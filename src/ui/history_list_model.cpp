#include "ui/history_list_model.h"

#include "backends/qt_text.h"

namespace tallowin {

QString HistoryContentLine(const std::u16string& preview) {
  QString content = ToQString(preview);
  if (content.endsWith(QStringLiteral("\r\n"))) content.chop(2);
  content.replace(QStringLiteral("\r\n"), QStringLiteral(" "))
      .replace(QChar(u'\r'), QChar(u' '))
      .replace(QChar(u'\n'), QChar(u' '));
  return content;
}

HistoryListModel::HistoryListModel(const HistoryModel& history, QObject* parent)
    : QAbstractTableModel(parent), history_(history), shownLayout_(history.LayoutRevision()) {}

int HistoryListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : shownRows_; }

int HistoryListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 3; }

QVariant HistoryListModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid() || index.row() >= shownRows_) return {};
  const HistoryEntry& e = history_.Entries()[static_cast<std::size_t>(index.row())];
  switch (index.column()) {
    case 0: return ToQString(e.time);
    case 1: return ToQString(e.type);
    case 2: return HistoryContentLine(e.content);
    default: return {};
  }
}

QVariant HistoryListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= headers_.size()) return {};
  return headers_[section];
}

bool HistoryListModel::setHeaderData(int section, Qt::Orientation orientation, const QVariant& value, int role) {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= columnCount()) return false;
  while (headers_.size() <= section) headers_ << QString();
  headers_[section] = value.toString();
  emit headerDataChanged(Qt::Horizontal, section, section);
  return true;
}

void HistoryListModel::SetHeaders(QStringList headers) {
  headers_ = std::move(headers);
  emit headerDataChanged(Qt::Horizontal, 0, 2);
}

bool HistoryListModel::Refresh() {
  const int rows = static_cast<int>(history_.Entries().size());
  if (history_.LayoutRevision() != shownLayout_ || rows < shownRows_) {
    beginResetModel();
    shownRows_ = rows;
    shownLayout_ = history_.LayoutRevision();
    endResetModel();
    return true;
  }
  if (rows > shownRows_) {
    beginInsertRows({}, shownRows_, rows - 1);
    shownRows_ = rows;
    endInsertRows();
  }
  return false;
}

}  // namespace tallowin
