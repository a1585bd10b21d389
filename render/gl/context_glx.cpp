// The GLX backend of the GL context: a child window with a GL visual inside the given X11 window.
#include <GL/glx.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstring>

#include "render/gl/gl_context.h"
#include "render/gl/x11_errors.h"

namespace VexBlit {

namespace {

// clang-format off
const int kFramebufferAttributes[] = {GLX_X_RENDERABLE, True, GLX_DRAWABLE_TYPE, GLX_WINDOW_BIT,
                                      GLX_RENDER_TYPE, GLX_RGBA_BIT, GLX_DOUBLEBUFFER, True,
                                      GLX_RED_SIZE, 8, GLX_GREEN_SIZE, 8, GLX_BLUE_SIZE, 8,
                                      GLX_DEPTH_SIZE, 24, GLX_STENCIL_SIZE, 8, None};
// clang-format on

}  // namespace

struct GLContext::Native {
  Display* display = nullptr;
  Window parent = 0;
  Window child = 0;  // the drawable: a child with the GL visual, kept at the parent's size
  Colormap colormap = 0;
  GLXContext context = nullptr;
  // What was current on this thread when the outermost scope opened.
  Display* savedDisplay = nullptr;
  GLXDrawable savedDraw = 0;
  GLXDrawable savedRead = 0;
  GLXContext savedContext = nullptr;

  GLXFBConfig chooseConfig();
  bool createChild(XVisualInfo* visual);
  void destroyChild();
};

GLXFBConfig GLContext::Native::chooseConfig() {
  int count = 0;
  GLXFBConfig* configs = glXChooseFBConfig(display, DefaultScreen(display), kFramebufferAttributes, &count);
  GLXFBConfig chosen = (configs && count > 0) ? configs[0] : nullptr;
  if (configs) XFree(configs);
  return chosen;
}

bool GLContext::Native::createChild(XVisualInfo* visual) {
  XErrorTrap trap(display);
  XWindowAttributes parentAttributes{};
  if (!XGetWindowAttributes(display, parent, &parentAttributes) || trap.failedNow()) return false;
  colormap = XCreateColormap(display, parent, visual->visual, AllocNone);
  XSetWindowAttributes attributes{};
  attributes.colormap = colormap;
  attributes.border_pixel = 0;
  attributes.event_mask = 0;  // input and exposure stay with the parent window
  unsigned w = parentAttributes.width > 0 ? parentAttributes.width : 1;
  unsigned h = parentAttributes.height > 0 ? parentAttributes.height : 1;
  child = XCreateWindow(display, parent, 0, 0, w, h, 0, visual->depth, InputOutput, visual->visual,
                        CWColormap | CWBorderPixel | CWEventMask, &attributes);
  XMapWindow(display, child);
  if (!trap.failedNow()) return true;
  destroyChild();
  return false;
}

void GLContext::Native::destroyChild() {
  if (child) XDestroyWindow(display, child);
  if (colormap) XFreeColormap(display, colormap);
  child = 0;
  colormap = 0;
  XFlush(display);
}

GLContext::GLContext(NativeWindow window) : native(std::make_unique<Native>()), window(window) {
  native->display = static_cast<Display*>(window.display);
  native->parent = static_cast<Window>(window.window);
  if (!native->display || !native->parent) checkFailed(kCheckPixelFormat);
  GLXFBConfig config = native->chooseConfig();
  if (!config) checkFailed(kCheckPixelFormat);
  XVisualInfo* visual = glXGetVisualFromFBConfig(native->display, config);
  if (!visual) checkFailed(kCheckPixelFormat);
  bool made = native->createChild(visual);
  XFree(visual);
  if (!made) checkFailed(kCheckSetPixelFormat);
  {
    XErrorTrap trap(native->display);
    native->context = glXCreateNewContext(native->display, config, GLX_RGBA_TYPE, nullptr, True);
    if (trap.failedNow() && native->context) {
      glXDestroyContext(native->display, native->context);
      native->context = nullptr;
    }
  }
  if (!native->context) {
    native->destroyChild();
    checkFailed(kCheckCreateContext);
  }
  deviceContext = native->child;
}

GLContext::~GLContext() {
  // GLX reports no failure when a context is deleted; there is nothing for kCheckDeleteContext to catch here. The
  // window may be gone already (its parent destroyed first): that error is caught, not left to end the process.
  XErrorTrap trap(native->display);
  glXDestroyContext(native->display, native->context);
  native->destroyChild();
  trap.failedNow();
  deviceContext = kHandleAfterDeletion;
}

void GLContext::rememberCurrent() {
  native->savedDisplay = glXGetCurrentDisplay();
  native->savedDraw = glXGetCurrentDrawable();
  native->savedRead = glXGetCurrentReadDrawable();
  native->savedContext = glXGetCurrentContext();
}

void GLContext::makeCurrent() {
  if (!glXMakeCurrent(native->display, native->child, native->context)) checkFailed(kCheckMakeCurrent);
}

void GLContext::restoreRemembered() {
  bool restored = native->savedContext ? glXMakeContextCurrent(native->savedDisplay, native->savedDraw,
                                                               native->savedRead, native->savedContext)
                                       : glXMakeCurrent(native->display, None, nullptr);
  if (!restored) checkFailed(kCheckRestoreCurrent);
}

void GLContext::swapBuffers() { glXSwapBuffers(native->display, native->child); }

void GLContext::clientSize(uint32_t& width, uint32_t& height) {
  XWindowAttributes parent{}, child{};
  if (!XGetWindowAttributes(native->display, native->parent, &parent)) parent.width = parent.height = 0;
  width = parent.width > 0 ? uint32_t(parent.width) : 0;
  height = parent.height > 0 ? uint32_t(parent.height) : 0;
  // The drawable follows the window it stands in for.
  if (width > 0 && height > 0 && XGetWindowAttributes(native->display, native->child, &child) &&
      (uint32_t(child.width) != width || uint32_t(child.height) != height)) {
    XResizeWindow(native->display, native->child, width, height);
    XSync(native->display, False);
  }
}

void* GLContext::procAddress(const char* name) {
  return reinterpret_cast<void*>(glXGetProcAddressARB(reinterpret_cast<const GLubyte*>(name)));
}

const char* GLContext::windowSystemExtensions() {
  const char* text = glXQueryExtensionsString(native->display, DefaultScreen(native->display));
  return text ? text : "";
}

void GLContext::disableSwapWait() {
  if (!std::strstr(windowSystemExtensions(), "GLX_EXT_swap_control")) return;
  auto swapInterval = reinterpret_cast<PFNGLXSWAPINTERVALEXTPROC>(procAddress("glXSwapIntervalEXT"));
  if (swapInterval) swapInterval(native->display, native->child, 0);
}

}  // namespace VexBlit
