#pragma once
// A raised error: the message text reaches the GUI thread's error report (a message
// box) or, on the command line, standard error with exit status 1. Silent skips never
// use it; they return false or std::nullopt.

#include <stdexcept>
#include <string>

namespace tallowin {

class TallowinError : public std::runtime_error {
 public:
  // `message` is UTF-8 and is shown exactly as given.
  explicit TallowinError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace tallowin
