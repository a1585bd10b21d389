// The parameter table's quantized setter, cook pass and editor polling.
#include "plugcore/param_table.h"

#include <algorithm>
#include <cmath>

namespace PlugCore {

uint32_t quantize(float x) {
  // Out-of-contract values are clamped; NaN counts as 0.
  double v = x > 0.0f ? (double)x : 0.0;
  // A value that is already one of the steps keeps its step. Without this, the single-precision rounding of
  // n / 64000 near the top of the range pushes x * 64001 past n + 1, and reading a value and writing it back
  // (a host's automation pass, a saved and reloaded chunk) would move it up a step.
  const double k = std::floor(v * 64000.0 + 0.5);
  if (k <= 64000.0 && (float)(k / 64000.0) == x) return (uint32_t)k;
  return (uint32_t)std::min(v * 64001.0, 64000.0);
}

ParamTable::ParamTable(int32_t count) {
  PlugParam initial{-1.0f, 0.0f, 0.0f, 0.0f, nullptr, nullptr, kNoController, kParamUnsaved, false};
  params_.assign((size_t)std::max(count, 0), initial);
}

float valueOfSteps(uint32_t n) { return std::clamp((float)n / 64000.0f, 0.0f, 1.0f); }

void ParamTable::setQuantized(int32_t index, uint32_t n) {
  if (valid(index)) params_[(size_t)index].value = valueOfSteps(n);
}

void ParamTable::markUncooked() {
  for (PlugParam& p : params_) p.lastCooked = -1.0f;
}

bool ParamTable::cookPass(IParamCook* cook) {
  bool result = forceChanged_;
  forceChanged_ = false;
  for (size_t i = 0; i < params_.size(); ++i) {
    PlugParam& p = params_[i];
    const float value = p.value.load();  // one read: another thread may write meanwhile
    if (value == p.lastCooked) {
      p.changed = false;
      continue;
    }
    p.lastCooked = value;
    p.changed = cook ? cook->cook((int32_t)i, value) : true;
    result = result || p.changed;
  }
  return result;
}

void ParamTable::pollEditor(IParamNotify& notify) {
  for (size_t i = 0; i < params_.size(); ++i) {
    const float value = params_[i].value.load();
    if (value != params_[i].lastShown && notify.paramChanged((int32_t)i, value)) params_[i].lastShown = value;
  }
}

}  // namespace PlugCore
