#include <gtest/gtest.h>

#include "app/errors.h"
#include "history/details_model.h"
#include "history/history_model.h"
#include "history_test_support.h"

namespace tallowin::testing {
namespace {

DetailsModel DetailsOf(std::vector<DetailsRow> rows) {
  DetailsModel d;
  for (DetailsRow& r : rows) d.Append(std::move(r));
  return d;
}

std::vector<std::u16string> Names(const DetailsModel& d) {
  std::vector<std::u16string> out;
  for (const DetailsRow& r : d.Rows()) out.push_back(r.format);
  return out;
}

std::vector<int> Numbers(const DetailsModel& d) {
  std::vector<int> out;
  for (const DetailsRow& r : d.Rows()) out.push_back(r.number);
  return out;
}

TEST(SortState, RepeatedColumnTogglesAndANewColumnStartsAscending) {
  SortState s;
  const struct {
    int column;
    int descending;
  } clicks[] = {{0, 1}, {0, 0}, {0, 1}, {2, 0}, {2, 1}, {1, 0}, {0, 0}, {0, 1}};
  for (const auto& click : clicks) {
    s.ColumnClick(click.column);
    EXPECT_EQ(s.sortColumn, click.column);
    EXPECT_EQ(s.lastSortColumn, click.column);
    EXPECT_EQ(s.sortDescending, click.descending) << "click on column " << click.column;
  }
}

// Right after start, a click on "Zeit" sorts the history descending; a following
// click on "Format" in the details list continues the toggling of column 0.
TEST(SharedSortState, AClickInOneListContinuesTheTogglingOfTheOther) {
  SortState shared;
  HistoryModel history;
  AddText(history, u"a", At(9, 0, 0));
  AddText(history, u"b", At(14, 3, 22));
  AddText(history, u"c", At(10, 30, 0));
  DetailsModel details = DetailsOf({{u"UNICODETEXT", 13, {}}, {u"bitmap", 2, {}}, {u"Locale", 16, {}}});

  history.ColumnClick(shared, 0);
  EXPECT_EQ(Column(history, 0), (Texts{u"14:03:22", u"10:30:00", u"09:00:00"}));

  details.ColumnClick(shared, 0);
  EXPECT_EQ(Names(details), (Texts{u"bitmap", u"Locale", u"UNICODETEXT"}));

  history.ColumnClick(shared, 0);
  EXPECT_EQ(Column(history, 0), (Texts{u"14:03:22", u"10:30:00", u"09:00:00"}));
  details.ColumnClick(shared, 1);  // a new column: ascending
  EXPECT_EQ(Numbers(details), (std::vector<int>{2, 13, 16}));
}

TEST(HistorySort, TimesCompareAsNumbersNotAsTexts) {
  HistoryModel history;
  AddText(history, u"a", At(9, 59, 59));
  AddText(history, u"b", At(10, 0, 0));
  AddText(history, u"c", At(0, 0, 1));
  SortState ascending{0, 1, 0};
  history.Sort(ascending);
  EXPECT_EQ(Column(history, 0), (Texts{u"00:00:01", u"09:59:59", u"10:00:00"}));
}

TEST(HistorySort, TextColumnsIgnoreCaseAndReverseWhenDescending) {
  HistoryModel history;
  AddText(history, u"zebra");
  AddText(history, u"Äpfel");
  AddText(history, u"apple");
  AddText(history, u"Banana");
  history.AddImageEntry(10, 20, false, At(12, 0, 0));

  history.Sort(SortState{2, 2, 0});
  EXPECT_EQ(Column(history, 2),
            (Texts{u"10 x 20", u"apple\r\n", u"Banana\r\n", u"zebra\r\n", u"Äpfel\r\n"}));
  history.Sort(SortState{1, 1, 1});
  EXPECT_EQ(Column(history, 1), (Texts{u"Text", u"Text", u"Text", u"Text", u"Image"}));
}

// Times are always "HH:mm:ss" here, so only an hour beyond 32 bits once the
// separators are gone can make the number unreadable.
TEST(HistorySort, ATimeThatIsNoWholeNumberRaisesBeforeAnythingMoves) {
  HistoryModel history;
  AddText(history, u"a", At(9, 0, 0));
  AddText(history, u"b", At(2147483647, 0, 0));
  AddText(history, u"c", At(6, 0, 0));
  const Texts before = Column(history, 0);

  try {
    history.Sort(SortState{0, 0, 0});
    FAIL() << "expected the integer error";
  } catch (const TallowinError& e) {
    EXPECT_STREQ(e.what(), "'2147483647:00:00' is not a valid integer value");
  }
  EXPECT_EQ(Column(history, 0), before);
  history.Sort(SortState{2, 2, 0});  // other columns still sort
  EXPECT_EQ(Column(history, 2), (Texts{u"a\r\n", u"b\r\n", u"c\r\n"}));
}

TEST(DetailsSort, NumbersCompareAsIntegers) {
  DetailsModel details = DetailsOf({{u"x", 49161, {}}, {u"y", 13, {}}, {u"z", 2, {}}, {u"w", 49152, {}}});
  details.Sort(SortState{1, 1, 0});
  EXPECT_EQ(Numbers(details), (std::vector<int>{2, 13, 49152, 49161}));
  details.Sort(SortState{1, 1, 1});
  EXPECT_EQ(Numbers(details), (std::vector<int>{49161, 49152, 13, 2}));
}

TEST(DetailsSort, NamesAndValuesCompareIgnoringCase) {
  DetailsModel details = DetailsOf({{u"UNICODETEXT", 13, u"b"},
                                    {u"LOCALE", 16, u"C"},
                                    {u"dib", 8, u"a"},
                                    {u"BITMAP", 2, u""}});
  details.Sort(SortState{0, 0, 0});
  EXPECT_EQ(Names(details), (Texts{u"BITMAP", u"dib", u"LOCALE", u"UNICODETEXT"}));
  details.Sort(SortState{2, 2, 1});
  EXPECT_EQ(Names(details), (Texts{u"LOCALE", u"UNICODETEXT", u"dib", u"BITMAP"}));
}

}  // namespace
}  // namespace tallowin::testing
