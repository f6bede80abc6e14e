// A capture pass over multi-megabyte content: every view, the details list and
// the history show exactly what arrived, and they hold the one decoded buffer
// instead of copies of it.

#include <gtest/gtest.h>

#include <string>

#include "app/pipeline_fixture.h"
#include "clipboard/content_clipboard.h"
#include "clipboard/x11_formats.h"
#include "base/utf.h"

namespace tallowin::testing {
namespace {

struct LargeText {
  const char* name;
  std::size_t units;
  std::size_t lineLength;  // 0: one line without breaks
};

// ASCII, Latin-1 and a BMP character beyond it, with LF line breaks where asked.
std::u16string MakeText(const LargeText& kind) {
  static constexpr std::u16string_view kPattern = u"abcdefghij KLMNOP äöü € 0123456789 ";
  std::u16string text;
  text.reserve(kind.units);
  while (text.size() < kind.units) {
    if (kind.lineLength && text.size() % kind.lineLength == kind.lineLength - 1) {
      text.push_back(u'\n');
    } else {
      text.push_back(kPattern[text.size() % kPattern.size()]);
    }
  }
  return text;
}

std::vector<std::uint8_t> Utf8Bytes(const std::u16string& text) {
  const std::string utf8 = Utf16ToUtf8(text);
  return {utf8.begin(), utf8.end()};
}

// The pipeline over the clipboard the X11 backend uses: the content as a
// foreign owner's targets, decoded once.
class LargeContentTest : public ::testing::TestWithParam<LargeText> {
 protected:
  LargeContentTest() {
    PipelineParts parts = RequiredParts(settings, clipboard, state, details, views, history);
    parts.now = [] { return FixedTime(); };
    pipeline = std::make_unique<CapturePipeline>(parts);
    clipboard.SetChangeHandler([this] { pipeline->ProcessClipboardChange(); });
    settings.SetFlag(Setting::cb_textadd, true);
    settings.SetText(Setting::act_textadd_vorne, u"[");
    settings.SetText(Setting::act_textadd_hinten, u"]");
  }

  // A foreign copy offering UTF8_STRING and STRING (Latin-1), as many editors do.
  void CopyFromOtherProgram(const std::u16string& text) {
    std::vector<std::uint8_t> latin1(text.begin(), text.end());  // every unit here is below 0x100 or replaced
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (text[i] > 0xFF) latin1[i] = '?';
    }
    clipboard.SetContent(ContentFromTargets(clipboard.Registry(), {"UTF8_STRING", "STRING"},
                                            {{"UTF8_STRING", Utf8Bytes(text)}, {"STRING", latin1}}));
    pipeline->ProcessClipboardChange();
  }

  CaptureSettings settings;
  ContentClipboard clipboard;
  CaptureState state;
  DetailsModel details;
  ContentViewsModel views;
  HistoryModel history;
  std::unique_ptr<CapturePipeline> pipeline;
};

TEST_P(LargeContentTest, ViewsDetailsHistoryAndWriteBackAreExact) {
  const std::u16string text = MakeText(GetParam());
  CopyFromOtherProgram(text);

  ASSERT_EQ(details.Rows().size(), 2u);
  EXPECT_EQ(details.Rows()[0].number, kFormatUnicodeText);
  EXPECT_TRUE(details.Rows()[0].value == text);
  EXPECT_EQ(details.Rows()[1].number, kFormatText);
  EXPECT_EQ(details.Rows()[1].value.Size(), text.size() + 1);  // STRING's bytes and the terminator
  EXPECT_EQ(details.Rows()[1].value.Prefix(40), details.Rows()[1].value.Text().substr(0, 40));

  EXPECT_EQ(views.TextSize(), text.size() + 2);
  EXPECT_EQ(views.Text(), text + u"\r\n");
  EXPECT_EQ(views.TextPrefix(1000), (text + u"\r\n").substr(0, 1000));

  ASSERT_EQ(history.Entries().size(), 1u);
  EXPECT_EQ(history.Entries()[0].content, text.substr(0, 245) + u"...");
  ASSERT_EQ(history.HistoryTexts().size(), 1u);
  EXPECT_EQ(*history.HistoryTexts()[0], text);

  EXPECT_EQ(clipboard.ReadText(), u"[" + text + u"]");
  EXPECT_EQ(state.suppress.Value(), 0);
}

// The text arrives once: the details value, the text view and the history hold
// the buffer the clipboard decoded, so a large text is kept once, not per reader.
TEST_P(LargeContentTest, EveryReaderSharesTheOneDecodedText) {
  const std::u16string text = MakeText(GetParam());
  CopyFromOtherProgram(text);

  const SharedText& stored = history.HistoryTexts().at(0);
  // The history, the details row and the text view; the clipboard holds the write-back now.
  EXPECT_EQ(stored.use_count(), 3);
  EXPECT_EQ(&details.Rows()[0].value.Text(), stored.get());
  views.ClearText();
  EXPECT_EQ(stored.use_count(), 2);
  details.Clear();
  EXPECT_EQ(stored.use_count(), 1);
}

INSTANTIATE_TEST_SUITE_P(Texts, LargeContentTest,
                         ::testing::Values(LargeText{"OneLineOf3MB", 3'000'000, 0},
                                           LargeText{"LinesOf100In3MB", 3'000'000, 100},
                                           LargeText{"JustAboveThePreviewCut", 248, 0}),
                         [](const ::testing::TestParamInfo<LargeText>& info) { return info.param.name; });

// The same pass on the Windows-like clipboard of the core tests: one decoding of
// format 13 serves the details list, the view and the history.
TEST_F(PipelineTest, ALargeTextIsDecodedOnceOnTheMemoryClipboard) {
  On(Setting::cb_suchenersetzen);
  Set(Setting::act_ers_text_suchen, u"b");
  Set(Setting::act_ers_text_ersetzen, u"BB");
  const std::u16string text = MakeText({"", 2'000'000, 80});
  Copy(text);

  ASSERT_EQ(history.HistoryTexts().size(), 1u);
  EXPECT_EQ(*history.HistoryTexts()[0], text);
  // The history, the format-13 details row and the text view.
  EXPECT_EQ(history.HistoryTexts()[0].use_count(), 3);
  EXPECT_EQ(views.Text(), text + u"\r\n");
  std::u16string replaced;
  for (char16_t c : text) replaced += c == u'b' ? std::u16string(u"BB") : std::u16string(1, c);
  EXPECT_EQ(Clip(), replaced);
}

}  // namespace
}  // namespace tallowin::testing
