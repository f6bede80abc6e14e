#include "base/process_setup.h"

#include <csignal>

namespace tallowin {

void PrepareProcess() {
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  ::sigaction(SIGXFSZ, &ignore, nullptr);
}

}  // namespace tallowin
