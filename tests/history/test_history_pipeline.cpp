// The history wired to the capture pipeline and the settings, over an in-memory
// clipboard: re-copy, pruning and the text page shown on selection.

#include "base/errors.h"
#include "app/pipeline_fixture.h"
#include "history/history_reactions.h"

namespace tallowin::testing {
namespace {

class HistoryPipelineTest : public PipelineTest {
 protected:
  HistoryPipelineTest() { AttachHistoryReactions(settings, history, views); }

  RecopyOutcome RecopyRow(std::size_t row) {
    for (std::size_t i = 0; i < history.Entries().size(); ++i) history.SetSelected(i, i == row);
    return history.Recopy(switches, clipboard);
  }
  std::vector<std::u16string> Types() const {
    std::vector<std::u16string> out;
    for (const HistoryEntry& e : history.Entries()) out.push_back(e.type);
    return out;
  }
  void Off(Setting s) { settings.SetFlag(s, false); }

  SettingsHistorySwitches switches{settings};
};

TEST_F(HistoryPipelineTest, RecopyIsProcessedLikeANewCopyButAddsNoEntry) {
  On(Setting::cb_suchenersetzen);
  Set(Setting::act_ers_text_suchen, u"a");
  Set(Setting::act_ers_text_ersetzen, u"X");
  Copy(u"banana");
  Copy(u"other");
  ASSERT_EQ(Clip(), u"other");
  const int passesBefore = passes;

  EXPECT_EQ(RecopyRow(0), RecopyOutcome::TextCopied);

  EXPECT_EQ(Clip(), u"bXnXnX");                // the stored text, as first captured, replaced again
  EXPECT_EQ(passes, passesBefore + 2);         // the re-copy's own pass and its absorbed write-back
  EXPECT_EQ(views.Text(), u"banana\r\n");      // the pass showed the re-copied text
  EXPECT_EQ(history.Entries().size(), 2u);     // no entry added, none pruned
  EXPECT_EQ(history.HistoryTexts().size(), 2u);
  EXPECT_TRUE(settings.Flag(Setting::cb_history_txt));
  EXPECT_EQ(state.suppress.Value(), 0);
}

TEST_F(HistoryPipelineTest, RecopyOfAnImageEntryLeavesTheClipboardAlone) {
  CopyImage(SmallImage());
  Copy(u"text");
  const int passesBefore = passes;
  EXPECT_EQ(RecopyRow(0), RecopyOutcome::ShowImageMessage);
  EXPECT_EQ(Clip(), u"text");
  EXPECT_EQ(passes, passesBefore);
}

TEST_F(HistoryPipelineTest, UncheckingABoxPrunesItsKindOnly) {
  Copy(u"one");
  CopyImage(SmallImage());
  Copy(u"two");
  CopyImage(SmallImage(5, 5));

  Off(Setting::cb_history_img);
  EXPECT_EQ(Types(), (std::vector<std::u16string>{u"Text", u"Text"}));

  On(Setting::cb_history_img);  // brings nothing back
  EXPECT_EQ(history.Entries().size(), 2u);
  CopyImage(SmallImage());
  Off(Setting::cb_history_txt);
  EXPECT_EQ(Types(), (std::vector<std::u16string>{u"Image"}));
  EXPECT_EQ(history.HistoryTexts().size(), 2u);
}

TEST_F(HistoryPipelineTest, CheckingOrAnUnchangedValuePrunesNothing) {
  Copy(u"one");
  CopyImage(SmallImage());
  On(Setting::cb_history_txt);
  On(Setting::cb_history_img);
  settings.Set(Setting::cb_history_dblclick, false);
  EXPECT_EQ(history.Entries().size(), 2u);
}

TEST_F(HistoryPipelineTest, SelectingATextEntryShowsTheTextPageAndKeepsTheTabs) {
  Copy(u"text");
  CopyImage(SmallImage());
  ASSERT_EQ(views.VisiblePage(), ContentPage::Image);

  history.SetSelected(1, true);  // the image entry
  EXPECT_EQ(views.VisiblePage(), ContentPage::Image);
  history.SetSelected(0, true);
  EXPECT_EQ(views.VisiblePage(), ContentPage::Text);
  EXPECT_EQ(views.Tabs()[0], u"Image");
  EXPECT_EQ(views.SelectedTab(), 0);
}

TEST_F(HistoryPipelineTest, AFailedRecopyRestoresTheBoxWithoutPruning) {
  Copy(u"one");
  history.SetSelected(0, true);
  clipboard.SetHeldByOtherProgram(true);
  EXPECT_THROW(history.Recopy(switches, clipboard), TallowinError);
  EXPECT_TRUE(settings.Flag(Setting::cb_history_txt));
  EXPECT_EQ(history.Entries().size(), 1u);
  EXPECT_FALSE(history.RecopyInProgress());
}

}  // namespace
}  // namespace tallowin::testing
