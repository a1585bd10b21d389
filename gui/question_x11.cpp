// The question box of our own on X11: the caption, the text and OK and Cancel, drawn like the popup menu and
// centred over the editor, for a desktop where no dialog program answers. Modal while it runs.
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>
#include <string>
#include <vector>

#include "gui/popup_x11.h"
#include "gui/winwrapper.h"

namespace Lattice {

namespace {

using namespace PopupPalette;

constexpr int kPad = 12;  // around the text and the buttons
constexpr int kCaptionHeight = 20;
constexpr int kLineHeight = 16;
constexpr int kBaseline = 12;  // from the top of a line
constexpr int kButtonWidth = 76, kButtonHeight = 22, kButtonGap = 8;
constexpr int kMinWidth = 260;

enum Button { kNone = -1, kOk = 0, kCancel = 1 };

class X11Question final : private X11Popup {
 public:
  X11Question(X11Window& backend, const char* caption, const char* text) : X11Popup(backend), caption(caption) {
    std::string all = text ? text : "";
    for (size_t start = 0; start <= all.size();) {
      size_t end = all.find('\n', start);
      if (end == std::string::npos) end = all.size();
      lines.push_back(all.substr(start, end - start));
      start = end + 1;
    }
    while (lines.size() > 1 && lines.back().empty()) lines.pop_back();  // a closing line break draws nothing
  }

  bool ask();

 private:
  int textWidth(const std::string& s) const {
    return font ? int(font->measure(s.c_str(), int(s.size())) + 0.999f) : int(s.size()) * 7;
  }
  void layout();
  Button buttonAt(int x, int y) const;
  void handle(XEvent& event) override;
  void onKey(XKeyEvent& event);
  void answer(Button button) {
    answered = button;
    running = false;
  }
  void draw(VexBlit::Context& context) override;
  void drawButton(VexBlit::Context& context, Button button, const char* label);

  std::string caption;
  std::vector<std::string> lines;
  int width = 0, height = 0;
  int buttonTop = 0, buttonLeft[2] = {};
  Button focused = kOk;  // OK first, as the system's OK/Cancel boxes have it
  Button armed = kNone;  // pressed, waiting for its release
  Button answered = kNone;
};

void X11Question::layout() {
  int widest = textWidth(caption);
  for (const std::string& line : lines) widest = std::max(widest, textWidth(line));
  width = std::max({kMinWidth, widest + 2 * kPad, 2 * kButtonWidth + kButtonGap + 2 * kPad});
  buttonTop = kCaptionHeight + kPad + int(lines.size()) * kLineHeight + kPad;
  height = buttonTop + kButtonHeight + kPad;
  buttonLeft[kCancel] = width - kPad - kButtonWidth;
  buttonLeft[kOk] = buttonLeft[kCancel] - kButtonGap - kButtonWidth;
}

Button X11Question::buttonAt(int x, int y) const {
  if (y < buttonTop || y >= buttonTop + kButtonHeight) return kNone;
  for (Button b : {kOk, kCancel})
    if (x >= buttonLeft[b] && x < buttonLeft[b] + kButtonWidth) return b;
  return kNone;
}

bool X11Question::ask() {
  if (!backend.valid() || backend.closing() || !create()) return false;
  layout();
  // Centred over the editor, inside the screen.
  int x = 0, y = 0;
  backend.screenOrigin(x, y);
  const Winwrapper& root = backend.rootWindow();
  const int pixelWidth = pixels(float(width)), pixelHeight = pixels(float(height));
  int left = std::clamp(x + (root.pixelWidth() - pixelWidth) / 2, 0, std::max(0, screenWidth() - pixelWidth));
  int top = std::clamp(y + (root.pixelHeight() - pixelHeight) / 2, 0, std::max(0, screenHeight() - pixelHeight));
  if (show(left, top, pixelWidth, pixelHeight)) run();
  close();
  backend.afterMenu();
  return answered == kOk;
}

void X11Question::handle(XEvent& event) {
  switch (event.type) {
    case Expose: needsPaint = true; break;
    case MotionNotify: {
      Button over = buttonAt(units(event.xmotion.x), units(event.xmotion.y));
      if (over != kNone && over != focused) {
        focused = over;
        needsPaint = true;
      }
      break;
    }
    case ButtonPress:
      if (event.xbutton.button <= Button3) armed = buttonAt(units(event.xbutton.x), units(event.xbutton.y));
      break;
    case ButtonRelease:
      // A click counts where it began and ended; a click beside the box asks on.
      if (event.xbutton.button <= Button3 && armed != kNone &&
          buttonAt(units(event.xbutton.x), units(event.xbutton.y)) == armed)
        answer(armed);
      armed = kNone;
      break;
    case KeyPress: onKey(event.xkey); break;
    case LeaveNotify:
      if (event.xcrossing.mode == NotifyGrab) answer(kCancel);  // another client took the pointer: the safe answer
      break;
    default: break;
  }
}

void X11Question::onKey(XKeyEvent& event) {
  KeySym sym = XLookupKeysym(&event, 0);
  switch (sym) {
    case XK_Escape: answer(kCancel); break;
    case XK_Return:
    case XK_KP_Enter:
    case XK_space: answer(focused); break;
    case XK_Left:
    case XK_Right:
    case XK_Tab:
    case XK_ISO_Left_Tab:
      focused = focused == kOk ? kCancel : kOk;
      needsPaint = true;
      break;
    default: break;
  }
}

void X11Question::draw(VexBlit::Context& context) {
  {
    VexBlit::Shader shader(context, VexBlit::Blend::Off, VexBlit::Combine::Colour, nullptr, nullptr);
    fillRect(context, 0, 0, float(width), float(height), kFrame);
    fillRect(context, 1, 1, float(width - 2), float(kCaptionHeight - 1), kSeparator);
    fillRect(context, 1, float(kCaptionHeight), float(width - 2), float(height - kCaptionHeight - 1), kBack);
  }
  if (font) {
    font->drawText(context, caption.c_str(), int(caption.size()), kPad, 14, kText, false);
    for (size_t i = 0; i < lines.size(); ++i)
      font->drawText(context, lines[i].c_str(), int(lines[i].size()), kPad,
                     float(kCaptionHeight + kPad + int(i) * kLineHeight + kBaseline), kText, false);
  }
  drawButton(context, kOk, "OK");
  drawButton(context, kCancel, "Cancel");
}

void X11Question::drawButton(VexBlit::Context& context, Button button, const char* label) {
  const bool lit = button == focused;
  const float x = float(buttonLeft[button]), y = float(buttonTop);
  {
    VexBlit::Shader shader(context, VexBlit::Blend::Off, VexBlit::Combine::Colour, nullptr, nullptr);
    fillRect(context, x, y, kButtonWidth, kButtonHeight, kFrame);
    fillRect(context, x + 1, y + 1, kButtonWidth - 2, kButtonHeight - 2, lit ? kHighlight : kSeparator);
  }
  if (!font) return;
  const std::string text = label;
  font->drawText(context, label, int(text.size()), x + float(kButtonWidth - textWidth(text)) / 2, y + 15,
                 lit ? kHighlightText : kText, false);
}

}  // namespace

bool askInOwnWindow(X11Window& backend, const char* caption, const char* text) {
  X11Question question(backend, caption, text);
  return question.ask();
}

}  // namespace Lattice
