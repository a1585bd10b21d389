// Win32 system services: debugger output, the module handle, and the mouse wheel a host forwards to the editor.
#include <windows.h>

#include <cmath>

#include "platform/system.h"
#include "platform/detail_win32.h"

namespace Platform {
namespace {
HMODULE g_module = nullptr;
}

void debugOutput(const char* text) { OutputDebugStringA(text); }
void setModuleHandle(void* module) { g_module = static_cast<HMODULE>(module); }
void* moduleHandle() { return g_module; }

int wheelDelta(float amount) {
  // The whole part of amount × 120; anything a 16-bit delta cannot carry is clamped, NaN turns nothing.
  if (std::isnan(amount)) return 0;
  const double delta = std::trunc((double)amount * WHEEL_DELTA);
  if (delta > 32767.0) return 32767;
  if (delta < -32768.0) return -32768;
  return (int)delta;
}

WheelMessage wheelMessage(float amount, bool shift, bool control, int x, int y) {
  const WORD keys = (WORD)((shift ? MK_SHIFT : 0) | (control ? MK_CONTROL : 0));
  const WORD delta = (WORD)(short)wheelDelta(amount);
  return {(uintptr_t)MAKEWPARAM(keys, delta), (intptr_t)MAKELPARAM((WORD)(short)x, (WORD)(short)y)};
}

void forwardMouseWheel(float amount) {
  POINT point{};
  if (!GetCursorPos(&point)) return;
  HWND window = WindowFromPoint(point);
  if (!window) return;
  // Only our own editor windows take the forwarded wheel; the host's windows answer their own.
  if ((HMODULE)GetWindowLongPtrA(window, GWLP_HINSTANCE) != g_module) return;
  const bool shift = GetKeyState(VK_SHIFT) < 0;
  const bool control = GetKeyState(VK_CONTROL) < 0;
  const WheelMessage message = wheelMessage(amount, shift, control, point.x, point.y);
  PostMessageA(window, WM_MOUSEWHEEL, (WPARAM)message.wParam, (LPARAM)message.lParam);
}

}  // namespace Platform
