// AudioEffect and AudioEffectX: the VST 2.4 dispatcher turned into virtual calls with the interface's defaults.
#pragma once

#include <atomic>

#include "vst/aeff_editor.h"
#include "vst/aeffect.h"

class AudioEffect {
 public:
  AudioEffect(audioMasterCallback audioMaster, int32_t numPrograms, int32_t numParams);
  virtual ~AudioEffect();

  AEffect* getAeffect() { return &cEffect; }
  audioMasterCallback getAudioMaster() const { return audioMaster; }

  virtual intptr_t dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt);

  virtual void open() {}
  virtual void close() {}
  virtual void suspend() {}
  virtual void resume() {}

  virtual void setSampleRate(float newRate) { sampleRate = newRate; }
  virtual void setBlockSize(int32_t newSize) { blockSize = newSize; }
  float getSampleRate() const { return sampleRate; }
  int32_t getBlockSize() const { return blockSize; }

  virtual void process(float** /*inputs*/, float** /*outputs*/, int32_t /*frames*/) {}
  virtual void processReplacing(float** inputs, float** outputs, int32_t frames) = 0;
  virtual void processDoubleReplacing(double** /*inputs*/, double** /*outputs*/, int32_t /*frames*/) {}

  virtual void setParameter(int32_t /*index*/, float /*value*/) {}
  virtual float getParameter(int32_t /*index*/) { return 0; }
  virtual void setParameterAutomated(int32_t index, float value);

  virtual int32_t getProgram() { return curProgram; }
  virtual void setProgram(int32_t program) { curProgram = program; }
  virtual void setProgramName(char* /*name*/) {}
  virtual void getProgramName(char* name) { *name = 0; }
  virtual void getParameterLabel(int32_t /*index*/, char* label) { *label = 0; }
  virtual void getParameterDisplay(int32_t /*index*/, char* text) { *text = 0; }
  virtual void getParameterName(int32_t /*index*/, char* text) { *text = 0; }
  virtual int32_t getChunk(void** /*data*/, bool /*isPreset*/ = false) { return 0; }
  virtual int32_t setChunk(void* /*data*/, int32_t /*byteSize*/, bool /*isPreset*/ = false) { return 0; }

  virtual void setUniqueID(int32_t id) { cEffect.uniqueID = id; }
  virtual void setNumInputs(int32_t inputs) { cEffect.numInputs = inputs; }
  virtual void setNumOutputs(int32_t outputs) { cEffect.numOutputs = outputs; }
  virtual void setInitialDelay(int32_t delay);

  void setEditor(AEffEditor* newEditor);
  AEffEditor* getEditor() const { return editor; }
  void setFlag(int32_t flag, bool on);

  virtual intptr_t hostCallback(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                                float opt = 0);
  virtual void beginEdit(int32_t index) { hostCallback(audioMasterBeginEdit, index); }
  virtual void endEdit(int32_t index) { hostCallback(audioMasterEndEdit, index); }

 protected:
  float sampleRate;
  int32_t blockSize;
  int32_t numPrograms;
  int32_t numParams;
  std::atomic<int32_t> curProgram;  // set by the host, and by a MIDI program change on the audio thread
  audioMasterCallback audioMaster;
  AEffEditor* editor;
  AEffect cEffect;
};

class AudioEffectX : public AudioEffect {
 public:
  AudioEffectX(audioMasterCallback audioMaster, int32_t numPrograms, int32_t numParams)
      : AudioEffect(audioMaster, numPrograms, numParams) {}

  intptr_t dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) override;

  virtual int32_t processEvents(VstEvents* /*events*/) { return 0; }
  virtual bool canParameterBeAutomated(int32_t /*index*/) { return true; }
  virtual bool string2parameter(int32_t /*index*/, char* /*text*/) { return false; }
  virtual bool getProgramNameIndexed(int32_t /*category*/, int32_t /*index*/, char* /*text*/) { return false; }
  virtual bool getInputProperties(int32_t /*index*/, VstPinProperties* /*properties*/) { return false; }
  virtual bool getOutputProperties(int32_t /*index*/, VstPinProperties* /*properties*/) { return false; }
  virtual VstPlugCategory getPlugCategory();
  virtual bool setSpeakerArrangement(VstSpeakerArrangement* /*in*/, VstSpeakerArrangement* /*out*/) { return false; }
  virtual bool getSpeakerArrangement(VstSpeakerArrangement** in, VstSpeakerArrangement** out) {
    *in = nullptr;
    *out = nullptr;
    return false;
  }
  virtual bool setBypass(bool /*onOff*/) { return false; }
  virtual bool getEffectName(char* /*name*/) { return false; }
  virtual bool getVendorString(char* /*text*/) { return false; }
  virtual bool getProductString(char* /*text*/) { return false; }
  virtual int32_t getVendorVersion() { return 0; }
  virtual intptr_t vendorSpecific(int32_t /*index*/, intptr_t /*value*/, void* /*ptr*/, float /*opt*/) { return 0; }
  virtual int32_t canDo(char* /*text*/) { return 0; }
  virtual int32_t getGetTailSize() { return 0; }
  virtual bool getParameterProperties(int32_t /*index*/, void* /*properties*/) { return false; }
  virtual int32_t getVstVersion() { return kVstVersion; }
  virtual int32_t getCurrentMidiProgram(int32_t /*channel*/, void* /*program*/) { return -1; }
  virtual bool beginSetProgram() { return false; }
  virtual bool endSetProgram() { return false; }
  virtual int32_t startProcess() { return 0; }
  virtual int32_t stopProcess() { return 0; }
  virtual bool setProcessPrecision(int32_t /*precision*/) { return false; }
  virtual int32_t getNumMidiInputChannels() { return 0; }
  virtual int32_t getNumMidiOutputChannels() { return 0; }

  bool isSynth() const { return (cEffect.flags & effFlagsIsSynth) != 0; }
  void isSynth(bool state) { setFlag(effFlagsIsSynth, state); }
  void canProcessReplacing(bool state) { setFlag(effFlagsCanReplacing, state); }
  void canDoubleReplacing(bool state) { setFlag(effFlagsCanDoubleReplacing, state); }
  void programsAreChunks(bool state) { setFlag(effFlagsProgramChunks, state); }
  void updateDisplay() { hostCallback(audioMasterUpdateDisplay); }
  VstTimeInfo* getTimeInfo(int32_t filter) {
    return reinterpret_cast<VstTimeInfo*>(hostCallback(audioMasterGetTime, 0, filter));
  }
};
