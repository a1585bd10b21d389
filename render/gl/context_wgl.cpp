// The WGL backend of the GL context: a pixel format and rendering context on the window's device context.
#include <windows.h>

#include <cstring>

#include "render/gl/gl_api.h"
#include "render/gl/gl_context.h"

namespace VexBlit {

struct GLContext::Native {
  HWND window = nullptr;
  HDC deviceContext = nullptr;
  HGLRC context = nullptr;
  // What was current on this thread when the outermost scope opened.
  HDC savedDeviceContext = nullptr;
  HGLRC savedContext = nullptr;

  void create();
};

namespace {

PIXELFORMATDESCRIPTOR pixelFormat() {
  PIXELFORMATDESCRIPTOR format;
  std::memset(&format, 0, sizeof format);
  format.nSize = sizeof format;  // 40
  format.nVersion = 1;
  format.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
  format.iPixelType = PFD_TYPE_RGBA;
  format.cColorBits = 24;
  format.cDepthBits = 24;
  format.cStencilBits = 8;
  format.iLayerType = PFD_MAIN_PLANE;
  return format;
}

}  // namespace

// Chooses and sets the pixel format and creates the context; the device context is released on failure.
void GLContext::Native::create() {
  try {
    const PIXELFORMATDESCRIPTOR format = pixelFormat();
    const int chosen = ChoosePixelFormat(deviceContext, &format);
    if (chosen == 0) checkFailed(kCheckPixelFormat);
    if (!SetPixelFormat(deviceContext, chosen, &format)) checkFailed(kCheckSetPixelFormat);
    context = wglCreateContext(deviceContext);
    if (!context) checkFailed(kCheckCreateContext);
  } catch (...) {
    ReleaseDC(window, deviceContext);
    throw;
  }
}

GLContext::GLContext(NativeWindow window) : native(std::make_unique<Native>()), window(window) {
  native->window = reinterpret_cast<HWND>(window.window);
  native->deviceContext = GetDC(native->window);
  if (!native->deviceContext) checkFailed(kCheckPixelFormat);
  native->create();
  deviceContext = reinterpret_cast<uintptr_t>(native->deviceContext);
}

GLContext::~GLContext() {
  if (!wglDeleteContext(native->context)) {
    try {
      checkFailed(kCheckDeleteContext);
    } catch (const Exception&) {
    }
  }
  ReleaseDC(native->window, native->deviceContext);
  deviceContext = kHandleAfterDeletion;
}

void GLContext::rememberCurrent() {
  native->savedDeviceContext = wglGetCurrentDC();
  native->savedContext = wglGetCurrentContext();
}

void GLContext::makeCurrent() {
  if (!wglMakeCurrent(native->deviceContext, native->context)) checkFailed(kCheckMakeCurrent);
}

void GLContext::restoreRemembered() {
  if (!wglMakeCurrent(native->savedDeviceContext, native->savedContext)) checkFailed(kCheckRestoreCurrent);
}

void GLContext::swapBuffers() { SwapBuffers(native->deviceContext); }

void GLContext::clientSize(uint32_t& width, uint32_t& height) {
  RECT client{};
  GetClientRect(native->window, &client);
  width = client.right > 0 ? uint32_t(client.right) : 0;
  height = client.bottom > 0 ? uint32_t(client.bottom) : 0;
}

void* GLContext::procAddress(const char* name) { return reinterpret_cast<void*>(wglGetProcAddress(name)); }

const char* GLContext::windowSystemExtensions() {
  using GetExtensions = const char*(WINAPI*)();
  auto getExtensions = reinterpret_cast<GetExtensions>(procAddress("wglGetExtensionsStringEXT"));
  const char* text = getExtensions ? getExtensions() : nullptr;
  return text ? text : "";
}

void GLContext::disableSwapWait() {
  if (!std::strstr(windowSystemExtensions(), "WGL_EXT_swap_control")) return;
  using SwapInterval = BOOL(WINAPI*)(int);
  auto swapInterval = reinterpret_cast<SwapInterval>(procAddress("wglSwapIntervalEXT"));
  if (swapInterval) swapInterval(0);  // no wait for vertical retrace
}

}  // namespace VexBlit
