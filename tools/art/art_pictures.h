// The three pictures of the editor, each drawn by its own function at 1 or 2 device pixels per panel unit (scale 2
// doubles every size below), and the standalone's icon.
#pragma once

#include <string>

#include "art_canvas.h"

namespace art {

Canvas makeBackground(const std::string& fontDir, int scale = 1);      // 560x110, opaque
Canvas makeCommonTextures(const std::string& fontDir, int scale = 1);  // 256x256: ring at (0,0), logo at (102,50)
Canvas makeKnobStrip(int scale = 1);                                   // 321x480: 96 frames of 40x40, 8 per row
Canvas makeIcon(int size);  // size x size: the standalone's icon, a knob in its scale ring on the panel's plate

}  // namespace art
