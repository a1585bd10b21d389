// The editor window's procedure: every Win32 message it handles becomes one call on the root of the tree.
#include <windowsx.h>

#include "gui/desktop_scale_win32.h"
#include "gui/window_win32.h"

namespace Lattice {

namespace {

// Sent to a top-level window that moved to a monitor of another DPI, and to a child after its parent had it.
constexpr UINT kDpiChanged = 0x02E0;             // WM_DPICHANGED
constexpr UINT kDpiChangedAfterParent = 0x02E3;  // WM_DPICHANGED_AFTERPARENT

// One wheel notch is 120 units of the message's delta.
constexpr float kWheelNotch = 1.0f / 120.0f;  // 0.008333334

// MK_SHIFT (4) and MK_CONTROL (8) become the tree's bit 0 (Shift) and bit 1 (Ctrl).
int modifiers(WPARAM wParam) { return int((wParam >> 2) & 3); }
int pointX(LPARAM lParam) { return GET_X_LPARAM(lParam); }
int pointY(LPARAM lParam) { return GET_Y_LPARAM(lParam); }

Winwrapper* rootOf(HWND window) { return reinterpret_cast<Winwrapper*>(GetWindowLongPtrA(window, GWLP_USERDATA)); }

void paint(Winwrapper& root, HWND window) {
  ValidateRect(window, nullptr);  // the whole tree is drawn every time: no BeginPaint, no update region
  root.onPaint();
}

// The root deletes itself and the tree; the window keeps no way back to them.
void finalDestroy(Winwrapper& root, HWND window) {
  static_cast<Win32Window&>(root.backend()).markGone();
  SetWindowLongPtrA(window, GWLP_USERDATA, 0);
  root.onNcDestroy();
}

void character(Winwrapper& root, WPARAM wParam) {
  const char text[2] = {char(wParam), '\0'};
  root.onChar(text);
}

void mouseMove(Winwrapper& root, HWND window, WPARAM wParam, LPARAM lParam) {
  root.onMouseMove(pointX(lParam), pointY(lParam), modifiers(wParam));
  // Asks for WM_MOUSELEAVE when the pointer leaves; the request ends with each leave, so it is renewed here.
  TRACKMOUSEEVENT track{};
  track.cbSize = sizeof track;
  track.dwFlags = TME_LEAVE;
  track.hwndTrack = window;
  track.dwHoverTime = HOVER_DEFAULT;
  TrackMouseEvent(&track);
}

void button(Winwrapper& root, UINT message, WPARAM wParam, LPARAM lParam) {
  const int x = pointX(lParam), y = pointY(lParam), mods = modifiers(wParam);
  // clang-format off
  switch (message) {
    case WM_LBUTTONDOWN: root.onMouseDown(x, y, kButtonLeft, mods); break;
    case WM_RBUTTONDOWN: root.onMouseDown(x, y, kButtonRight, mods); break;
    case WM_MBUTTONDOWN: root.onMouseDown(x, y, kButtonMiddle, mods); break;
    case WM_LBUTTONUP: root.onMouseUp(x, y, kButtonLeft, mods); break;
    case WM_RBUTTONUP: root.onMouseUp(x, y, kButtonRight, mods); break;
    case WM_MBUTTONUP: root.onMouseUp(x, y, kButtonMiddle, mods); break;
    case WM_LBUTTONDBLCLK: root.onDoubleClick(x, y, kButtonLeft, mods); break;
    case WM_RBUTTONDBLCLK: root.onDoubleClick(x, y, kButtonRight, mods); break;
  }
  // clang-format on
}

// The wheel's point is on the screen: made relative to the window before it is routed.
void wheel(Winwrapper& root, HWND window, WPARAM wParam, LPARAM lParam) {
  RECT rect{};
  GetWindowRect(window, &rect);
  const float delta = float(GET_WHEEL_DELTA_WPARAM(wParam)) * kWheelNotch;
  root.onWheel(pointX(lParam) - rect.left, pointY(lParam) - rect.top, delta, modifiers(wParam));
}

// One line per message, as a table.
// clang-format off
LRESULT dispatch(Winwrapper* root, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DESTROY: root->onDestroy(); return 0;
    case WM_KILLFOCUS: root->onKillFocus(); return 0;
    case WM_PAINT: paint(*root, window); return 0;
    case WM_MOVE:
    case WM_SIZE: return 0;
    case WM_CLOSE: root->onClose(); return 0;
    case WM_SETCURSOR: root->onSetCursor(); return 1;
    case WM_NCDESTROY: finalDestroy(*root, window); return 0;
    case WM_KEYDOWN: root->onKeyDown(int(wParam)); return 0;
    case WM_KEYUP: root->onKeyUp(int(wParam)); return 0;
    case WM_CHAR: character(*root, wParam); return 0;
    case WM_COMMAND: root->onCommand(int(wParam)); return 0;
    case WM_TIMER: root->onTimer(); return 0;
    case WM_MOUSEMOVE: mouseMove(*root, window, wParam, lParam); return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK: button(*root, message, wParam, lParam); return 0;
    case WM_MOUSEWHEEL: wheel(*root, window, wParam, lParam); return 0;
    case WM_CAPTURECHANGED: root->onCaptureChanged(); return 0;
    case WM_MOUSELEAVE: root->onMouseLeave(); return 0;
    case kDpiChanged: root->onScaleChanged(float(LOWORD(wParam)) / 96.0f); return 0;
    case kDpiChangedAfterParent: root->onScaleChanged(windowScale(window)); return 0;
    default: return DefWindowProcA(window, message, wParam, lParam);  // WM_MBUTTONDBLCLK among them
  }
}
// clang-format on

}  // namespace

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Winwrapper* root = rootOf(window);
  if (!root) return DefWindowProcA(window, message, wParam, lParam);
  // No exception may unwind through the system's and the host's frames: a handler that fails loses its event.
  try {
    return dispatch(root, window, message, wParam, lParam);
  } catch (...) {
    return 0;
  }
}

}  // namespace Lattice
