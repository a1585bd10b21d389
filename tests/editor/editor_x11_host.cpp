// The host's side under the test display: window, read-back, error handler, and the knob's expected look.
#include "editor_x11_host.h"

#include <GL/glx.h>
#include <X11/Xlib.h>
#include <dlfcn.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <cstdlib>
#include <cstring>
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

bool onlyChildSize(XDisplay* display, unsigned long window, int& width, int& height) {
  Window root = 0, parent = 0, *children = nullptr;
  unsigned count = 0;
  if (!XQueryTree(display, Window(window), &root, &parent, &children, &count)) return false;
  XWindowAttributes attributes{};
  const bool one = count == 1 && XGetWindowAttributes(display, children[0], &attributes);
  if (children) XFree(children);
  width = attributes.width;
  height = attributes.height;
  return one;
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

int knobMismatches(const std::vector<uint32_t>& body, float value, uint32_t tint, int& opaque, int art) {
  return StripCheck::knobMismatches(body, size_t(40 * art), 0, 0, value, tint, opaque, art);
}

ServerResources::ServerResources(XDisplay* display, const char* resources) : display(display) {
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(display, DefaultRootWindow(display), XA_RESOURCE_MANAGER, 0, 1 << 20, False, XA_STRING, &type,
                         &format, &count, &after, &data) == Success &&
      data && format == 8) {
    had = true;
    previous.assign(data, data + count);
  }
  if (data) XFree(data);
  XChangeProperty(display, DefaultRootWindow(display), XA_RESOURCE_MANAGER, XA_STRING, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(resources), int(std::strlen(resources)));
  XSync(display, False);
}

ServerResources::~ServerResources() {
  if (had)
    XChangeProperty(display, DefaultRootWindow(display), XA_RESOURCE_MANAGER, XA_STRING, 8, PropModeReplace,
                    previous.data(), int(previous.size()));
  else XDeleteProperty(display, DefaultRootWindow(display), XA_RESOURCE_MANAGER);
  XSync(display, False);
}

}  // namespace EditorTest
