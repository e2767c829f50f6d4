#include <sys/mman.h>

#include <cstdint>

#include "Memory.h"

namespace vuzodo::platform {

void AdviseLargeBlock(void* data, std::size_t bytes) {
#ifdef MADV_HUGEPAGE
  // Transparent huge pages are 2 MB on the systems that have them; only whole pages inside the
  // block are advised, and blocks of fewer than two are left alone (the advice is a system call).
  constexpr std::uintptr_t kHuge = std::uintptr_t{2} << 20;
  if (data == nullptr || bytes < 2 * kHuge) return;
  const auto start = reinterpret_cast<std::uintptr_t>(data);
  const std::uintptr_t begin = (start + kHuge - 1) & ~(kHuge - 1);
  const std::uintptr_t end = (start + bytes) & ~(kHuge - 1);
  // A refusal (no huge page support) leaves ordinary pages: nothing to report.
  if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
  (void)data;
  (void)bytes;
#endif
}

}  // namespace vuzodo::platform
