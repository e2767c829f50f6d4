// The library's own location and its load/unload hooks, per platform.
#pragma once

#include <cstdio>
#include <filesystem>

namespace vuzodo::platform {

// Full path of the loaded library file (the shared object or DLL that holds
// this code). Empty when the system cannot tell.
std::filesystem::path ModuleFilePath();

// Opens `file` for appending as fopen(..., "a") does, by its full name on
// every platform (a wide name on Windows, where the narrow one would go
// through the ANSI code page). Null when it cannot be opened.
std::FILE* OpenForAppend(const std::filesystem::path& file);

}  // namespace vuzodo::platform
