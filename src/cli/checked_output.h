#pragma once
// Output of the command-line faces that reports every failure: a full disk, a
// closed or broken pipe, a closed standard output. A command that could not
// deliver its whole result must not exit 0.

#include <string>
#include <string_view>

namespace tallowin {

// Keeps file descriptors 0, 1 and 2 taken for the life of the process. One that
// was closed when the program started is opened on /dev/null the wrong way round
// (standard input for writing, the outputs for reading), so using it still fails
// as a closed one would, and no file or connection the program opens later can
// land on it and receive the program's output. Also turns SIGPIPE into an error
// of the write concerned instead of the end of the process. Call first in main.
void ProtectStandardStreams();

// Writes all of `bytes` to `fd`, retrying short writes. Returns 0 or the errno.
int WriteAll(int fd, std::string_view bytes);

// Writes all of `bytes` to standard output and closes it, so that an error the
// system reports only at close is seen too. On failure prints
// "<who>: cannot write standard output: <reason>" to standard error and returns
// false. Nothing may be written to standard output afterwards.
bool WriteStandardOutput(std::string_view bytes, std::string_view who);

}  // namespace tallowin
