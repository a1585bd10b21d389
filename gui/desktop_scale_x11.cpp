// The desktop's scale on X11: GDK_SCALE when the environment sets it, else Xft.dpi from the resource database the
// server holds now (read from the root window, not the copy a connection took when it opened).
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xresource.h>

#include <cstdlib>
#include <string>

#include "gui/desktop_scale.h"
#include "gui/window_backend.h"
#include "gui/window_x11.h"

namespace Lattice {

namespace {

// The RESOURCE_MANAGER property of the first screen's root window, as text.
std::string serverResources(Display* display) {
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  std::string text;
  if (XGetWindowProperty(display, RootWindow(display, 0), XA_RESOURCE_MANAGER, 0, 1 << 20, False, XA_STRING, &type,
                         &format, &count, &after, &data) == Success &&
      data && format == 8)
    text.assign(reinterpret_cast<const char*>(data), count);
  if (data) XFree(data);
  return text;
}

}  // namespace

float scaleFromXResources(const char* resources) {
  if (!resources || !*resources) return 0;
  XrmInitialize();
  XrmDatabase database = XrmGetStringDatabase(resources);
  if (!database) return 0;
  char* type = nullptr;
  XrmValue value{};
  float scale = 0;
  if (XrmGetResource(database, "Xft.dpi", "Xft.Dpi", &type, &value) && value.addr) {
    const double dpi = std::strtod(value.addr, nullptr);
    if (dpi > 0 && dpi < 2000) scale = float(dpi / 96.0);
  }
  XrmDestroyDatabase(database);
  return scale;
}

float desktopScaleFor(void*) {
  if (const char* gdk = std::getenv("GDK_SCALE")) {
    const long whole = std::strtol(gdk, nullptr, 10);
    if (whole >= 1 && whole <= 8) return float(whole);
  }
  Display* display = openConnection();
  if (!display) return 0;
  const float scale = scaleFromXResources(serverResources(display).c_str());
  parkConnection(display);
  return scale;
}

}  // namespace Lattice
