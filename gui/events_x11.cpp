// X11 events of the editor window as the root's calls: buttons, wheel, double-clicks, crossing, focus, keys.
#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <X11/keysym.h>

#include <cstdlib>
#include <string>

#include "gui/keys.h"
#include "gui/menu.h"
#include "gui/window_x11.h"
#include "gui/winwrapper.h"

namespace Lattice {

namespace {

constexpr int kDoubleClickSlop = 4;  // pixels the second press may be away from the first

int modifiers(unsigned state) { return (state & ShiftMask ? kModShift : 0) | (state & ControlMask ? kModCtrl : 0); }

struct KeyPair {
  KeySym sym;
  int key;
};
// clang-format off
constexpr KeyPair kKeyTable[] = {
    {XK_BackSpace, kKeyBackspace}, {XK_Tab, kKeyTab},           {XK_Return, kKeyReturn},
    {XK_KP_Enter, kKeyReturn},     {XK_Shift_L, kKeyShift},     {XK_Shift_R, kKeyShift},
    {XK_Control_L, kKeyControl},   {XK_Control_R, kKeyControl}, {XK_Alt_L, kKeyAlt},
    {XK_Alt_R, kKeyAlt},           {XK_Pause, kKeyPause},       {XK_Caps_Lock, kKeyCapsLock},
    {XK_Escape, kKeyEscape},       {XK_space, kKeySpace},       {XK_Prior, kKeyPageUp},
    {XK_Next, kKeyPageDown},       {XK_End, kKeyEnd},           {XK_Home, kKeyHome},
    {XK_Left, kKeyLeft},           {XK_Up, kKeyUp},             {XK_Right, kKeyRight},
    {XK_Down, kKeyDown},           {XK_Insert, kKeyInsert},     {XK_Delete, kKeyDelete},
    {XK_KP_Prior, kKeyPageUp},     {XK_KP_Next, kKeyPageDown},  {XK_KP_End, kKeyEnd},
    {XK_KP_Home, kKeyHome},        {XK_KP_Left, kKeyLeft},      {XK_KP_Up, kKeyUp},
    {XK_KP_Right, kKeyRight},      {XK_KP_Down, kKeyDown},      {XK_KP_Insert, kKeyInsert},
    {XK_KP_Delete, kKeyDelete},    {XK_KP_Multiply, kKeyMultiply}, {XK_KP_Add, kKeyAdd},
    {XK_KP_Subtract, kKeySubtract}, {XK_KP_Decimal, kKeyDecimal}, {XK_KP_Divide, kKeyDivide},
};
// clang-format on

// The virtual key of a key event's unshifted symbol; 0 for keys the other system has no code for.
int virtualKey(KeySym sym) {
  if (sym >= XK_a && sym <= XK_z) return kKeyA + int(sym - XK_a);
  if (sym >= XK_A && sym <= XK_Z) return kKeyA + int(sym - XK_A);
  if (sym >= XK_0 && sym <= XK_9) return kKey0 + int(sym - XK_0);
  if (sym >= XK_KP_0 && sym <= XK_KP_9) return kKeyNumpad0 + int(sym - XK_KP_0);
  if (sym >= XK_F1 && sym <= XK_F12) return kKeyF1 + int(sym - XK_F1);
  for (const KeyPair& pair : kKeyTable)
    if (pair.sym == sym) return pair.key;
  return 0;
}

// XLookupString gives Latin-1 bytes; the tree gets UTF-8.
std::string latin1ToUtf8(const char* bytes, int count) {
  std::string text;
  for (int i = 0; i < count; ++i) {
    unsigned char c = static_cast<unsigned char>(bytes[i]);
    if (c < 0x80) {
      text += char(c);
    } else {
      text += char(0xC0 | (c >> 6));
      text += char(0x80 | (c & 0x3F));
    }
  }
  return text;
}

}  // namespace

void X11Window::dispatch(XEvent& event) {
  if (gone) return;
  Window target = event.xany.window;
  if (target != window && !(target == drawable && drawable && event.type == Expose)) return;
  // While our menu is up it owns the input, including a release of the press that opened it.
  if (menuActive && event.type != Expose && event.type != DestroyNotify && event.type != ClientMessage) return;
  switch (event.type) {
    case Expose:
      if (event.xexpose.count == 0) needsPaint = true;
      break;
    case DestroyNotify:
      if (event.xdestroywindow.window == window) gone = true;  // the host destroyed its window first
      break;
    case UnmapNotify:
      // Hidden (the host hid its window): X ends any grab on a window that stops being viewable.
      if (menuActive || event.xunmap.window != window) break;
      buttonsDown = 0;
      if (root.captured) {
        captureWanted = false;
        root.onCaptureChanged();
      }
      root.onMouseLeave();
      break;
    case ButtonPress: onButton(event.xbutton, true); break;
    case ButtonRelease: onButton(event.xbutton, false); break;
    case MotionNotify:
      // Only the newest of a run of motions matters; nothing else may be reordered around it.
      while (XEventsQueued(display, QueuedAlready) > 0) {
        XEvent next;
        XPeekEvent(display, &next);
        if (next.type != MotionNotify || next.xmotion.window != window) break;
        XNextEvent(display, &event);
      }
      root.onSetCursor();
      root.onMouseMove(event.xmotion.x, event.xmotion.y, modifiers(event.xmotion.state));
      break;
    case LeaveNotify: onCrossing(event.xcrossing); break;
    case FocusOut:
      if (!menuActive && event.xfocus.detail != NotifyInferior &&
          (event.xfocus.mode == NotifyNormal || event.xfocus.mode == NotifyWhileGrabbed))
        root.onKillFocus();
      break;
    case KeyPress: onKey(event.xkey, true); break;
    case KeyRelease: onKey(event.xkey, false); break;
    case ClientMessage:
      if (deleteWindowAtom && Atom(event.xclient.data.l[0]) == deleteWindowAtom) root.onClose();
      break;
    default: break;
  }
}

void X11Window::onButton(const XButtonEvent& event, bool press) {
  int mods = modifiers(event.state);
  if (event.button == Button4 || event.button == Button5) {  // one wheel notch; its release means nothing
    if (press) root.onWheel(event.x, event.y, event.button == Button4 ? 1.0f : -1.0f, mods);
    return;
  }
  int button = event.button == Button1   ? kButtonLeft
               : event.button == Button3 ? kButtonRight
               : event.button == Button2 ? kButtonMiddle
                                         : 0;  // 6 and 7 scroll sideways; others have no meaning here
  if (!button) return;
  if (!press) {
    // The grab lasts through the release's own handling, as Windows keeps the capture through the button-up.
    root.onMouseUp(event.x, event.y, button, mods);
    buttonsDown &= ~(1u << button);
    // X's implicit grab ends with the last button: a control still holding the capture has lost it.
    if (buttonsDown == 0 && root.captured && !menuActive && !closing()) {
      captureWanted = false;
      root.onCaptureChanged();
    }
    return;
  }
  buttonsDown |= 1u << button;
  // The second press of a left or right double-click becomes the double-click, as Windows orders them.
  bool isDouble =
      button != kButtonMiddle && button == lastPressButton && uint32_t(event.time - lastPressTime) <= doubleClickMs &&
      std::abs(event.x - lastPressX) <= kDoubleClickSlop && std::abs(event.y - lastPressY) <= kDoubleClickSlop;
  if (isDouble) {
    lastPressButton = 0;  // a third press starts over
    root.onDoubleClick(event.x, event.y, button, mods);
    return;
  }
  lastPressButton = button;
  lastPressTime = event.time;
  lastPressX = event.x;
  lastPressY = event.y;
  root.onMouseDown(event.x, event.y, button, mods);
}

void X11Window::onCrossing(const XCrossingEvent& event) {
  if (menuActive || event.detail == NotifyInferior) return;  // into our own GL child: still inside
  if (event.mode == NotifyGrab || (event.mode == NotifyUngrab && buttonsDown != 0)) {
    // Another client took the pointer, or the grab ended with buttons still held (our window stopped being
    // viewable): a held capture is lost, and the pointer has left us.
    buttonsDown = 0;
    if (root.captured) {
      captureWanted = false;
      root.onCaptureChanged();
    }
    root.onMouseLeave();
    return;
  }
  // While a button holds the implicit grab the pointer still belongs to us; the leave comes with the ungrab.
  if (event.mode == NotifyUngrab || buttonsDown == 0) root.onMouseLeave();
}

void X11Window::onKey(XKeyEvent& event, bool press) {
  int key = virtualKey(XLookupKeysym(&event, 0));
  if (!press) {
    if (key) root.onKeyUp(key);
    return;
  }
  if (key) root.onKeyDown(key);
  char bytes[16];
  KeySym sym = 0;
  int count = XLookupString(&event, bytes, sizeof bytes, &sym, nullptr);
  if (count > 0 && !closing()) root.onChar(latin1ToUtf8(bytes, count).c_str());
}

void X11Window::afterMenu() {
  menuActive = false;
  lastPressButton = 0;  // presses on the menu came between: the next one starts no double-click
  if (!valid()) return;
  Window rootWindow = 0, child = 0;
  int rootX = 0, rootY = 0, x = 0, y = 0;
  unsigned mask = 0;
  buttonsDown = 0;
  if (!XQueryPointer(display, window, &rootWindow, &child, &rootX, &rootY, &x, &y, &mask)) return;
  // The menu took the release of the press that opened it.
  if (mask & Button1Mask) buttonsDown |= 1u << kButtonLeft;
  if (mask & Button3Mask) buttonsDown |= 1u << kButtonRight;
  if (mask & Button2Mask) buttonsDown |= 1u << kButtonMiddle;
  if (x < 0 || y < 0 || x >= root.pixelWidth() || y >= root.pixelHeight()) root.onMouseLeave();
}

Cursor X11Window::cursorShape(int n) {
  if (n < 0 || n > kCursorNone) n = kCursorArrow;
  if (cursors[n]) return cursors[n];
  static const unsigned kShapes[] = {XC_left_ptr, XC_hand2, XC_sb_v_double_arrow, XC_sb_h_double_arrow, XC_crosshair};
  if (n < kCursorNone) {
    cursors[n] = XCreateFontCursor(display, kShapes[n]);
  } else {
    // An empty 1x1 bitmap: a cursor that shows nothing.
    char empty = 0;
    Pixmap blank = XCreateBitmapFromData(display, window, &empty, 1, 1);
    XColor black{};
    cursors[n] = XCreatePixmapCursor(display, blank, blank, &black, &black, 0, 0);
    XFreePixmap(display, blank);
  }
  return cursors[n];
}

void X11Window::applyCursor() {
  if (!valid()) return;
  int n = wantedCursor >= 0 && wantedCursor <= kCursorNone ? wantedCursor : kCursorArrow;
  if (n == shownCursor) return;
  XDefineCursor(display, window, cursorShape(n));
  shownCursor = n;
  XFlush(display);
}

}  // namespace Lattice
