#include "base/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <random>
#include <utility>

// Invariant: while fd_ >= 0 or temporary_ is non-empty, the temporary file is
// ours and not yet renamed; Discard() closes and removes it. After a successful
// Commit() both are cleared and the destructor does nothing.

namespace tallowin {
namespace {

std::string ErrnoText(int error) { return std::strerror(error); }

// The folder part of `target` with its trailing "/", "" for a bare name.
std::string FolderOf(const std::string& target) {
  const std::size_t slash = target.rfind('/');
  return slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
}

// A hidden name beside the target. The target's own name is kept in it, cut so
// that the temporary name stays within the usual 255-byte name limit.
std::string TemporaryName(const std::string& target, std::mt19937_64& random) {
  const std::size_t slash = target.rfind('/');
  std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  if (base.size() > 200) base.resize(200);
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::string suffix;
  for (int i = 0; i < 10; ++i) suffix.push_back(kLetters[random() % (sizeof kLetters - 1)]);
  return FolderOf(target) + "." + base + "." + suffix + ".tmp";
}

// Only what a rename may replace without harm: an absent name, a regular file,
// or a symbolic link (the link is replaced, not followed).
int TargetRefusal(const std::string& target) {
  struct stat info;
  if (::lstat(target.c_str(), &info) != 0) return 0;
  if (S_ISREG(info.st_mode) || S_ISLNK(info.st_mode)) return 0;
  return S_ISDIR(info.st_mode) ? EISDIR : ENOTSUP;
}

}  // namespace

AtomicFileError::AtomicFileError(Stage stage, int error)
    : std::runtime_error((stage == Stage::Create ? "cannot create: " : "cannot write: ") + ErrnoText(error)),
      stage_(stage),
      error_(error) {}

AtomicFileSink::AtomicFileSink(std::string target) : target_(std::move(target)) {
  if (target_.empty()) throw AtomicFileError(AtomicFileError::Stage::Create, ENOENT);
  if (target_.find('\0') != std::string::npos) throw AtomicFileError(AtomicFileError::Stage::Create, EINVAL);
  if (target_.back() == '/') throw AtomicFileError(AtomicFileError::Stage::Create, EISDIR);
  if (const int refusal = TargetRefusal(target_)) throw AtomicFileError(AtomicFileError::Stage::Create, refusal);
  std::random_device seed;
  std::mt19937_64 random((static_cast<std::uint64_t>(seed()) << 32) ^ seed() ^ static_cast<std::uint64_t>(::getpid()));
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string candidate = TemporaryName(target_, random);
    int fd;
    do {
      fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd >= 0) {
      fd_ = fd;
      temporary_ = std::move(candidate);
      return;
    }
    if (errno != EEXIST) throw AtomicFileError(AtomicFileError::Stage::Create, errno);
  }
  throw AtomicFileError(AtomicFileError::Stage::Create, EEXIST);
}

AtomicFileSink::~AtomicFileSink() { Discard(); }

void AtomicFileSink::Discard() noexcept {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
  temporary_.clear();
}

void AtomicFileSink::Put(std::string_view bytes) {
  if (fd_ < 0) throw AtomicFileError(AtomicFileError::Stage::Write, EBADF);
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw AtomicFileError(AtomicFileError::Stage::Write, errno);
    if (n == 0) throw AtomicFileError(AtomicFileError::Stage::Write, ENOSPC);
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
}

void AtomicFileSink::Commit() {
  if (fd_ < 0 || committed_) throw AtomicFileError(AtomicFileError::Stage::Write, EBADF);
  // The sync makes the content durable before the name moves to it, so a crash
  // leaves the old file or the new one, never an empty one; it is also where
  // some file systems (network, quota) first report a lost write.
  if (::fsync(fd_) != 0 && errno != EINVAL && errno != EROFS) {
    const int error = errno;
    Discard();
    throw AtomicFileError(AtomicFileError::Stage::Write, error);
  }
  const int fd = std::exchange(fd_, -1);
  if (::close(fd) != 0 && errno != EINTR) {
    const int error = errno;
    Discard();
    throw AtomicFileError(AtomicFileError::Stage::Write, error);
  }
  if (::rename(temporary_.c_str(), target_.c_str()) != 0) {
    const int error = errno;
    Discard();
    throw AtomicFileError(AtomicFileError::Stage::Create, error);
  }
  temporary_.clear();
  committed_ = true;
}

}  // namespace tallowin
