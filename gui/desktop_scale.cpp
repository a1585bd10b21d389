// The editor's scale steps and the order of its sources.
#include "gui/desktop_scale.h"

#include <cmath>
#include <initializer_list>

namespace Lattice {

float quantizeScale(float scale) {
  if (!(scale > 0)) return 1.0f;  // NaN too
  const float quarter = std::round(scale * 4.0f) / 4.0f;
  return quarter < kMinScale ? kMinScale : quarter > kMaxScale ? kMaxScale : quarter;
}

float chooseScale(float person, float host, float desktop) {
  for (float source : {person, host, desktop})
    if (source > 0) return quantizeScale(source);
  return 1.0f;
}

}  // namespace Lattice
