// The X11 popups' window: made and shown over the editor, its grabs, its modal loop and its end.
#include "gui/popup_x11.h"

#include <poll.h>

#include <chrono>
#include <thread>

#include "gui/winwrapper.h"

namespace Lattice {

namespace {
constexpr long kPointerMask = ButtonPressMask | ButtonReleaseMask | PointerMotionMask | LeaveWindowMask;
}  // namespace

void fillRect(VexBlit::Context& context, float x, float y, float w, float h, uint32_t colour) {
  VexBlit::Quad quad;
  VexBlit::initQuad(quad, colour, x, y, w, h, 0, 0);
  VexBlit::drawQuad(context, quad);
}

bool X11Popup::create() {
  display = backend.connection();
  int screen = DefaultScreen(display);
  XSetWindowAttributes attributes{};
  attributes.override_redirect = True;
  attributes.background_pixel = BlackPixel(display, screen);
  attributes.border_pixel = 0;
  attributes.event_mask = kPointerMask | KeyPressMask | ExposureMask;
  window = XCreateWindow(display, RootWindow(display, screen), 0, 0, 1, 1, 0, CopyFromParent, InputOutput,
                         CopyFromParent, CWOverrideRedirect | CWBackPixel | CWBorderPixel | CWEventMask, &attributes);
  try {
    device = VexBlit::createGLDevice(VexBlit::NativeWindow{display, uintptr_t(window)});
  } catch (const VexBlit::Exception&) {
    return false;
  }
  scale = backend.rootWindow().scale();
  device->setPixelScale(scale);
  drawable = Window(device->nativeContext().drawableHandle());
  XSelectInput(display, drawable, ExposureMask);
  font = VexBlit::loadFontResource(*device, "VERA", PopupPalette::kFontSize);
  return true;
}

int X11Popup::screenWidth() const { return DisplayWidth(display, DefaultScreen(display)); }
int X11Popup::screenHeight() const { return DisplayHeight(display, DefaultScreen(display)); }

bool X11Popup::show(int left, int top, int width, int height) {
  XMoveResizeWindow(display, window, left, top, unsigned(width), unsigned(height));
  XMapRaised(display, window);
  XSync(display, False);
  backend.menuActive = true;  // the editor's grab changes from now on are ours, not losses
  needsPaint = grab();
  return grabbed;
}

bool X11Popup::grab() {
  grabbed = false;
  // The window may take a moment to become viewable; a grab another client holds is not waited out long.
  for (int attempt = 0; attempt < 20 && !grabbed; ++attempt) {
    grabbed = XGrabPointer(display, window, False, kPointerMask, GrabModeAsync, GrabModeAsync, None, None,
                           CurrentTime) == GrabSuccess;
    if (!grabbed) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (grabbed) XGrabKeyboard(display, window, False, GrabModeAsync, GrabModeAsync, CurrentTime);
  return grabbed;
}

void X11Popup::run() {
  running = true;
  ++backend.busy;
  while (running && !backend.closing()) {
    while (running && XPending(display) > 0) {
      XEvent event;
      XNextEvent(display, &event);
      if (event.xany.window == window || event.xany.window == drawable) handle(event);
      else backend.dispatch(event);  // the editor's own: exposures, its destruction
    }
    if (!running || backend.closing()) break;
    backend.runTimer();
    backend.paintIfAsked();
    if (needsPaint) {
      needsPaint = false;
      try {
        device->renderScene(*this);
      } catch (const VexBlit::Exception&) {
      }
    }
    pollfd wait{ConnectionNumber(display), POLLIN, 0};
    poll(&wait, 1, 5);
  }
  --backend.busy;
}

void X11Popup::close() {
  if (!display) return;
  if (grabbed) {
    XUngrabPointer(display, CurrentTime);
    XUngrabKeyboard(display, CurrentTime);
    grabbed = false;
  }
  font.reset();  // its atlas needs the device
  device.reset();
  if (window) XDestroyWindow(display, window);
  window = drawable = 0;
  XSync(display, False);
  display = nullptr;
}

}  // namespace Lattice
