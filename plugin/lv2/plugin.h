// Koralin's LV2 plug-in: one Embed::Instance behind the descriptor's calls, its ports and its state.
//
// Threads, as LV2 names its classes:
// - Instantiation (instantiate, activate, deactivate, cleanup, and restore): never concurrent with anything else
//   on the instance. activate and deactivate turn the instrument on and off at the host's rate and longest block;
//   an activation after the first also asks the layer for a reset (standing in for the audio side), so an instance
//   activated again starts with every note released and the voice at rest.
// - Audio (connect_port, run): run takes the host's port values, the block's MIDI and renders; it never allocates,
//   locks, waits or does I/O. The state it keeps (the port values last taken) is its own.
// - save: may come while run runs. The instrument guards its values and programs for that (the layer's main side).
// - The editor (ui.cpp) runs on the host's UI thread and reaches the instrument through instance-access. What
//   crosses to run is atomic: a parameter under an editor gesture (editing_), and "take the ports as they are"
//   after a restore (adoptPorts_).
//
// Port values. A control input reaches the instrument only when the host's value changes (compared bit for bit
// with the value run took last); in between, what the instrument changed itself (a learnt controller, a MIDI
// program change, the editor) stays. Values start as seen at the description's defaults, so the user's defaults
// file keeps what it set. While the editor drags a knob its port is not taken (the editor has set the value
// already; the host's copy follows through write_function). After a restored state the ports as they are count as
// seen, so the state wins over the values a host restores beside it. Each control output mirrors the instrument's
// value in the same units, written at the end of every run.
#pragma once

#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <atomic>
#include <memory>

#include "plugin/embed/instance.h"
#include "plugin/lv2/bundle.h"

namespace KoralinLv2 {

// The data of the feature with this URI in the host's null-ended list, or null.
const void* feature(const LV2_Feature* const* features, const char* uri);

class Plugin {
 public:
  // Null without urid:map, at a rate the instrument cannot render at, or when no instrument was made. The options
  // (bufsz:maxBlockLength) are read when the host gives them.
  static Plugin* make(double sampleRate, const LV2_Feature* const* features);
  Plugin(const Plugin&) = delete;
  Plugin& operator=(const Plugin&) = delete;

  void connect(uint32_t port, void* data);
  void activate();
  void deactivate();
  void run(uint32_t frames);

  LV2_State_Status save(LV2_State_Store_Function store, LV2_State_Handle handle) const;
  LV2_State_Status restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle);

  Embed::Instance& instance() { return *instance_; }
  int32_t maxFrames() const { return maxFrames_; }
  // The editor marks a parameter under its gesture (between begin and end edit).
  void setEditing(int32_t index, bool editing);

 private:
  Plugin(std::unique_ptr<Embed::Instance> instance, double sampleRate, int32_t maxFrames, LV2_URID_Map& map);
  void takePorts();
  void playEvents(uint32_t frames);
  void showValues();

  std::unique_ptr<Embed::Instance> instance_;
  double sampleRate_;
  int32_t maxFrames_;
  LV2_URID midiEvent_, atomChunk_, stateKey_, beatTime_;

  // Audio side: the connected buffers and the port values as last taken.
  const LV2_Atom_Sequence* events_ = nullptr;
  float* left_ = nullptr;
  float* right_ = nullptr;
  const float* params_[KoralinParams::kCount] = {};
  float* now_[KoralinParams::kCount] = {};
  float seen_[KoralinParams::kCount] = {};

  bool activatedBefore_ = false;  // instantiation side
  std::atomic<bool> adoptPorts_{false};
  std::atomic<bool> editing_[KoralinParams::kCount] = {};
};

// The plug-in's descriptor (the binary's first and only).
const LV2_Descriptor* descriptor();

}  // namespace KoralinLv2
