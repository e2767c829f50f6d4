// The library's own location and its load/unload hooks, per platform.
#pragma once

#include <filesystem>

namespace vuzodo::platform {

// Full path of the loaded library file (the shared object or DLL that holds
// this code). Empty when the system cannot tell.
std::filesystem::path ModuleFilePath();

}  // namespace vuzodo::platform
