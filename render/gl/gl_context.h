// The native OpenGL context behind one small interface: create, make current, restore, swap, destroy.
#pragma once

#include <cstdint>
#include <memory>

#include "render/gl/base.h"

namespace VexBlit {

// The window a device paints: on Linux an X11 display connection and window, on Windows the HWND alone.
struct NativeWindow {
  void* display = nullptr;  // X11 Display*; unused on Windows
  uintptr_t window = 0;     // X11 Window or HWND
};

// Handle values a context slot holds before creation and after deletion, so stale use stands out.
constexpr uintptr_t kHandleBeforeCreation = 0xbaadf00d;
constexpr uintptr_t kHandleAfterDeletion = 0xf00dbaad;

// One backend file per platform defines these members (context_glx.cpp, context_wgl.cpp).
class GLContext : public NonCopyable {
 public:
  // Sets up a double-buffered RGBA visual or pixel format (24-bit colour, 24-bit depth, 8-bit stencil) on the
  // window and creates the rendering context: kCheckPixelFormat, kCheckSetPixelFormat or kCheckCreateContext on
  // failure, nothing left allocated.
  explicit GLContext(NativeWindow window);
  // Deletes the context; a failure is reported with kCheckDeleteContext and teardown goes on.
  ~GLContext() override;

  // Remembers what is current on this thread now, for restoreRemembered().
  void rememberCurrent();
  // Makes this context current on the window (kCheckMakeCurrent).
  void makeCurrent();
  // Puts back what rememberCurrent() saw (kCheckRestoreCurrent).
  void restoreRemembered();
  void swapBuffers();
  // The window's client size now.
  void clientSize(uint32_t& width, uint32_t& height);
  // An OpenGL or window-system entry point; null when absent. Needs this context current.
  void* procAddress(const char* name);
  // Turns off the wait for vertical retrace where the window system offers swap control; else does nothing.
  void disableSwapWait();
  // The window system's extension string (WGL or GLX); empty when there is none.
  const char* windowSystemExtensions();

  // The native drawable (markers before and after).
  uintptr_t drawableHandle() const { return deviceContext; }
  NativeWindow nativeWindow() const { return window; }

 private:
  struct Native;
  std::unique_ptr<Native> native;
  NativeWindow window;
  uintptr_t deviceContext = kHandleBeforeCreation;
};

}  // namespace VexBlit
