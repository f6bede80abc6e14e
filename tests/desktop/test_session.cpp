#include "desktop/session.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "base/utf.h"
#include "clipboard/memory_backend.h"

namespace tallowin::testing {
namespace {

class RecordingErrors : public ErrorSink {
 public:
  void ShowError(std::string_view message) override { messages.emplace_back(message); }
  std::vector<std::string> messages;
};

// Hands back scripted margins and counts the pictures it was shown.
class ScriptedMarquee : public MarqueeDialog {
 public:
  void Withdraw() override { ++withdrawn; }
  std::optional<MarginTexts> ChooseCutout(const RasterImage&) override {
    ++shown;
    return MarginTexts{u"1", u"1", u"0", u"0"};
  }
  int shown = 0;
  int withdrawn = 0;
};

RasterImage Picture(int width, int height) {
  RasterImage r = CreateRaster(width, height);
  for (std::size_t i = 0; i < r.pixels.size(); ++i) r.pixels[i] = static_cast<std::uint8_t>(i);
  return r;
}

// A session over an in-memory clipboard: no window, no display.
class SessionTest : public ::testing::Test {
 protected:
  // `present`: text on the clipboard before the session joins it.
  Session& Make(std::vector<std::string> assignments = {}, std::u16string present = {}) {
    SessionOptions options;
    options.programFolder = u"/session-test-folder/";
    options.assignments = std::move(assignments);
    session = std::make_unique<Session>(
        std::move(options),
        [this, &present] {
          auto made = std::make_unique<MemoryBackend>();
          if (!present.empty()) made->PlaceTextFromOtherProgram(present);
          board = made.get();
          return made;
        },
        errors);
    return *session;
  }

  RecordingErrors errors;
  MemoryBackend* board = nullptr;
  std::unique_ptr<Session> session;
};

TEST_F(SessionTest, StartProcessesTheContentPresentThenFinishesStartUp) {
  Session& s = Make({}, u"there before");
  s.Core().settings.SetText(Setting::savetxt_ordner, u"/elsewhere/");
  EXPECT_TRUE(s.Core().history.Entries().empty());

  s.Start();
  ASSERT_EQ(s.Core().history.Entries().size(), 1u);
  EXPECT_EQ(s.Core().views.Text(), u"there before\r\n");
  EXPECT_EQ(s.Core().settings.Text(Setting::savetxt_ordner), u"/session-test-folder/");
  EXPECT_EQ(s.Core().settings.Text(Setting::saveimg_ordner), u"/session-test-folder/");

  s.Start();  // once only
  EXPECT_EQ(s.Core().history.Entries().size(), 1u);
}

TEST_F(SessionTest, ACopyRunsOneCapturePassThatWritesBack) {
  Session& s = Make({"cb_textadd=1", "act_textadd_vorne=[", "act_textadd_hinten=]"});
  s.Start();
  s.ApplyStartAssignments();
  board->PlaceTextFromOtherProgram(u"copied");
  EXPECT_EQ(board->ReadText(), u"[copied]");
  EXPECT_EQ(s.Board().ReadText(), u"[copied]");
  EXPECT_EQ(s.Core().state.suppress.Value(), 0) << "the write-back's own notification was absorbed";
  EXPECT_EQ(s.Core().history.Entries().size(), 1u);
  EXPECT_TRUE(errors.messages.empty());
}

TEST_F(SessionTest, TheCaptureSwitchGatesPassesAndTellsEachRealChange) {
  Session& s = Make({"cb_textadd=1", "act_textadd_vorne=>"});
  s.Start();
  s.ApplyStartAssignments();
  std::vector<bool> told;
  CaptureSwitch::Subscription watching = s.Capture().Observe([&told](bool on) { told.push_back(on); });

  s.Capture().Set(false);
  s.Capture().Set(false);
  board->PlaceTextFromOtherProgram(u"left alone");
  EXPECT_EQ(board->ReadText(), u"left alone");
  EXPECT_FALSE(s.Core().state.captureActive);

  s.Capture().Toggle();
  board->PlaceTextFromOtherProgram(u"taken");
  EXPECT_EQ(board->ReadText(), u">taken");
  EXPECT_EQ(told, (std::vector<bool>{false, true}));

  watching.Reset();
  s.Capture().Set(false);
  EXPECT_EQ(told.size(), 2u) << "an ended observation is not told";
}

TEST_F(SessionTest, AnObserverMayEndItsOwnObservationWhileTold) {
  Session& s = Make();
  int calls = 0;
  CaptureSwitch::Subscription first;
  first = s.Capture().Observe([&](bool) {
    ++calls;
    first.Reset();
  });
  CaptureSwitch::Subscription second = s.Capture().Observe([&](bool) { ++calls; });
  s.Capture().Set(false);
  s.Capture().Set(true);
  EXPECT_EQ(calls, 3);
}

TEST_F(SessionTest, BadStartAssignmentsGoToTheErrorSinkAndTheRestStillApply) {
  Session& s = Make({"no_such_key=1", "cb_textadd=1", "cb_textadd", "cb_savetxt=x"});
  s.Start();
  s.ApplyStartAssignments();
  EXPECT_TRUE(s.Core().settings.Flag(Setting::cb_textadd));
  ASSERT_EQ(errors.messages.size(), 3u);
  EXPECT_EQ(errors.messages[0], "unknown setting \"no_such_key\"");
  EXPECT_EQ(errors.messages[1], "expected KEY=VALUE, got \"cb_textadd\"");
  EXPECT_EQ(errors.messages[2], "\"cb_savetxt\" takes a whole number, got \"x\"");
}

TEST_F(SessionTest, TheMarqueeIsAskedOnlyWhenOneIsAttached) {
  Session& s = Make({"cb_cutimg=1", "rb_cutimg_auswahl=1"});
  s.Start();
  s.ApplyStartAssignments();
  const RasterImage picture = Picture(6, 2);

  board->PlaceFromOtherProgram({{kFormatBitmap, {}}}, &picture);  // no dialog: the cut is skipped
  EXPECT_EQ(board->ReadBitmap().width, 6);

  ScriptedMarquee marquee;
  s.SetMarqueeDialog(&marquee);
  board->PlaceFromOtherProgram({{kFormatBitmap, {}}}, &picture);
  EXPECT_EQ(marquee.shown, 1);
  EXPECT_EQ(board->ReadBitmap().width, 4);
  s.SetMarqueeDialog(nullptr);
}

TEST(SessionBackend, AFactoryThatMakesNoBackendIsRefused) {
  RecordingErrors errors;
  EXPECT_THROW(Session(SessionOptions{}, [] { return std::unique_ptr<ClipboardBackend>(); }, errors),
               std::invalid_argument);
  EXPECT_THROW(Session(SessionOptions{}, ClipboardBackendFactory{}, errors), std::invalid_argument);
}

// Every face loads the same configurations at its start: those named on the
// command line (each marked whether it exists), else the program folder's start
// configuration when there is one.
TEST(SessionStartConfigurations, NamedFilesElseTheStartConfiguration) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("session-configurations-" + std::to_string(::getpid()));
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  const auto touch = [&](const std::string& name) {
    std::ofstream(folder / name) << "[PBCH]\r\n";
    return (folder / name).string();
  };
  const std::string first = touch("first.twk"), second = touch("second.twk");
  const std::string missing = (folder / "missing.twk").string();
  RecordingErrors errors;
  using Loaded = std::vector<std::tuple<std::string, bool, bool>>;
  const auto plan = [&](std::vector<std::string> named) {
    SessionOptions options;
    options.programFolder = Utf8ToUtf16(folder.string() + "/");
    options.configurations = std::move(named);
    Session session(std::move(options), [] { return std::make_unique<MemoryBackend>(); }, errors);
    Loaded loaded;
    for (const auto& c : session.StartConfigurations()) loaded.emplace_back(c.path, c.named, c.exists);
    return loaded;
  };
  EXPECT_EQ(plan({first, missing, second}),
            (Loaded{{first, true, true}, {missing, true, false}, {second, true, true}}));
  EXPECT_EQ(plan({}), Loaded{}) << "no start configuration in the folder";
  const std::string start = touch("Auto.twk");
  EXPECT_EQ(plan({}), (Loaded{{start, false, true}}));
  EXPECT_EQ(plan({missing}), (Loaded{{missing, true, false}})) << "a named file replaces the start file";
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace tallowin::testing
