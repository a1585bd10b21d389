// Fills the two power-of-two tables.
#include "synth/exp2_table.h"

namespace Synth {

Exp2Tables::Exp2Tables() {
  for (int k = 0; k < 1024; ++k) {
    coarse[k] = std::exp2(k / 64.0);
    fine[k] = std::exp2(k / 65536.0);
  }
}

const Exp2Tables& exp2Tables() {
  static const Exp2Tables tables;
  return tables;
}

}  // namespace Synth
