// The Win32 window's DPI: the scale a window's monitor asks for, and the awareness its window is made in.
#pragma once

#include <windows.h>

namespace Lattice {

// The DPI the window sees / 96 (the screen's when the system cannot say per window); 0 when nothing answers.
float windowScale(HWND window);

// While it lives, windows this thread makes have the parent's DPI awareness, or per-monitor awareness for a window
// without a parent, where the system offers thread awareness at all.
class DpiAwarenessScope {
 public:
  explicit DpiAwarenessScope(HWND parent);
  ~DpiAwarenessScope();
  DpiAwarenessScope(const DpiAwarenessScope&) = delete;
  DpiAwarenessScope& operator=(const DpiAwarenessScope&) = delete;

 private:
  HANDLE previous = nullptr;
  bool restore = false;
};

}  // namespace Lattice
