#pragma once
// Count of clipboard change notifications still to be ignored because the
// program caused them itself. Raised immediately before each of the pipeline's
// own writes; each write causes exactly one notification, which the pipeline's
// gate consumes. The history's re-copy never raises it.

#include <cstdint>

namespace tallowin {

class CaptureSuppressCounter {
 public:
  void Raise() { ++value_; }
  // Consumes one pending notification; false when none is pending.
  bool ConsumePending() {
    if (value_ <= 0) return false;
    --value_;
    return true;
  }
  std::int32_t Value() const { return value_; }
  void Reset() { value_ = 0; }

 private:
  std::int32_t value_ = 0;
};

}  // namespace tallowin
