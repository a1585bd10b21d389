// Windows of our own over the editor on X11: an override-redirect window drawn with the renderer that holds the
// pointer and the keyboard while its modal loop runs (the popup menu, the question box), with the editor's timer
// and painting going on meanwhile. One look for both: the palette and the filled rectangle.
#pragma once

#include <X11/Xlib.h>

#include <cmath>
#include <cstdint>
#include <memory>

#include "gui/window_x11.h"
#include "render/gl/font.h"
#include "render/gl/gl_device.h"

namespace Lattice {

// The popups' colours: 0xAARRGGBB for quads, 0xRRGGBB for text (text ignores alpha).
namespace PopupPalette {
constexpr uint32_t kBack = 0xFF2A2D33;
constexpr uint32_t kFrame = 0xFF7D8D94;
constexpr uint32_t kText = 0xC9D1D5;
constexpr uint32_t kDisabledText = 0x5C646A;
constexpr uint32_t kHighlight = 0xFFEC7056;
constexpr uint32_t kHighlightText = 0x1E2024;
constexpr uint32_t kSeparator = 0xFF454A52;
constexpr float kFontSize = 10;
}  // namespace PopupPalette

// One untextured quad (call under a colour Shader).
void fillRect(VexBlit::Context& context, float x, float y, float w, float h, uint32_t colour);

class X11Popup : protected VexBlit::Scene {
 protected:
  explicit X11Popup(X11Window& backend) : backend(backend) {}
  ~X11Popup() override { close(); }
  X11Popup(const X11Popup&) = delete;
  X11Popup& operator=(const X11Popup&) = delete;

  // Makes the window (unmapped), its drawing device and the popup font; false when it cannot be drawn.
  bool create();
  // Places and shows it (in screen pixels) and takes the pointer and the keyboard; false when the pointer cannot
  // be had.
  bool show(int left, int top, int width, int height);
  // Takes the pointer and the keyboard (again, after a window of ours over this one had them); false without them.
  bool grab();
  // A length in units as window pixels, and a window pixel as units (the popup is drawn at the editor's scale).
  int pixels(float units) const { return int(units * scale + 0.999f); }
  int units(int pixels) const { return scale == 1.0f ? pixels : int(std::floor(float(pixels) / scale)); }
  // Until running is cleared or the editor closes: this window's events go to handle, the editor's to the editor.
  void run();
  void close();
  virtual void handle(XEvent& event) = 0;
  // The screen's size, for placing the window.
  int screenWidth() const;
  int screenHeight() const;

  X11Window& backend;
  Display* display = nullptr;
  Window window = 0;
  Window drawable = 0;
  VexBlit::GLDevicePtr device;
  std::unique_ptr<VexBlit::Font> font;  // declared after the device: goes first
  bool grabbed = false;
  bool running = false;
  bool needsPaint = false;
  float scale = 1.0f;  // window pixels per unit: the editor's
};

// Asks OK or Cancel in a window of our own over the editor, for a desktop where no dialog program answers; true
// only for OK. The editor goes on painting and ticking while it waits.
bool askInOwnWindow(X11Window& backend, const char* caption, const char* text);

}  // namespace Lattice
