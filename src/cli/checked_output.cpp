#include "cli/checked_output.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

namespace tallowin {
namespace {

// An empty handler instead of SIG_IGN: an ignored signal stays ignored in every
// program started from here (a browser, a shell), a caught one is reset by exec.
void IgnorePipeSignal(int) {}

}  // namespace

void ProtectStandardStreams() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) >= 0 || errno != EBADF) continue;
    const int opened = ::open("/dev/null", fd == 0 ? O_WRONLY : O_RDONLY);
    if (opened >= 0 && opened != fd) {
      ::dup2(opened, fd);
      ::close(opened);
    }
  }
  struct sigaction action {};
  action.sa_handler = IgnorePipeSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGPIPE, &action, nullptr);
}

int WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) return ENOSPC;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return 0;
}

bool WriteStandardOutput(std::string_view bytes, std::string_view who) {
  std::fflush(stdout);
  int error = 0;
  const int flags = ::fcntl(STDOUT_FILENO, F_GETFL);
  if (flags < 0) {
    error = errno;
  } else if ((flags & O_ACCMODE) == O_RDONLY) {
    error = EBADF;  // closed when the program started (ProtectStandardStreams)
  } else {
    error = WriteAll(STDOUT_FILENO, bytes);
  }
  if (::close(STDOUT_FILENO) != 0 && error == 0 && errno != EINTR) error = errno;
  // Keep the number taken, as ProtectStandardStreams does.
  const int placeholder = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  if (placeholder >= 0 && placeholder != STDOUT_FILENO) ::close(placeholder);
  if (error == 0) return true;
  std::fprintf(stderr, "%.*s: cannot write standard output: %s\n", static_cast<int>(who.size()), who.data(),
               std::strerror(error));
  return false;
}

}  // namespace tallowin
