// The X11 test host: parent window, XTest input, screen read-back and an error handler of the host's own.
#include "x11_host.h"

#include <GL/glx.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include "gui/window_x11.h"
#include "render/gl/x11_errors.h"

#include <chrono>
#include <thread>

namespace LatticeTest {

int hostErrors = 0;

namespace {
int hostHandler(Display*, XErrorEvent*) {
  ++hostErrors;
  return 0;
}
}  // namespace

void fakeMove(XDisplay* display, int x, int y) {
  XTestFakeMotionEvent(display, -1, x, y, CurrentTime);
  XSync(display, False);
}

void fakeButton(XDisplay* display, int xButton, bool press) {
  XTestFakeButtonEvent(display, unsigned(xButton), press ? True : False, CurrentTime);
  XSync(display, False);
}

void fakeClick(XDisplay* display, int xButton) {
  fakeButton(display, xButton, true);
  fakeButton(display, xButton, false);
}

void fakeKey(XDisplay* display, const char* name, bool press) {
  KeyCode code = XKeysymToKeycode(display, XStringToKeysym(name));
  XTestFakeKeyEvent(display, code, press ? True : False, CurrentTime);
  XSync(display, False);
}

void fakeTap(XDisplay* display, const char* name) {
  fakeKey(display, name, true);
  fakeKey(display, name, false);
}

uint32_t screenPixel(XDisplay* display, int x, int y) {
  XImage* image = XGetImage(display, DefaultRootWindow(display), x, y, 1, 1, AllPlanes, ZPixmap);
  if (!image) return 0xFFFFFFFF;
  uint32_t pixel = uint32_t(XGetPixel(image, 0, 0)) & 0xFFFFFF;
  XDestroyImage(image);
  return pixel;
}

XDisplay* openTestDisplay() { return XOpenDisplay(nullptr); }

void closeTestDisplay(XDisplay* display) {
  if (display) XCloseDisplay(display);
}

bool findPopup(XDisplay* display, int& x, int& y, int& w, int& h) {
  Window rootWindow = 0, parentWindow = 0, *children = nullptr;
  unsigned count = 0;
  if (!XQueryTree(display, DefaultRootWindow(display), &rootWindow, &parentWindow, &children, &count)) return false;
  bool found = false;
  for (unsigned i = count; i-- > 0 && !found;) {  // topmost first
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display, children[i], &attributes)) continue;
    if (!attributes.override_redirect || attributes.map_state != IsViewable) continue;
    x = attributes.x, y = attributes.y, w = attributes.width, h = attributes.height;
    found = true;
  }
  if (children) XFree(children);
  return found;
}

void provokeXError(XDisplay* display) {
  Window doomed = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
  XDestroyWindow(display, doomed);
  XDestroyWindow(display, doomed);  // no longer a window
  XSync(display, False);
}

void provokeEditorError(Lattice::Winwrapper& root) {
  provokeXError(static_cast<Lattice::X11Window&>(root.backend()).connection());
}

int errorsKeptFromHost(Lattice::Winwrapper& root) {
  auto& backend = static_cast<Lattice::X11Window&>(root.backend());
  return VexBlit::xErrorsSeenOn(backend.connection());
}

void X11Host::showParent(bool mapped, int width, int height) {
  XResizeWindow(display, parent, unsigned(width), unsigned(height));
  if (mapped) XMapWindow(display, parent);
  else XUnmapWindow(display, parent);
  XSync(display, False);
}

void X11Host::moveParent(int x, int y) {
  parentX = x;
  parentY = y;
  XMoveWindow(display, parent, x, y);
  XSync(display, False);
}

namespace {
// One connection with GLX set up stays open for the whole run, so the GL driver stays loaded after the editors'
// own connections close and the leak checker can still name the driver's allocations.
void keepDriverLoaded() {
  static Display* const keeper = [] {
    Display* d = XOpenDisplay(nullptr);
    int count = 0;
    if (d) XFree(glXChooseFBConfig(d, DefaultScreen(d), nullptr, &count));
    return d;
  }();
  (void)keeper;
}
}  // namespace

void X11Host::SetUp() {
  keepDriverLoaded();
  display = XOpenDisplay(nullptr);
  if (!display) GTEST_SKIP() << "no X display";
  int event = 0, error = 0, major = 0, minor = 0;
  if (!XTestQueryExtension(display, &event, &error, &major, &minor)) GTEST_SKIP() << "no XTest extension";
  XSetErrorHandler(&hostHandler);
  hostErrors = 0;
  makeParent();
  fakeMove(display, 5, 5);  // the pointer starts away from everything
}

void X11Host::TearDown() {
  if (!display) return;
  if (root) root->destroyWindow();
  if (parent) XDestroyWindow(display, parent);
  XSync(display, False);
  EXPECT_EQ(hostErrors, 0) << "an X error reached the host's handler";
  XCloseDisplay(display);
}

Lattice::Winwrapper* X11Host::open(int width, int height) {
  root = new Lattice::Winwrapper(reinterpret_cast<void*>(uintptr_t(parent)), &owner, width, height);
  return root;
}

bool X11Host::pumpUntil(const std::function<bool()>& done, int milliseconds) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (std::chrono::steady_clock::now() < end) {
    if (root) root->idle();
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return done();
}

bool X11Host::logHas(const std::string& entry) const {
  for (const std::string& e : log)
    if (e == entry) return true;
  return false;
}

void X11Host::makeParent() {
  parent = XCreateSimpleWindow(display, DefaultRootWindow(display), kParentX, kParentY, 300, 200, 0, 0, 0);
  XMapWindow(display, parent);
  XSync(display, False);
}

void X11Host::destroyParent() {
  XDestroyWindow(display, parent);
  XSync(display, False);
  parent = 0;
}

}  // namespace LatticeTest
