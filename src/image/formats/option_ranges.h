#pragma once
// Ranges of the registered options. A switch accepts any value (non-zero is on);
// only the numeric options named in the format table are checked.

#include <cstdint>
#include <limits>

namespace tallowin::option_range {
inline constexpr std::int32_t kAnyMin = std::numeric_limits<std::int32_t>::min();
inline constexpr std::int32_t kAnyMax = std::numeric_limits<std::int32_t>::max();
}  // namespace tallowin::option_range
