#include <gtest/gtest.h>

#include <memory>

#include "base/errors.h"
#include "history/details_model.h"
#include "history/history_model.h"
#include "history/text_collator.h"
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
  history.SetCollator(std::make_shared<TextCollator>("en_US.UTF-8"));
  AddText(history, u"zebra");
  AddText(history, u"Äpfel");
  AddText(history, u"apple");
  AddText(history, u"Banana");
  history.AddImageEntry(10, 20, Language::English, At(12, 0, 0));

  history.Sort(SortState{2, 2, 0});
  EXPECT_EQ(Column(history, 2),
            (Texts{u"10 x 20", u"Äpfel\r\n", u"apple\r\n", u"Banana\r\n", u"zebra\r\n"}));
  history.Sort(SortState{1, 1, 1});
  EXPECT_EQ(Column(history, 1), (Texts{u"Text", u"Text", u"Text", u"Text", u"Image"}));
}

// Texts sort by the rules of the locale the collator was made for: an accented
// letter beside its base letter in German and English, "Ä" after "Z" in Swedish.
TEST(HistorySort, TextsFollowTheLocale) {
  const struct {
    const char* locale;
    Texts order;
  } cases[] = {
      {"de_DE.UTF-8", {u"Äpfel", u"Apfelsine", u"apple", u"Banana", u"Öl", u"zebra"}},
      {"en_GB.UTF-8", {u"Äpfel", u"Apfelsine", u"apple", u"Banana", u"Öl", u"zebra"}},
      {"de", {u"Äpfel", u"Apfelsine", u"apple", u"Banana", u"Öl", u"zebra"}},
      {"sv_SE.UTF-8", {u"Apfelsine", u"apple", u"Banana", u"zebra", u"Äpfel", u"Öl"}},
  };
  for (const auto& c : cases) {
    HistoryModel history;
    history.SetCollator(std::make_shared<TextCollator>(c.locale));
    for (const char16_t* text : {u"zebra", u"Öl", u"Äpfel", u"apple", u"Banana", u"Apfelsine"}) {
      history.AddTextEntry(text, MakeSharedText(text), At(12, 0, 0));
    }
    history.Sort(SortState{2, 2, 0});
    EXPECT_EQ(Column(history, 2), c.order) << c.locale;
    history.Sort(SortState{2, 2, 1});
    EXPECT_EQ(Column(history, 2), Texts(c.order.rbegin(), c.order.rend())) << c.locale;
  }
}

// Texts that differ only in case compare equal; the sort keeps their order in
// both directions, and an accent still tells two texts apart.
TEST(DetailsSort, CaseOnlyDifferencesKeepTheirOrder) {
  DetailsModel details = DetailsOf({{u"text", 1, {}}, {u"Täxt", 2, {}}, {u"TEXT", 3, {}}, {u"Text", 4, {}}});
  details.SetCollator(std::make_shared<TextCollator>("de_DE"));
  details.Sort(SortState{0, 0, 0});
  EXPECT_EQ(Numbers(details), (std::vector<int>{2, 1, 3, 4}));
  details.Sort(SortState{0, 0, 1});
  EXPECT_EQ(Numbers(details), (std::vector<int>{1, 3, 4, 2}));
  details.Sort(SortState{2, 2, 0});  // equal (empty) values: nothing moves
  EXPECT_EQ(Numbers(details), (std::vector<int>{1, 3, 4, 2}));
}

TEST(TextCollator, LocaleComesFromTheFirstSetVariable) {
  const struct {
    const char *lcAll, *lcCollate, *lang, *expected, *collationLocale;
  } cases[] = {
      {"de_DE.UTF-8", "sv_SE.UTF-8", "en_US.UTF-8", "de_DE.UTF-8", "de_DE"},
      {"", "sv_SE.UTF-8@euro", "en_US.UTF-8", "sv_SE.UTF-8@euro", "sv_SE"},
      {nullptr, nullptr, "en_US.ISO-8859-1", "en_US.ISO-8859-1", "en_US"},
      {nullptr, "", "", "", ""},
      {"C.UTF-8", nullptr, "de_DE", "C.UTF-8", ""},
      {"POSIX", nullptr, nullptr, "POSIX", ""},
  };
  for (const auto& c : cases) {
    const std::string name = TextCollator::UserLocaleName(c.lcAll, c.lcCollate, c.lang);
    EXPECT_EQ(name, c.expected);
    EXPECT_EQ(TextCollator(name).collationLocale(), c.collationLocale) << name;
  }
}

TEST(TextCollator, KeysOrderLikeTheLocaleAndIgnoreCase) {
  const TextCollator german("de_DE");
  EXPECT_EQ(german.SortKey(u"Äpfel Öl"), german.SortKey(u"äPFEL öL"));
  EXPECT_LT(german.SortKey(u"Äpfel"), german.SortKey(u"Bär"));
  EXPECT_LT(german.SortKey(u"a"), german.SortKey(u"ä"));  // accents still count
  // U+0000 inside a text does not end it.
  EXPECT_NE(german.SortKey(std::u16string(u"a\0b", 3)), german.SortKey(u"a"));
  const std::u16string large(1 << 20, u'x');
  EXPECT_LT(german.SortKey(large), german.SortKey(large + u"y"));
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
