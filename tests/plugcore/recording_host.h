// A test product on the plug-in core that records what the core tells it, and a host that records callbacks.
#pragma once

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "platform/dialogs.h"
#include "plugcore/plug.h"

namespace Fake {

struct HostLog {
  std::vector<std::pair<int32_t, float>> automated;
  int32_t updateDisplay = 0;
  int32_t timeQueries = 0;
  int32_t lastFilter = 0;
  bool haveTime = false;
  VstTimeInfo time{};
  intptr_t version = 2400;
};

HostLog& hostLog();
intptr_t VSTCALLBACK recordingHost(AEffect*, int32_t opcode, int32_t index, intptr_t value, void*, float opt);

struct RenderCall {
  int32_t frames;
  bool changed;
  PlugCore::TransportInfo transport;
  double firstInput;
  std::vector<bool> changedFlags;
};

struct NoteCall {
  char kind;  // 'n' note on, 'f' note off, 'c' control change
  int32_t a;
  float b;
};

class TestPlug : public PlugCore::Plug {
 public:
  explicit TestPlug(int32_t inputPairs = 1, int32_t programs = 8, int32_t params = 4)
      : Plug(recordingHost, programs, params, "TestPlug", inputPairs) {
    for (int32_t i = 0; i < params; ++i) {
      defineParam(i, names[i % 4], "dB", 0.5f, 0);
      setQuantized(i, 32000);
    }
    loadFactorySettings();  // as a product does: the programs take the defaults
  }
  void prepare() override { ++prepares; }
  void reset() override { ++resets; }
  bool render(bool changed, const PlugCore::TransportInfo& transport, double** inputs, double** outputs,
              int32_t frames) override {
    RenderCall call{frames, changed, transport, inputs && numInputs() ? inputs[0][0] : 0.0, {}};
    for (int32_t i = 0; i < paramCount(); ++i) call.changedFlags.push_back(param(i).changed);
    renders.push_back(call);
    for (int32_t i = 0; i < frames; ++i) {
      outputs[0][i] = (double)(renders.size());
      outputs[1][i] = -(double)(renders.size());
    }
    return renderResult;
  }
  void formatParam(int32_t index, char* text, float value) override {
    std::snprintf(text, 32, index == 0 ? "%.6f-long-text" : "%.2f", (double)value);
  }
  void noteOn(int32_t note, int32_t velocity) override { notes.push_back({'n', note, (float)velocity}); }
  void noteOff(int32_t note, int32_t velocity) override { notes.push_back({'f', note, (float)velocity}); }
  void controlChange(int32_t key, float value) override { notes.push_back({'c', key, value}); }

  int32_t numInputs() const { return cEffect.numInputs; }
  int32_t currentProgram() const { return curProgram; }

  static constexpr const char* names[4] = {"alpha", "beta", "gamma", "delta"};
  int prepares = 0, resets = 0;
  bool renderResult = true;
  std::vector<RenderCall> renders;
  std::vector<NoteCall> notes;
};

// Replaces every message box for the lifetime of the object; records them and answers as told.
class BoxRecorder {
 public:
  explicit BoxRecorder(bool answer = false);
  ~BoxRecorder();
  struct Box {
    Platform::BoxKind kind;
    std::string caption, text;
  };
  std::vector<Box>& boxes();
};

// A MIDI event list the core can be handed.
class EventList {
 public:
  void add(int32_t delta, uint8_t status, uint8_t d1, uint8_t d2);
  VstEvents* get();

 private:
  std::vector<VstMidiEvent> events_;
  std::vector<VstEvent*> pointers_;
  std::vector<unsigned char> block_;
};

// Resumes a plug at 44.1 kHz with the given block size.
void start(PlugCore::Plug& plug, int32_t blockSize = 64);
// Runs one processing call of frames (doubles), returning the left channel.
std::vector<double> run(PlugCore::Plug& plug, int32_t frames, VstEvents* events = nullptr);

}  // namespace Fake
