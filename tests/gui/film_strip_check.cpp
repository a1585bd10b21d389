// The knob's expected look, read from the strip picture the module embeds.
#include "film_strip_check.h"

#include <cmath>
#include <memory>

#include "gui/plug_knob.h"

namespace StripCheck {

const Lattice::Image& strip(int art) {
  static std::unique_ptr<Lattice::Image> image(VexBlit::loadPngResource("oldKnobs"));
  static std::unique_ptr<Lattice::Image> twice(VexBlit::loadPngResource("oldKnobs_2x"));
  return art == 2 ? *twice : *image;
}

int knobMismatches(const std::vector<uint32_t>& pixels, size_t stride, int left, int top, float value, uint32_t tint,
                   int& opaque, int art) {
  const Lattice::Image& image = strip(art);
  const int side = 40 * art;
  int frame = 0, weight = 0;
  Lattice::knobFrame(value, frame, weight);
  const int next = frame < 95 ? frame + 1 : 95;
  auto texel = [&image, side](int n, int x, int y) {
    return image.pixels[size_t(side * (n / 8) + y) * image.width + size_t(side * (n % 8) + x)];
  };
  int mismatches = 0;
  opaque = 0;
  for (int y = 0; y < side; ++y) {
    for (int x = 0; x < side; ++x) {
      const uint32_t a = texel(frame, x, y), b = texel(next, x, y);
      if ((a >> 24) != 0xFF || (b >> 24) != 0xFF) continue;
      ++opaque;
      const uint32_t shown = pixels[size_t(top + y) * stride + size_t(left + x)];
      for (int shift : {0, 8, 16}) {
        const float ca = float((a >> shift) & 0xFF), cb = float((b >> shift) & 0xFF);
        const float expected = (ca + (cb - ca) * float(weight) / 255.0f) * float(tint) / 255.0f;
        if (std::abs(float((shown >> shift) & 0xFF) - expected) > 6.0f) {
          ++mismatches;
          break;
        }
      }
    }
  }
  return mismatches;
}

}  // namespace StripCheck
