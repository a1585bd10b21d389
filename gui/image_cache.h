// The pictures every editor of the process shares: decoded once, freed when the library unloads.
#pragma once

#include "render/gl/image.h"

namespace Lattice {

enum class CachedImage { Background, CommonTextures, OldKnobs };

// The pictures are drawn at 1 and at 2 pixels a unit; the 2x one of a resource is named with "_2x" after it.
constexpr int kArtScales = 2;

// The decoded picture, decoding it on first use; null while the resource is missing or does not decode (the next
// call tries again). name is the resource to decode for the background (the instrument's choice); artScale 2 asks
// for the picture drawn at twice the size.
const Image* cachedImage(CachedImage which, const char* name = nullptr, int artScale = 1);

// The art a drawing scale (window pixels per unit) is drawn from: its own at 1 and 2, the 2x art filtered between.
int artScaleFor(float pixelScale);

}  // namespace Lattice
