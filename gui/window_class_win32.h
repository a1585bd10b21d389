// The editor window's class and the module's activation context, shared by every editor of the process.
#pragma once

#include <windows.h>

namespace Lattice {

// The module that holds this code: its instance registers the class and owns the windows.
HINSTANCE moduleInstance();

// Makes the module's manifest (common controls version 6) the active context while the scope lives; does nothing
// where the module has no manifest or the system refuses it.
class ModuleActivation {
 public:
  ModuleActivation();
  ~ModuleActivation();
  ModuleActivation(const ModuleActivation&) = delete;
  ModuleActivation& operator=(const ModuleActivation&) = delete;

 private:
  ULONG_PTR cookie = 0;
  bool active = false;
};

// The class atom, registering "LatticeWinwrapper" on first use (call inside a ModuleActivation); 0 after a failed
// registration, which has shown its warning box and is tried again on the next call.
ATOM windowClassAtom(WNDPROC procedure);

// Forgets the atom as a freshly loaded copy of the module would, for tests of registering again.
void forgetWindowClass();

}  // namespace Lattice
