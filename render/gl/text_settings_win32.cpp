// Sub-pixel text settings on Windows: the system's font smoothing, ClearType and its orientation.
#include <windows.h>

#include "render/gl/font.h"

namespace VexBlit {

namespace {

bool keyDown(int key) { return (GetKeyState(key) & 0x8000) != 0; }

}  // namespace

SubpixelSettings readSubpixelSettings(Device&) {
  SubpixelSettings settings;
  BOOL smoothing = FALSE;
  UINT type = 0, orientation = 0;
  if (SystemParametersInfoA(SPI_GETFONTSMOOTHING, 0, &smoothing, 0) && smoothing &&
      SystemParametersInfoA(SPI_GETFONTSMOOTHINGTYPE, 0, &type, 0)) {
    settings.text = type == FE_FONTSMOOTHINGCLEARTYPE;
    settings.rgb = !settings.text || !SystemParametersInfoA(SPI_GETFONTSMOOTHINGORIENTATION, 0, &orientation, 0) ||
                   orientation == FE_FONTSMOOTHINGORIENTATIONRGB;
  }
  // Shift, Control and Alt held together while a font is made ask for plain grey text.
  if (keyDown(VK_SHIFT) && keyDown(VK_CONTROL) && keyDown(VK_MENU)) settings.text = false;
  return settings;
}

// The X11 resources do not exist here; the reading is kept so the shared tests link everywhere.
SubpixelSettings subpixelFromXResources(const char*) { return {}; }

}  // namespace VexBlit
