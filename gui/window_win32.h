// The Win32 window backend: the native child window of the editor, its procedure, and WinMenu.
#pragma once

#include <windows.h>

#include "gui/window_backend.h"
#include "gui/winwrapper.h"

namespace Lattice {

// Owns the "LatticeWinwrapper" window; its user data holds the root, which gets every message as a call.
class Win32Window final : public WindowBackend {
 public:
  Win32Window(Winwrapper& root, HWND parent, int width, int height);
  ~Win32Window() override;

  bool valid() const override { return window && !gone; }
  uintptr_t handle() const override { return reinterpret_cast<uintptr_t>(window); }
  void destroy() override;
  void setCapture() override;
  void releaseCapture() override;
  bool hasCapture() const override;
  void setFocus() override;
  bool ask(const char* caption, const char* text) override;
  void invalidate() override;
  bool startTimer() override;
  void stopTimer() override;
  Menu* newMenu(Control* listener) override;
  void setCursor(int n) override;
  void screenOrigin(int& x, int& y) const override;
  void idle() override {}
  VexBlit::DevicePtr createDevice() override;
  void paintFallback() override;
  void resize(int width, int height) override;

  // The window is being destroyed (WM_NCDESTROY): from now on nothing may destroy or address it again.
  void markGone() { gone = true; }

 private:
  Winwrapper& root;
  HWND window = nullptr;
  bool gone = false;
};

// The procedure of every "LatticeWinwrapper" window.
LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The window styles: a child of the host's window, or a top-level window when there is no parent.
constexpr DWORD kChildStyle = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN;  // 0x52000000
constexpr DWORD kTopLevelStyle = WS_VISIBLE | WS_CLIPCHILDREN;          // 0x12000000

// A popup menu over the root's window; the chosen command comes back as WM_COMMAND to the listener.
Menu* newWinMenu(Winwrapper& root, Control* listener);
// TrackPopupMenu's flags for an alignment: -1 left, 1 right, anything else centred; right button, vertical animation.
UINT popupFlags(int alignment);

}  // namespace Lattice
