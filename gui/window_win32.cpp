// The Win32 window backend: creates the editor's child window and carries out the root's window services.
#include "gui/window_win32.h"

#include "gui/desktop_scale_win32.h"
#include "gui/window_class_win32.h"
#include "platform/dialogs.h"
#include "render/gl/gl_device.h"

namespace Lattice {

namespace {

// The timer id on the window; one timer per window.
constexpr UINT_PTR kTimerId = 0;
constexpr UINT kTimerPeriodMs = 10;

LPCSTR cursorShape(int n) {
  switch (n) {
    case kCursorHand: return MAKEINTRESOURCEA(32649);              // IDC_HAND
    case kCursorResizeVertical: return MAKEINTRESOURCEA(32645);    // IDC_SIZENS
    case kCursorResizeHorizontal: return MAKEINTRESOURCEA(32644);  // IDC_SIZEWE
    case kCursorCross: return MAKEINTRESOURCEA(32515);             // IDC_CROSS
    default: return MAKEINTRESOURCEA(32512);                       // IDC_ARROW
  }
}

}  // namespace

std::unique_ptr<WindowBackend> createWindowBackend(Winwrapper& root, void* parentWindow, int width, int height) {
  return std::make_unique<Win32Window>(root, static_cast<HWND>(parentWindow), width, height);
}

// Class registration and window creation run inside the module's own activation context.
Win32Window::Win32Window(Winwrapper& root, HWND parent, int width, int height) : root(root) {
  ModuleActivation activation;
  DpiAwarenessScope awareness(parent);
  const ATOM atom = windowClassAtom(&windowProcedure);
  if (atom)
    window = CreateWindowExA(0, MAKEINTATOM(atom), nullptr, parent ? kChildStyle : kTopLevelStyle, 0, 0, width, height,
                             parent, nullptr, moduleInstance(), nullptr);
  if (!window) {
    Platform::showError("Error!", "Failed to create a control.");
    return;
  }
  // A pointer-sized slot: the 32-bit GWL_USERDATA would cut a 64-bit pointer in half.
  SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&root));
}

// Only a root deleted while its window still exists gets here with a live window: let the window go silently.
Win32Window::~Win32Window() {
  if (!valid()) return;
  SetWindowLongPtrA(window, GWLP_USERDATA, 0);
  gone = true;
  DestroyWindow(window);
}

void Win32Window::destroy() {
  if (valid()) DestroyWindow(window);  // WM_DESTROY, then WM_NCDESTROY deletes the root and this backend
}

// Handing the capture from one control to another keeps it on the window: asking the system again could report a
// capture change to the window itself, which would take it straight from the new holder.
void Win32Window::setCapture() {
  if (window && GetCapture() != window) SetCapture(window);
}

// Only our own capture is ours to release: a host window that took it meanwhile keeps it.
void Win32Window::releaseCapture() {
  if (window && GetCapture() == window) ReleaseCapture();
}

bool Win32Window::hasCapture() const { return window && GetCapture() == window; }

void Win32Window::setFocus() {
  if (window) SetFocus(window);  // SetFocus(NULL) would take the keyboard away from the host
}

// MB_TASKMODAL | MB_ICONQUESTION | MB_OKCANCEL (0x2021) through the platform's boxes and their test seam.
bool Win32Window::ask(const char* caption, const char* text) { return Platform::askOkCancel(caption, text); }

void Win32Window::invalidate() {
  if (window) RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE);  // a null window would mean the desktop
}

bool Win32Window::startTimer() { return window && SetTimer(window, kTimerId, kTimerPeriodMs, nullptr) != 0; }

void Win32Window::stopTimer() {
  if (window) KillTimer(window, kTimerId);
}

Menu* Win32Window::newMenu(Control* listener) { return newWinMenu(root, listener); }

void Win32Window::setCursor(int n) { SetCursor(n == kCursorNone ? nullptr : LoadCursorA(nullptr, cursorShape(n))); }

void Win32Window::screenOrigin(int& x, int& y) const {
  RECT rect{};
  GetWindowRect(window, &rect);
  x = rect.left;
  y = rect.top;
}

VexBlit::DevicePtr Win32Window::createDevice() {
  return VexBlit::createGLDevice(VexBlit::NativeWindow{nullptr, reinterpret_cast<uintptr_t>(window)});
}

void Win32Window::resize(int width, int height) {
  if (valid()) SetWindowPos(window, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// A frame the renderer could not draw: the client area in the stock black brush, through GDI.
void Win32Window::paintFallback() {
  HDC dc = GetDC(window);
  if (!dc) return;
  RECT client{};
  GetClientRect(window, &client);
  FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  ReleaseDC(window, dc);
}

}  // namespace Lattice
