// Koralin: the monophonic bass instrument on the plug-in core: parameters, display texts, notes and engine.
#pragma once

#include <atomic>
#include <cstdint>

#include "gui/editor_desc.h"
#include "gui/plug_data.h"
#include "instrument/koralin_params.h"
#include "plugcore/plug.h"
#include "synth/filter_section.h"
#include "synth/oscillator.h"

class Koralin : public PlugCore::Plug, public Lattice::IEditBuilder {
 public:
  explicit Koralin(audioMasterCallback hostCallback);
  ~Koralin() override;

  VstPlugCategory getPlugCategory() override { return kPlugCategSynth; }
  void prepare() override;
  void reset() override;
  bool render(bool changed, const PlugCore::TransportInfo& transport, double** inputs, double** outputs,
              int32_t frames) override;
  void formatParam(int32_t index, char* text, float value) override;
  void noteOn(int32_t note, int32_t velocity) override;
  void noteOff(int32_t note, int32_t velocity) override;
  // Answers the rest question of instrument/rest_query.h; everything else goes to the core.
  intptr_t vendorSpecific(int32_t index, intptr_t value, void* ptr, float opt) override;
  // IEditBuilder: places the knobs and the switch on a new editor frame.
  void build(Lattice::PlugFrame* frame) override;

  const Lattice::EditorDesc& editorDesc() const { return editorDesc_; }

  // The voice, for tests and the engine.
  uint8_t currentNote() const { return currentNote_; }
  bool gate() const { return gate_; }
  bool retrigger() const { return retrigger_; }
  bool slide() const { return slide_; }
  bool accent() const { return accent_; }
  const double* workBuffer() const { return work_; }
  bool resting() const { return quiet_.load(std::memory_order_relaxed); }
  bool renderedSilence() const override { return silent_; }

 private:
  double paramValue(int32_t index) const { return index < paramCount() ? (double)param(index).value.load() : 0.0; }

  Lattice::EditorDesc editorDesc_;
  double* work_ = nullptr;  // blockSize * 5 ticks, owned; null until the first prepare
  int32_t workLength_ = 0;
  uint8_t currentNote_ = 69;  // sounding or last note
  bool gate_ = false;         // a key is held for the current note
  bool retrigger_ = false;    // a note start is pending for the envelopes
  bool slide_ = false;        // the current note was played legato
  bool accent_ = false;       // the current note's velocity was above 100
  Synth::Oscillator oscillator_;
  Synth::FilterSection filter_;
  // The voice rested at the end of the last block, its output exactly zero: the audio thread writes it, any thread
  // may read it.
  std::atomic<bool> quiet_{false};
  bool silent_ = false;  // the last render rested throughout and left its outputs zero (audio thread only)
};
