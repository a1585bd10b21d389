// The editor's scale: where it comes from (the person's choice, the host, the desktop) and the steps it is drawn at.
#pragma once

namespace Lattice {

// The scales the panel is drawn at: 1 and 2 from their own pictures, the quarters between from the 2x pictures.
constexpr float kMinScale = 1.0f, kMaxScale = 2.0f;

// A scale rounded to the nearest quarter and kept within 1 to 2; 1 for anything that is not a positive number.
float quantizeScale(float scale);

// The scale the panel is drawn at: the person's choice from the frame menu, else the host's, else the desktop's,
// else 1 (each 0 when it says nothing), quantized.
float chooseScale(float person, float host, float desktop);

// The scale Xft.dpi in a resource-manager string asks for (dpi / 96), 0 when it is absent.
float scaleFromXResources(const char* resources);

}  // namespace Lattice
