#pragma once
// What every face of the program sets up for its process before anything else.

namespace tallowin {

// A file-size limit (ulimit -f) makes a write past it fail with EFBIG, which
// every writer reports and cleans up like a full disk, instead of the signal
// SIGXFSZ ending the process in the middle of a save.
void PrepareProcess();

}  // namespace tallowin
