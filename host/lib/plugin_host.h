// A small VST 2.4 host: loads a plug-in through its entry point, answers its callbacks and drives it.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "vst/aeffect.h"

namespace Host {

class LoadError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One MIDI message at a sample position inside the next processing call.
struct MidiMessage {
  int32_t deltaFrames;
  uint8_t status, data1, data2;
};

class PluginHost {
 public:
  // Loads the module and calls its entry point ("VSTPluginMain", else "main"). Throws LoadError.
  explicit PluginHost(const std::string& modulePath);
  ~PluginHost();  // closes the plug-in (effClose) and unloads the module
  PluginHost(const PluginHost&) = delete;
  PluginHost& operator=(const PluginHost&) = delete;

  AEffect* effect() const { return effect_; }
  void* symbol(const char* name) const;
  intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr, float opt = 0);

  // effOpen, sample rate, block size, resume.
  void start(float sampleRate, int32_t blockSize);
  void suspend() { dispatch(effMainsChanged, 0, 0); }
  void resume() { dispatch(effMainsChanged, 0, 1); }

  std::string text(int32_t opcode, int32_t index = 0);  // any of the string queries
  std::string paramName(int32_t index) { return text(effGetParamName, index); }
  std::string paramDisplay(int32_t index) { return text(effGetParamDisplay, index); }
  std::string paramLabel(int32_t index) { return text(effGetParamLabel, index); }
  int32_t findParam(const std::string& name);  // -1 when there is none of that name
  void setParameter(int32_t index, float value) { effect_->setParameter(effect_, index, value); }
  float getParameter(int32_t index) { return effect_->getParameter(effect_, index); }

  // Queues events for the next processing call (kept alive by the host until then).
  void sendMidi(const std::vector<MidiMessage>& messages);
  void processReplacing(float** inputs, float** outputs, int32_t frames);
  void processDouble(double** inputs, double** outputs, int32_t frames);
  // Renders frames of stereo float output into two vectors (no inputs), events delivered first.
  void renderFloat(std::vector<float>& left, std::vector<float>& right, int32_t frames);

  std::vector<uint8_t> getChunk(bool preset);
  void setChunk(const std::vector<uint8_t>& data, bool preset);

  // What GetTime hands the plug-in; null answers "no time info".
  void setTimeInfo(const VstTimeInfo* info);
  void setHostVersion(intptr_t version) { hostVersion_ = version; }

  // What the plug-in told the host.
  int64_t callbacks = 0;  // every callback, of any opcode
  std::vector<std::pair<int32_t, float>> automated;
  int32_t updateDisplayCalls = 0;
  int32_t beginEditCalls = 0;
  int32_t endEditCalls = 0;
  int32_t timeQueries = 0;
  int32_t processLevelQueries = 0;
  int32_t lastTimeFilter = 0;

  intptr_t callback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt);

 private:
  void* module_ = nullptr;
  AEffect* effect_ = nullptr;
  intptr_t hostVersion_ = kVstVersion;
  float sampleRate_ = 44100.0f;  // what start() set, answered to GetSampleRate
  int32_t blockSize_ = 512;      // what start() set, answered to GetBlockSize
  bool haveTime_ = false;
  VstTimeInfo time_{};
  std::vector<VstMidiEvent> midi_;
  std::vector<uint8_t> eventsBlock_;  // VstEvents with its pointer array
};

}  // namespace Host
