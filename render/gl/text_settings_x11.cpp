// Sub-pixel text settings on X11: the Xft resources a Linux desktop sets, grey when they are unset.
#include <X11/Xlib.h>
#include <X11/Xresource.h>
#include <strings.h>

#include "render/gl/font.h"
#include "render/gl/gl_device.h"

namespace VexBlit {

namespace {

bool isFalse(const char* value) {
  return strcasecmp(value, "false") == 0 || strcasecmp(value, "0") == 0 || strcasecmp(value, "no") == 0 ||
         strcasecmp(value, "off") == 0;
}

// Shift, Control and Alt held together ask for plain grey text, as on Windows.
bool overrideKeysHeld(Display* display) {
  Window root, child;
  int rootX, rootY, x, y;
  unsigned mask = 0;
  if (!XQueryPointer(display, DefaultRootWindow(display), &root, &child, &rootX, &rootY, &x, &y, &mask)) return false;
  const unsigned all = ShiftMask | ControlMask | Mod1Mask;
  return (mask & all) == all;
}

}  // namespace

SubpixelSettings subpixelFromXResources(const char* resources) {
  SubpixelSettings settings;
  if (!resources) return settings;
  XrmInitialize();
  XrmDatabase database = XrmGetStringDatabase(resources);
  if (!database) return settings;
  char* type = nullptr;
  XrmValue value{};
  bool antialias = true;
  if (XrmGetResource(database, "Xft.antialias", "Xft.Antialias", &type, &value) && value.addr)
    antialias = !isFalse(value.addr);
  if (antialias && XrmGetResource(database, "Xft.rgba", "Xft.Rgba", &type, &value) && value.addr) {
    settings.text = strcasecmp(value.addr, "rgb") == 0 || strcasecmp(value.addr, "bgr") == 0;
    settings.rgb = strcasecmp(value.addr, "bgr") != 0;
  }
  XrmDestroyDatabase(database);
  return settings;
}

SubpixelSettings readSubpixelSettings(Device& device) {
  auto* gl = dynamic_cast<GLDevice*>(&device);
  auto* display = gl ? static_cast<Display*>(gl->nativeContext().nativeWindow().display) : nullptr;
  if (!display) return {};
  SubpixelSettings settings = subpixelFromXResources(XResourceManagerString(display));
  if (settings.text && overrideKeysHeld(display)) settings.text = false;
  return settings;
}

}  // namespace VexBlit
