// Automation points from the song's controller changes.
#include "host/cli/automation.h"

namespace Render {

std::vector<AutomationPoint> automationOf(const Host::MidiTimeline& song, const ControllerMap& controllers) {
  std::vector<AutomationPoint> points;
  for (const Host::TimedMidi& e : song.events()) {
    int32_t param = controllers.paramOf(e.status, e.data1);
    // Data bytes are 7-bit; the mask keeps a stray high bit from reaching past 1.
    if (param >= 0) points.push_back({e.sample, param, (float)(e.data2 & 0x7F) / 127.0f});
  }
  return points;
}

}  // namespace Render
