// Copies a password manager marks as secret are passed over as if capturing were off.

#include <filesystem>
#include <string>

#include "app/pipeline_fixture.h"
#include "clipboard/secret_content.h"

namespace tallowin::testing {
namespace {

class SecretContentTest : public PipelineTest {
 protected:
  // Every text action on, saving into a fresh folder.
  void EveryTextActionOn() {
    On(Setting::cb_suchenersetzen);
    Set(Setting::act_ers_text_suchen, u"pass");
    Set(Setting::act_ers_text_ersetzen, u"PASS");
    On(Setting::cb_textadd);
    Set(Setting::act_textadd_vorne, u">");
    On(Setting::cb_savetxt);
    Set(Setting::savetxt_ordner, folder.U16());
  }
  // A text as a password manager offers it: the text, and the hint target named `hintName`.
  void CopyWithHint(std::u16string_view text, const std::string& hintName, std::string hintValue) {
    const FormatNumber hint = clipboard.RegisterFormat(hintName);
    clipboard.PlaceFromOtherProgram({{kFormatUnicodeText, UnicodeTextBlock(text)},
                                     {kFormatText, AnsiTextBlock(text)},
                                     {hint, std::move(hintValue)}});
  }
  bool FolderEmpty() const { return std::filesystem::is_empty(folder.Path()); }

  TempFolder folder;
};

TEST_F(SecretContentTest, SecretCopyLeavesNoTraceAndTheNextCopyIsProcessed) {
  EveryTextActionOn();

  CopyWithHint(u"my password", kPasswordManagerHintTarget, "secret");

  EXPECT_EQ(Clip(), u"my password");
  EXPECT_TRUE(history.Entries().empty());
  EXPECT_TRUE(details.Rows().empty());
  EXPECT_TRUE(views.Text().empty());
  EXPECT_TRUE(FolderEmpty());
  EXPECT_EQ(state.textFileCounter, 0);
  EXPECT_EQ(state.suppress.Value(), 0);
  EXPECT_EQ(clipboard.NotificationCount(), 1);  // nothing was written back

  Copy(u"a pass");
  EXPECT_EQ(Clip(), u">a PASS");
  EXPECT_EQ(history.Entries().size(), 1u);
  EXPECT_FALSE(FolderEmpty());
}

TEST_F(SecretContentTest, OwnWriteNotificationIsStillConsumedBeforeTheHintIsLookedAt) {
  On(Setting::cb_textadd);
  Set(Setting::act_textadd_vorne, u">");
  state.suppress.Raise();

  CopyWithHint(u"pw", kPasswordManagerHintTarget, "secret");
  EXPECT_EQ(state.suppress.Value(), 0);
  EXPECT_EQ(Clip(), u"pw");

  Copy(u"x");
  EXPECT_EQ(Clip(), u">x");
}

TEST_F(SecretContentTest, OnlyTheHintTargetHoldingSecretPassesTheCopyOver) {
  struct Case {
    std::string name;
    std::string value;
    bool passedOver;
  };
  const Case cases[] = {
      {kPasswordManagerHintTarget, "secret", true},
      {kPasswordManagerHintTarget, std::string("secret\0", 7), true},
      {kPasswordManagerHintTarget, "secret\n", true},
      {kPasswordManagerHintTarget, "", false},
      {kPasswordManagerHintTarget, "public", false},
      {kPasswordManagerHintTarget, "secretive", false},
      {kPasswordManagerHintTarget, " secret", false},
      {"x-other-hint", "secret", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name + "=" + c.value);
    history.RemoveEntries(EntryKind::Text);
    EveryTextActionOn();
    std::filesystem::remove_all(folder.Path());
    std::filesystem::create_directories(folder.Path());

    CopyWithHint(u"pass", c.name, c.value);

    EXPECT_EQ(Clip(), c.passedOver ? u"pass" : u">PASS");
    EXPECT_EQ(history.Entries().empty(), c.passedOver);
    EXPECT_EQ(FolderEmpty(), c.passedOver);
    EXPECT_EQ(HintValueMeansSecret(c.value), c.passedOver || c.name != kPasswordManagerHintTarget);
  }
}

TEST_F(SecretContentTest, AnImageMarkedSecretIsNotCroppedOrSaved) {
  On(Setting::cb_cutimg);
  On(Setting::cb_saveimg);
  On(Setting::save_img_nachher);
  const FormatNumber hint = clipboard.RegisterFormat(kPasswordManagerHintTarget);
  const RasterImage image = SmallImage();
  clipboard.PlaceFromOtherProgram({{kFormatBitmap, {}}, {hint, "secret"}}, &image);
  EXPECT_TRUE(images.calls.empty());
  EXPECT_TRUE(history.Entries().empty());
}

}  // namespace
}  // namespace tallowin::testing
