// The X11 popup menu: an override-redirect window drawn with the renderer at the editor's scale, modal inside popup;
// an item with a menu of its own opens it to the side, modal in turn, when the pointer rests on it or a key asks.
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "gui/menu.h"
#include "gui/popup_model.h"
#include "gui/popup_x11.h"
#include "gui/winwrapper.h"

namespace Lattice {

namespace {

using namespace PopupPalette;

constexpr float kBaseline = 13;  // from the top of a row

// How a menu opened to the side of another ended.
enum class SideEnd { Chosen, Back, Dismissed };

class X11Menu final : public Menu, private X11Popup {
 public:
  X11Menu(X11Window& backend, Control* listener, X11Menu* parentMenu = nullptr)
      : X11Popup(backend), listener(listener), parentMenu(parentMenu) {}
  void addItem(const char* text, int id, bool enabled, bool checked) override {
    model.addItem(text, id, enabled, checked);
  }
  void addSeparator() override { model.addSeparator(); }
  Menu* addSubmenu(const char* text) override;
  int popup(int x, int y, int alignment) override;

 private:
  bool open(int screenX, int screenY, int alignment);
  void handle(XEvent& event) override;
  void onKey(XKeyEvent& event);
  void choose(int index);
  // Opens the item's menu to the right of this one (to the left where the screen ends) and runs it.
  void openSide(int index);
  SideEnd runAsSide(int screenX, int screenY, int parentLeft);
  // A point on the screen that lies over the menu this one opened from.
  bool overParent(int rootX, int rootY) const;
  void draw(VexBlit::Context& context) override;
  void drawItem(VexBlit::Context& context, const PopupItem& item, bool lit);

  Control* listener;
  X11Menu* parentMenu;  // the menu this one opens from, or null
  std::vector<std::unique_ptr<X11Menu>> submenus;
  PopupModel model;
  int screenLeft = 0, screenTop = 0;  // on the screen, pixels
  bool armed = false;                 // the pointer moved or pressed over the menu: a release may choose
  bool hasChoice = false;
  int chosenId = 0;
  SideEnd sideEnd = SideEnd::Dismissed;
};

Menu* X11Menu::addSubmenu(const char* text) {
  model.addItem(text, -1, true, false);
  model.items.back().submenu = int(submenus.size());
  submenus.push_back(std::make_unique<X11Menu>(backend, listener, this));
  return submenus.back().get();
}

int X11Menu::popup(int x, int y, int alignment) {
  if (!backend.valid() || backend.closing() || model.items.empty()) return 0;
  Winwrapper& root = backend.rootWindow();
  root.menuOpening(listener);
  int screenX = 0, screenY = 0;
  root.screenPoint(listener, x, y, screenX, screenY);
  bool shown = open(screenX, screenY, alignment);
  if (shown) run();
  close();
  // The menu's end, as the window system reports a capture change: menu state cleared, editor repainted.
  root.onCaptureChanged();
  backend.afterMenu();
  // Like a posted message: the command comes after the caller's code around popup has run.
  if (hasChoice) backend.postCommand(chosenId);
  return shown ? 1 : 0;
}

bool X11Menu::open(int screenX, int screenY, int alignment) {
  if (!create()) return false;
  int widest = 0;
  for (const PopupItem& item : model.items) {
    float w = font ? font->measure(item.label.c_str(), int(item.label.size())) : float(item.label.size()) * 7;
    widest = std::max(widest, int(w + 0.999f));
  }
  model.layout(widest);
  placePopup(screenX, screenY, alignment, pixels(float(model.width)), pixels(float(model.height)), screenWidth(),
             screenHeight(), screenLeft, screenTop);
  return show(screenLeft, screenTop, pixels(float(model.width)), pixels(float(model.height)));
}

void X11Menu::openSide(int index) {
  const PopupItem& item = model.items[size_t(index)];
  X11Menu& side = *submenus[size_t(item.submenu)];
  side.hasChoice = false;
  side.armed = false;
  const SideEnd end = side.runAsSide(screenLeft + pixels(float(model.width)) - pixels(PopupModel::kBorder),
                                     screenTop + pixels(float(item.top)) - pixels(PopupModel::kBorder + 2), screenLeft);
  if (end == SideEnd::Chosen) {
    hasChoice = true;
    chosenId = side.chosenId;
    running = false;
  } else if (end == SideEnd::Dismissed) {
    running = false;
  } else if (!grab()) {
    running = false;  // the pointer went elsewhere meanwhile: nothing more can be chosen here
  }
  needsPaint = true;
}

SideEnd X11Menu::runAsSide(int screenX, int screenY, int parentLeft) {
  sideEnd = SideEnd::Dismissed;
  if (model.items.empty() || !open(screenX, screenY, -1)) {
    close();
    return SideEnd::Back;
  }
  if (screenLeft < screenX) {  // no room to the right: it opened left of the point; put it left of the parent
    screenLeft = std::max(0, parentLeft - pixels(float(model.width)) + pixels(PopupModel::kBorder));
    XMoveWindow(display, window, screenLeft, screenTop);
  }
  model.highlighted = -1;
  model.moveHighlight(1);  // opened from a key or a rest of the pointer: its first item is lit
  run();
  close();
  return hasChoice ? SideEnd::Chosen : sideEnd;
}

bool X11Menu::overParent(int rootX, int rootY) const {
  if (!parentMenu) return false;
  const X11Menu& p = *parentMenu;
  return rootX >= p.screenLeft && rootY >= p.screenTop && rootX < p.screenLeft + p.pixels(float(p.model.width)) &&
         rootY < p.screenTop + p.pixels(float(p.model.height));
}

void X11Menu::handle(XEvent& event) {
  switch (event.type) {
    case Expose: needsPaint = true; break;
    case MotionNotify: {
      const XMotionEvent& motion = event.xmotion;
      const int x = units(motion.x), y = units(motion.y);
      bool inside = motion.x >= 0 && motion.y >= 0 && x < model.width && y < model.height;
      if (!inside && overParent(motion.x_root, motion.y_root)) {
        sideEnd = SideEnd::Back;  // back over the menu this one opened from
        running = false;
        break;
      }
      armed = armed || inside;
      int index = model.choosableAt(x, y);
      if (index != model.highlighted && (inside || index >= 0)) {
        model.highlighted = index;
        needsPaint = true;
        if (index >= 0 && model.items[size_t(index)].submenu >= 0) openSide(index);
      }
      break;
    }
    case ButtonPress: {
      const XButtonEvent& press = event.xbutton;
      bool inside = press.x >= 0 && press.y >= 0 && units(press.x) < model.width && units(press.y) < model.height;
      if (press.button > Button3) break;
      if (!inside) running = false;  // a click outside closes without a command
      armed = true;
      break;
    }
    case ButtonRelease:
      if (event.xbutton.button <= Button3 && armed) {
        int index = model.choosableAt(units(event.xbutton.x), units(event.xbutton.y));
        if (index >= 0) choose(index);  // a disabled item or a separator keeps the menu open
      }
      break;
    case KeyPress: onKey(event.xkey); break;
    case LeaveNotify:
      if (event.xcrossing.mode == NotifyGrab) running = false;  // another client took the pointer
      break;
    default: break;
  }
}

void X11Menu::onKey(XKeyEvent& event) {
  KeySym sym = XLookupKeysym(&event, 0);
  if (sym == XK_Escape || (parentMenu && (sym == XK_Left || sym == XK_KP_Left))) {
    sideEnd = SideEnd::Back;  // a menu opened to the side goes back to its parent; the first one closes
    running = false;
  } else if ((sym == XK_Right || sym == XK_KP_Right) && model.choosable(model.highlighted) &&
             model.items[size_t(model.highlighted)].submenu >= 0) {
    openSide(model.highlighted);
  } else if (sym == XK_Up || sym == XK_KP_Up || sym == XK_Down || sym == XK_KP_Down) {
    model.moveHighlight(sym == XK_Up || sym == XK_KP_Up ? -1 : 1);
    needsPaint = true;
  } else if (sym == XK_Return || sym == XK_KP_Enter) {
    if (model.choosable(model.highlighted)) choose(model.highlighted);
  } else {
    char text[8];
    KeySym typed = 0;
    if (XLookupString(&event, text, sizeof text, &typed, nullptr) == 1) {
      int index = model.itemForLetter(text[0]);
      if (index >= 0) choose(index);
    }
  }
}

void X11Menu::choose(int index) {
  if (model.items[size_t(index)].submenu >= 0) {
    openSide(index);
    return;
  }
  hasChoice = true;
  chosenId = model.items[size_t(index)].id;
  running = false;
}

void X11Menu::draw(VexBlit::Context& context) {
  {
    VexBlit::Shader shader(context, VexBlit::Blend::Off, VexBlit::Combine::Colour, nullptr, nullptr);
    float b = PopupModel::kBorder;
    fillRect(context, 0, 0, float(model.width), float(model.height), kFrame);
    fillRect(context, b, b, float(model.width) - 2 * b, float(model.height) - 2 * b, kBack);
  }
  for (size_t i = 0; i < model.items.size(); ++i) drawItem(context, model.items[i], int(i) == model.highlighted);
}

void X11Menu::drawItem(VexBlit::Context& context, const PopupItem& item, bool lit) {
  float left = PopupModel::kBorder, width = float(model.width - 2 * PopupModel::kBorder);
  float top = float(item.top);
  uint32_t text = !item.enabled ? kDisabledText : lit ? kHighlightText : kText;
  {
    VexBlit::Shader shader(context, VexBlit::Blend::Off, VexBlit::Combine::Colour, nullptr, nullptr);
    if (item.separator) {
      fillRect(context, left + 4, top + float(item.height / 2), width - 8, 1, kSeparator);
      return;
    }
    if (lit) fillRect(context, left, top, width, float(item.height), kHighlight);
    if (item.checked) fillRect(context, left + 6, top + 6, 6, 6, 0xFF000000u | text);  // the check mark
    if (item.submenu >= 0) {  // an arrow at the right: this item opens a menu to the side
      const float right = left + width - 8;
      for (int i = 0; i < 4; ++i)
        fillRect(context, right - 4 + float(i), top + 5 + float(i), 1, float(8 - 2 * i), 0xFF000000u | text);
    }
  }
  if (!font) return;
  float x = left + PopupModel::kMarkColumn, baseline = top + kBaseline;
  font->drawText(context, item.label.c_str(), int(item.label.size()), x, baseline, text, false);
  if (item.mnemonic < 0) return;
  // The access letter underlined, as on Windows menus.
  float from = font->measure(item.label.c_str(), item.mnemonic);
  float letter = font->measure(item.label.c_str() + item.mnemonic, 1);
  VexBlit::Shader shader(context, VexBlit::Blend::Off, VexBlit::Combine::Colour, nullptr, nullptr);
  fillRect(context, x + from, baseline + font->underlinePosition, letter, std::max(1.0f, font->underlineThickness),
           0xFF000000u | text);
}

}  // namespace

Menu* X11Window::newMenu(Control* listener) { return new X11Menu(*this, listener); }

}  // namespace Lattice
