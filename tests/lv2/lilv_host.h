// Our LV2 test host on liblilv: the bundle loaded by its URI from the build's bundle folder, an instance with the
// features a host gives (urid:map and unmap, the options with bufsz:maxBlockLength), its ports as buffers of
// the host's own, MIDI through the atom port, and the state through the plug-in's state interface.
#pragma once

#include <lilv/lilv.h>
#include <lv2/options/options.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "plugin/lv2/bundle.h"

namespace Lv2Test {

// The process's URID map, as a host keeps one for every plug-in (any thread).
class Urids {
 public:
  static Urids& get();
  LV2_URID map(const char* uri);
  const char* unmap(LV2_URID urid);
  LV2_URID_Map* mapFeature() { return &map_; }
  LV2_URID_Unmap* unmapFeature() { return &unmap_; }

 private:
  Urids();
  std::mutex lock_;
  std::vector<std::string> uris_;
  LV2_URID_Map map_;
  LV2_URID_Unmap unmap_;
};

// The lilv world with the bundle loaded, and the plug-in it describes (made once per process). lilv's world is not
// for several threads at once (instantiating and freeing change its list of open libraries): instances on several
// threads hold lock for every call that reaches it.
struct World {
  static World& get();
  std::mutex lock;
  LilvWorld* world = nullptr;
  const LilvPlugin* plugin = nullptr;
  std::vector<const LilvNode*> presets;  // in the order lilv lists them
  std::string presetLabel(const LilvNode* preset) const;
};

class Instance {
 public:
  // Instantiates the plug-in at a rate with bufsz:maxBlockLength maxFrames (0: no options at all); every control
  // input starts at its default, as hosts start them. Fails the test when lilv makes no instance.
  Instance(double rate, int32_t maxFrames);
  ~Instance();
  Instance(const Instance&) = delete;
  Instance& operator=(const Instance&) = delete;

  bool valid() const { return instance_ != nullptr; }
  LilvInstance* lilv() const { return instance_; }
  LV2_Handle handle() const { return lilv_instance_get_handle(instance_); }
  const LV2_Feature* const* features() const { return features_.data(); }

  void activate();
  void deactivate();
  bool active() const { return active_; }

  // Control ports by the parameter's index: what the host sets, and what the instrument shows.
  float& param(int32_t index) { return controls_[KoralinLv2::Port::param(index)]; }
  float now(int32_t index) const { return controls_[KoralinLv2::Port::now(index)]; }
  float& control(uint32_t port) { return controls_[port]; }
  uint32_t portIndex(const char* symbol) const;

  // MIDI for the next run, at a frame (non-decreasing, as LV2 sequences are).
  void midi(int64_t frame, std::initializer_list<uint8_t> bytes);
  void midi(int64_t frame, const uint8_t* bytes, uint32_t size);
  // Something else on the atom port, which the plug-in must pass by.
  void otherAtom(int64_t frame, LV2_URID type, uint32_t size);
  // One run of frames; the sequence is emptied after it. left() and right() hold what it rendered.
  void run(uint32_t frames);
  const std::vector<float>& left() const { return left_; }
  const std::vector<float>& right() const { return right_; }

  // The state through the plug-in's interface: the chunk it stores (empty when it stores none), and a restore of
  // bytes under the state key with a type (atom:Chunk by default); nullptr bytes restore an empty map.
  std::vector<uint8_t> savedChunk();
  LV2_State_Status restore(const std::vector<uint8_t>* bytes, LV2_URID type = 0);

 private:
  void clearSequence();
  void appendEvent(int64_t frame, LV2_URID type, const uint8_t* bytes, uint32_t size);

  LilvInstance* instance_ = nullptr;
  bool active_ = false;
  int32_t maxFrames_;
  int32_t blockLength_;
  std::vector<LV2_Options_Option> options_;
  LV2_Feature mapFeature_, unmapFeature_, optionsFeature_, boundedFeature_;
  std::vector<const LV2_Feature*> features_;
  std::vector<float> controls_;
  std::vector<uint64_t> sequence_;  // the atom port's buffer, 8-byte aligned
  uint32_t sequenceCapacity_;
  std::vector<float> left_, right_;
};

}  // namespace Lv2Test
