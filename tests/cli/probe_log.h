// What the probe instrument remembers of its host's parameter changes, read by tests through an exported function.
#pragma once

#include <cstdint>

#include "vst/aeffect.h"

// One setParameter call and the frame of the song it took effect at: the first frame of the next processing call.
struct ProbeParamChange {
  int32_t index;
  float value;
  int64_t frame;
};

// Exported by the probe under kProbeParamLogSymbol: the changes made so far, their count in *count.
using ProbeParamLogProc = const ProbeParamChange* (*)(AEffect* effect, int32_t* count);
inline constexpr const char* kProbeParamLogSymbol = "probeParamLog";
