// The X11 backend's window: own connection, child of the host's window, idle pump, timer, painting, teardown.
#include "gui/window_x11.h"

#include <GL/glx.h>
#include <X11/XKBlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>

#include "gui/popup_x11.h"
#include "gui/winwrapper.h"
#include "platform/dialogs.h"
#include "render/gl/gl_device.h"
#include "render/gl/x11_errors.h"

namespace Lattice {

namespace {

constexpr long kEventMask = ExposureMask | StructureNotifyMask | ButtonPressMask | ButtonReleaseMask |
                            PointerMotionMask | LeaveWindowMask | KeyPressMask | KeyReleaseMask | FocusChangeMask;

// The visual the GL context will want, so the window is ready for it; null when GLX offers none.
XVisualInfo* glVisual(Display* display) {
  // clang-format off
  const int attributes[] = {GLX_X_RENDERABLE, True, GLX_DRAWABLE_TYPE, GLX_WINDOW_BIT, GLX_RENDER_TYPE,
                            GLX_RGBA_BIT, GLX_DOUBLEBUFFER, True, GLX_RED_SIZE, 8, GLX_GREEN_SIZE, 8,
                            GLX_BLUE_SIZE, 8, None};
  // clang-format on
  int count = 0;
  GLXFBConfig* configs = glXChooseFBConfig(display, DefaultScreen(display), attributes, &count);
  XVisualInfo* visual = (configs && count > 0) ? glXGetVisualFromFBConfig(display, configs[0]) : nullptr;
  if (configs) XFree(configs);
  return visual;
}

unsigned desktopDoubleClickTime(Display* display) {
  const char* value = XGetDefault(display, "Koralin", "multiClickTime");
  long ms = value ? std::strtol(value, nullptr, 10) : 0;
  return ms > 0 && ms < 5000 ? unsigned(ms) : 400;
}

}  // namespace

std::unique_ptr<WindowBackend> createWindowBackend(Winwrapper& root, void* parentWindow, int width, int height) {
  return std::make_unique<X11Window>(root, Window(reinterpret_cast<uintptr_t>(parentWindow)), width, height);
}

X11Window::X11Window(Winwrapper& root, Window parent, int width, int height) : root(root) {
  create(parent, width, height);
  if (!window) Platform::showError("Error!", "Failed to create a control.");
}

void X11Window::create(Window parent, int width, int height) {
  // Our own connection: the host's may be absent, or owned by another thread.
  display = openConnection();
  if (!display) return;
  VexBlit::adoptXErrors(display);  // errors of our own connection never reach the host
  Bool detectable = False;
  XkbSetDetectableAutoRepeat(display, True, &detectable);  // held keys repeat presses only, as on Windows
  doubleClickMs = desktopDoubleClickTime(display);
  int screen = DefaultScreen(display);
  bool topLevel = parent == 0;
  if (topLevel) parent = RootWindow(display, screen);

  XVisualInfo* gl = glVisual(display);
  Visual* visual = gl ? gl->visual : DefaultVisual(display, screen);
  int depth = gl ? gl->depth : DefaultDepth(display, screen);
  if (gl) XFree(gl);
  XSync(display, False);
  int errorsBefore = VexBlit::xErrorsSeenOn(display);
  colormap = XCreateColormap(display, RootWindow(display, screen), visual, AllocNone);
  XSetWindowAttributes attributes{};
  attributes.colormap = colormap;
  attributes.border_pixel = 0;
  attributes.background_pixel = 0;
  attributes.event_mask = kEventMask;
  window =
      XCreateWindow(display, parent, 0, 0, unsigned(width > 0 ? width : 1), unsigned(height > 0 ? height : 1), 0, depth,
                    InputOutput, visual, CWColormap | CWBorderPixel | CWBackPixel | CWEventMask, &attributes);
  if (topLevel) {
    deleteWindowAtom = XInternAtom(display, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(display, window, &deleteWindowAtom, 1);
  }
  XMapWindow(display, window);
  XSync(display, False);
  if (VexBlit::xErrorsSeenOn(display) != errorsBefore) {  // the parent id was no window
    XDestroyWindow(display, window);
    XSync(display, False);
    window = 0;
  }
  lastTick = Clock::now();
}

X11Window::~X11Window() {
  if (!display) return;
  if (window && !gone) XDestroyWindow(display, window);
  for (Cursor& shape : cursors)
    if (shape) XFreeCursor(display, shape);
  if (colormap) XFreeColormap(display, colormap);
  // Answers to everything sent so far arrive while the connection is still ours to swallow errors of.
  XSync(display, False);
  VexBlit::releaseXErrors(display);
  parkConnection(display);
}

void X11Window::destroy() {
  if (busy > 0) {
    destroyRequested = true;  // our loop on the stack finishes it when it returns
    return;
  }
  finishDestroy();
}

void X11Window::finishDestroy() {
  if (!gone) {
    XEvent event;
    XSync(display, False);
    if (XCheckTypedWindowEvent(display, window, DestroyNotify, &event)) gone = true;
  }
  // Graphics go while the GL context is still there (if the window is gone, its errors are ours to swallow).
  root.onDestroy();
  timerRunning = false;
  if (!gone) {
    XDestroyWindow(display, window);
    XSync(display, False);
  }
  gone = true;
  root.onNcDestroy();  // deletes the root, and this backend with it
}

void X11Window::idle() {
  if (!display || !window) return;
  ++busy;
  while (!closing() && XPending(display) > 0) {
    XEvent event;
    XNextEvent(display, &event);
    dispatch(event);
    deliverCommands();
    applyCursor();
  }
  if (!closing()) {
    checkGrab();
    runTimer();
    paintIfAsked();
    applyCursor();
  }
  if (--busy == 0 && closing()) finishDestroy();
}

void X11Window::checkGrab() {
  // X may end the implicit grab without a word (the host hid its window mid-drag): the release then goes
  // elsewhere. Only while a control holds the capture is the server asked which buttons are still down.
  if (!buttonsDown || !root.captured || menuActive) return;
  Window rootWindow = 0, child = 0;
  int rootX = 0, rootY = 0, x = 0, y = 0;
  unsigned mask = 0;
  XQueryPointer(display, window, &rootWindow, &child, &rootX, &rootY, &x, &y, &mask);
  bool held = mask & (Button1Mask | Button2Mask | Button3Mask);
  // Events sent before the answer are queued by now: a release on its way to us is not a lost grab.
  if (held || XEventsQueued(display, QueuedAlready) > 0) return;
  buttonsDown = 0;
  captureWanted = false;
  root.onCaptureChanged();
}

void X11Window::runTimer() {
  if (!timerRunning || closing()) return;
  Clock::time_point now = Clock::now();
  if (now - lastTick < std::chrono::milliseconds(10)) return;
  lastTick = now;  // one tick however long the host took: no bursts to catch up
  root.onTimer();
}

void X11Window::paintIfAsked() {
  if (!needsPaint || closing()) return;
  needsPaint = false;
  root.onPaint();
}

void X11Window::deliverCommands() {
  while (!postedCommands.empty() && !closing()) {
    int id = postedCommands.front();
    postedCommands.erase(postedCommands.begin());
    root.onCommand(id);
  }
}

bool X11Window::startTimer() {
  timerRunning = true;
  lastTick = Clock::now();
  return true;
}

void X11Window::setCapture() { captureWanted = true; }

void X11Window::releaseCapture() { captureWanted = false; }

bool X11Window::hasCapture() const { return captureWanted && buttonsDown != 0 && valid(); }

void X11Window::setFocus() {
  if (!valid()) return;
  XSetInputFocus(display, window, RevertToParent, CurrentTime);  // refused while unmapped: error swallowed
  XFlush(display);
}

// The system's box when someone answers it (a dialog program, or a test's seam); else a box of our own, since
// the safe answer given for the person would leave them believing it was done.
bool X11Window::ask(const char* caption, const char* text) {
  if (Platform::boxesReachSomeone()) return Platform::askOkCancel(caption, text);
  std::fprintf(stderr, "Koralin: %s: %s\n", caption, text);
  return askInOwnWindow(*this, caption, text);
}

void X11Window::screenOrigin(int& x, int& y) const {
  x = y = 0;
  if (!valid()) return;
  Window child = 0;
  XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &x, &y, &child);
}

VexBlit::DevicePtr X11Window::createDevice() {
  if (!valid()) throw VexBlit::Exception();
  VexBlit::GLDevicePtr device = VexBlit::createGLDevice(VexBlit::NativeWindow{display, uintptr_t(window)});
  // The GL child covers our window: its exposures are ours too; its input reaches us by propagation.
  drawable = Window(device->nativeContext().drawableHandle());
  XSelectInput(display, drawable, ExposureMask);
  return device;
}

void X11Window::resize(int width, int height) {
  if (!valid()) return;
  XResizeWindow(display, window, unsigned(width > 0 ? width : 1), unsigned(height > 0 ? height : 1));
  XFlush(display);
  needsPaint = true;
}

void X11Window::paintFallback() {
  if (!valid()) return;
  XClearWindow(display, window);  // the background pixel is black
  XFlush(display);
}

}  // namespace Lattice
