#include "Memory.h"

namespace vuzodo::platform {

// Large pages on Windows need a privilege that hosts do not grant: ordinary pages stay.
void AdviseLargeBlock(void*, std::size_t) {}

}  // namespace vuzodo::platform
