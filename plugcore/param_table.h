// The parameter table: normalized values quantized to 64000 steps, the cook pass and the editor's polling.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "plugcore/plug_types.h"
#include "plugcore/relaxed.h"

namespace PlugCore {

enum ParamFlags : int32_t {
  kParamGlobal = 1,      // program switching leaves it alone
  kParamCentered = 2,    // controller value 64 gives exactly 0.5
  kParamUnsaved = 0x80,  // left out of a chunk's current values
};

constexpr uint32_t kParamSteps = 64000;

// One parameter. Values that several threads touch are Relaxed; name, label and flags are set while the product is
// constructed and only read afterwards; changed belongs to the audio thread.
struct PlugParam {
  Relaxed<float> lastCooked;       // value last reported to the engine; -1 forces a report (audio thread, and resume)
  Relaxed<float> lastShown;        // value last accepted by the editor (editor thread)
  Relaxed<float> defaultValue;     // target of reset and factory settings (user-interface thread)
  Relaxed<float> value;            // always n / 64000 (every thread)
  const char* name;                // not owned; null while unset
  const char* label;               // not owned; null while unset
  Relaxed<int32_t> controllerKey;  // the learnt controller (audio thread on learn, user-interface thread on chunks)
  int32_t flags;
  bool changed;  // set by the cook pass when the engine took a change
};

// The whole number a value is stored as: the whole part of min(x * 64001, 64000).
uint32_t quantize(float x);
// The value a whole number stands for: n / 64000, n read as unsigned, clamped to [0, 1].
float valueOfSteps(uint32_t n);

class ParamTable {
 public:
  explicit ParamTable(int32_t count);

  int32_t count() const { return (int32_t)params_.size(); }
  bool valid(int32_t index) const { return index >= 0 && index < count(); }
  PlugParam& operator[](int32_t index) { return params_[(size_t)index]; }
  const PlugParam& operator[](int32_t index) const { return params_[(size_t)index]; }

  // value = n / 64000, n read as unsigned, clamped to [0, 1]; ignored for an index out of range.
  void setQuantized(int32_t index, uint32_t n);
  // Marks every parameter uncooked, so the next pass reports all of them.
  void markUncooked();
  // Runs the cook pass; returns whether anything (or the first pass after construction) changed.
  bool cookPass(IParamCook* cook);
  // Offers every value the editor has not shown yet.
  void pollEditor(IParamNotify& notify);

 private:
  std::vector<PlugParam> params_;
  bool forceChanged_ = true;
};

}  // namespace PlugCore
