#pragma once
// act_ers_text_liste: the replacement table of the search-and-replace section.
// It shows a ReplacementTable and forwards the user's selection, keys and drops
// to it; the rows and every rule live in the model.

#include <QTreeWidget>

#include "settings/capture_settings.h"
#include "text/replacement_table.h"

namespace tallowin {

class ReplacementTableWidget : public QTreeWidget {
  Q_OBJECT

 public:
  // The widget takes the table's onChanged, which does nothing once the widget
  // is gone. The table must outlive the widget's use (events reach the table
  // until the widget is destroyed).
  explicit ReplacementTableWidget(ReplacementTable& table, QWidget* parent = nullptr);
  ~ReplacementTableWidget() override;

  // Column captions and the accessible name in `language`.
  void SetLanguage(Language language);

  // act_ers_text_listeDragOver: only a drag that started in this table may drop.
  bool act_ers_text_listeDragOver(QObject* source) const;
  // act_ers_text_listeDragDrop: a drag that started in this table moves the
  // selected rows before the row at `pos` (viewport coordinates), or to the end
  // below the last row. Drags from anywhere else change nothing.
  void act_ers_text_listeDragDrop(QObject* source, const QPoint& pos);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void startDrag(Qt::DropActions supportedActions) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void ShowModel();
  void SelectionFromView();

  ReplacementTable& table_;
  bool showing_ = false;  // true while the view is brought in line with the model
};

}  // namespace tallowin
