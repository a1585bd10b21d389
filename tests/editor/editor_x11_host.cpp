// The host's side under the test display: window, read-back, error handler, and the knob's expected look.
#include "editor_x11_host.h"

#include <GL/glx.h>
#include <X11/Xlib.h>
#include <dlfcn.h>
#include <X11/Xutil.h>

#include <cstdlib>
#include <memory>

#include "gui/plug_knob.h"
#include "render/gl/image.h"

namespace EditorTest {

namespace {

int errors = 0;
int handler(Display*, XErrorEvent*) {
  ++errors;
  return 0;
}

const Lattice::Image& strip() {
  static std::unique_ptr<Lattice::Image> image(VexBlit::loadPngResource("oldKnobs"));
  return *image;
}

}  // namespace

void keepLibrariesLoaded(const char* module) {
  // A connection with GLX set up keeps the GL driver loaded after the editors' own connections close, and a
  // reference of our own keeps the module: the leak checker can then still name whose allocations it finds.
  static Display* const keeper = [] {
    Display* d = XOpenDisplay(nullptr);
    int count = 0;
    if (d) XFree(glXChooseFBConfig(d, DefaultScreen(d), nullptr, &count));
    return d;
  }();
  static void* const handle = dlopen(module, RTLD_NOW | RTLD_LOCAL);
  (void)keeper;
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
  const Lattice::Image& image = strip();
  int frame = 0, weight = 0;
  Lattice::knobFrame(value, frame, weight);
  const int next = frame < 95 ? frame + 1 : 95;
  auto texel = [&image](int n, int x, int y) {
    return image.pixels[size_t(40 * (n / 8) + y) * image.width + size_t(40 * (n % 8) + x)];
  };
  int mismatches = 0;
  opaque = 0;
  for (int y = 0; y < 40; ++y) {
    for (int x = 0; x < 40; ++x) {
      const uint32_t a = texel(frame, x, y), b = texel(next, x, y);
      if ((a >> 24) != 0xFF || (b >> 24) != 0xFF) continue;
      ++opaque;
      const uint32_t shown = body[size_t(y) * 40 + size_t(x)];
      for (int shift : {0, 8, 16}) {
        const float ca = float((a >> shift) & 0xFF), cb = float((b >> shift) & 0xFF);
        const float expected = (ca + (cb - ca) * float(weight) / 255.0f) * float(tint) / 255.0f;
        if (std::abs(float((shown >> shift) & 0xFF) - expected) > 6.0f) {
          ++mismatches;
          break;
        }
      }
    }
  }
  return mismatches;
}

}  // namespace EditorTest
