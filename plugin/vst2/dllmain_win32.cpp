// The Windows module's entry: remembers the module's own instance for its resources and the wheel check.
#include <windows.h>

#include "platform/system.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) Platform::setModuleHandle(instance);
  return TRUE;
}
