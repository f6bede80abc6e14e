#pragma once
// A file written whole or not at all.
//
// The bytes go to a new temporary file in the target's folder; Commit() syncs and
// closes it and renames it over the target. Until then the target is untouched,
// and a sink given up before Commit() (an exception on the way) removes its
// temporary file. The target's directory entry is replaced, never written through:
// a symbolic link standing at the target is replaced by the new file and whatever
// it pointed to is left alone. Only regular files, symbolic links and absent names
// are replaced; a folder, FIFO, device or socket at the target is refused before
// anything is created, so a save can neither block on a FIFO nor write to a device.

#include <cerrno>
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
             // replaced, or the final rename failed: the target was not written
    Write,   // a write, the sync or the close failed: the content is not known
             // to be complete, and the target was left as it was
  };
  AtomicFileError(Stage stage, int error);
  Stage stage() const { return stage_; }
  int error() const { return error_; }

 private:
  Stage stage_;
  int error_;
};

class AtomicFileSink : public ByteSink {
 public:
  // Creates the temporary file beside `target` (a UTF-8 file name, absolute or
  // relative to the working folder) with mode 0666 less the umask, as a plain
  // create would. Raises AtomicFileError(Create, errno) when the folder is
  // missing or not writable, when the name holds U+0000 (EINVAL), or when
  // `target` exists as a folder (EISDIR) or any other non-regular file (ENOTSUP).
  explicit AtomicFileSink(std::string target);
  ~AtomicFileSink() override;
  AtomicFileSink(const AtomicFileSink&) = delete;
  AtomicFileSink& operator=(const AtomicFileSink&) = delete;

  // Appends `bytes`; raises AtomicFileError(Write, errno) when not all of them
  // were stored (ENOSPC for a write that stored nothing).
  void Put(std::string_view bytes) override;

  // Makes the written bytes the target's content. Raises AtomicFileError(Write)
  // when the sync or close fails and AtomicFileError(Create) when the rename does;
  // the temporary file is removed either way. May be called once.
  void Commit();

  const std::string& target() const { return target_; }

 private:
  void Discard() noexcept;

  std::string target_;
  std::string temporary_;
  int fd_ = -1;
  bool committed_ = false;
};

}  // namespace tallowin
