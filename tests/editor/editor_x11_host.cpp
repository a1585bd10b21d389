// The host's side under the test display: window, read-back, error handler, and the knob's expected look.
#include "editor_x11_host.h"

#include <GL/glx.h>
#include <X11/Xlib.h>
#include <dlfcn.h>
#include <X11/Xutil.h>

#include <cstdlib>
#include <memory>

#include "film_strip_check.h"

namespace EditorTest {

namespace {

int errors = 0;
int handler(Display*, XErrorEvent*) {
  ++errors;
  return 0;
}

}  // namespace

void keepGlDriverLoaded() {
  // A connection with GLX set up keeps the GL driver loaded after the editors' own connections close.
  static Display* const keeper = [] {
    Display* d = XOpenDisplay(nullptr);
    int count = 0;
    if (d) XFree(glXChooseFBConfig(d, DefaultScreen(d), nullptr, &count));
    return d;
  }();
  (void)keeper;
}

void keepLibrariesLoaded(const char* module) {
  // With a reference of our own to the module too, the leak checker can still name whose allocations it finds.
  keepGlDriverLoaded();
  static void* const handle = dlopen(module, RTLD_NOW | RTLD_LOCAL);
  (void)handle;
}

void installHostErrorHandler() {
  XSetErrorHandler(&handler);
  errors = 0;
}

int hostErrorCount() { return errors; }

unsigned long makeHostWindow(XDisplay* display, int x, int y, int width, int height) {
  Window window =
      XCreateSimpleWindow(display, DefaultRootWindow(display), x, y, unsigned(width), unsigned(height), 0, 0, 0x202020);
  XSelectInput(display, window, StructureNotifyMask);
  XMapWindow(display, window);
  for (XEvent event;;) {
    XNextEvent(display, &event);
    if (event.type == MapNotify && event.xmap.window == window) break;
  }
  return window;
}

void destroyHostWindow(XDisplay* display, unsigned long window) {
  XDestroyWindow(display, Window(window));
  XSync(display, False);
}

std::vector<uint32_t> screenRect(XDisplay* display, int x, int y, int width, int height) {
  std::vector<uint32_t> pixels;
  XSync(display, False);
  XImage* image =
      XGetImage(display, DefaultRootWindow(display), x, y, unsigned(width), unsigned(height), AllPlanes, ZPixmap);
  if (!image) return pixels;
  for (int row = 0; row < height; ++row)
    for (int column = 0; column < width; ++column) pixels.push_back(uint32_t(XGetPixel(image, column, row)) & 0xFFFFFF);
  XDestroyImage(image);
  return pixels;
}

int knobMismatches(const std::vector<uint32_t>& body, float value, uint32_t tint, int& opaque) {
  return StripCheck::knobMismatches(body, 40, 0, 0, value, tint, opaque);
}

}  // namespace EditorTest
