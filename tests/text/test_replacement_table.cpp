#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "text/search_replace_fixture.h"

namespace tallowin::testing {
namespace {

// The table's rows as "search>replacement:marker" strings, easy to compare.
std::vector<std::u16string> Listing(const ReplacementTable& table) {
  std::vector<std::u16string> rows;
  for (const ReplacementRow& r : table.Rows()) rows.push_back(r.search + u">" + r.replacement + u":" + r.marker);
  return rows;
}

using ReplacementTableTest = SearchReplaceTest;

TEST_F(ReplacementTableTest, AddTakesThePairWithTheMarkerOfItsFlagsAndEmptiesTheFields) {
  AddRow(u"a", u"b");
  AddRow(u"[0-9]", u"#", true, false);
  AddRow(u"c", u"$0", false, true);
  AddRow(u"(d)", u"<$1>", true, true);
  AddRow(u"a", u"b");  // the same pair again is a row of its own
  AddRow(u"e", u"");
  EXPECT_EQ(Listing(table), (std::vector<std::u16string>{u"a>b:-", u"[0-9]>#:x/-", u"c>$0:-/x", u"(d)><$1>:x",
                                                         u"a>b:-", u"e>:-"}));
  EXPECT_EQ(settings.Text(Setting::act_ers_text_suchen), u"");
  EXPECT_EQ(settings.Text(Setting::act_ers_text_ersetzen), u"");
  // The flags keep their state.
  EXPECT_FALSE(settings.Flag(Setting::act_ers_text_suchen_regex));
  EXPECT_FALSE(settings.Flag(Setting::act_ers_text_ersetzen_regex));
  AddRow(u"f", u"g", true, true);
  EXPECT_TRUE(settings.Flag(Setting::act_ers_text_suchen_regex));
  EXPECT_TRUE(settings.Flag(Setting::act_ers_text_ersetzen_regex));
}

TEST_F(ReplacementTableTest, AddWithAnEmptySearchFieldDoesNothing) {
  int changes = 0;
  table.onChanged = [&changes] { ++changes; };
  AddRow(u"", u"kept");
  EXPECT_TRUE(table.Rows().empty());
  EXPECT_EQ(settings.Text(Setting::act_ers_text_ersetzen), u"kept");
  EXPECT_EQ(changes, 0);
}

TEST_F(ReplacementTableTest, ClearBoxesEmptiesBothFieldsAndLeavesTheTable) {
  AddRow(u"a", u"b");
  Pair(u"s", u"r");
  table.act_ers_text_deleteClick();
  EXPECT_EQ(settings.Text(Setting::act_ers_text_suchen), u"");
  EXPECT_EQ(settings.Text(Setting::act_ers_text_ersetzen), u"");
  EXPECT_EQ(table.Rows().size(), 1u);
  // Search first, then replacement: the replacement field is the one edited last.
  EXPECT_EQ(errorDisplay.LastEditedField(), ReplaceField::Replacement);
}

TEST_F(ReplacementTableTest, SelectingLoadsTheTopmostSelectedRowIntoTheFields) {
  AddRow(u"a", u"1");
  AddRow(u"[b]", u"2", true, false);
  AddRow(u"c", u"$0", false, true);
  AddRow(u"(d)", u"$1", true, true);
  const struct {
    std::vector<bool> selection;
    std::u16string search, replacement;
    bool searchRegex, replacementRegex;
  } cases[] = {
      {{false, true, false, true}, u"[b]", u"2", true, false},
      {{false, false, true, false}, u"c", u"$0", false, true},
      {{false, false, false, true}, u"(d)", u"$1", true, true},
      {{true, false, false, true}, u"a", u"1", false, false},
  };
  for (const auto& c : cases) {
    table.SetSelection(c.selection);
    EXPECT_EQ(settings.Text(Setting::act_ers_text_suchen), c.search);
    EXPECT_EQ(settings.Text(Setting::act_ers_text_ersetzen), c.replacement);
    EXPECT_EQ(settings.Flag(Setting::act_ers_text_suchen_regex), c.searchRegex) << c.search.size();
    EXPECT_EQ(settings.Flag(Setting::act_ers_text_ersetzen_regex), c.replacementRegex) << c.search.size();
  }
  // An empty selection leaves the fields alone, and editing the fields leaves the row alone.
  settings.SetText(Setting::act_ers_text_suchen, u"edited");
  table.SetSelection({});
  EXPECT_EQ(settings.Text(Setting::act_ers_text_suchen), u"edited");
  EXPECT_EQ(table.Rows()[0].search, u"a");
  EXPECT_EQ(table.Rows().size(), 4u);
}

TEST_F(ReplacementTableTest, KeysAndDeleteSelected) {
  for (std::u16string s : {u"a", u"b", u"c", u"d"}) AddRow(s, u"");
  table.SetSelection({false, true, false, true});
  table.act_ers_text_delmarkClick();
  EXPECT_EQ(Listing(table), (std::vector<std::u16string>{u"a>:-", u"c>:-"}));
  EXPECT_TRUE(table.SelectedRows().empty());

  table.act_ers_text_listeKeyDown(TableKey::A, CtrlKey::Up);
  EXPECT_TRUE(table.SelectedRows().empty());
  table.act_ers_text_listeKeyDown(TableKey::A, CtrlKey::Held);
  EXPECT_EQ(table.SelectedRows(), (std::vector<std::size_t>{0, 1}));
  table.act_ers_text_listeKeyDown(TableKey::Delete, CtrlKey::Up);
  EXPECT_TRUE(table.Rows().empty());
}

TEST_F(ReplacementTableTest, DragMovesTheSelectedRowsInOrderBeforeTheTarget) {
  const struct {
    std::vector<bool> selection;
    std::optional<std::size_t> target;  // none: dropped below the last row
    std::u16string order;
  } cases[] = {
      {{false, false, false, true, false}, 0, u"dabce"},
      {{false, true, false, true, false}, 0, u"bdace"},
      {{false, true, false, true, false}, std::nullopt, u"acebd"},
      {{true, false, true, false, false}, 4, u"bdace"},
      {{true, true, false, false, false}, 3, u"cabde"},
      // Dropped onto one of the moving rows: nothing moves, nothing is lost or doubled.
      {{false, true, false, true, false}, 3, u"abcde"},
      {{false, true, true, false, false}, 1, u"abcde"},
      {{false, false, false, false, false}, 0, u"abcde"},
  };
  for (const auto& c : cases) {
    table.SetSelection({});
    while (!table.Rows().empty()) {
      table.SelectAll();
      table.act_ers_text_delmarkClick();
    }
    for (std::u16string s : {u"a", u"b", u"c", u"d", u"e"}) AddRow(s, u"");
    table.SetSelection(c.selection);
    table.MoveSelected(c.target);
    std::u16string order;
    for (const ReplacementRow& r : table.Rows()) order += r.search;
    EXPECT_EQ(order, c.order);
    if (order != u"abcde") {
      EXPECT_TRUE(table.SelectedRows().empty()) << "the moved copies are not selected";
    }
  }
}

TEST_F(ReplacementTableTest, RowsApplyInTableOrderAndDraggingChangesTheResult) {
  AddRow(u"a", u"b");
  AddRow(u"b", u"c");
  EXPECT_EQ(Capture(u"a"), u"c");
  table.SetSelection({false, true});
  table.MoveSelected(0);
  table.act_ers_text_deleteClick();  // the selection loaded "b"->"c" into the pair
  EXPECT_EQ(Capture(u"a"), u"b");
}

// A selected row is also in the fields, so it applies twice: once as the pair and
// once as a row. Clearing the fields ends that.
TEST_F(ReplacementTableTest, SelectedRowAppliesAsThePairAndAsTheRow) {
  AddRow(u"a", u"aa");
  table.SetSelection({true});
  EXPECT_EQ(Capture(u"a"), u"aaaa");
  table.act_ers_text_deleteClick();
  EXPECT_EQ(Capture(u"a"), u"aa");
}

TEST_F(ReplacementTableTest, RowsOfEveryModeApplyWhetherOrNotTheTableIsShown) {
  settings.SetFlag(Setting::act_ers_casesensitive, false);
  AddRow(u"x", u"");                       // plain, deletes every occurrence, either case
  AddRow(u"[0-9]+", u"#", true, false);     // expression, literal
  AddRow(u"(#)", u"<$1>", true, true);      // expression, template
  AddRow(u"<", u"$0", false, true);         // plain: the template flag alone means nothing
  settings.SetFlag(Setting::cb_se_mehrfach, false);
  EXPECT_EQ(Capture(u"1Xa2x"), u"$0#>a$0#>");
}

}  // namespace
}  // namespace tallowin::testing
