// Windows backend of the module entry: the loader calls DllMain when the DLL
// is mapped into a process and when it is unmapped.
#include "Module.h"
#include "VUZODO.h"
#include "gdi.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      // Thread attach and detach do nothing; the loader need not call for them.
      DisableThreadLibraryCalls(instance);
      vuzodo::ProcessAttach(vuzodo::platform::ModuleFilePath());
      break;
    case DLL_PROCESS_DETACH:
      // Also at process exit (reserved != null): the logs are flushed and
      // closed and every font's GDI object deleted either way.
      vuzodo::ProcessDetach();
      break;
    default:
      break;
  }
  (void)reserved;
  return TRUE;  // the entry always reports success
}
