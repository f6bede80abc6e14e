#pragma once
// Where a session reports an error that ends a piece of its work (a bad
// start-up assignment, a raised error of a pass run outside an event handler):
// a window shows a message box, a window-less run writes to standard error.

#include <string_view>

namespace tallowin {

class ErrorSink {
 public:
  virtual ~ErrorSink() = default;
  // `message` is UTF-8, exactly the text of the error.
  virtual void ShowError(std::string_view message) = 0;
};

// Writes "tallowin: MESSAGE" and a line end to standard error.
class StandardErrorSink final : public ErrorSink {
 public:
  void ShowError(std::string_view message) override;
};

}  // namespace tallowin
