// POSIX backend of the module entry: the dynamic loader runs these when the
// library is mapped and unmapped, as a DLL's process attach and detach.
#include "Module.h"
#include "VUZODO.h"

namespace {

__attribute__((constructor)) void OnLoad() {
  vuzodo::ProcessAttach(vuzodo::platform::ModuleFilePath());
}

__attribute__((destructor)) void OnUnload() {
  vuzodo::ProcessDetach();
}

}  // namespace
