// EditorWindow: the top-level window, its hints for the window manager, the program keys and the editor inside.
#include "plugin/standalone/editor_window.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <unistd.h>

namespace Standalone {
namespace {

constexpr KeySym kProgramKeys[] = {XK_Page_Down, XK_Page_Up, XK_KP_Page_Down, XK_KP_Page_Up};

// A key another client grabbed on the root window already (a desktop's shortcut) is refused with BadAccess; the
// other keys still step, and Xlib's default handler would end the process instead.
int ignoreRefusedGrab(Display*, XErrorEvent*) { return 0; }

void grabProgramKeys(Display* display, Window window) {
  XSync(display, False);
  int (*previous)(Display*, XErrorEvent*) = XSetErrorHandler(ignoreRefusedGrab);
  for (KeySym key : kProgramKeys)
    if (KeyCode code = XKeysymToKeycode(display, key))
      XGrabKey(display, code, AnyModifier, window, True, GrabModeAsync, GrabModeAsync);
  XSync(display, False);
  XSetErrorHandler(previous);
}

// The window's fixed size, for the window manager.
void setSizeHints(Display* display, Window window, int width, int height) {
  XSizeHints* size = XAllocSizeHints();
  size->flags = PMinSize | PMaxSize;
  size->min_width = size->max_width = width;
  size->min_height = size->max_height = height;
  XSetWMNormalHints(display, window, size);
  XFree(size);
}

// A fixed size, the class the desktop file names, our process id: what a window manager reads before mapping.
void setHints(Display* display, Window window, int width, int height) {
  setSizeHints(display, window, width, height);
  XClassHint* names = XAllocClassHint();
  names->res_name = const_cast<char*>("koralin");
  names->res_class = const_cast<char*>("Koralin");
  XSetClassHint(display, window, names);
  XFree(names);
  const long pid = getpid();
  XChangeProperty(display, window, XInternAtom(display, "_NET_WM_PID", False), XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(&pid), 1);
}

}  // namespace

bool EditorWindow::open(std::string& reason) {
  int width = 0, height = 0;
  if (!instance_.hasEditor() || !instance_.editorSize(width, height)) {
    reason = "the instrument has no editor";
    return false;
  }
  display_ = XOpenDisplay(nullptr);
  if (!display_) {
    reason = "cannot open the X display (is DISPLAY set?); --no-gui runs without the window";
    return false;
  }
  Display* d = display_;
  window_ = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, (unsigned)width, (unsigned)height, 0, 0, 0);
  setHints(d, window_, width, height);
  protocols_ = XInternAtom(d, "WM_PROTOCOLS", False);
  deleteWindow_ = XInternAtom(d, "WM_DELETE_WINDOW", False);
  Atom deleteAtom = deleteWindow_;
  XSetWMProtocols(d, window_, &deleteAtom, 1);
  XSelectInput(d, window_, StructureNotifyMask);
  grabProgramKeys(d, window_);
  instance_.setListener(this);
  return true;
}

// The fixed size the window manager is told goes first, or it would hold the window at the old one.
bool EditorWindow::editorResized(int32_t width, int32_t height) {
  if (!display_ || width <= 0 || height <= 0) return false;
  setSizeHints(display_, window_, width, height);
  XResizeWindow(display_, window_, (unsigned)width, (unsigned)height);
  XFlush(display_);
  return true;
}

void EditorWindow::close() {
  if (!display_) return;
  hide();
  instance_.setListener(nullptr);
  XDestroyWindow(display_, window_);
  XCloseDisplay(display_);
  display_ = nullptr;
  window_ = 0;
}

void EditorWindow::show() {
  if (!display_ || shown_) return;
  XMapRaised(display_, window_);
  // The editor's own connection makes its panel a child of ours: the window must be there when it asks.
  for (XEvent event;;) {
    XWindowEvent(display_, window_, StructureNotifyMask, &event);
    if (event.type == MapNotify) break;
  }
  instance_.openEditor(reinterpret_cast<void*>(window_));
  shown_ = true;
}

void EditorWindow::hide() {
  if (!display_ || !shown_) return;
  instance_.closeEditor();
  XUnmapWindow(display_, window_);
  XSync(display_, False);
  shown_ = false;
}

void EditorWindow::setTitle(const std::string& title) {
  if (!display_) return;
  XStoreName(display_, window_, title.c_str());
  XChangeProperty(display_, window_, XInternAtom(display_, "_NET_WM_NAME", False),
                  XInternAtom(display_, "UTF8_STRING", False), 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(title.data()), (int)title.size());
  XFlush(display_);
}

EditorWindow::Input EditorWindow::idle() {
  Input input;
  if (!display_) return input;
  while (XPending(display_)) {
    XEvent event;
    XNextEvent(display_, &event);
    if (event.type == ClientMessage && event.xclient.message_type == protocols_ &&
        (Atom)event.xclient.data.l[0] == deleteWindow_) {
      input.closeAsked = true;
    } else if (event.type == KeyPress) {
      const KeySym key = XLookupKeysym(&event.xkey, 0);
      if (key == XK_Page_Down || key == XK_KP_Page_Down) ++input.programStep;
      if (key == XK_Page_Up || key == XK_KP_Page_Up) --input.programStep;
    }
  }
  if (shown_) instance_.idleEditor();
  return input;
}

}  // namespace Standalone
