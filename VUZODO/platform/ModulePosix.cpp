// POSIX backend: the library finds itself through the dynamic loader.
#include "Module.h"

#include <dlfcn.h>

namespace vuzodo::platform {

namespace {
// Any address inside this object file identifies the module that holds it.
void Anchor() {}
}  // namespace

std::filesystem::path ModuleFilePath() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&Anchor), &info) == 0 || info.dli_fname == nullptr) {
    return {};
  }
  return std::filesystem::path(info.dli_fname);
}

std::FILE* OpenForAppend(const std::filesystem::path& file) {
  return std::fopen(file.c_str(), "a");
}

}  // namespace vuzodo::platform
