// The recording host, message-box seam and event lists behind the core's tests.
#include "recording_host.h"

#include <cstring>

#include "plugcore/factory.h"

namespace Fake {
namespace {
bool g_answer = false;
std::vector<BoxRecorder::Box> g_boxes;
bool recordBox(Platform::BoxKind kind, const char* caption, const char* text) {
  g_boxes.push_back({kind, caption, text});
  return g_answer;
}
}  // namespace

HostLog& hostLog() {
  static HostLog log;
  return log;
}

intptr_t VSTCALLBACK recordingHost(AEffect*, int32_t opcode, int32_t index, intptr_t value, void*, float opt) {
  HostLog& log = hostLog();
  switch (opcode) {
    case audioMasterVersion: return log.version;
    case audioMasterAutomate: log.automated.emplace_back(index, opt); return 0;
    case audioMasterUpdateDisplay: ++log.updateDisplay; return 0;
    case audioMasterGetTime:
      ++log.timeQueries;
      log.lastFilter = (int32_t)value;
      return log.haveTime ? reinterpret_cast<intptr_t>(&log.time) : 0;
    default: return 0;
  }
}

BoxRecorder::BoxRecorder(bool answer) {
  g_answer = answer;
  g_boxes.clear();
  Platform::setMessageBoxSeam(recordBox);
}
BoxRecorder::~BoxRecorder() { Platform::setMessageBoxSeam(nullptr); }
std::vector<BoxRecorder::Box>& BoxRecorder::boxes() { return g_boxes; }

void EventList::add(int32_t delta, uint8_t status, uint8_t d1, uint8_t d2) {
  VstMidiEvent e{};
  e.type = kVstMidiType;
  e.byteSize = sizeof(VstMidiEvent);
  e.deltaFrames = delta;
  e.midiData[0] = (char)status;
  e.midiData[1] = (char)d1;
  e.midiData[2] = (char)d2;
  events_.push_back(e);
}

VstEvents* EventList::get() {
  pointers_.clear();
  for (VstMidiEvent& e : events_) pointers_.push_back(reinterpret_cast<VstEvent*>(&e));
  block_.assign(sizeof(VstEvents) + sizeof(VstEvent*) * pointers_.size(), 0);
  auto* list = reinterpret_cast<VstEvents*>(block_.data());
  list->numEvents = (int32_t)pointers_.size();
  for (size_t i = 0; i < pointers_.size(); ++i) list->events[i] = pointers_[i];
  return list;
}

void start(PlugCore::Plug& plug, int32_t blockSize) {
  plug.setSampleRate(44100.0f);
  plug.setBlockSize(blockSize);
  plug.resume();
}

std::vector<double> run(PlugCore::Plug& plug, int32_t frames, VstEvents* events) {
  std::vector<double> left((size_t)frames, 7.0), right((size_t)frames, 7.0), in((size_t)frames, 0.25);
  double* outputs[2] = {left.data(), right.data()};
  double* inputs[2] = {in.data(), in.data()};
  if (events) plug.processEvents(events);
  plug.processDoubleReplacing(inputs, outputs, frames);
  return left;
}

}  // namespace Fake

// The core's factory asks the product for its instrument; in these tests that is the test product.
PlugCore::Plug* PlugCore::createInstrument(audioMasterCallback hostCallback) {
  (void)hostCallback;
  return new Fake::TestPlug();
}
