// The editor window's class, registered once per process, and the module's activation context.
#include "gui/window_class_win32.h"

#include <commctrl.h>

#include "platform/dialogs.h"
#include "platform/system.h"

namespace Lattice {

namespace {

constexpr const char* kClassName = "LatticeWinwrapper";

// Process-wide; touched only on the host's user-interface thread, which owns every editor window.
ATOM classAtom = 0;

HANDLE createModuleContext() {
  HINSTANCE module = moduleInstance();
  char path[MAX_PATH] = {};
  if (!GetModuleFileNameA(module, path, MAX_PATH)) return INVALID_HANDLE_VALUE;
  ACTCTXA context{};
  context.cbSize = sizeof context;
  context.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
  context.lpSource = path;
  context.hModule = module;
  context.lpResourceName = MAKEINTRESOURCEA(2);  // ISOLATIONAWARE_MANIFEST_RESOURCE_ID: a library's manifest
  return CreateActCtxA(&context);
}

// Made once per process and kept: windows of every editor activate it around their creation.
HANDLE moduleContext() {
  static const HANDLE context = createModuleContext();
  return context;
}

WNDCLASSEXA classDescription(WNDPROC procedure) {
  WNDCLASSEXA description{};
  description.cbSize = sizeof description;  // 48 bytes in 32-bit code, 80 in 64-bit
  description.style = CS_DBLCLKS;
  description.lpfnWndProc = procedure;
  description.cbClsExtra = 0;
  description.cbWndExtra = 0;
  description.hInstance = moduleInstance();
  description.hIcon = LoadIconA(nullptr, MAKEINTRESOURCEA(32512));      // IDI_APPLICATION
  description.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
  description.hbrBackground = nullptr;
  description.lpszMenuName = nullptr;
  description.lpszClassName = kClassName;
  description.hIconSm = LoadIconA(nullptr, MAKEINTRESOURCEA(32512));
  return description;
}

// A module is not unloaded with its classes: a host that frees the plug-in and loads it again at the same address
// finds the class of the earlier load still registered, and its procedure may point at code that is gone. That
// registration is replaced rather than ending the editor with a warning.
ATOM registerClass(const WNDCLASSEXA& description) {
  ATOM atom = RegisterClassExA(&description);
  if (!atom && GetLastError() == ERROR_CLASS_ALREADY_EXISTS &&
      UnregisterClassA(description.lpszClassName, description.hInstance))
    atom = RegisterClassExA(&description);
  return atom;
}

}  // namespace

HINSTANCE moduleInstance() {
  if (void* stored = Platform::moduleHandle()) return static_cast<HINSTANCE>(stored);
  // A program linked with the toolkit (the tests) has no library entry to store it: ask which module holds us.
  HMODULE module = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&moduleInstance), &module);
  return module;
}

ModuleActivation::ModuleActivation() {
  HANDLE context = moduleContext();
  if (context != INVALID_HANDLE_VALUE) active = ActivateActCtx(context, &cookie) != FALSE;
}

ModuleActivation::~ModuleActivation() {
  if (active) DeactivateActCtx(0, cookie);
}

ATOM windowClassAtom(WNDPROC procedure) {
  if (classAtom) return classAtom;
  classAtom = registerClass(classDescription(procedure));
  if (!classAtom) Platform::showWarning("Error!", "Couldn't create a wrapper windowclass.");
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof controls;  // 8
  controls.dwICC = 0xFF;
  InitCommonControlsEx(&controls);
  return classAtom;
}

void forgetWindowClass() { classAtom = 0; }

}  // namespace Lattice
