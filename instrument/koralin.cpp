// Koralin's declarations to the plug-in core: parameters, display texts, flags, lifecycle of the engine.
#include "instrument/koralin.h"

#include <cstring>

#include "gui/plug_edit_vst.h"
#include "instrument/rest_query.h"

Koralin::Koralin(audioMasterCallback hostCallback)
    : Plug(hostCallback, 8, kKoralinParamCount, KoralinParams::kProductName, 0),
      editorDesc_{560, 110, 0, kKoralinParamCount, 0x007D8D94, "background"} {
  isSynth(true);
  setUniqueID(vstFourCC('k', 'm', 'P', 'x'));
  for (int32_t i = 0; i < kKoralinParamCount && i < paramCount(); ++i) {
    const KoralinParams::Param& p = KoralinParams::param(i);
    // tune is centred: a controller at 64 leaves the pitch as played, not 0.09 semitones sharp.
    defineParam(i, p.name, p.label, p.defaultNormalized, i == kTune ? PlugCore::kParamCentered : 0);
    setQuantized(i, p.defaultStep);
  }
  loadFactorySettings();
  loadUserDefaults();
  // Registers itself with the plug-in, which tells the host there is an editor.
  new Lattice::PlugEditVST(this, this, &editorDesc_);
}

Koralin::~Koralin() {
  // The editor goes first, while the plug-in it shows is still whole.
  AEffEditor* editor = getEditor();
  setEditor(nullptr);
  delete editor;
  delete[] work_;
}

void Koralin::prepare() {
  const int32_t frames = getBlockSize();
  const double rate = getSampleRate();
  delete[] work_;
  work_ = nullptr;
  work_ = new double[(size_t)frames * 5];
  workLength_ = frames * 5;
  filter_.prepare(rate);
  oscillator_.prepare(rate);
}

void Koralin::reset() {
  if (!work_) return;
  std::memset(work_, 0, sizeof(double) * (size_t)workLength_);
  gate_ = retrigger_ = slide_ = accent_ = false;
  currentNote_ = 69;
  oscillator_.reset();
  filter_.reset();
  quiet_.store(false, std::memory_order_relaxed);
}

intptr_t Koralin::vendorSpecific(int32_t index, intptr_t value, void* ptr, float opt) {
  if (index == KoralinQuery::kRestQueryIndex && value == KoralinQuery::kRestQueryValue)
    return resting() ? KoralinQuery::kRestQueryResting : KoralinQuery::kRestQuerySounding;
  return Plug::vendorSpecific(index, value, ptr, opt);
}

void Koralin::formatParam(int32_t index, char* text, float value) { KoralinParams::formatText(index, value, text); }
