// The three pictures of the editor, each drawn by its own function.
#pragma once

#include <string>

#include "art_canvas.h"

namespace art {

Canvas makeBackground(const std::string& fontDir);      // 560x110, opaque
Canvas makeCommonTextures(const std::string& fontDir);  // 256x256: scale ring at (0,0), logo at (102,50)
Canvas makeKnobStrip();                                 // 321x480: 96 frames of 40x40, 8 per row
Canvas makeIcon(int size);  // size x size: the standalone's icon, a knob in its scale ring on the panel's plate

}  // namespace art
