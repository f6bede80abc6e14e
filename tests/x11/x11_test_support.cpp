#include "x11/x11_test_support.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace tallowin::x11test {
namespace {

using Clock = std::chrono::steady_clock;

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};
struct ConnectionDeleter {
  void operator()(xcb_connection_t* c) const { xcb_disconnect(c); }
};

struct SpawnActions {
  posix_spawn_file_actions_t actions;
  SpawnActions() { posix_spawn_file_actions_init(&actions); }
  ~SpawnActions() { posix_spawn_file_actions_destroy(&actions); }
};

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv,
                           const std::filesystem::path& stdinPath, ChildStderr stderrMode) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe2 failed");
  SpawnActions spawn;
  posix_spawn_file_actions_addopen(&spawn.actions, 0, stdinPath.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&spawn.actions, fds[1], 1);
  if (stderrMode == ChildStderr::kDiscard) {
    posix_spawn_file_actions_addopen(&spawn.actions, 2, "/dev/null", O_WRONLY, 0);
  }

  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  const int error = posix_spawnp(&pid_, args[0], &spawn.actions, nullptr, args.data(), environ);
  close(fds[1]);
  stdout_ = fds[0];
  if (error != 0) {
    close(stdout_);
    throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(error));
  }
}

ChildProcess::~ChildProcess() {
  Kill();
  if (stdout_ >= 0) close(stdout_);
}

void ChildProcess::Kill() {
  if (pid_ <= 0) return;
  kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
  pid_ = -1;
}

int ChildProcess::WaitForExit() {
  int status = 0;
  if (pid_ <= 0 || waitpid(pid_, &status, 0) != pid_) return -1;
  pid_ = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::optional<std::string> ChildProcess::ReadLine(std::chrono::milliseconds timeout) {
  const Clock::time_point deadline = Clock::now() + timeout;
  for (;;) {
    if (auto newline = pending_.find('\n'); newline != std::string::npos) {
      std::string line = pending_.substr(0, newline);
      pending_.erase(0, newline + 1);
      return line;
    }
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    pollfd fd{stdout_, POLLIN, 0};
    const int ready = poll(&fd, 1, static_cast<int>(std::max<long long>(left.count(), 0)));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return std::nullopt;
    char buffer[4096];
    const ssize_t n = read(stdout_, buffer, sizeof buffer);
    if (n <= 0) return std::nullopt;
    pending_.append(buffer, static_cast<std::size_t>(n));
  }
}

std::vector<std::string> ChildProcess::ReadAvailableLines() {
  std::vector<std::string> lines;
  while (auto line = ReadLine(std::chrono::milliseconds(0))) lines.push_back(*line);
  return lines;
}

int RunCommand(const std::vector<std::string>& argv, std::string* output,
               std::chrono::milliseconds timeout) {
  std::vector<std::string> bounded = {"timeout", "-s", "KILL",
                                      std::to_string(timeout.count() / 1000.0)};
  bounded.insert(bounded.end(), argv.begin(), argv.end());
  auto child = std::make_unique<ChildProcess>(bounded, "/dev/null", ChildStderr::kDiscard);
  std::string text;
  while (auto line = child->ReadLine(timeout + std::chrono::seconds(1))) text += *line + "\n";
  if (output) *output = text;
  // The output has ended, so the program has exited or is about to.
  return child->WaitForExit();
}

namespace {

using HeldConnection = std::unique_ptr<xcb_connection_t, ConnectionDeleter>;

HeldConnection& Held() {
  static HeldConnection held;
  return held;
}

}  // namespace

bool HoldServerConnection(std::chrono::milliseconds timeout) {
  HeldConnection& held = Held();
  const Clock::time_point deadline = Clock::now() + timeout;
  while (!held || xcb_connection_has_error(held.get())) {
    if (Clock::now() >= deadline) return false;
    held.reset(xcb_connect(nullptr, nullptr));
    if (xcb_connection_has_error(held.get())) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

bool WaitForNoClipboardOwner(std::chrono::milliseconds timeout) {
  xcb_connection_t* c = Held().get();
  if (!c || xcb_connection_has_error(c)) return false;
  const char kName[] = "CLIPBOARD";
  std::unique_ptr<xcb_intern_atom_reply_t, FreeDeleter> atom{
      xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, sizeof kName - 1, kName), nullptr)};
  if (!atom) return false;
  const Clock::time_point deadline = Clock::now() + timeout;
  for (;;) {
    std::unique_ptr<xcb_get_selection_owner_reply_t, FreeDeleter> owner{
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, atom->atom), nullptr)};
    if (owner && owner->owner == XCB_NONE) return true;
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

std::filesystem::path SourceDir() {
  if (const char* dir = std::getenv("TALLOWIN_TEST_SOURCE_DIR")) return dir;
  return TALLOWIN_SOURCE_DIR;
}

}  // namespace tallowin::x11test
