// vuzodo version: the program's version and a check that the loaded library
// exports the whole interface.
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "Commands.h"
#include "vuzodo/vuzodo.h"

namespace vuzodo_cli {
namespace {

// Path of the loaded engine library, found through one of its exports.
std::string LibraryPath() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&SetDefaults), &info) == 0 || info.dli_fname == nullptr) {
    return "?";
  }
  return info.dli_fname;
}

int Version() {
  const std::vector<const char*> names = {VUZODO_EXPORT_NAMES};
  void* self = dlopen(LibraryPath().c_str(), RTLD_NOW | RTLD_NOLOAD);
  int found = 0;
  for (const char* name : names) {
    if (self != nullptr && dlsym(self, name) != nullptr) ++found;
  }
  if (self != nullptr) dlclose(self);
  std::printf("vuzodo %s\nlibrary: %s\nexports: %d of %zu\n", VUZODO_VERSION, LibraryPath().c_str(),
              found, names.size());
  return found == static_cast<int>(names.size()) ? 0 : 1;
}

}  // namespace

void AddVersionCommand(CLI::App& app) {
  auto* version = app.add_subcommand("version", "print the version and check the interface");
  version->callback([] { std::exit(Version()); });
}

}  // namespace vuzodo_cli
