// Embed::Instance as the instrument's VST 2.4 host: routing a callback to its instance and answering it.
#include <cstdio>
#include <cstring>

#include "plugcore/embedder.h"
#include "plugin/embed/instance.h"

namespace Embed {
namespace {

// The process levels of audioMasterGetCurrentProcessLevel.
constexpr intptr_t kProcessLevelUser = 1;
constexpr intptr_t kProcessLevelRealtime = 2;
constexpr intptr_t kProcessLevelOffline = 4;

// Room kept in the gesture queue: values leave enough for every parameter's begin and end, begins for every end.
constexpr size_t kRoomForEnds = KoralinParams::kCount;
constexpr size_t kRoomForGestures = 2 * KoralinParams::kCount;

// The instance whose instrument this thread is making: the entry point calls back before the instance has its
// AEffect (with none at all for the version check, then with one whose host field is still empty).
thread_local Instance* t_making = nullptr;

// What this host can do, as the instrument may ask (byte for byte).
bool hostCanDo(const char* text) {
  static const char* const kAnswers[] = {"sendVstEvents", "sendVstMidiEvent", "sendVstTimeInfo", "sizeWindow"};
  for (const char* answer : kAnswers)
    if (text && std::strcmp(text, answer) == 0) return true;
  return false;
}

}  // namespace

Instance* Instance::swapMaking(Instance* instance) {
  Instance* previous = t_making;
  t_making = instance;
  return previous;
}

intptr_t VSTCALLBACK Instance::hostCallback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                            float opt) {
  Instance* self = effect && effect->resvd1 ? reinterpret_cast<Instance*>(effect->resvd1) : t_making;
  if (!self) return opcode == audioMasterVersion ? kVstVersion : 0;  // a call from a thread we cannot place
  return self->answer(opcode, index, value, ptr, opt);
}

intptr_t Instance::answer(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
  switch (opcode) {
    case audioMasterVersion: return kVstVersion;
    case audioMasterAutomate: gesture(Gesture::Value, index, opt); return 0;
    case audioMasterBeginEdit: gesture(Gesture::Begin, index, 0.0f); return 1;
    case audioMasterEndEdit: gesture(Gesture::End, index, 0.0f); return 1;
    case audioMasterGetTime: return reinterpret_cast<intptr_t>(&time_);
    case audioMasterGetCurrentProcessLevel: return processLevel();
    case audioMasterUpdateDisplay:
      displayChanged_.store(true, std::memory_order_release);
      tellListener([](Listener& listener) { listener.displayChanged(); });
      return 1;
    case audioMasterSizeWindow: {
      bool resized = false;
      tellListener([&](Listener& listener) { resized = listener.editorResized(index, (int32_t)value); });
      return resized ? 1 : 0;
    }
    case audioMasterCanDo: return hostCanDo(static_cast<const char*>(ptr)) ? 1 : 0;
    case audioMasterGetSampleRate: return (intptr_t)sampleRate_;
    case audioMasterGetBlockSize: return maxFrames_;
    case audioMasterGetVendorString:
      if (ptr) std::snprintf(static_cast<char*>(ptr), kVstMaxVendorStrLen, "%s", "Quillmarsh");
      return ptr ? 1 : 0;
    case audioMasterGetProductString:
      if (ptr) std::snprintf(static_cast<char*>(ptr), kVstMaxProductStrLen, "%s", hostProduct_.c_str());
      return ptr ? 1 : 0;
    case audioMasterGetVendorVersion: return 1;
    case audioMasterGetLanguage: return 1;  // English
    case audioMasterVendorSpecific:
      // The core's question before a box for a refused chunk: the binding reports the refusal, no box appears.
      if (index == PlugCore::kEmbedderQuestion && value == PlugCore::kChunkRefused) {
        refusals_.fetch_add(1, std::memory_order_acq_rel);
        return PlugCore::kRefusalTaken;
      }
      return 0;
    default: return 0;
  }
}

intptr_t Instance::processLevel() const {
  if (!onAudioThread()) return kProcessLevelUser;
  return offline_ ? kProcessLevelOffline : kProcessLevelRealtime;
}

template <typename Call>
void Instance::tellListener(Call&& call) {
  if (constructing_ || onAudioThread()) return;
  listenerCalls_.fetch_add(1);
  if (Listener* listener = listener_.load()) call(*listener);
  listenerCalls_.fetch_sub(1);
}

void Instance::gesture(Gesture::Kind kind, int32_t index, float value) {
  if (constructing_ || onAudioThread() || index < 0 || index >= KoralinParams::kCount) return;
  switch (kind) {
    case Gesture::Begin:
      tellListener([&](Listener& listener) { listener.editBegun(index); });
      if (!gestures_.push({kind, index, 0.0f}, kRoomForEnds)) {
        gestureLost_[index].store(true);
        droppedGestures_.fetch_add(1, std::memory_order_relaxed);
      }
      break;
    case Gesture::Value:
      tellListener([&](Listener& listener) { listener.automated(index, value); });
      // A dropped value still reaches the audio side through the shadow comparison.
      if (gestureLost_[index].load() || !gestures_.push({kind, index, value}, kRoomForGestures))
        droppedGestures_.fetch_add(1, std::memory_order_relaxed);
      break;
    case Gesture::End:
      tellListener([&](Listener& listener) { listener.editEnded(index); });
      if (gestureLost_[index].exchange(false)) break;
      if (!gestures_.push({kind, index, 0.0f})) endPending_[index].store(true);
      break;
  }
}

}  // namespace Embed
