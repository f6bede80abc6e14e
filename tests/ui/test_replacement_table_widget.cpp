#include <gtest/gtest.h>

#include <QDropEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QTest>
#include <QTreeWidget>

#include "text/replacement_table.h"
#include "ui/replacement_table_widget.h"
#include "ui_test_main.h"

namespace tallowin::testing {
namespace {

class ReplacementTableWidgetTest : public ::testing::Test {
 protected:
  ReplacementTableWidgetTest() {
    for (const char16_t* s : {u"a", u"b", u"c", u"d"}) {
      settings.SetText(Setting::act_ers_text_suchen, s);
      settings.SetText(Setting::act_ers_text_ersetzen, std::u16string(s) + u"!");
      table.act_ers_text_addClick();
    }
    widget.resize(300, 200);
    widget.show();
    QApplication::processEvents();
  }
  QPoint RowCentre(int row) { return widget.visualItemRect(widget.topLevelItem(row)).center(); }
  void Click(int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::mouseClick(widget.viewport(), Qt::LeftButton, modifiers, RowCentre(row));
  }
  std::u16string Order() {
    std::u16string order;
    for (const ReplacementRow& r : table.Rows()) order += r.search;
    return order;
  }
  std::u16string ShownOrder() {
    std::u16string order;
    for (int i = 0; i < widget.topLevelItemCount(); ++i) order += widget.topLevelItem(i)->text(0).toStdU16String();
    return order;
  }

  QApplication& app = TestApplication();
  CaptureSettings settings;
  ReplacementTable table{settings};
  ReplacementTableWidget widget{table};
};

TEST_F(ReplacementTableWidgetTest, ShowsTheRowsInThreeColumns) {
  ASSERT_EQ(widget.topLevelItemCount(), 4);
  EXPECT_EQ(widget.topLevelItem(1)->text(0), QStringLiteral("b"));
  EXPECT_EQ(widget.topLevelItem(1)->text(1), QStringLiteral("b!"));
  EXPECT_EQ(widget.topLevelItem(1)->text(2), QStringLiteral("-"));
  EXPECT_EQ(widget.headerItem()->text(0), QStringLiteral("Search for:"));
  EXPECT_EQ(widget.headerItem()->text(2), QStringLiteral("RegEx"));
  EXPECT_EQ(widget.columnWidth(0), 95);
  EXPECT_EQ(widget.columnWidth(1), 95);
  EXPECT_EQ(widget.editTriggers(), QAbstractItemView::NoEditTriggers);
  widget.SetLanguage(Language::German);
  EXPECT_EQ(widget.headerItem()->text(1), QStringLiteral("Ersetzen durch:"));
  EXPECT_EQ(widget.accessibleName(), QStringLiteral("Ersetzungstabelle"));
}

TEST_F(ReplacementTableWidgetTest, ClicksSelectRowsAndLoadTheTopmostIntoTheFields) {
  Click(2);
  EXPECT_EQ(table.SelectedRows(), (std::vector<std::size_t>{2}));
  EXPECT_EQ(settings.Text(Setting::act_ers_text_suchen), u"c");
  EXPECT_EQ(settings.Text(Setting::act_ers_text_ersetzen), u"c!");
  Click(1, Qt::ControlModifier);
  EXPECT_EQ(table.SelectedRows(), (std::vector<std::size_t>{1, 2}));
  EXPECT_EQ(settings.Text(Setting::act_ers_text_suchen), u"b");
}

TEST_F(ReplacementTableWidgetTest, CtrlAThenDeleteEmptiesTheTable) {
  widget.setFocus();
  QTest::keyClick(&widget, Qt::Key_A);  // without Ctrl: at most the type-ahead row
  EXPECT_LE(table.SelectedRows().size(), 1u);
  QTest::keyClick(&widget, Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(table.SelectedRows().size(), 4u);
  EXPECT_EQ(widget.selectedItems().size(), 4);
  QTest::keyClick(&widget, Qt::Key_Delete);
  EXPECT_TRUE(table.Rows().empty());
  EXPECT_EQ(widget.topLevelItemCount(), 0);
}

TEST_F(ReplacementTableWidgetTest, DropsMoveSelectedRowsOnlyWhenTheDragStartedHere) {
  Click(1);
  Click(3, Qt::ControlModifier);
  QWidget other;
  widget.act_ers_text_listeDragDrop(&other, RowCentre(0));
  widget.act_ers_text_listeDragDrop(nullptr, RowCentre(0));
  EXPECT_EQ(Order(), u"abcd");

  widget.act_ers_text_listeDragDrop(&widget, RowCentre(0));
  EXPECT_EQ(Order(), u"bdac");
  EXPECT_EQ(ShownOrder(), u"bdac");
  EXPECT_TRUE(widget.selectedItems().isEmpty());

  // Below the last row: to the end.
  Click(0);
  widget.act_ers_text_listeDragDrop(&widget, QPoint(5, widget.viewport()->height() - 2));
  EXPECT_EQ(ShownOrder(), u"dacb");

  // Onto a row being moved: nothing changes.
  Click(1);
  Click(2, Qt::ControlModifier);
  widget.act_ers_text_listeDragDrop(&widget, RowCentre(2));
  EXPECT_EQ(ShownOrder(), u"dacb");
  EXPECT_TRUE(widget.act_ers_text_listeDragOver(&widget));
}

// Text dragged from another widget (a field's selection) must be refused: a
// drop accepted as a move makes its source delete the text, and the table adds
// nothing. A synthetic event has no source, as a drag from another widget or
// program does not have this table as its source.
TEST_F(ReplacementTableWidgetTest, ForeignDragsAreRefusedSoTheirSourceKeepsTheText) {
  QWidget other;
  EXPECT_FALSE(widget.act_ers_text_listeDragOver(&other));
  EXPECT_FALSE(widget.act_ers_text_listeDragOver(nullptr));
  QMimeData text;
  text.setText(QStringLiteral("selected words"));
  const QPoint at = RowCentre(1);
  QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, &text, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(widget.viewport(), &enter);
  EXPECT_FALSE(enter.isAccepted());
  QDragMoveEvent move(at, Qt::CopyAction | Qt::MoveAction, &text, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(widget.viewport(), &move);
  EXPECT_FALSE(move.isAccepted());
  QDropEvent drop(QPointF(at), Qt::CopyAction | Qt::MoveAction, &text, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(widget.viewport(), &drop);
  EXPECT_FALSE(drop.isAccepted());
  EXPECT_EQ(Order(), u"abcd");
}

TEST_F(ReplacementTableWidgetTest, FollowsRowsAddedAndDeletedThroughTheModel) {
  settings.SetText(Setting::act_ers_text_suchen, u"[0-9]");
  settings.SetFlag(Setting::act_ers_text_suchen_regex, true);
  table.act_ers_text_addClick();
  ASSERT_EQ(widget.topLevelItemCount(), 5);
  EXPECT_EQ(widget.topLevelItem(4)->text(2), QStringLiteral("x/-"));
  Click(0);
  table.act_ers_text_delmarkClick();
  EXPECT_EQ(ShownOrder(), u"bcd[0-9]");
}

}  // namespace
}  // namespace tallowin::testing
