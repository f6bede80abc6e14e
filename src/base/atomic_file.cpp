#include "base/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <random>
#include <utility>
#include <vector>

// Invariant: while fd_ >= 0 or temporary_ is non-empty, the temporary file is
// ours and not yet renamed; Discard() closes and removes it. After a successful
// Commit() both are cleared and the destructor does nothing.

namespace tallowin {
namespace {

using Stage = AtomicFileError::Stage;

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

// Only what may be written without harm: an absent name or a regular file, and
// with TargetLinks::Replace a symbolic link (replaced, not followed).
int Refusal(const struct stat& info) {
  if (S_ISREG(info.st_mode) || S_ISLNK(info.st_mode)) return 0;
  return S_ISDIR(info.st_mode) ? EISDIR : ENOTSUP;
}

// The contents of the symbolic link `path`, or an errno.
int ReadLink(const std::string& path, std::string& contents) {
  std::vector<char> buffer(256);
  for (;;) {
    const ssize_t n = ::readlink(path.c_str(), buffer.data(), buffer.size());
    if (n < 0) return errno;
    if (static_cast<std::size_t>(n) < buffer.size()) {
      contents.assign(buffer.data(), static_cast<std::size_t>(n));
      return 0;
    }
    buffer.resize(buffer.size() * 2);
  }
}

// Follows the chain of symbolic links that starts at `path` to its first name
// that is no link (which need not exist: a dangling link names the file to
// make). A relative link is read from the folder the link stands in; the kernel
// resolves "dir/../x" as it would the link itself, so plain joining is enough.
// At most 40 links, as the kernel allows (ELOOP beyond).
int ResolveLinkChain(std::string& path) {
  for (int links = 0;; ++links) {
    struct stat info;
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return 0;
    if (links == 40) return ELOOP;
    std::string contents;
    if (const int error = ReadLink(path, contents)) return error;
    if (contents.empty()) return ENOENT;
    path = contents.front() == '/' ? contents : FolderOf(path) + contents;
  }
}

int OpenRetrying(const char* path, int flags, mode_t mode = 0) {
  int fd;
  do {
    fd = ::open(path, flags, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// Writes all of `bytes` at `offset`; 0 or an errno.
int WriteAllAt(int fd, const char* bytes, std::size_t size, off_t offset) {
  while (size > 0) {
    const ssize_t n = ::pwrite(fd, bytes, size, offset);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) return ENOSPC;
    bytes += n;
    size -= static_cast<std::size_t>(n);
    offset += n;
  }
  return 0;
}

// A sync that fails where the file system has nothing to sync is no failure.
int SyncError(int fd) {
  if (::fsync(fd) == 0 || errno == EINVAL || errno == EROFS) return 0;
  return errno;
}

}  // namespace

AtomicFileError::AtomicFileError(Stage stage, int error)
    : std::runtime_error((stage == Stage::Create ? "cannot create: " : "cannot write: ") + ErrnoText(error)),
      stage_(stage),
      error_(error) {}

AtomicFileSink::AtomicFileSink(std::string target, TargetLinks links)
    : target_(std::move(target)), destination_(target_) {
  if (target_.empty()) throw AtomicFileError(Stage::Create, ENOENT);
  if (target_.find('\0') != std::string::npos) throw AtomicFileError(Stage::Create, EINVAL);
  if (target_.back() == '/') throw AtomicFileError(Stage::Create, EISDIR);
  if (links == TargetLinks::Follow) {
    if (const int error = ResolveLinkChain(destination_)) throw AtomicFileError(Stage::Create, error);
  }
  // The file being replaced, when there is one: its kind decides whether it may
  // be written, and with Follow its mode and owner pass to the new file.
  struct stat old;
  const bool exists = ::lstat(destination_.c_str(), &old) == 0;
  if (exists) {
    if (const int refusal = Refusal(old)) throw AtomicFileError(Stage::Create, refusal);
  }
  const bool keepIdentity = links == TargetLinks::Follow && exists && S_ISREG(old.st_mode);
  // A file whose mode is to be kept may be private: its new content is never
  // readable by others, not even while it is being written.
  const mode_t createMode = keepIdentity ? 0600 : 0666;
  std::random_device seed;
  std::mt19937_64 random((static_cast<std::uint64_t>(seed()) << 32) ^ seed() ^ static_cast<std::uint64_t>(::getpid()));
  for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
    std::string candidate = TemporaryName(destination_, random);
    // Read and write: a content written in place is copied back out of it.
    const int fd = OpenRetrying(candidate.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, createMode);
    if (fd >= 0) {
      fd_ = fd;
      temporary_ = std::move(candidate);
    } else if (errno != EEXIST) {
      throw AtomicFileError(Stage::Create, errno);
    }
  }
  if (fd_ < 0) throw AtomicFileError(Stage::Create, EEXIST);
  if (!keepIdentity) return;

  // A rename would part the names of a hard-linked file: write into it instead.
  inPlace_ = old.st_nlink > 1;
  struct stat made;
  if (!inPlace_ && ::fstat(fd_, &made) == 0 && (made.st_uid != old.st_uid || made.st_gid != old.st_gid)) {
    // Only root may give a file away; a file of another owner that we may write
    // keeps its owner by being written in place. A group we do not belong to
    // cannot be given either: the file, still ours, then takes our group.
    if (::fchown(fd_, old.st_uid, old.st_gid) != 0 && made.st_uid != old.st_uid) inPlace_ = true;
  }
  // After the owner: a change of owner clears the set-user and set-group bits.
  if (!inPlace_ && ::fchmod(fd_, old.st_mode & 07777) != 0) {
    const int error = errno;
    Discard();
    throw AtomicFileError(Stage::Create, error);
  }
}

AtomicFileSink::~AtomicFileSink() { Discard(); }

void AtomicFileSink::Discard() noexcept {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
  temporary_.clear();
}

void AtomicFileSink::Put(std::string_view bytes) {
  if (fd_ < 0) throw AtomicFileError(Stage::Write, EBADF);
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw AtomicFileError(Stage::Write, errno);
    if (n == 0) throw AtomicFileError(Stage::Write, ENOSPC);
    bytes.remove_prefix(static_cast<std::size_t>(n));
    size_ += static_cast<std::uint64_t>(n);
  }
}

void AtomicFileSink::Commit() {
  if (fd_ < 0 || committed_) throw AtomicFileError(Stage::Write, EBADF);
  // The sync makes the content durable before the name moves to it, so a crash
  // leaves the old file or the new one, never an empty one; it is also where
  // some file systems (network, quota) first report a lost write.
  if (const int error = SyncError(fd_)) {
    Discard();
    throw AtomicFileError(Stage::Write, error);
  }
  if (inPlace_) {
    CommitInPlace();
  } else {
    CommitByRename();
  }
  committed_ = true;
}

void AtomicFileSink::CommitByRename() {
  const int fd = std::exchange(fd_, -1);
  if (::close(fd) != 0 && errno != EINTR) {
    const int error = errno;
    Discard();
    throw AtomicFileError(Stage::Write, error);
  }
  if (::rename(temporary_.c_str(), destination_.c_str()) != 0) {
    const int error = errno;
    Discard();
    throw AtomicFileError(Stage::Create, error);
  }
  temporary_.clear();
}

// The existing file keeps its inode, and so every hard link, its owner, group,
// mode and any other attribute. No rename can give that, so this is the one path
// where the old content is overwritten; it is made as safe as it can be:
// - the new content is complete and synced in the temporary file first, so a
//   failed or short write of the content itself never reaches the file;
// - the file is opened without following a link and without blocking, and only
//   a regular file is written (something swapped in at the name is refused);
// - its blocks are reserved for the new length before a byte changes (O_TRUNC
//   first would free the old blocks only to need them again), so a full disk or
//   quota ends the save with the old content intact;
// - the content is overwritten from the start and the file then cut to the new
//   length: the file is never empty on the way, as it would be after O_TRUNC.
void AtomicFileSink::CommitInPlace() {
  const auto fail = [this](int out, Stage stage, int error) {
    if (out >= 0) ::close(out);
    Discard();
    throw AtomicFileError(stage, error);
  };
  const int out = OpenRetrying(destination_.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (out < 0) fail(-1, Stage::Create, errno);
  struct stat info;
  if (::fstat(out, &info) != 0) fail(out, Stage::Create, errno);
  if (const int refusal = Refusal(info)) fail(out, Stage::Create, refusal);
  const auto size = static_cast<off_t>(size_);
  if (size > 0 && ::fallocate(out, FALLOC_FL_KEEP_SIZE, 0, size) != 0 &&
      (errno == ENOSPC || errno == EDQUOT || errno == EFBIG)) {
    fail(out, Stage::Write, errno);
  }  // a file system that cannot reserve (EOPNOTSUPP) is written all the same
  std::vector<char> buffer(64 * 1024);
  for (off_t at = 0; at < size;) {
    const ssize_t n = ::pread(fd_, buffer.data(), buffer.size(), at);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) fail(out, Stage::Write, n < 0 ? errno : EIO);
    if (const int error = WriteAllAt(out, buffer.data(), static_cast<std::size_t>(n), at)) {
      fail(out, Stage::Write, error);
    }
    at += n;
  }
  if (::ftruncate(out, size) != 0) fail(out, Stage::Write, errno);
  if (const int error = SyncError(out)) fail(out, Stage::Write, error);
  if (::close(out) != 0 && errno != EINTR) fail(-1, Stage::Write, errno);
  Discard();
}

}  // namespace tallowin
