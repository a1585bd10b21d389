// The X11 popup menu: an override-redirect window drawn with the renderer, modal inside popup.
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>

#include "gui/menu.h"
#include "gui/popup_model.h"
#include "gui/popup_x11.h"
#include "gui/winwrapper.h"

namespace Lattice {

namespace {

using namespace PopupPalette;

constexpr float kBaseline = 13;  // from the top of a row

class X11Menu final : public Menu, private X11Popup {
 public:
  X11Menu(X11Window& backend, Control* listener) : X11Popup(backend), listener(listener) {}
  void addItem(const char* text, int id, bool enabled, bool checked) override {
    model.addItem(text, id, enabled, checked);
  }
  void addSeparator() override { model.addSeparator(); }
  int popup(int x, int y, int alignment) override;

 private:
  bool open(int screenX, int screenY, int alignment);
  void handle(XEvent& event) override;
  void onKey(XKeyEvent& event);
  void choose(int index);
  void draw(VexBlit::Context& context) override;
  void drawItem(VexBlit::Context& context, const PopupItem& item, bool lit);

  Control* listener;
  PopupModel model;
  bool armed = false;  // the pointer moved or pressed over the menu: a release may choose
  bool hasChoice = false;
  int chosenId = 0;
};

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
  int left = 0, top = 0;
  placePopup(screenX, screenY, alignment, model.width, model.height, screenWidth(), screenHeight(), left, top);
  return show(left, top, model.width, model.height);
}

void X11Menu::handle(XEvent& event) {
  switch (event.type) {
    case Expose: needsPaint = true; break;
    case MotionNotify: {
      const XMotionEvent& motion = event.xmotion;
      bool inside = motion.x >= 0 && motion.y >= 0 && motion.x < model.width && motion.y < model.height;
      armed = armed || inside;
      int index = model.choosableAt(motion.x, motion.y);
      if (index != model.highlighted && (inside || index >= 0)) {
        model.highlighted = index;
        needsPaint = true;
      }
      break;
    }
    case ButtonPress: {
      const XButtonEvent& press = event.xbutton;
      bool inside = press.x >= 0 && press.y >= 0 && press.x < model.width && press.y < model.height;
      if (press.button > Button3) break;
      if (!inside) running = false;  // a click outside closes without a command
      armed = true;
      break;
    }
    case ButtonRelease:
      if (event.xbutton.button <= Button3 && armed) {
        int index = model.choosableAt(event.xbutton.x, event.xbutton.y);
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
  if (sym == XK_Escape) {
    running = false;
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
