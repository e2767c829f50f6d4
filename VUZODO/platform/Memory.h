// Hints to the system's memory manager for the library's large blocks.
#pragma once

#include <cstddef>

namespace vuzodo::platform {

// Asks for large pages behind a freshly allocated block of `bytes` bytes that is about to be
// written from end to end (the arrays handed to the host). A text of 100,000 characters gives
// a 56 MB array: in 4 KB pages that is 14,000 page faults, which cost more than writing the
// records. Only a hint: nothing changes where the system has no such pages or the block is
// small.
void AdviseLargeBlock(void* data, std::size_t bytes);

}  // namespace vuzodo::platform
