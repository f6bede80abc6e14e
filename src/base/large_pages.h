#pragma once
// A hint for a large buffer about to be filled: the system backs it with 2 MB
// pages instead of 4 KB ones, so filling it takes hundreds of times fewer page
// faults (a 100 MB text costs some 25,000 faults otherwise, most of the time of
// copying it). Only a hint: the system may refuse it, and small buffers, which
// the allocator does not place in pages of their own, are left alone.

#include <cstddef>
#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace tallowin {

inline void AskForLargePages(void* data, std::size_t size) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  constexpr std::uintptr_t kLarge = std::uintptr_t{2} << 20;
  const auto begin = (reinterpret_cast<std::uintptr_t>(data) + kLarge - 1) & ~(kLarge - 1);
  const auto end = (reinterpret_cast<std::uintptr_t>(data) + size) & ~(kLarge - 1);
  if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
  (void)data;
  (void)size;
#endif
}

}  // namespace tallowin
