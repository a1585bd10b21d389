// A host for call-sequence tests: the built module loaded as a host loads it, instances made through its entry point,
// and every callback counted by opcode, with the calls made from a thread the host marks as its audio thread apart.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

#include "vst/aeffect.h"

namespace HostSeq {

// The module, loaded once and kept for the process, as a host keeps a plug-in's library while it uses it.
using EntryProc = AEffect*(VSTCALLBACK*)(audioMasterCallback);
EntryProc moduleEntry();

// The calling thread is the host's audio thread from now on (for the callback counts).
void markAudioThread(bool audio);

// One MIDI message and an event list made of them, laid out as the host owns it.
struct Midi {
  int32_t deltaFrames;
  uint8_t status, data1, data2;
};
class EventList {
 public:
  explicit EventList(const std::vector<Midi>& messages = {});
  VstEvents* get() { return reinterpret_cast<VstEvents*>(block_.data()); }

 private:
  std::vector<VstMidiEvent> midi_;
  std::vector<unsigned char> block_;
};

class Instance {
 public:
  // Calls the entry point with this host's callback; the callbacks made meanwhile are counted as construction's.
  explicit Instance(EntryProc entry = moduleEntry());
  ~Instance();  // effClose
  Instance(const Instance&) = delete;
  Instance& operator=(const Instance&) = delete;

  AEffect* effect() const { return effect_; }
  intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr, float opt = 0);
  // effOpen, rate, block size, resume.
  void start(float rate, int32_t block);
  void send(const std::vector<Midi>& messages);  // one event list, freed before this returns
  // One processReplacing call of frames into left and right (resized), no inputs.
  void render(std::vector<float>& left, std::vector<float>& right, int32_t frames);
  std::vector<uint8_t> chunk(bool preset);
  void load(const std::vector<uint8_t>& chunk, bool preset);

  // Callbacks by opcode (construction's apart), those from the audio thread other than time info and the process
  // level, and a hook the host runs inside audioMasterUpdateDisplay.
  std::array<std::atomic<int>, 64> calls{};
  std::array<std::atomic<int>, 64> constructionCalls{};
  std::atomic<int> audioThreadCalls{0};
  void (*onUpdateDisplay)(Instance&) = nullptr;

  intptr_t callback(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt);

 private:
  AEffect* effect_ = nullptr;
  bool constructing_ = true;
};

// Two instances of a module loaded for this alone open and close their editors on two threads of their own, the
// host closes both and unloads the module, then an X error happens on the host's connection. 0 when the error
// reached the host's handler; 12 when the handler left in place points into nothing, 13 when the host's handler
// did not get the error, 10 and 11 when there was no display or module. Meant for a child process.
int editorsOnTwoThreadsThenUnloadThenAnXError();

// The learnt controllers a state chunk holds, as (parameter, controller key) in record order.
std::vector<std::pair<int, int>> mappingsIn(const std::vector<uint8_t>& chunk);

}  // namespace HostSeq
