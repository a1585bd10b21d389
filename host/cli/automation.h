// Host automation from MIDI controllers: which controller moves which parameter, and where in the song it moves.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "host/lib/midi_timeline.h"

namespace Render {

// Controller numbers (any channel) and the parameter index each one moves.
class ControllerMap {
 public:
  ControllerMap() { params_.fill(-1); }
  void map(int controller, int32_t param) { params_[(size_t)controller & 127] = param; }
  // The parameter a channel message moves, or -1 when it is not a change of a mapped controller.
  int32_t paramOf(uint8_t status, uint8_t data1) const {
    return (status & 0xF0) == 0xB0 && data1 < 128 ? params_[data1] : -1;
  }

 private:
  std::array<int32_t, 128> params_;
};

// A parameter change the host makes at a sample position of the song.
struct AutomationPoint {
  int64_t sample;
  int32_t param;
  float value;  // normalized: the controller value / 127
};

// The song's changes of mapped controllers, in time order.
std::vector<AutomationPoint> automationOf(const Host::MidiTimeline& song, const ControllerMap& controllers);

}  // namespace Render
