#include <gtest/gtest.h>

#include <QTimer>
#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

#include "ui/background_work.h"
#include "ui_test_main.h"

namespace tallowin::testing {
namespace {

using namespace std::chrono_literals;

// Waits up to 10 s for `flag`; a runner that ran the work on the event thread
// itself would never let the timer set it.
bool AwaitFlag(const std::atomic<bool>& flag) {
  const auto end = std::chrono::steady_clock::now() + 10s;
  while (!flag.load() && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(1ms);
  return flag.load();
}

TEST(BackgroundWork, EventsAreHandledWhileTheWorkRunsAndTheCallReturnsAfterIt) {
  TestApplication();
  std::atomic<bool> eventHandled{false};
  bool workEnded = false;
  QTimer::singleShot(0, [&] { eventHandled = true; });
  RunWhileHandlingEvents([&] {
    EXPECT_TRUE(AwaitFlag(eventHandled)) << "the event thread handled nothing while the work ran";
    std::this_thread::sleep_for(20ms);  // the call must wait for the rest too
    workEnded = true;
  });
  EXPECT_TRUE(workEnded);
}

TEST(BackgroundWork, AWorkStartedInsideTheWaitEndsFirstAndBothCallsReturn) {
  TestApplication();
  std::vector<int> order;
  std::atomic<bool> innerDone{false};
  QTimer::singleShot(0, [&] {
    RunWhileHandlingEvents([&] { order.push_back(2); });
    innerDone = true;
  });
  RunWhileHandlingEvents([&] {
    EXPECT_TRUE(AwaitFlag(innerDone));
    order.push_back(1);
  });
  EXPECT_EQ(order, (std::vector<int>{2, 1}));
}

TEST(BackgroundWork, AnExceptionOfTheWorkComesOutOfTheCall) {
  TestApplication();
  EXPECT_THROW(RunWhileHandlingEvents([] { throw std::bad_alloc(); }), std::bad_alloc);
  EXPECT_THROW(RunWhileHandlingEvents([] { throw std::runtime_error("x"); }), std::runtime_error);
}

// A quit asked for during the wait ends the loop early; the call still waits
// for the work, which uses the caller's objects.
TEST(BackgroundWork, AQuitDuringTheWaitStillWaitsForTheWork) {
  TestApplication();
  std::atomic<bool> quitAsked{false};
  bool workEnded = false;
  QTimer::singleShot(0, [&] {
    QCoreApplication::exit(0);
    quitAsked = true;
  });
  RunWhileHandlingEvents([&] {
    EXPECT_TRUE(AwaitFlag(quitAsked));
    std::this_thread::sleep_for(50ms);
    workEnded = true;
  });
  EXPECT_TRUE(workEnded);
}

}  // namespace
}  // namespace tallowin::testing
