// The pictures every editor of the process shares: decoded once, freed when the library unloads.
#pragma once

#include "render/gl/image.h"

namespace Lattice {

enum class CachedImage { Background, CommonTextures, OldKnobs };

// The decoded picture, decoding it on first use; null while the resource is missing or does not decode (the next
// call tries again). name is the resource to decode for the background (the instrument's choice).
const Image* cachedImage(CachedImage which, const char* name = nullptr);

}  // namespace Lattice
