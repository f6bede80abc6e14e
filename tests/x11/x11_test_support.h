#pragma once
// Child processes and X server checks for the tests that run the reader
// against real clipboard owners (xclip and small Python owners).

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tallowin::x11test {

enum class ChildStderr { kInherit, kDiscard };

// A started program, killed (SIGKILL) and reaped when the object goes away.
// Its standard input comes from a file, its standard output into a pipe.
class ChildProcess {
 public:
  // `argv[0]` is searched in PATH. Throws std::runtime_error when it cannot start.
  explicit ChildProcess(const std::vector<std::string>& argv,
                        const std::filesystem::path& stdinPath = "/dev/null",
                        ChildStderr stderrMode = ChildStderr::kInherit);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // The next line of standard output without its newline, or nullopt when none
  // came within `timeout` or the output ended.
  std::optional<std::string> ReadLine(std::chrono::milliseconds timeout);
  // Every complete line already written, without waiting.
  std::vector<std::string> ReadAvailableLines();
  // Waits for the program to end by itself; its exit status, or -1 when it
  // did not exit normally.
  int WaitForExit();
  void Kill();

 private:
  pid_t pid_ = -1;
  int stdout_ = -1;
  std::string pending_;
};

// Runs `argv` to its end (killed after `timeout`); returns its exit status
// (-1 when it did not exit normally) and fills `output` with its standard
// output. Its standard error is discarded.
int RunCommand(const std::vector<std::string>& argv, std::string* output,
               std::chrono::milliseconds timeout = std::chrono::seconds(5));

// Opens, once per test program, a connection to $DISPLAY that stays open
// until the program ends, retrying for up to `timeout`. Xvfb resets when its
// last client leaves and refuses connections while it does; the held
// connection keeps it from resetting between tests. False when none could be
// made.
bool HoldServerConnection(std::chrono::milliseconds timeout = std::chrono::seconds(5));

// Waits until nobody owns CLIPBOARD on $DISPLAY. False after `timeout`.
// Needs HoldServerConnection().
bool WaitForNoClipboardOwner(std::chrono::milliseconds timeout = std::chrono::seconds(5));

// The source tree, for the owner scripts.
std::filesystem::path SourceDir();

}  // namespace tallowin::x11test
