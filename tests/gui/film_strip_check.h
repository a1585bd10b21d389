// What a knob should show: the film strip's frames for a value, crossfaded and tinted as the editor draws them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "render/gl/image.h"

namespace StripCheck {

// The knob film strip the module embeds: 96 frames of 40 x 40, eight a row; art 2 the one drawn at twice the size.
const Lattice::Image& strip(int art = 1);

// Pixels of the 40 x 40 knob body (80 x 80 with art 2) at (left, top) of an image (0xRRGGBB, stride pixels per row)
// that differ by more than a rounding from the film strip's frames for value, crossfaded and tinted (tint 0xE0, or
// 0xFF under the pointer); only the strip's opaque pixels count. opaque receives how many there were.
int knobMismatches(const std::vector<uint32_t>& pixels, size_t stride, int left, int top, float value, uint32_t tint,
                   int& opaque, int art = 1);

}  // namespace StripCheck
