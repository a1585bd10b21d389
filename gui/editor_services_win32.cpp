// The editor's system services on Windows: the spin serves sent messages, ShellExecute opens the address.
#include <windows.h>
#include <shellapi.h>

#include "gui/editor_services.h"

namespace Lattice {

void spinPause() {
  // Without removing anything: messages other threads send to our windows are served inside the call.
  MSG message;
  PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
}

bool openWebAddress(const char* address) {
  if (!address) return false;
  return reinterpret_cast<INT_PTR>(ShellExecuteA(nullptr, "open", address, nullptr, nullptr, SW_SHOWDEFAULT)) > 32;
}

}  // namespace Lattice
