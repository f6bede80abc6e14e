#include <unistd.h>

#include <fstream>
#include <iterator>

#include "base/errors.h"
#include "app/pipeline_fixture.h"
#include "clipboard/secret_content.h"
#include "base/utf.h"

namespace tallowin::testing {
namespace {

TEST_F(PipelineTest, CountersAreZeroAtStartAndCapturingIsOn) {
  EXPECT_TRUE(state.captureActive);
  EXPECT_EQ(state.suppress.Value(), 0);
  EXPECT_EQ(state.textFileCounter, 0);
  EXPECT_EQ(state.imageFileCounter, 0);
  EXPECT_EQ(state.textFileCodePage, 65001);
}

TEST_F(PipelineTest, CaptureSwitchOffChangesNothing) {
  On(Setting::cb_textadd);
  Set(Setting::act_textadd_vorne, u"[");
  state.captureActive = false;
  state.suppress.Raise();  // the gate does not even look at the counter

  Copy(u"abc");

  EXPECT_EQ(Clip(), u"abc");
  EXPECT_TRUE(details.Rows().empty());
  EXPECT_TRUE(views.Text().empty());
  EXPECT_TRUE(history.Entries().empty());
  EXPECT_EQ(state.suppress.Value(), 1);
}

TEST_F(PipelineTest, CounterAtTwoSwallowsTwoNotificationsThenProcessesTheThird) {
  On(Setting::cb_textadd);
  Set(Setting::act_textadd_vorne, u">");
  state.suppress.Raise();
  state.suppress.Raise();

  Copy(u"one");
  Copy(u"two");
  EXPECT_EQ(Clip(), u"two");
  EXPECT_TRUE(history.Entries().empty());
  EXPECT_EQ(state.suppress.Value(), 0);

  Copy(u"three");
  EXPECT_EQ(Clip(), u">three");
  ASSERT_EQ(history.Entries().size(), 1u);
}

TEST_F(PipelineTest, ReplaceWithNothingToReplaceStillWritesBackOnceWithoutASecondPass) {
  On(Setting::cb_suchenersetzen);

  Copy(u"unchanged");

  EXPECT_EQ(Clip(), u"unchanged");
  EXPECT_EQ(clipboard.NotificationCount(), 2);  // the copy and our one write-back
  EXPECT_EQ(passes, 2);
  EXPECT_EQ(history.Entries().size(), 1u);  // the write-back ended at the gate
  EXPECT_EQ(state.suppress.Value(), 0);
}

TEST_F(PipelineTest, AddTextWrapsTheReplacedTextWhileHistoryKeepsTheCopy) {
  On(Setting::cb_suchenersetzen);
  Set(Setting::act_ers_text_suchen, u"a");
  Set(Setting::act_ers_text_ersetzen, u"b");
  On(Setting::cb_textadd);
  Set(Setting::act_textadd_vorne, u"[\r\n");
  Set(Setting::act_textadd_hinten, u"]");

  Copy(u"aXa");

  EXPECT_EQ(Clip(), u"[\r\nbXb]");
  ASSERT_EQ(history.HistoryTexts().size(), 1u);
  EXPECT_EQ(*history.HistoryTexts()[0], u"aXa");
  EXPECT_EQ(views.Text(), u"aXa\r\n");
  EXPECT_EQ(state.suppress.Value(), 0);
}

TEST_F(PipelineTest, OwnWriteIsNeverProcessedAgain) {
  On(Setting::cb_textadd);
  Set(Setting::act_textadd_vorne, u"[");
  Set(Setting::act_textadd_hinten, u"]");

  Copy(u"abc");
  EXPECT_EQ(Clip(), u"[abc]");
  Copy(u"x");
  EXPECT_EQ(Clip(), u"[x]");
  EXPECT_EQ(history.Entries().size(), 2u);
}

TEST_F(PipelineTest, TableRowsApplyInOrderAfterTheSinglePairEvenWhenTheTableIsHidden) {
  On(Setting::cb_suchenersetzen);
  Set(Setting::act_ers_text_suchen, u"x");
  Set(Setting::act_ers_text_ersetzen, u"a");
  rows = {{u"a", u"b", u"-"}, {u"b", u"c", u"-"}, {u"C", u"d", u"-/x"}};
  ASSERT_FALSE(settings.Flag(Setting::cb_se_mehrfach));

  Copy(u"xa");
  EXPECT_EQ(Clip(), u"cc");  // "-/x" is plain and case-sensitive here: "C" is not found

  settings.SetFlag(Setting::act_ers_casesensitive, false);
  Copy(u"xa");
  EXPECT_EQ(Clip(), u"dd");
}

TEST_F(PipelineTest, ExpressionRowsWithoutAnEngineLeaveTheTextAlone) {
  On(Setting::cb_suchenersetzen);
  rows = {{u"[0-9]+", u"#", u"x/-"}, {u"[0-9]+", u"<$0>", u"x"}};
  Copy(u"a12");
  EXPECT_EQ(Clip(), u"a12");
}

TEST_F(PipelineTest, TextAndImageWithReplaceOnLeavesOnlyTheTextAndSkipsImageSteps) {
  On(Setting::cb_suchenersetzen);
  Set(Setting::act_ers_text_suchen, u"a");
  Set(Setting::act_ers_text_ersetzen, u"b");
  On(Setting::cb_cutimg);
  On(Setting::cb_resizeimg);
  const RasterImage image = SmallImage();

  clipboard.PlaceFromOtherProgram(
      {{kFormatUnicodeText, UnicodeTextBlock(u"cat")}, {kFormatBitmap, {}}, {kFormatText, AnsiTextBlock(u"cat")}},
      &image);

  EXPECT_EQ(Clip(), u"cbt");
  EXPECT_EQ(clipboard.CountFormats(), 2);
  EXPECT_THROW(clipboard.ReadBitmap(), TallowinError);
  EXPECT_TRUE(images.calls.empty());
  // Both content branches ran; the image branch came last and decides the page.
  EXPECT_EQ(views.VisiblePage(), ContentPage::Image);
  EXPECT_EQ(views.Tabs()[0], u"Image");
  EXPECT_EQ(history.Entries().size(), 2u);
}

TEST_F(PipelineTest, ImageStepsRunInOrderEachWritingBackOnce) {
  On(Setting::cb_cutimg);
  On(Setting::cb_resizeimg);
  On(Setting::cb_saveimg);
  On(Setting::save_img_vorher);
  ASSERT_TRUE(settings.Flag(Setting::save_img_nachher));
  TempFolder folder;
  Set(Setting::saveimg_ordner, folder.U16());

  CopyImage(SmallImage());

  EXPECT_EQ(images.calls,
            (std::vector<std::string>{"crop", "options", "save", "resize", "options", "save"}));
  EXPECT_EQ(clipboard.NotificationCount(), 3);  // the copy, the crop's and the resize's write-backs
  EXPECT_EQ(history.Entries().size(), 1u);
  EXPECT_EQ(state.suppress.Value(), 0);
  EXPECT_EQ(state.imageFileCounter, 2);
  ASSERT_EQ(images.savedPaths.size(), 2u);
  EXPECT_EQ(images.savedPaths[0], folder.U16() + u"/Clipboard Image 1.jpg");
  EXPECT_EQ(images.savedPaths[1], folder.U16() + u"/Clipboard Image 2.jpg");
}

// A copy made while the crop step waits (the cut-out dialog is open) runs its
// own pass inside; that pass does everything for the newer copy, so the older
// pass stops: nothing of it is written over the newer copy, and the newer copy
// is not saved or resized a second time.
TEST_F(PipelineTest, NewerCopyDuringTheCropIsProcessedOnceAndTheOlderPassStops) {
  On(Setting::cb_cutimg);
  On(Setting::cb_resizeimg);
  On(Setting::cb_saveimg);
  On(Setting::save_img_vorher);
  TempFolder folder;
  Set(Setting::saveimg_ordner, folder.U16());
  images.duringCrop = [this] { CopyImage(SmallImage(5, 4)); };

  CopyImage(SmallImage(3, 2));

  EXPECT_EQ(images.calls, (std::vector<std::string>{"crop", "newer picture", "crop", "options", "save", "resize",
                                                    "options", "save"}));
  const RasterImage now = ReadClipboardBitmap(clipboard);
  EXPECT_EQ(std::pair(now.width, now.height), std::pair(5, 4)) << "the older picture was written over the newer";
  EXPECT_EQ(history.Entries().size(), 2u);
  EXPECT_EQ(state.imageFileCounter, 2);
  EXPECT_EQ(state.suppress.Value(), 0);

  // A text copied meanwhile: the older picture's remaining steps do not run.
  images.calls.clear();
  images.duringCrop = [this] { Copy(u"newer text"); };
  CopyImage(SmallImage(3, 2));
  // Only the text's own pass runs on: its save steps push the options and find no picture.
  EXPECT_EQ(images.calls, (std::vector<std::string>{"crop", "newer content", "options", "options"}));
  EXPECT_EQ(Clip(), u"newer text");
  EXPECT_EQ(state.imageFileCounter, 2);
  EXPECT_EQ(state.suppress.Value(), 0);
}

// The pixel work of the image steps may run on another thread while newer
// copies are processed (the window keeps handling events meanwhile). A copy
// whose pass runs inside that wait is never written over by the older result,
// and the older pass stops there.
TEST_F(PipelineTest, NewerCopyWhileTheImageWorkRunsElsewhereWinsAndTheOlderPassStops) {
  On(Setting::cb_resizeimg);
  On(Setting::cb_saveimg);
  On(Setting::save_img_nachher);
  TempFolder folder;
  Set(Setting::saveimg_ordner, folder.U16());
  std::function<void()> duringWork;
  int worksRun = 0;
  pipeline->SetWorkRunner([&](const std::function<void()>& work) {
    if (duringWork) std::exchange(duringWork, nullptr)();
    std::thread worker([&] {
      work();
      ++worksRun;
    });
    worker.join();
  });

  duringWork = [this] { CopyImage(SmallImage(5, 4)); };
  CopyImage(SmallImage(3, 2));
  // The newer picture's pass: resize and save; the older one stops after its resize work.
  EXPECT_EQ(images.calls, (std::vector<std::string>{"resize", "newer content", "resize", "options", "save"}));
  EXPECT_EQ(worksRun, 3);
  const RasterImage now = ReadClipboardBitmap(clipboard);
  EXPECT_EQ(std::pair(now.width, now.height), std::pair(5, 4)) << "the older picture was written over the newer";
  EXPECT_EQ(state.imageFileCounter, 1);
  EXPECT_EQ(state.suppress.Value(), 0);

  // A text copied while the older picture's file is written: no write-back of it afterwards.
  images.calls.clear();
  settings.SetFlag(Setting::cb_resizeimg, false);
  On(Setting::cb_textadd);
  Set(Setting::act_textadd_vorne, u">");
  duringWork = [this] { Copy(u"newer text"); };
  CopyImage(SmallImage(3, 2));
  EXPECT_EQ(Clip(), u">newer text");
  EXPECT_EQ(state.suppress.Value(), 0);
}

// The file name is made before the picture is read: a picture that cannot be
// read still uses up its number.
TEST_F(PipelineTest, UnreadablePictureStillAdvancesTheImageCounter) {
  On(Setting::cb_saveimg);
  On(Setting::cb_cutimg);
  TempFolder folder;
  Set(Setting::saveimg_ordner, folder.U16());
  // The picture the pass showed is gone by the time it is to be saved: the
  // clipboard lists a bitmap without one (and the failed crop writes nothing).
  images.cropFails = true;
  images.duringCrop = [this] {
    clipboard.Open();
    clipboard.SetData(kFormatBitmap, {});
    clipboard.Close(MemoryClipboard::CloseMode::Quiet);
  };
  CopyImage(SmallImage());
  EXPECT_EQ(images.calls, (std::vector<std::string>{"crop", "options"}));
  EXPECT_EQ(state.imageFileCounter, 1);

  images.cropFails = false;
  CopyImage(SmallImage());
  ASSERT_EQ(images.savedPaths.size(), 1u);
  EXPECT_EQ(images.savedPaths[0], folder.U16() + u"/Clipboard Image 2.jpg");
}

TEST_F(PipelineTest, ImageStepsAreGatedBySwitches) {
  On(Setting::cb_saveimg);  // save after resizing is on by default, before is off
  TempFolder folder;
  Set(Setting::saveimg_ordner, folder.U16());
  CopyImage(SmallImage());
  EXPECT_EQ(images.calls, (std::vector<std::string>{"options", "save"}));

  images.calls.clear();
  settings.SetFlag(Setting::save_img_nachher, false);
  CopyImage(SmallImage());
  EXPECT_TRUE(images.calls.empty());
}

TEST_F(PipelineTest, TextStepsDoNothingForAnImage) {
  On(Setting::cb_suchenersetzen);
  On(Setting::cb_textadd);
  Set(Setting::act_textadd_vorne, u"x");
  CopyImage(SmallImage());
  EXPECT_EQ(clipboard.NotificationCount(), 1);
  EXPECT_EQ(views.VisiblePage(), ContentPage::Image);
  ASSERT_TRUE(views.Image() != nullptr);
  EXPECT_EQ(views.HorizontalRange(), 3);
  EXPECT_EQ(views.VerticalRange(), 2);
  ASSERT_EQ(history.Entries().size(), 1u);
  EXPECT_EQ(history.Entries()[0].content, u"3 x 2");
}

TEST_F(PipelineTest, GermanImageEntryAndTabAreNamedBild) {
  language = Language::German;
  CopyImage(SmallImage());
  EXPECT_EQ(views.Tabs(), (std::vector<std::u16string>{u"Bild", u"Details"}));
  EXPECT_EQ(history.Entries()[0].type, u"Bild");
}

TEST_F(PipelineTest, ContentWithoutTextOrImageKeepsPageTabsAndPicture) {
  CopyImage(SmallImage());
  const FormatNumber files = clipboard.RegisterFormat("text/uri-list");
  clipboard.PlaceFromOtherProgram({{files, "file:///x\r\n"}});

  ASSERT_EQ(details.Rows().size(), 1u);
  EXPECT_EQ(details.Rows()[0].format, u"text/uri-list");
  EXPECT_EQ(details.Rows()[0].number, 0xC000);
  EXPECT_EQ(details.Rows()[0].value, u"file:///x\r\n");
  EXPECT_TRUE(views.Text().empty());
  EXPECT_EQ(views.VisiblePage(), ContentPage::Image);
  EXPECT_EQ(views.Tabs()[0], u"Image");
  EXPECT_TRUE(views.Image() != nullptr);
}

TEST_F(PipelineTest, DetailsListEveryFormatWithNameNumberAndValue) {
  Copy(u"hé");
  ASSERT_EQ(details.Rows().size(), 2u);
  EXPECT_EQ(details.Rows()[0].format, u"UNICODETEXT");
  EXPECT_EQ(details.Rows()[0].number, 13);
  EXPECT_EQ(details.Rows()[0].value, u"hé");
  EXPECT_EQ(details.Rows()[1].format, u"TEXT");
  EXPECT_EQ(details.Rows()[1].number, 1);
  EXPECT_EQ(details.Rows()[1].value, std::u16string(u"hé\0", 3));  // the whole block, terminator included
}

// A backend may run the pass before every value is read and hand the whole
// content over later: the details list of that pass is filled again, once, even
// after the pass's write-back; a list showing no pass of that change is left alone.
TEST_F(PipelineTest, LateValuesCompleteTheDetailsOfTheLastPassOnly) {
  On(Setting::cb_textadd);
  Set(Setting::act_textadd_vorne, u"[");
  MemoryClipboard whole;
  const FormatNumber html = whole.RegisterFormat("text/html");
  whole.PlaceFromOtherProgram({{kFormatUnicodeText, UnicodeTextBlock(u"a")}, {html, "<b>a</b>"}});
  auto values = [this] {
    std::vector<std::u16string> v;
    for (const DetailsRow& row : details.Rows()) v.push_back(row.format + u"=" + row.value.Text());
    return v;
  };

  Copy(u"a");
  ASSERT_EQ(Clip(), u"[a");
  pipeline->CompleteDetails(whole);
  EXPECT_EQ(values(), (std::vector<std::u16string>{u"UNICODETEXT=a", u"text/html=<b>a</b>"}));
  pipeline->CompleteDetails(whole);  // once only: no second refill
  EXPECT_EQ(details.Rows().size(), 2u);

  // A secret copy's pass shows nothing, and its late values must not either.
  Copy(u"c");
  const FormatNumber hint = clipboard.RegisterFormat(kPasswordManagerHintTarget);
  clipboard.PlaceFromOtherProgram({{kFormatUnicodeText, UnicodeTextBlock(u"pw")}, {hint, "secret"}});
  pipeline->CompleteDetails(whole);
  EXPECT_EQ(values(), (std::vector<std::u16string>{u"UNICODETEXT=c", std::u16string(u"TEXT=c\0", 7)}));

  // Neither do those of a change made while capturing was off.
  Copy(u"d");
  state.captureActive = false;
  Copy(u"e");
  pipeline->CompleteDetails(whole);
  EXPECT_EQ(values(), (std::vector<std::u16string>{u"UNICODETEXT=d", std::u16string(u"TEXT=d\0", 7)}));
}

TEST_F(PipelineTest, UnnamedFormatEndsThePassAfterTheRowsListedSoFar) {
  On(Setting::cb_textadd);
  Set(Setting::act_textadd_vorne, u"[");
  // Number 300 is neither predefined nor registered.
  clipboard.SetChangeHandler({});
  clipboard.PlaceFromOtherProgram({{kFormatUnicodeText, UnicodeTextBlock(u"t")}, {300, "x"}});
  EXPECT_THROW(pipeline->ProcessClipboardChange(), TallowinError);
  ASSERT_EQ(details.Rows().size(), 1u);
  EXPECT_EQ(Clip(), u"t");
}

TEST_F(PipelineTest, ClipboardHeldByAnotherProgramRaisesAndKeepsTheCounterBalanced) {
  On(Setting::cb_textadd);
  clipboard.SetChangeHandler({});
  Copy(u"abc");
  clipboard.SetHeldByOtherProgram(true);
  try {
    pipeline->ProcessClipboardChange();
    FAIL() << "expected an error";
  } catch (const TallowinError& e) {
    EXPECT_STREQ(e.what(), "Cannot open clipboard");
  }
  EXPECT_EQ(state.suppress.Value(), 0);
  EXPECT_EQ(clipboard.OpenCount(), 0);
}

TEST_F(PipelineTest, FailedWriteBackDoesNotSwallowTheNextCopy) {
  // The holder lets reads through but refuses our write: the raised counter must
  // come back down, or the user's next copy would be ignored.
  class ReadOnlyClipboard : public MemoryClipboard {
   public:
    void WriteText(SharedText) override { throw TallowinError(kCannotOpenClipboard); }
  } readOnly;
  PipelineParts parts = RequiredParts(settings, readOnly, state, details, views, history);
  CapturePipeline p(parts);
  readOnly.SetChangeHandler([&p] { p.ProcessClipboardChange(); });
  On(Setting::cb_textadd);

  EXPECT_THROW(readOnly.PlaceTextFromOtherProgram(u"abc"), TallowinError);
  EXPECT_EQ(state.suppress.Value(), 0);
}

TEST_F(PipelineTest, SaveTextIsSkippedSilentlyWhenNameFolderOrFormatIsUnusable) {
  On(Setting::cb_savetxt);
  On(Setting::cb_textadd);
  Set(Setting::act_textadd_hinten, u"!");
  TempFolder folder;
  const struct {
    std::u16string folder, name, format;
  } cases[] = {
      {u"", u"n", u".txt"},
      {folder.U16(), u"", u".txt"},
      {folder.U16(), u"n", u""},
      {u"relative/folder", u"n", u".txt"},
  };
  for (const auto& c : cases) {
    Set(Setting::savetxt_ordner, c.folder);
    Set(Setting::savetxt_name, c.name);
    Set(Setting::savetxt_format, c.format);
    Copy(u"t");
    EXPECT_EQ(Clip(), u"t!");  // the steps before still ran
  }
  EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
  EXPECT_EQ(state.textFileCounter, 0);
}

std::string ReadFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST_F(PipelineTest, SaveTextNumbersPastExistingFilesAndKeepsTheCodePageChoice) {
  On(Setting::cb_savetxt);
  TempFolder folder;
  Set(Setting::savetxt_ordner, folder.U16());
  std::ofstream(folder.Path() / "Clipboard Text 1.txt") << "old";
  std::ofstream(folder.Path() / "Clipboard Text 2.txt") << "old";

  Copy(u"x€");
  EXPECT_EQ(state.textFileCounter, 3);
  EXPECT_EQ(state.textFileCodePage, 65001);
  EXPECT_EQ(ReadFile(folder.Path() / "Clipboard Text 3.txt"), "\xEF\xBB\xBFx\xE2\x82\xAC");

  Copy(u"ä");
  EXPECT_EQ(state.textFileCounter, 4);
  EXPECT_EQ(state.textFileCodePage, 0);
  EXPECT_EQ(ReadFile(folder.Path() / "Clipboard Text 4.txt"), "\xE4");
  EXPECT_EQ(ReadFile(folder.Path() / "Clipboard Text 1.txt"), "old");
}

TEST_F(PipelineTest, SaveTextSeesTheResultOfTheEarlierTextSteps) {
  On(Setting::cb_savetxt);
  On(Setting::cb_textadd);
  Set(Setting::act_textadd_vorne, u"<");
  TempFolder folder;
  Set(Setting::savetxt_ordner, folder.U16() + u"/sub/deeper");
  Set(Setting::savetxt_name, u"note");
  Set(Setting::savetxt_format, u"log");
  Copy(u"a");
  EXPECT_EQ(ReadFile(folder.Path() / "sub/deeper/note.log"), "<a");
}

}  // namespace
}  // namespace tallowin::testing
