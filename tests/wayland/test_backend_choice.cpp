#include <gtest/gtest.h>
#include <wayland-server.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "wayland/backend_choice.h"
#include "wayland/data_control.h"

namespace tallowin {
namespace {

struct ChoiceCase {
  const char* name;
  ClipboardChoice choice;
  bool waylandSession;
  const char* probeProblem;  // what the compositor probe says; empty: data-control usable
  ClipboardBackendKind kind;
  bool probed;
  bool notice;
  bool error;
};

class BackendChoice : public testing::TestWithParam<ChoiceCase> {};

TEST_P(BackendChoice, FollowsTheSessionTheCompositorAndTheForcedChoice) {
  const ChoiceCase& c = GetParam();
  bool probed = false;
  const BackendDecision d = DecideClipboardBackend(c.choice, c.waylandSession, [&] {
    probed = true;
    return std::string(c.probeProblem);
  });
  EXPECT_EQ(d.kind, c.kind);
  EXPECT_EQ(probed, c.probed);
  EXPECT_EQ(!d.notice.empty(), c.notice) << d.notice;
  EXPECT_EQ(!d.error.empty(), c.error) << d.error;
  if (c.notice) EXPECT_NE(d.notice.find(c.probeProblem), std::string::npos) << d.notice;
}

constexpr auto kAuto = ClipboardChoice::kAuto;
constexpr auto kWl = ClipboardChoice::kWayland;
constexpr auto kX = ClipboardChoice::kX11;
constexpr auto kToWl = ClipboardBackendKind::kWayland;
constexpr auto kToX = ClipboardBackendKind::kX11;
constexpr auto kNone = ClipboardBackendKind::kNone;
constexpr char kNoDataControl[] = "the Wayland compositor offers no data-control protocol";

INSTANTIATE_TEST_SUITE_P(
    Cases, BackendChoice,
    testing::Values(ChoiceCase{"PlainX11Session", kAuto, false, "", kToX, false, false, false},
                    ChoiceCase{"WaylandWithDataControl", kAuto, true, "", kToWl, true, false, false},
                    ChoiceCase{"WaylandWithoutDataControlFallsBack", kAuto, true, kNoDataControl, kToX, true, true,
                               false},
                    ChoiceCase{"ForcedX11OnWayland", kX, true, "", kToX, false, false, false},
                    ChoiceCase{"ForcedWayland", kWl, true, "", kToWl, true, false, false},
                    ChoiceCase{"ForcedWaylandWithoutDataControlFails", kWl, true, kNoDataControl, kNone, true, false,
                               true},
                    ChoiceCase{"ForcedWaylandWithoutSessionTriesTheDefaultDisplay", kWl, false,
                               "cannot connect to the Wayland display", kNone, true, false, true}),
    [](const testing::TestParamInfo<ChoiceCase>& info) { return std::string(info.param.name); });

TEST(ClipboardChoiceArgument, TakesWaylandAndX11Only) {
  EXPECT_EQ(ParseClipboardChoice("wayland"), ClipboardChoice::kWayland);
  EXPECT_EQ(ParseClipboardChoice("x11"), ClipboardChoice::kX11);
  EXPECT_EQ(ParseClipboardChoice("X11"), std::nullopt);
  EXPECT_EQ(ParseClipboardChoice(""), std::nullopt);
}

// A display offering a seat and nothing else, served on a thread of the test.
class SeatOnlyDisplay {
 public:
  explicit SeatOnlyDisplay(const std::string& socket) : display_(wl_display_create()) {
    ok_ = wl_display_add_socket(display_, socket.c_str()) == 0;
    wl_global_create(display_, &wl_seat_interface, 1, nullptr,
                     [](wl_client* client, void*, uint32_t version, uint32_t id) {
                       wl_resource_create(client, &wl_seat_interface, static_cast<int>(version), id);
                     });
    thread_ = std::thread([this] { wl_display_run(display_); });
  }
  ~SeatOnlyDisplay() {
    wl_display_terminate(display_);
    thread_.join();
    wl_display_destroy(display_);
  }
  bool ok() const { return ok_; }

 private:
  wl_display* display_;
  bool ok_ = false;
  std::thread thread_;
};

TEST(DataControlProbe, ADisplayWithoutTheProtocolIsNotUsableAndSaysWhy) {
  const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                       ("tallowin-wl-test-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  const std::string socket = (folder / "seat-only").string();
  {
    SeatOnlyDisplay display(socket);
    ASSERT_TRUE(display.ok());
    WaylandDataControl connection(socket);
    EXPECT_EQ(connection.Protocol(), DataControlProtocol::kNone);
    EXPECT_EQ(connection.Problem(), kNoDataControl);
    // Started anyway, reads and writes answer at once with nothing.
    connection.Start({});
    const WaylandSnapshot snapshot = connection.ReadSnapshot({});
    EXPECT_FALSE(snapshot.ownerAnswered);
    EXPECT_FALSE(connection.Write({{"text/plain", std::make_shared<const std::string>("x")}}, std::nullopt));
  }
  std::filesystem::remove_all(folder);
}

TEST(DataControlProbe, NoDisplayIsNotUsable) {
  WaylandDataControl connection("/nonexistent/wayland-socket");
  EXPECT_EQ(connection.Protocol(), DataControlProtocol::kNone);
  EXPECT_EQ(connection.Problem(), "cannot connect to the Wayland display");
}

}  // namespace
}  // namespace tallowin
