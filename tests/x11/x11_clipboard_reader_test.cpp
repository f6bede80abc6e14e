// The reader against real clipboard owners on a real X server: xclip for what
// ordinary programs do, a scripted Python owner for what careless, slow or
// dying owners do, and an owner that never answers.

#include "x11/x11_clipboard_reader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <future>
#include <memory>
#include <sstream>
#include <thread>

#include "x11/x11_test_support.h"

namespace tallowin {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using ::testing::Key;
using ::testing::Pair;
using namespace std::chrono_literals;
namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;
using x11test::ChildProcess;

// Liveness bound: far above every timeout these tests set, far below a hang.
constexpr auto kMustReturnWithin = 10s;
// For owners that do answer: a busy test machine must not turn a slow answer
// into a missing one.
constexpr auto kLiveOwnerTimeout = 5s;

// The pictures the tests pretend to decode.
const std::vector<std::string> kDecodable = {"image/png", "image/bmp", "image/jpeg"};
const X11ReadPlan kEverything{true, true, kDecodable};
const X11ReadPlan kTargetsOnly{false, false, kDecodable};

const std::vector<std::string> kMetaTargets = {"TARGETS", "MULTIPLE",    "TIMESTAMP",
                                               "DELETE",  "INCR",        "SAVE_TARGETS"};

Bytes ToBytes(std::string_view s) { return Bytes(s.begin(), s.end()); }

// What the scripted owner sends for --size and --incr.
Bytes Pattern(std::size_t n) {
  Bytes bytes(n);
  for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<std::uint8_t>(i % 251);
  return bytes;
}

// What the scripted owner sends for a plain target.
Bytes Placeholder(const std::string& target) { return ToBytes("<" + target + ">"); }

// Text large enough that xclip must send it through INCR.
Bytes LargeText() {
  std::string text;
  for (int line = 0; text.size() < (2u << 20); ++line) {
    text += "line " + std::to_string(line) + " of a long clipboard text, with umlauts: äöü\n";
  }
  return ToBytes(text);
}

// 4 x 3 RGB picture.
const Bytes kPng = {
    0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48, 0x44,
    0x52, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x03, 0x08, 0x02, 0x00, 0x00, 0x00, 0x3b,
    0x96, 0x39, 0x91, 0x00, 0x00, 0x00, 0x30, 0x49, 0x44, 0x41, 0x54, 0x78, 0x9c, 0x63, 0x60,
    0x60, 0x60, 0xb0, 0xb1, 0xb1, 0xa9, 0xa8, 0xa8, 0xd8, 0xb2, 0x65, 0x0b, 0x83, 0x88, 0x88,
    0x48, 0x40, 0x40, 0x40, 0x4f, 0x4f, 0xcf, 0x89, 0x13, 0x27, 0x18, 0x34, 0x34, 0x34, 0x52,
    0x52, 0x52, 0x16, 0x2c, 0x58, 0x70, 0xe7, 0xce, 0x1d, 0x00, 0xf5, 0xc7, 0x0f, 0x79, 0x1a,
    0x52, 0xea, 0xd4, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4e, 0x44, 0xae, 0x42, 0x60, 0x82};

class X11ReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "needs an X server, e.g. under xvfb-run";
    ASSERT_TRUE(x11test::HoldServerConnection()) << "cannot connect to the X server";
    ASSERT_TRUE(x11test::WaitForNoClipboardOwner()) << "CLIPBOARD is still owned";
    std::string dir = (fs::temp_directory_path() / "tallowin-x11-XXXXXX").string();
    ASSERT_NE(mkdtemp(dir.data()), nullptr);
    dir_ = dir;
  }

  void TearDown() override {
    owners_.clear();
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }

  // Puts `bytes` on the clipboard with xclip, under `target` (empty: xclip's
  // text default), and waits until xclip answers requests.
  void XclipOwns(const Bytes& bytes, const std::string& target = {}) {
    const fs::path file = dir_ / ("content" + std::to_string(owners_.size()));
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    std::vector<std::string> argv = {"xclip", "-selection", "clipboard", "-quiet"};
    if (!target.empty()) argv.insert(argv.end(), {"-t", target});
    owners_.push_back(std::make_unique<ChildProcess>(argv, file, x11test::ChildStderr::kDiscard));
    const Clock::time_point deadline = Clock::now() + kMustReturnWithin;
    while (XclipListedTargets().empty()) {
      ASSERT_LT(Clock::now(), deadline) << "xclip never served the clipboard";
      std::this_thread::sleep_for(50ms);
    }
  }

  // The targets as xclip's own reader lists them, meta targets left out.
  static std::vector<std::string> XclipListedTargets() {
    std::string out;
    if (x11test::RunCommand({"xclip", "-selection", "clipboard", "-o", "-t", "TARGETS"}, &out) != 0) {
      return {};
    }
    std::vector<std::string> targets;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
      if (std::find(kMetaTargets.begin(), kMetaTargets.end(), line) == kMetaTargets.end()) {
        targets.push_back(line);
      }
    }
    return targets;
  }

  ChildProcess& StartOwner(const std::vector<std::string>& argv) {
    owners_.push_back(std::make_unique<ChildProcess>(argv));
    const auto ready = owners_.back()->ReadLine(kMustReturnWithin);
    EXPECT_EQ(ready, "ready") << argv[1];
    return *owners_.back();
  }

  ChildProcess& ScriptedOwner(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {
        "/usr/bin/python3", (x11test::SourceDir() / "tests/x11/scripted_clipboard_owner.py").string()};
    argv.insert(argv.end(), args.begin(), args.end());
    return StartOwner(argv);
  }

  ChildProcess& HungOwner() {
    return StartOwner({"/usr/bin/python3",
                       (x11test::SourceDir() / "tests/tools/hung_clipboard_owner.py").string()});
  }

  // The targets the scripted owner was asked for so far, in order.
  static std::vector<std::string> Requests(ChildProcess& owner) {
    std::vector<std::string> names;
    for (const std::string& line : owner.ReadAvailableLines()) {
      if (line.starts_with("request ")) names.push_back(line.substr(8));
    }
    return names;
  }

  std::vector<std::unique_ptr<ChildProcess>> owners_;
  fs::path dir_;
};

// --- Ordinary owners -------------------------------------------------------

struct XclipCase {
  const char* name;
  std::string target;  // as given to xclip -t; empty for its text default
  Bytes content;
  std::string readAs;  // the target whose bytes must come back
};

class XclipContentTest : public X11ReaderTest, public ::testing::WithParamInterface<XclipCase> {};

TEST_P(XclipContentTest, ListsTargetsAndReadsExactBytes) {
  const XclipCase& c = GetParam();
  XclipOwns(c.content, c.target);
  X11ClipboardReader reader;
  reader.SetRequestTimeout(kLiveOwnerTimeout);
  ASSERT_TRUE(reader.Connected());

  const X11ClipboardSnapshot snapshot = reader.ReadSnapshot(kEverything);

  EXPECT_TRUE(snapshot.ownerAnswered);
  EXPECT_FALSE(snapshot.cancelled);
  EXPECT_EQ(snapshot.targets, XclipListedTargets());
  EXPECT_THAT(snapshot.targets, ::testing::Contains(c.readAs));
  for (const std::string& meta : kMetaTargets) {
    EXPECT_THAT(snapshot.targets, ::testing::Not(::testing::Contains(meta)));
  }
  ASSERT_TRUE(snapshot.data.contains(c.readAs));
  EXPECT_TRUE(snapshot.data.at(c.readAs) == c.content)
      << c.readAs << ": " << snapshot.data.at(c.readAs).size() << " bytes, " << c.content.size()
      << " expected";
  EXPECT_THAT(snapshot.failed, IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Xclip, XclipContentTest,
    ::testing::Values(
        XclipCase{"Utf8Text", "", ToBytes("Grüße aus dem Clipboard\nzweite Zeile\n"), "UTF8_STRING"},
        XclipCase{"Html", "text/html", ToBytes("<b>bold</b> &amp; <i>ä</i>"), "text/html"},
        XclipCase{"Png", "image/png", kPng, "image/png"},
        XclipCase{"IncrText", "", LargeText(), "UTF8_STRING"}),
    [](const ::testing::TestParamInfo<XclipCase>& info) { return std::string(info.param.name); });

TEST_F(X11ReaderTest, SameReaderFollowsClipboardChanges) {
  X11ClipboardReader reader;
  reader.SetRequestTimeout(kLiveOwnerTimeout);
  XclipOwns(ToBytes("first"));
  EXPECT_EQ(reader.ReadSnapshot(kEverything).data.at("UTF8_STRING"), ToBytes("first"));

  owners_.clear();
  XclipOwns(ToBytes("<p>second</p>"), "text/html");
  const X11ClipboardSnapshot second = reader.ReadSnapshot(kEverything);
  EXPECT_THAT(second.targets, ElementsAre("text/html"));
  EXPECT_THAT(second.data, ElementsAre(Key("text/html")));
  EXPECT_EQ(second.data.at("text/html"), ToBytes("<p>second</p>"));
}

TEST_F(X11ReaderTest, TargetsOnlyPlanReadsNoBytes) {
  XclipOwns(kPng, "image/png");
  X11ClipboardReader reader;
  reader.SetRequestTimeout(kLiveOwnerTimeout);
  const X11ClipboardSnapshot snapshot = reader.ReadSnapshot(kTargetsOnly);
  EXPECT_TRUE(snapshot.ownerAnswered);
  EXPECT_THAT(snapshot.targets, ElementsAre("image/png"));
  EXPECT_THAT(snapshot.data, IsEmpty());
  EXPECT_THAT(snapshot.failed, IsEmpty());
}

// --- Careless owners -------------------------------------------------------

TEST_F(X11ReaderTest, MetaTargetsAreNeitherListedNorRequested) {
  ChildProcess& owner = ScriptedOwner({"MULTIPLE", "TIMESTAMP", "UTF8_STRING", "SAVE_TARGETS",
                                       "text/x-custom", "DELETE", "INCR", "UTF8_STRING",
                                       "text/x-refused", "--refuse", "text/x-refused"});
  X11ClipboardReader reader;
  reader.SetRequestTimeout(kLiveOwnerTimeout);
  const X11ClipboardSnapshot snapshot = reader.ReadSnapshot(kEverything);

  EXPECT_TRUE(snapshot.ownerAnswered);
  EXPECT_THAT(snapshot.targets, ElementsAre("UTF8_STRING", "text/x-custom", "text/x-refused"));
  EXPECT_THAT(snapshot.data, ElementsAre(Pair("UTF8_STRING", Placeholder("UTF8_STRING")),
                                         Pair("text/x-custom", Placeholder("text/x-custom"))));
  EXPECT_THAT(snapshot.failed, ElementsAre("text/x-refused"));
  EXPECT_THAT(Requests(owner), ElementsAre("TARGETS", "UTF8_STRING", "text/x-custom", "text/x-refused"));
}

TEST_F(X11ReaderTest, RefusedTargetListCountsAsAnsweredAndEmpty) {
  ChildProcess& owner = ScriptedOwner({"UTF8_STRING", "--refuse", "TARGETS"});
  X11ClipboardReader reader;
  reader.SetRequestTimeout(kLiveOwnerTimeout);
  const X11ClipboardSnapshot snapshot = reader.ReadSnapshot(kEverything);
  EXPECT_TRUE(snapshot.ownerAnswered);
  EXPECT_THAT(snapshot.targets, IsEmpty());
  EXPECT_THAT(snapshot.data, IsEmpty());
  EXPECT_THAT(snapshot.failed, IsEmpty());
  EXPECT_THAT(Requests(owner), ElementsAre("TARGETS"));
}

struct ImageCase {
  const char* name;
  std::vector<std::string> offered;
  X11ReadPlan plan;
  std::vector<std::string> read;  // in the order they must be requested
};

class ImageChoiceTest : public X11ReaderTest, public ::testing::WithParamInterface<ImageCase> {};

TEST_P(ImageChoiceTest, RequestsExactlyThePlannedTargets) {
  const ImageCase& c = GetParam();
  ChildProcess& owner = ScriptedOwner(c.offered);
  X11ClipboardReader reader;
  reader.SetRequestTimeout(kLiveOwnerTimeout);
  const X11ClipboardSnapshot snapshot = reader.ReadSnapshot(c.plan);

  EXPECT_THAT(snapshot.targets, ElementsAreArray(c.offered));
  std::vector<std::string> readKeys;
  for (const auto& [target, bytes] : snapshot.data) {
    readKeys.push_back(target);
    EXPECT_EQ(bytes, Placeholder(target));
  }
  EXPECT_THAT(readKeys, ::testing::UnorderedElementsAreArray(c.read));
  std::vector<std::string> expectedRequests = {"TARGETS"};
  expectedRequests.insert(expectedRequests.end(), c.read.begin(), c.read.end());
  EXPECT_EQ(Requests(owner), expectedRequests);
}

INSTANTIATE_TEST_SUITE_P(
    Plans, ImageChoiceTest,
    ::testing::Values(
        ImageCase{"PngPreferred", {"image/bmp", "PIXMAP", "image/png", "text/plain"},
                  {false, true, kDecodable}, {"image/png"}},
        ImageCase{"FirstImageWithoutPng", {"BITMAP", "image/jpeg", "image/bmp"}, {false, true, kDecodable},
                  {"image/jpeg"}},
        ImageCase{"HandlesAreNeverRead", {"PIXMAP", "BITMAP"}, {true, true, kDecodable}, {}},
        ImageCase{"AllTargetsSkipsImages", {"text/plain", "image/png", "PIXMAP", "text/html"},
                  {true, false, kDecodable}, {"text/plain", "text/html"}},
        ImageCase{"AllTargetsAndOneImage", {"image/bmp", "text/plain", "image/png"}, {true, true, kDecodable},
                  {"text/plain", "image/png"}},
        // A picture nothing decodes is a target like any other: read for the
        // inspector, never taken for the picture.
        ImageCase{"UndecodableImageIsAnOrdinaryTarget", {"image/svg+xml", "image/png", "text/plain"},
                  {true, true, {"image/png"}}, {"image/svg+xml", "image/png", "text/plain"}},
        ImageCase{"PictureIsTheFirstDecodable", {"image/png", "image/x-rare"}, {false, true, {"image/x-rare"}},
                  {"image/x-rare"}}),
    [](const ::testing::TestParamInfo<ImageCase>& info) { return std::string(info.param.name); });

TEST_F(X11ReaderTest, SizeCapFailsLargeTargetsAndKeepsReadingOthers) {
  ScriptedOwner({"--size", "text/x-big:1001", "--incr", "text/x-big-incr:1001",
                 "--size", "text/x-at-cap:1000", "--incr", "text/x-incr-at-cap:1000",
                 "text/x-big", "text/x-big-incr", "text/x-at-cap", "text/x-incr-at-cap"});
  X11ClipboardReader reader;
  reader.SetRequestTimeout(kLiveOwnerTimeout);
  reader.SetSizeCap(1000);
  const X11ClipboardSnapshot capped = reader.ReadSnapshot(kEverything);
  EXPECT_THAT(capped.failed, ElementsAre("text/x-big", "text/x-big-incr"));
  EXPECT_THAT(capped.data, ElementsAre(Pair("text/x-at-cap", Pattern(1000)),
                                       Pair("text/x-incr-at-cap", Pattern(1000))));

  // A transfer stopped at the cap must not spoil the next snapshot.
  reader.SetSizeCap(X11ClipboardReader::kDefaultSizeCap);
  const X11ClipboardSnapshot full = reader.ReadSnapshot(kEverything);
  EXPECT_THAT(full.failed, IsEmpty());
  ASSERT_EQ(full.data.size(), 4u);
  EXPECT_EQ(full.data.at("text/x-big"), Pattern(1001));
  EXPECT_EQ(full.data.at("text/x-big-incr"), Pattern(1001));
}

// The values of one snapshot together stay under the total cap: a value that
// does not fit beside those kept before it fails, a later one that does is kept.
TEST_F(X11ReaderTest, TotalCapFailsTheValuesBeyondItAndKeepsThoseThatFit) {
  ScriptedOwner({"--size", "text/x-a:600", "--incr", "text/x-b:600", "--incr", "text/x-c:301",
                 "--size", "text/x-d:301", "--size", "text/x-e:300", "--size", "text/x-f:1",
                 "text/x-a", "text/x-b", "text/x-c", "text/x-d", "text/x-e", "text/x-f"});
  X11ClipboardReader reader;
  reader.SetRequestTimeout(kLiveOwnerTimeout);
  reader.SetSizeCap(1000);
  reader.SetTotalCap(1500);
  const X11ClipboardSnapshot capped = reader.ReadSnapshot(kEverything);
  EXPECT_THAT(capped.failed, ElementsAre("text/x-c", "text/x-d", "text/x-f"));
  EXPECT_THAT(capped.data, ElementsAre(Pair("text/x-a", Pattern(600)), Pair("text/x-b", Pattern(600)),
                                       Pair("text/x-e", Pattern(300))));

  // The cap is per snapshot: the next one starts afresh.
  reader.SetTotalCap(X11ClipboardReader::kDefaultTotalCap);
  const X11ClipboardSnapshot full = reader.ReadSnapshot(kEverything);
  EXPECT_THAT(full.failed, IsEmpty());
  EXPECT_EQ(full.data.size(), 6u);
}

// xclip serves nobody else while one of its INCR transfers is open: stopping
// at the cap must not leave it waiting.
TEST_F(X11ReaderTest, SizeCapAppliesToXclipIncrTransferAndLeavesXclipServing) {
  XclipOwns(LargeText());
  X11ClipboardReader reader;
  reader.SetRequestTimeout(kLiveOwnerTimeout);
  reader.SetSizeCap(1 << 20);
  const X11ClipboardSnapshot snapshot = reader.ReadSnapshot(kEverything);
  EXPECT_TRUE(snapshot.ownerAnswered);
  EXPECT_THAT(snapshot.failed, ElementsAre("UTF8_STRING"));
  EXPECT_THAT(snapshot.data, IsEmpty());

  reader.SetSizeCap(X11ClipboardReader::kDefaultSizeCap);
  const X11ClipboardSnapshot again = reader.ReadSnapshot(kEverything);
  EXPECT_TRUE(again.ownerAnswered);
  EXPECT_THAT(again.failed, IsEmpty());
  ASSERT_TRUE(again.data.contains("UTF8_STRING"));
  EXPECT_TRUE(again.data.at("UTF8_STRING") == LargeText());
}

TEST_F(X11ReaderTest, OwnerDyingMidIncrFailsTheRestPromptly) {
  ScriptedOwner({"--incr", "UTF8_STRING:1000000", "--die-mid-incr", "UTF8_STRING", "text/x-after"});
  X11ClipboardReader reader;
  reader.SetRequestTimeout(2s);
  const Clock::time_point start = Clock::now();
  const X11ClipboardSnapshot snapshot = reader.ReadSnapshot(kEverything);
  EXPECT_LT(Clock::now() - start, kMustReturnWithin);
  EXPECT_TRUE(snapshot.ownerAnswered);
  EXPECT_THAT(snapshot.targets, ElementsAre("UTF8_STRING", "text/x-after"));
  EXPECT_THAT(snapshot.failed, ElementsAre("UTF8_STRING", "text/x-after"));
  EXPECT_THAT(snapshot.data, IsEmpty());

  ASSERT_TRUE(x11test::WaitForNoClipboardOwner());
  EXPECT_FALSE(reader.ReadSnapshot(kEverything).ownerAnswered);
}

// One unanswered target costs one timeout: the owner is not asked for the
// targets after it, since an owner that stopped answering would cost a timeout
// for each of them.
TEST_F(X11ReaderTest, FirstUnansweredTargetEndsTheSnapshot) {
  ChildProcess& owner = ScriptedOwner(
      {"--ignore", "text/x-silent", "UTF8_STRING", "text/x-silent", "text/x-after"});
  X11ClipboardReader reader;
  reader.SetRequestTimeout(1s);
  const Clock::time_point start = Clock::now();
  const X11ClipboardSnapshot snapshot = reader.ReadSnapshot(kEverything);
  EXPECT_LT(Clock::now() - start, kMustReturnWithin);
  EXPECT_TRUE(snapshot.ownerAnswered);
  EXPECT_THAT(snapshot.data, ElementsAre(Pair("UTF8_STRING", Placeholder("UTF8_STRING"))));
  EXPECT_THAT(snapshot.failed, ElementsAre("text/x-silent", "text/x-after"));
  EXPECT_THAT(Requests(owner), ElementsAre("TARGETS", "UTF8_STRING", "text/x-silent"));
}

// An owner that answers the first request only after the reader gave up on it:
// the late answer (or refusal) must not be taken for the next request's.
class LateAnswerTest : public X11ReaderTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(LateAnswerTest, IsNotTakenForTheNextRequest) {
  ScriptedOwner({"--late-first", std::string("1.5:") + GetParam(), "UTF8_STRING"});
  X11ClipboardReader reader;
  reader.SetRequestTimeout(500ms);
  EXPECT_FALSE(reader.ReadSnapshot(kEverything).ownerAnswered);

  reader.SetRequestTimeout(5s);
  const X11ClipboardSnapshot next = reader.ReadSnapshot(kEverything);
  EXPECT_TRUE(next.ownerAnswered);
  EXPECT_THAT(next.targets, ElementsAre("UTF8_STRING"));
  EXPECT_THAT(next.data, ElementsAre(Pair("UTF8_STRING", Placeholder("UTF8_STRING"))));
}

INSTANTIATE_TEST_SUITE_P(Kinds, LateAnswerTest, ::testing::Values("answer", "refuse"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           return std::string(info.param);
                         });

// Each piece comes just within the request timeout, so only a bound on the
// whole read ends it; without one the reader is held for as long as the owner
// likes (here 40 pieces at 0.3 s: 12 s).
TEST_F(X11ReaderTest, TricklingOwnerIsCutOffAtTheReadLimit) {
  ScriptedOwner({"--trickle", "UTF8_STRING:40:0.3", "UTF8_STRING", "text/x-after"});
  X11ClipboardReader reader;
  reader.SetRequestTimeout(1s);
  reader.SetReadLimit(2s);
  const Clock::time_point start = Clock::now();
  const X11ClipboardSnapshot snapshot = reader.ReadSnapshot(kEverything);
  const auto took = Clock::now() - start;
  EXPECT_GE(took, 1500ms);  // the pieces did come in time until the limit
  EXPECT_LT(took, 6s);
  EXPECT_TRUE(snapshot.ownerAnswered);
  EXPECT_THAT(snapshot.failed, ElementsAre("UTF8_STRING", "text/x-after"));
  EXPECT_THAT(snapshot.data, IsEmpty());
}

// A cancelled trickle frees the reader at once for the next request.
TEST_F(X11ReaderTest, CancelEndsATricklingTransfer) {
  ChildProcess& owner = ScriptedOwner({"--trickle", "UTF8_STRING:100:0.3", "UTF8_STRING"});
  X11ClipboardReader reader;
  reader.SetRequestTimeout(1s);
  reader.SetReadLimit(60s);
  std::promise<X11ClipboardSnapshot> first;
  auto firstDone = first.get_future();
  reader.RequestSnapshot(kEverything, [&](X11ClipboardSnapshot s) { first.set_value(std::move(s)); });
  std::vector<std::string> requests;
  const Clock::time_point deadline = Clock::now() + kMustReturnWithin;
  while (std::find(requests.begin(), requests.end(), "UTF8_STRING") == requests.end()) {
    ASSERT_LT(Clock::now(), deadline) << "the reader never asked for the trickled target";
    std::this_thread::sleep_for(50ms);
    for (std::string& r : Requests(owner)) requests.push_back(std::move(r));
  }
  std::this_thread::sleep_for(1s);  // a few pieces into the transfer
  reader.CancelPending();
  ASSERT_EQ(firstDone.wait_for(2s), std::future_status::ready);
  EXPECT_TRUE(firstDone.get().cancelled);
}

struct TargetListCase {
  const char* name;
  std::vector<std::string> ownerArgs;
  std::size_t listed;  // how many of the owner's named targets come back
};

class LongTargetListTest : public X11ReaderTest, public ::testing::WithParamInterface<TargetListCase> {};

// Only the first kMaxTargets entries of a target list are taken, whether the
// list comes in one property or through INCR; a list of atoms without names
// (millions of them) costs neither time nor memory beyond that.
TEST_P(LongTargetListTest, KeepsOnlyTheFirstTargets) {
  const TargetListCase& c = GetParam();
  ScriptedOwner(c.ownerArgs);
  X11ClipboardReader reader;
  reader.SetRequestTimeout(kLiveOwnerTimeout);
  reader.SetReadLimit(20s);
  const X11ClipboardSnapshot snapshot = reader.ReadSnapshot(kEverything);
  EXPECT_TRUE(snapshot.ownerAnswered);
  ASSERT_EQ(snapshot.targets.size(), c.listed);
  EXPECT_EQ(snapshot.targets.front(), "UTF8_STRING");
  EXPECT_THAT(snapshot.data, Contains(Pair("UTF8_STRING", Placeholder("UTF8_STRING"))));
  EXPECT_THAT(snapshot.failed, IsEmpty());
}

std::vector<std::string> ManyNamedTargets(int count) {
  std::vector<std::string> args = {"UTF8_STRING"};
  for (int i = 1; i < count; ++i) args.push_back("text/x-" + std::to_string(i));
  return args;
}

INSTANTIATE_TEST_SUITE_P(
    Lists, LongTargetListTest,
    ::testing::Values(
        TargetListCase{"UnnamedAtomsInOneProperty", {"--junk-targets", "50000", "UTF8_STRING"}, 1},
        TargetListCase{"MillionsOfUnnamedAtomsThroughIncr", {"--junk-targets", "8000000", "UTF8_STRING"}, 1},
        TargetListCase{"MoreNamedTargetsThanTheCap", ManyNamedTargets(1200), X11ClipboardReader::kMaxTargets - 1}),
    [](const ::testing::TestParamInfo<TargetListCase>& info) { return std::string(info.param.name); });

// --- Owners that never answer, and none at all -----------------------------

TEST_F(X11ReaderTest, HungOwnerReadGivesUpWithinBound) {
  HungOwner();
  X11ClipboardReader reader;
  reader.SetRequestTimeout(1s);
  const Clock::time_point start = Clock::now();
  const X11ClipboardSnapshot snapshot = reader.ReadSnapshot(kEverything);
  EXPECT_LT(Clock::now() - start, kMustReturnWithin);
  EXPECT_FALSE(snapshot.ownerAnswered);
  EXPECT_FALSE(snapshot.cancelled);
  EXPECT_THAT(snapshot.targets, IsEmpty());
  EXPECT_THAT(snapshot.data, IsEmpty());
}

TEST_F(X11ReaderTest, HungOwnerLeavesTheCallerFree) {
  HungOwner();
  X11ClipboardReader reader;
  reader.SetRequestTimeout(1s);
  std::promise<std::thread::id> doneThread;
  std::future<std::thread::id> finished = doneThread.get_future();
  reader.RequestSnapshot(kEverything, [&doneThread](X11ClipboardSnapshot snapshot) {
    EXPECT_FALSE(snapshot.ownerAnswered);
    doneThread.set_value(std::this_thread::get_id());
  });
  // The caller got control back while the owner is still being waited for.
  EXPECT_EQ(finished.wait_for(0s), std::future_status::timeout);
  ASSERT_EQ(finished.wait_for(kMustReturnWithin), std::future_status::ready);
  EXPECT_NE(finished.get(), std::this_thread::get_id());
}

TEST_F(X11ReaderTest, CancelEndsWaitingAndQueuedRequests) {
  HungOwner();
  X11ClipboardReader reader;
  reader.SetRequestTimeout(60s);
  std::promise<X11ClipboardSnapshot> first, second;
  auto firstDone = first.get_future(), secondDone = second.get_future();
  reader.RequestSnapshot(kEverything, [&](X11ClipboardSnapshot s) { first.set_value(std::move(s)); });
  reader.RequestSnapshot(kEverything, [&](X11ClipboardSnapshot s) { second.set_value(std::move(s)); });
  std::this_thread::sleep_for(100ms);  // let the first one start waiting on the owner
  reader.CancelPending();

  ASSERT_EQ(firstDone.wait_for(kMustReturnWithin), std::future_status::ready);
  ASSERT_EQ(secondDone.wait_for(kMustReturnWithin), std::future_status::ready);
  EXPECT_TRUE(firstDone.get().cancelled);
  EXPECT_TRUE(secondDone.get().cancelled);

  reader.SetRequestTimeout(200ms);
  const X11ClipboardSnapshot after = reader.ReadSnapshot(kEverything);
  EXPECT_FALSE(after.cancelled);
  EXPECT_FALSE(after.ownerAnswered);
}

TEST_F(X11ReaderTest, DestructionDoesNotWaitForAHungOwner) {
  HungOwner();
  auto reader = std::make_unique<X11ClipboardReader>();
  reader->SetRequestTimeout(60s);
  std::atomic<bool> doneCalled = false;
  reader->RequestSnapshot(kEverything, [&](X11ClipboardSnapshot) { doneCalled = true; });
  std::this_thread::sleep_for(100ms);
  const Clock::time_point start = Clock::now();
  reader.reset();
  EXPECT_LT(Clock::now() - start, kMustReturnWithin);
  EXPECT_FALSE(doneCalled);
}

TEST_F(X11ReaderTest, NoOwnerAnswersAtOnce) {
  X11ClipboardReader reader;
  ASSERT_TRUE(reader.Connected());
  reader.SetRequestTimeout(60s);
  const Clock::time_point start = Clock::now();
  const X11ClipboardSnapshot snapshot = reader.ReadSnapshot(kEverything);
  EXPECT_LT(Clock::now() - start, kMustReturnWithin);
  EXPECT_FALSE(snapshot.ownerAnswered);
  EXPECT_THAT(snapshot.targets, IsEmpty());
}

TEST_F(X11ReaderTest, MissingDisplayReportsNotConnected) {
  X11ClipboardReader reader(":4711");
  EXPECT_FALSE(reader.Connected());
  const X11ClipboardSnapshot snapshot = reader.ReadSnapshot(kEverything);
  EXPECT_FALSE(snapshot.ownerAnswered);
  EXPECT_THAT(snapshot.targets, IsEmpty());
}

}  // namespace
}  // namespace tallowin
