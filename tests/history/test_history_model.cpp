#include <gtest/gtest.h>

#include "base/errors.h"
#include "clipboard/memory_clipboard.h"
#include "history/history_model.h"
#include "history_test_support.h"

namespace tallowin::testing {
namespace {

TEST(HistoryEntries, PreviewIsWholeUpTo247UnitsAndCutFrom248) {
  HistoryModel h;
  AddText(h, std::u16string(247, u'a'));
  AddText(h, std::u16string(248, u'b'));
  AddText(h, u"");

  ASSERT_EQ(h.Entries().size(), 3u);
  EXPECT_EQ(h.Entries()[0].content, std::u16string(247, u'a') + u"\r\n");
  EXPECT_EQ(h.Entries()[1].content, std::u16string(245, u'b') + u"...");
  EXPECT_EQ(h.Entries()[2].content, u"\r\n");
  EXPECT_EQ(*h.HistoryTexts()[1], std::u16string(248, u'b'));  // the stored text is never cut
}

TEST(HistoryEntries, TextAndImageEntriesCountTheirOwnNumbers) {
  HistoryModel h;
  h.AddImageEntry(1024, 768, Language::English, At(9, 5, 3));
  AddText(h, u"first", At(23, 59, 59));
  h.AddImageEntry(1, 2, Language::German, At(0, 0, 0));
  AddText(h, u"second");

  EXPECT_EQ(Column(h, 0), (Texts{u"09:05:03", u"23:59:59", u"00:00:00", u"12:00:00"}));
  EXPECT_EQ(Column(h, 1), (Texts{u"Image", u"Text", u"Bild", u"Text"}));
  EXPECT_EQ(Column(h, 2), (Texts{u"1024 x 768", u"first\r\n", u"1 x 2", u"second\r\n"}));
  EXPECT_EQ(Column(h, 3), (Texts{u"0", u"0", u"1", u"1"}));
  EXPECT_EQ(StoredTexts(h), (Texts{u"first", u"second"}));
  EXPECT_EQ(h.NextTextIndex(), 2);
  EXPECT_EQ(h.NextImageIndex(), 2);
}

class HistoryListTest : public ::testing::Test {
 protected:
  // Five text entries "t1".."t5" with an image entry between the second and third.
  void AddFiveTextsAndAnImage() {
    AddText(history, u"t1");
    AddText(history, u"t2");
    history.AddImageEntry(4, 3, Language::English, At(12, 0, 0));
    AddText(history, u"t3");
    AddText(history, u"t4");
    AddText(history, u"t5");
  }
  RecopyOutcome RecopyRow(std::size_t row) {
    for (std::size_t i = 0; i < history.Entries().size(); ++i) history.SetSelected(i, i == row);
    return history.Recopy(switches, clipboard);
  }

  HistoryModel history;
  FakeSwitches switches;
  MemoryClipboard clipboard;
};

TEST_F(HistoryListTest, RemovalKeepsTheStoredTextsOfTheRemainingEntriesReachable) {
  AddFiveTextsAndAnImage();
  history.SetSelected(1, true);  // t2
  history.SetSelected(3, true);  // t3
  history.KeyDown(HistoryKey::Delete, false);

  EXPECT_EQ(Column(history, 2), (Texts{u"t1\r\n", u"4 x 3", u"t4\r\n", u"t5\r\n"}));
  EXPECT_EQ(history.HistoryTexts().size(), 5u);  // positions are never shifted or reused
  EXPECT_EQ(RecopyRow(3), RecopyOutcome::TextCopied);
  EXPECT_EQ(clipboard.ReadText(), u"t5");

  AddText(history, u"t6");  // a new text never takes a freed position
  EXPECT_EQ(history.Entries().back().index, u"5");
  EXPECT_EQ(RecopyRow(4), RecopyOutcome::TextCopied);
  EXPECT_EQ(clipboard.ReadText(), u"t6");
}

TEST_F(HistoryListTest, SortingKeepsTheStoredTextsReachable) {
  AddText(history, u"banana", At(10, 0, 0));
  AddText(history, u"Apple", At(11, 0, 0));
  AddText(history, u"cherry", At(9, 0, 0));
  SortState sort;
  history.ColumnClick(sort, 2);

  EXPECT_EQ(Column(history, 2), (Texts{u"Apple\r\n", u"banana\r\n", u"cherry\r\n"}));
  EXPECT_EQ(RecopyRow(0), RecopyOutcome::TextCopied);
  EXPECT_EQ(clipboard.ReadText(), u"Apple");
}

TEST_F(HistoryListTest, CtrlASelectsAllAndDeleteRemovesWhateverModifiersAreHeld) {
  AddFiveTextsAndAnImage();
  history.KeyDown(HistoryKey::A, false);
  EXPECT_FALSE(history.HasSelection());
  EXPECT_FALSE(history.PopupAllowed());

  history.KeyDown(HistoryKey::A, true);
  EXPECT_TRUE(history.PopupAllowed());
  history.KeyDown(HistoryKey::Other, true);
  EXPECT_EQ(history.Entries().size(), 6u);
  history.KeyDown(HistoryKey::Delete, true);
  EXPECT_TRUE(history.Entries().empty());
  EXPECT_EQ(history.NextTextIndex(), 5);
}

TEST_F(HistoryListTest, RemoveEntriesOfOneKindKeepsTheOther) {
  AddFiveTextsAndAnImage();
  history.AddImageEntry(8, 8, Language::English, At(12, 0, 0));
  history.RemoveEntries(EntryKind::Image);
  EXPECT_EQ(Column(history, 1), Texts(5, u"Text"));
  history.RemoveEntries(EntryKind::Text);
  EXPECT_TRUE(history.Entries().empty());
}

TEST_F(HistoryListTest, SelectionFollowsTheEntryWhenSorted) {
  AddText(history, u"b");
  AddText(history, u"a");
  history.SetSelected(0, true);  // "b"
  SortState sort;
  history.ColumnClick(sort, 2);
  EXPECT_FALSE(history.Entries()[0].selected);
  EXPECT_TRUE(history.Entries()[1].selected);
  EXPECT_EQ(RecopyRow(1), RecopyOutcome::TextCopied);
  EXPECT_EQ(clipboard.ReadText(), u"b");
}

TEST_F(HistoryListTest, OnlyTextEntriesReportTheirSelectionChanges) {
  AddFiveTextsAndAnImage();
  int reports = 0;
  history.onTextEntrySelectionChanged = [&] { ++reports; };
  history.SetSelected(2, true);  // the image entry
  EXPECT_EQ(reports, 0);
  history.SetSelected(0, true);
  history.SetSelected(0, true);  // no change
  history.SetSelected(0, false);
  history.SetSelected(99, true);  // no such row
  EXPECT_EQ(reports, 2);
  history.SelectAll();  // five text entries change; the image entry is already selected
  EXPECT_EQ(reports, 7);
}

TEST_F(HistoryListTest, RecopyWritesTheFirstSelectedTextWithTheTextBoxOffAroundTheWrite) {
  AddFiveTextsAndAnImage();
  bool textsAddedDuringWrite = true;
  bool inProgressDuringWrite = false;
  clipboard.SetChangeHandler([&] {
    textsAddedDuringWrite = switches.textsAdded;
    inProgressDuringWrite = history.RecopyInProgress();
  });
  history.SetSelected(5, true);
  history.SetSelected(3, true);

  EXPECT_EQ(history.Recopy(switches, clipboard), RecopyOutcome::TextCopied);

  EXPECT_EQ(clipboard.ReadText(), u"t3");
  EXPECT_FALSE(textsAddedDuringWrite);
  EXPECT_TRUE(inProgressDuringWrite);
  EXPECT_TRUE(switches.textsAdded);
  EXPECT_FALSE(history.RecopyInProgress());
}

TEST_F(HistoryListTest, RecopyRestoresAnUncheckedTextBoxUnchecked) {
  AddText(history, u"x");
  switches.textsAdded = false;
  EXPECT_EQ(RecopyRow(0), RecopyOutcome::TextCopied);
  EXPECT_FALSE(switches.textsAdded);
}

TEST_F(HistoryListTest, RecopyCopiesNothingWhenSwitchedOffUnselectedOrAnImage) {
  AddFiveTextsAndAnImage();
  clipboard.WriteText(u"before");

  EXPECT_EQ(history.Recopy(switches, clipboard), RecopyOutcome::NothingCopied);  // nothing selected
  EXPECT_EQ(RecopyRow(2), RecopyOutcome::ShowImageMessage);
  switches.recopyEnabled = false;
  EXPECT_EQ(RecopyRow(0), RecopyOutcome::NothingCopied);

  EXPECT_EQ(clipboard.ReadText(), u"before");
  EXPECT_EQ(clipboard.NotificationCount(), 1);
  EXPECT_TRUE(switches.flips.empty());
}

TEST_F(HistoryListTest, ClipboardThatCannotBeOpenedRestoresTheBoxAndRaises) {
  AddText(history, u"x");
  history.SetSelected(0, true);
  clipboard.SetHeldByOtherProgram(true);
  try {
    history.Recopy(switches, clipboard);
    FAIL() << "expected the clipboard error";
  } catch (const TallowinError& e) {
    EXPECT_STREQ(e.what(), "Cannot open clipboard");
  }
  EXPECT_EQ(switches.flips, (std::vector<bool>{false, true}));
  EXPECT_FALSE(history.RecopyInProgress());
}

TEST(RecopyMessage, NamesBothReasonsInEitherLanguage) {
  EXPECT_EQ(RecopyImageMessage(Language::German),
            u"Im Moment können nur Texte erneut zur Zwischenablage hinzugefügt werden.\r\n"
            u"Alter Bilder aus der Zwischenablage werden wegen Ihres hohen Speicherverbrauchs nicht gespeichert.");
  const std::u16string_view english = RecopyImageMessage(Language::English);
  EXPECT_NE(english.find(u"only texts"), std::u16string_view::npos);
  EXPECT_NE(english.find(u"\r\nOlder clipboard images"), std::u16string_view::npos);
  EXPECT_EQ(kRecopyMessageCaption, u"Information");
}

}  // namespace
}  // namespace tallowin::testing
