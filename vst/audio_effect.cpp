// AudioEffect and AudioEffectX: trampolines from the host's function pointers and the dispatcher switch.
#include "vst/audio_effect.h"

#include <cstring>

namespace {

AudioEffect* toEffect(AEffect* e) { return e ? static_cast<AudioEffect*>(e->object) : nullptr; }

intptr_t VSTCALLBACK dispatchTrampoline(AEffect* e, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                        float opt) {
  AudioEffect* effect = toEffect(e);
  if (!effect) return 0;
  intptr_t result = effect->dispatcher(opcode, index, value, ptr, opt);
  if (opcode == effClose) {
    delete effect;  // the host's last word: the object goes with it
    return 1;
  }
  return result;
}

void VSTCALLBACK processTrampoline(AEffect* e, float** in, float** out, int32_t frames) {
  if (AudioEffect* effect = toEffect(e)) effect->process(in, out, frames);
}

void VSTCALLBACK processReplacingTrampoline(AEffect* e, float** in, float** out, int32_t frames) {
  if (AudioEffect* effect = toEffect(e)) effect->processReplacing(in, out, frames);
}

void VSTCALLBACK processDoubleTrampoline(AEffect* e, double** in, double** out, int32_t frames) {
  if (AudioEffect* effect = toEffect(e)) effect->processDoubleReplacing(in, out, frames);
}

void VSTCALLBACK setParameterTrampoline(AEffect* e, int32_t index, float value) {
  if (AudioEffect* effect = toEffect(e)) effect->setParameter(index, value);
}

float VSTCALLBACK getParameterTrampoline(AEffect* e, int32_t index) {
  AudioEffect* effect = toEffect(e);
  return effect ? effect->getParameter(index) : 0.0f;
}

}  // namespace

AudioEffect::AudioEffect(audioMasterCallback master, int32_t programs, int32_t params)
    : sampleRate(44100.0f),
      blockSize(1024),
      numPrograms(programs),
      numParams(params),
      curProgram(0),
      audioMaster(master),
      editor(nullptr) {
  std::memset(&cEffect, 0, sizeof(cEffect));
  cEffect.magic = kEffectMagic;
  cEffect.dispatcher = dispatchTrampoline;
  cEffect.process = processTrampoline;
  cEffect.setParameter = setParameterTrampoline;
  cEffect.getParameter = getParameterTrampoline;
  cEffect.numPrograms = programs;
  cEffect.numParams = params;
  cEffect.numInputs = 1;
  cEffect.numOutputs = 2;
  cEffect.ioRatio = 1.0f;
  cEffect.object = this;
  cEffect.uniqueID = vstFourCC('N', 'o', 'E', 'f');
  cEffect.version = 1;
  cEffect.processReplacing = processReplacingTrampoline;
  cEffect.processDoubleReplacing = processDoubleTrampoline;
}

AudioEffect::~AudioEffect() { delete editor; }

void AudioEffect::setEditor(AEffEditor* newEditor) {
  editor = newEditor;
  setFlag(effFlagsHasEditor, editor != nullptr);
}

void AudioEffect::setFlag(int32_t flag, bool on) {
  if (on) cEffect.flags |= flag;
  else cEffect.flags &= ~flag;
}

// Only the descriptor changes: a host reads it after resume; telling it that the I/O changed is ioChanged's job.
void AudioEffect::setInitialDelay(int32_t delay) { cEffect.initialDelay = delay; }

void AudioEffect::setParameterAutomated(int32_t index, float value) {
  setParameter(index, value);
  hostCallback(audioMasterAutomate, index, 0, nullptr, value);
}

intptr_t AudioEffect::hostCallback(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
  return audioMaster ? audioMaster(&cEffect, opcode, index, value, ptr, opt) : 0;
}

intptr_t AudioEffect::dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
  switch (opcode) {
    case effOpen: open(); return 0;
    case effClose: close(); return 0;
    case effSetProgram:
      if (value < numPrograms) setProgram((int32_t)value);
      return 0;
    case effGetProgram: return getProgram();
    case effSetProgramName: setProgramName(static_cast<char*>(ptr)); return 0;
    case effGetProgramName: getProgramName(static_cast<char*>(ptr)); return 0;
    case effGetParamLabel: getParameterLabel(index, static_cast<char*>(ptr)); return 0;
    case effGetParamDisplay: getParameterDisplay(index, static_cast<char*>(ptr)); return 0;
    case effGetParamName: getParameterName(index, static_cast<char*>(ptr)); return 0;
    case effSetSampleRate: setSampleRate(opt); return 0;
    case effSetBlockSize: setBlockSize((int32_t)value); return 0;
    case effMainsChanged:
      if (value) resume();
      else suspend();
      return 0;
    case effEditGetRect: return editor ? editor->getRect(static_cast<ERect**>(ptr)) : 0;
    case effEditOpen: return editor ? editor->open(ptr) : 0;
    case effEditClose:
      if (editor) editor->close();
      return 0;
    case effEditIdle:
      if (editor) editor->idle();
      return 0;
    case effGetChunk: return getChunk(static_cast<void**>(ptr), index != 0);
    case effSetChunk: return setChunk(ptr, (int32_t)value, index != 0);
    default: return 0;
  }
}

VstPlugCategory AudioEffectX::getPlugCategory() {
  return (cEffect.flags & effFlagsIsSynth) ? kPlugCategSynth : kPlugCategUnknown;
}

intptr_t AudioEffectX::dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
  char* text = static_cast<char*>(ptr);
  switch (opcode) {
    case effProcessEvents: return processEvents(static_cast<VstEvents*>(ptr));
    case effCanBeAutomated: return canParameterBeAutomated(index) ? 1 : 0;
    case effString2Parameter: return string2parameter(index, text) ? 1 : 0;
    case effGetProgramNameIndexed: return getProgramNameIndexed((int32_t)value, index, text) ? 1 : 0;
    case effGetInputProperties: return getInputProperties(index, static_cast<VstPinProperties*>(ptr)) ? 1 : 0;
    case effGetOutputProperties: return getOutputProperties(index, static_cast<VstPinProperties*>(ptr)) ? 1 : 0;
    case effGetPlugCategory: return getPlugCategory();
    case effSetSpeakerArrangement:
      return setSpeakerArrangement(reinterpret_cast<VstSpeakerArrangement*>(value),
                                   static_cast<VstSpeakerArrangement*>(ptr))
                 ? 1
                 : 0;
    case effGetSpeakerArrangement:
      return getSpeakerArrangement(reinterpret_cast<VstSpeakerArrangement**>(value),
                                   static_cast<VstSpeakerArrangement**>(ptr))
                 ? 1
                 : 0;
    case effSetBypass: return setBypass(value != 0) ? 1 : 0;
    case effGetEffectName: return getEffectName(text) ? 1 : 0;
    case effGetVendorString: return getVendorString(text) ? 1 : 0;
    case effGetProductString: return getProductString(text) ? 1 : 0;
    case effGetVendorVersion: return getVendorVersion();
    case effVendorSpecific: return vendorSpecific(index, value, ptr, opt);
    case effCanDo: return canDo(text);
    case effGetTailSize: return getGetTailSize();
    case effGetParameterProperties: return getParameterProperties(index, ptr) ? 1 : 0;
    case effGetVstVersion: return getVstVersion();
    case effEditKeyDown: return editor && editor->onKeyDown(index, value, opt) ? 1 : 0;
    case effEditKeyUp: return editor && editor->onKeyUp(index, value, opt) ? 1 : 0;
    case effSetEditKnobMode: return editor && editor->setKnobMode(value) ? 1 : 0;
    case effGetCurrentMidiProgram: return getCurrentMidiProgram(index, ptr);
    case effBeginSetProgram: return beginSetProgram() ? 1 : 0;
    case effEndSetProgram: return endSetProgram() ? 1 : 0;
    case effStartProcess: return startProcess();
    case effStopProcess: return stopProcess();
    case effSetProcessPrecision: return setProcessPrecision((int32_t)value) ? 1 : 0;
    case effGetNumMidiInputChannels: return getNumMidiInputChannels();
    case effGetNumMidiOutputChannels: return getNumMidiOutputChannels();
    default: return AudioEffect::dispatcher(opcode, index, value, ptr, opt);
  }
}
