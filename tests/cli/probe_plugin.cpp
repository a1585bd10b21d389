// A test instrument that turns what the host sends into sound: each note event becomes one sample at its
// position (+note for a start, -note for a release, 1000 + number for a controller change) on the left; the right
// carries the transport's song position in thousandths of a quarter note while "clock" is above 0.5; "Hum" adds a
// constant to the left; "poison" above 0.5 makes the first sample of every call not a number. It logs every
// parameter change with the frame it took effect at (tests/cli/probe_log.h).
#include <cstring>
#include <vector>

#include "tests/cli/probe_log.h"
#include "vst/aeffect.h"

namespace {

constexpr int32_t kParams = 3;
const char* const kNames[kParams] = {"clock", "Hum", "poison"};

struct Probe {
  AEffect effect{};
  audioMasterCallback host = nullptr;
  float params[kParams] = {0, 0, 0};
  VstEvents* events = nullptr;
  double sampleRate = 44100;
  int64_t framesDone = 0;  // frames processed since the plug-in was made
  std::vector<ProbeParamChange> changes;
};

Probe* probeOf(AEffect* e) { return static_cast<Probe*>(e->object); }

void copyText(void* ptr, const char* text) { std::strcpy(static_cast<char*>(ptr), text); }

intptr_t VSTCALLBACK dispatcher(AEffect* e, int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
  Probe* p = probeOf(e);
  switch (opcode) {
    case effClose: delete p; return 1;
    case effSetSampleRate: p->sampleRate = opt; return 1;
    case effGetParamName: copyText(ptr, index >= 0 && index < kParams ? kNames[index] : ""); return 1;
    case effGetProgramName: copyText(ptr, "Probe"); return 1;
    case effProcessEvents: p->events = static_cast<VstEvents*>(ptr); return 1;
    case effGetChunk: *static_cast<void**>(ptr) = p->params; return sizeof(p->params);
    case effSetChunk:
      if ((size_t)value == sizeof(p->params)) std::memcpy(p->params, ptr, sizeof(p->params));
      return 0;
    default: return 0;
  }
}

void VSTCALLBACK setParameter(AEffect* e, int32_t index, float v) {
  Probe* p = probeOf(e);
  if (index >= 0 && index < kParams) p->params[index] = v;
  p->changes.push_back({index, v, p->framesDone});
}

float VSTCALLBACK getParameter(AEffect* e, int32_t index) {
  return index >= 0 && index < kParams ? probeOf(e)->params[index] : 0.0f;
}

void writeEvents(Probe* p, float* left, int32_t frames) {
  if (!p->events) return;
  for (int32_t i = 0; i < p->events->numEvents; ++i) {
    auto* m = reinterpret_cast<VstMidiEvent*>(p->events->events[i]);
    int32_t at = m->deltaFrames;
    if (at < 0 || at >= frames) at = frames - 1;  // misplaced events show up at the block's end
    uint8_t kind = (uint8_t)m->midiData[0] & 0xF0, number = (uint8_t)m->midiData[1], value = (uint8_t)m->midiData[2];
    if (kind == 0x90 && value > 0) left[at] += number;
    if (kind == 0x80 || (kind == 0x90 && value == 0)) left[at] -= number;
    if (kind == 0xB0) left[at] += 1000 + number;
  }
  p->events = nullptr;
}

void VSTCALLBACK processReplacing(AEffect* e, float**, float** outputs, int32_t frames) {
  Probe* p = probeOf(e);
  intptr_t answer = p->host(e, audioMasterGetTime, 0, kVstPpqPosValid | kVstTempoValid, nullptr, 0);
  auto* time = reinterpret_cast<VstTimeInfo*>(answer);
  for (int32_t i = 0; i < frames; ++i) {
    outputs[0][i] = p->params[1];
    double quarter = time ? time->ppqPos + i * time->tempo / (60.0 * p->sampleRate) : 0.0;
    outputs[1][i] = p->params[0] > 0.5f ? (float)(quarter / 1000.0) : 0.0f;
  }
  writeEvents(p, outputs[0], frames);
  if (p->params[2] > 0.5f && frames > 0) outputs[0][0] = __builtin_nanf("");
  p->framesDone += frames;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) const ProbeParamChange* probeParamLog(AEffect* e, int32_t* count) {
  Probe* p = probeOf(e);
  *count = (int32_t)p->changes.size();
  return p->changes.data();
}

extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback host) {
  if (!host(nullptr, audioMasterVersion, 0, 0, nullptr, 0)) return nullptr;
  auto* p = new Probe;
  p->host = host;
  AEffect& e = p->effect;
  e.magic = kEffectMagic;
  e.dispatcher = dispatcher;
  e.setParameter = setParameter;
  e.getParameter = getParameter;
  e.processReplacing = processReplacing;
  e.numPrograms = 1;
  e.numParams = kParams;
  e.numOutputs = 2;
  e.flags = effFlagsCanReplacing | effFlagsIsSynth | effFlagsProgramChunks;
  e.uniqueID = vstFourCC('p', 'r', 'B', 'e');
  e.version = 3;
  e.object = p;
  return &e;
}
