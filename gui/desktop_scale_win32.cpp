// The desktop's scale on Windows: the DPI of the window's monitor as the window's own DPI awareness sees it, and the
// awareness an editor window is made in. The entry points come from user32 at run time (older systems lack them).
#include <windows.h>

#include "gui/desktop_scale_win32.h"
#include "gui/window_backend.h"

namespace Lattice {

namespace {

using DpiContext = HANDLE;  // DPI_AWARENESS_CONTEXT
using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using SetThreadContextFn = DpiContext(WINAPI*)(DpiContext);
using GetWindowContextFn = DpiContext(WINAPI*)(HWND);

// DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2: the window scales itself on every monitor.
const DpiContext kPerMonitorAwareV2 = reinterpret_cast<DpiContext>(intptr_t(-4));
constexpr float kStandardDpi = 96.0f;

template <typename Fn>
Fn user32(const char* name) {
  HMODULE module = GetModuleHandleA("user32.dll");
  return module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

}  // namespace

float windowScale(HWND window) {
  static const auto getDpiForWindow = user32<GetDpiForWindowFn>("GetDpiForWindow");
  if (window && getDpiForWindow) {
    const UINT dpi = getDpiForWindow(window);
    if (dpi > 0) return float(dpi) / kStandardDpi;
  }
  HDC screen = GetDC(nullptr);
  if (!screen) return 0;
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi > 0 ? float(dpi) / kStandardDpi : 0;
}

float desktopScaleFor(void* parentWindow) { return windowScale(static_cast<HWND>(parentWindow)); }

// A child takes its parent's awareness (the system refuses to mix them in a host that does not allow it); a window
// of its own is per-monitor aware.
DpiAwarenessScope::DpiAwarenessScope(HWND parent) {
  static const auto setThread = user32<SetThreadContextFn>("SetThreadDpiAwarenessContext");
  static const auto ofWindow = user32<GetWindowContextFn>("GetWindowDpiAwarenessContext");
  if (!setThread) return;
  DpiContext wanted = parent ? (ofWindow ? ofWindow(parent) : nullptr) : kPerMonitorAwareV2;
  if (!wanted) return;
  previous = setThread(wanted);
  restore = previous != nullptr;
}

DpiAwarenessScope::~DpiAwarenessScope() {
  static const auto setThread = user32<SetThreadContextFn>("SetThreadDpiAwarenessContext");
  if (restore && setThread) setThread(previous);
}

}  // namespace Lattice
