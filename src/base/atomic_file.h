#pragma once
// A file written whole or not at all.
//
// The bytes go to a new temporary file in the target's folder; Commit() syncs and
// closes it and renames it over the target. Until then the target is untouched,
// and a sink given up before Commit() (an exception on the way) removes its
// temporary file. Only regular files, symbolic links and absent names are
// written; a folder, FIFO, device or socket at the target (or, when links are
// followed, at the end of the link chain) is refused before anything is created
// or opened, so a save can neither block on a FIFO nor write to a device.
//
// What happens to a symbolic link at the target is the caller's choice
// (TargetLinks):
// - Replace: the target's directory entry is replaced, never written through. A
//   link standing there is replaced by the new file and whatever it pointed to
//   is left alone; the new file has mode 0666 less the umask. The captured texts
//   and pictures are saved so.
// - Follow: the new content goes to the file at the end of the link chain, which
//   stays what it was to the rest of the system: the temporary file is made in
//   THAT file's folder and renamed over it, with the old file's mode, owner and
//   group (the group only where the system lets us give it). Where a rename would
//   change the file's identity, the content is written into the existing file
//   instead (see Commit()): a file with more than one hard link (a rename would
//   part the names), and a file of another owner that we may not give away. A
//   dangling link makes the file it names, when that file's folder exists.
//   Configuration files are saved so.

#include <cerrno>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "base/byte_sink.h"

namespace tallowin {

// Why an atomic write failed: the stage and the errno behind it.
class AtomicFileError : public std::runtime_error {
 public:
  enum class Stage {
    Create,  // the temporary file could not be made, the target may not be
             // replaced or opened, or the final rename failed: the target was
             // not written
    Write,   // a write, the sync or the close failed: the content is not known
             // to be complete. The target was left as it was, except when a
             // write into an existing file (Follow, in place) failed half-way
  };
  AtomicFileError(Stage stage, int error);
  Stage stage() const { return stage_; }
  int error() const { return error_; }

 private:
  Stage stage_;
  int error_;
};

enum class TargetLinks { Replace, Follow };

class AtomicFileSink : public ByteSink {
 public:
  // Creates the temporary file beside `target` (a UTF-8 file name, absolute or
  // relative to the working folder), or beside the file its link chain ends at
  // with TargetLinks::Follow. Raises AtomicFileError(Create, errno) when the
  // folder is missing or not writable, when the name holds U+0000 (EINVAL), when
  // the link chain is too long or circular (ELOOP), or when the file to write
  // exists as a folder (EISDIR) or any other non-regular file (ENOTSUP).
  explicit AtomicFileSink(std::string target, TargetLinks links = TargetLinks::Replace);
  ~AtomicFileSink() override;
  AtomicFileSink(const AtomicFileSink&) = delete;
  AtomicFileSink& operator=(const AtomicFileSink&) = delete;

  // Appends `bytes`; raises AtomicFileError(Write, errno) when not all of them
  // were stored (ENOSPC for a write that stored nothing).
  void Put(std::string_view bytes) override;

  // Makes the written bytes the target's content. Raises AtomicFileError(Write)
  // when the sync or close fails and AtomicFileError(Create) when the rename does;
  // the temporary file is removed either way. May be called once.
  //
  // Written in place (Follow, a file with hard links or of another owner): only
  // once the whole content is in the temporary file is the existing file opened
  // (without following a link, never blocking), its blocks reserved for the new
  // length, overwritten from the start, cut to the new length and synced. A full
  // disk or quota is found by the reservation, with the file still untouched;
  // an input/output error after that can leave it half-written.
  void Commit();

  const std::string& target() const { return target_; }
  // The file the content goes to: the target, or the end of its link chain.
  const std::string& destination() const { return destination_; }

 private:
  void Discard() noexcept;
  void CommitByRename();
  void CommitInPlace();

  std::string target_;
  std::string destination_;
  std::string temporary_;
  int fd_ = -1;
  bool committed_ = false;
  bool inPlace_ = false;
  std::uint64_t size_ = 0;  // bytes put so far
};

}  // namespace tallowin
