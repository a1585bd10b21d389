// The editor's millisecond clock: steady, never set back with the wall clock.
#include <chrono>

#include "gui/editor_services.h"

namespace Lattice {

uint32_t monotonicMs() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  return uint32_t(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

}  // namespace Lattice
