#include "desktop/error_sink.h"

#include <cstdio>

namespace tallowin {

void StandardErrorSink::ShowError(std::string_view message) {
  std::fprintf(stderr, "tallowin: %.*s\n", static_cast<int>(message.size()), message.data());
  std::fflush(stderr);
}

}  // namespace tallowin
