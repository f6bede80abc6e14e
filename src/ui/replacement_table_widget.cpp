#include "ui/replacement_table_widget.h"

#include <QDrag>
#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QPointer>
#include <QSignalBlocker>

#include "ui/language_texts.h"
#include "backends/qt_text.h"

namespace tallowin {
namespace {

constexpr int kSearchColumnWidth = 95;
constexpr int kReplacementColumnWidth = 95;

bool RowShows(const QTreeWidgetItem* item, const ReplacementRow& row) {
  return item->text(0) == ToQString(row.search) && item->text(1) == ToQString(row.replacement) &&
         item->text(2) == ToQString(row.marker);
}

}  // namespace

ReplacementTableWidget::ReplacementTableWidget(ReplacementTable& table, QWidget* parent)
    : QTreeWidget(parent), table_(table) {
  setObjectName(QStringLiteral("act_ers_text_liste"));
  setColumnCount(3);
  setRootIsDecorated(false);
  setUniformRowHeights(true);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setColumnWidth(0, kSearchColumnWidth);
  setColumnWidth(1, kReplacementColumnWidth);
  setDragEnabled(true);
  setAcceptDrops(true);
  setDropIndicatorShown(true);
  setDragDropMode(QAbstractItemView::DragDrop);
  setDefaultDropAction(Qt::MoveAction);
  // The selection stays visible when the list loses the focus.
  QPalette pal = palette();
  for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText}) {
    pal.setColor(QPalette::Inactive, role, pal.color(QPalette::Active, role));
  }
  setPalette(pal);
  SetLanguage(Language::English);

  table_.onChanged = [widget = QPointer<ReplacementTableWidget>(this)] {
    if (widget) widget->ShowModel();
  };
  connect(this, &QTreeWidget::itemSelectionChanged, this, [this] { SelectionFromView(); });
  ShowModel();
}

// The base classes' destructors clear the items, which emits selection changes
// that must not reach the table any more.
ReplacementTableWidget::~ReplacementTableWidget() { disconnect(this, nullptr, this, nullptr); }

void ReplacementTableWidget::SetLanguage(Language language) {
  QStringList headers;
  for (int i = 0; i < 3; ++i) headers << WindowText("Tprog", "act_ers_text_liste." + std::to_string(i), language);
  setHeaderLabels(headers);
  setAccessibleName(WindowText("Tprog", "act_ers_text_liste.name", language));
}

// Only the table's own rows may be dropped: a foreign drag accepted as a move
// would have its source delete what it sent, while the drop adds nothing.
bool ReplacementTableWidget::act_ers_text_listeDragOver(QObject* source) const { return source == this; }

void ReplacementTableWidget::act_ers_text_listeDragDrop(QObject* source, const QPoint& pos) {
  if (source != this) return;
  const QModelIndex under = indexAt(pos);
  std::optional<std::size_t> target;
  if (under.isValid()) target = static_cast<std::size_t>(under.row());
  table_.MoveSelected(target);
}

void ReplacementTableWidget::keyPressEvent(QKeyEvent* event) {
  const bool ctrl = event->modifiers().testFlag(Qt::ControlModifier);
  if (event->key() == Qt::Key_A && ctrl) {
    table_.act_ers_text_listeKeyDown(TableKey::A, CtrlKey::Held);
    event->accept();
    return;
  }
  if (event->key() == Qt::Key_Delete) {
    table_.act_ers_text_listeKeyDown(TableKey::Delete, ctrl ? CtrlKey::Held : CtrlKey::Up);
    event->accept();
    return;
  }
  QTreeWidget::keyPressEvent(event);
}

// The rows move only through the model at the drop; whatever the drag reports
// afterwards must not remove anything from the view.
void ReplacementTableWidget::startDrag(Qt::DropActions) {
  const QModelIndexList indexes = selectedIndexes();
  if (indexes.isEmpty()) return;
  auto* drag = new QDrag(this);
  drag->setMimeData(model()->mimeData(indexes));
  drag->exec(Qt::MoveAction, Qt::MoveAction);
}

void ReplacementTableWidget::dragEnterEvent(QDragEnterEvent* event) {
  if (!act_ers_text_listeDragOver(event->source())) return event->ignore();
  event->setDropAction(Qt::MoveAction);
  event->accept();
}

void ReplacementTableWidget::dragMoveEvent(QDragMoveEvent* event) {
  QTreeWidget::dragMoveEvent(event);  // the drop indicator
  if (!act_ers_text_listeDragOver(event->source())) return event->ignore();
  event->setDropAction(Qt::MoveAction);
  event->accept();
}

void ReplacementTableWidget::dropEvent(QDropEvent* event) {
  if (!act_ers_text_listeDragOver(event->source())) return event->ignore();
  act_ers_text_listeDragDrop(event->source(), event->position().toPoint());
  event->setDropAction(Qt::MoveAction);
  event->accept();
  stopAutoScroll();
  setState(QAbstractItemView::NoState);
  viewport()->update();
}

void ReplacementTableWidget::ShowModel() {
  showing_ = true;
  const std::vector<ReplacementRow>& rows = table_.Rows();
  bool same = topLevelItemCount() == static_cast<int>(rows.size());
  for (std::size_t i = 0; same && i < rows.size(); ++i) same = RowShows(topLevelItem(static_cast<int>(i)), rows[i]);
  if (!same) {
    clear();
    QList<QTreeWidgetItem*> items;
    for (const ReplacementRow& row : rows) {
      items << new QTreeWidgetItem(QStringList{ToQString(row.search), ToQString(row.replacement), ToQString(row.marker)});
    }
    addTopLevelItems(items);
  }
  for (std::size_t i = 0; i < rows.size(); ++i) {
    QTreeWidgetItem* item = topLevelItem(static_cast<int>(i));
    if (item->isSelected() != table_.IsSelected(i)) item->setSelected(table_.IsSelected(i));
  }
  showing_ = false;
}

void ReplacementTableWidget::SelectionFromView() {
  if (showing_) return;
  std::vector<bool> selected(static_cast<std::size_t>(topLevelItemCount()), false);
  for (int i = 0; i < topLevelItemCount(); ++i) selected[static_cast<std::size_t>(i)] = topLevelItem(i)->isSelected();
  table_.SetSelection(std::move(selected));
}

}  // namespace tallowin
