// Windows backend: the DLL finds itself through the loader's module list.
#include <cstdio>
#include <string>

#include "Module.h"
#include "gdi.h"

namespace vuzodo::platform {

namespace {
// Any address inside this object file identifies the module that holds it.
void Anchor() {}
}  // namespace

std::filesystem::path ModuleFilePath() {
  HMODULE module = nullptr;
  // The module that contains Anchor, without taking a reference on it (a
  // reference would keep the DLL loaded past the host's FreeLibrary).
  if (!GetModuleHandleExW(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          reinterpret_cast<LPCWSTR>(reinterpret_cast<void*>(&Anchor)), &module)) {
    return {};
  }
  // MAX_PATH units hold most paths; long-path-aware systems may give longer
  // ones, for which the buffer grows (a full buffer means the name was cut).
  std::wstring name(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(module, name.data(), static_cast<DWORD>(name.size()));
    if (n == 0) return {};
    if (n < name.size()) {
      name.resize(n);
      return std::filesystem::path(name);
    }
    if (name.size() >= 32768) return {};  // the longest path Windows has
    name.resize(name.size() * 2);
  }
}

std::FILE* OpenForAppend(const std::filesystem::path& file) {
  return _wfopen(file.c_str(), L"a");
}

}  // namespace vuzodo::platform
