// Plug: the base of every plug-in object. Answers the host, owns parameters, MIDI state, programs and chunks,
// and cuts each processing call into sub-blocks at event times for the product's engine.
//
// Threads. Three kinds of thread call a plug-in, and each entry point belongs to one of them:
// - The audio thread: process, processReplacing, processDoubleReplacing, processEvents, and everything they call
//   (MIDI notes, controllers, learn completion, program changes by MIDI, the cook pass, the engine's render). It never
//   allocates, locks, waits, does I/O or calls the host other than for time info. processEvents copies the host's
//   events into the core's own fixed list, so the host may free its list at once. A MIDI program change takes the
//   program guard only if it is free at once; when another thread holds it, the change waits in pendingProgram_ for
//   the next processing call. What the host should redisplay is only flagged here (displayChanged_).
// - The host's user-interface thread: the rest of the dispatcher. setParameter/getParameter and the texts touch one
//   value each and need nothing more. setProgram, setProgramName, the program names, getChunk, setChunk and the
//   defaults actions rewrite or read the programs and the current values as a whole: they hold the program guard (they
//   may wait for it; every holder keeps it only for a few stores or copies: no box, no file and no call to the host
//   happens while it is held). suspend, resume, setSampleRate and setBlockSize are called only while the audio thread
//   is not processing, as the VST 2.4 interface promises; a host that breaks that promise gets no torn buffers, since
//   a new size or rate only takes effect at the next resume. Each dispatcher call made from this side ends by telling
//   the host to redisplay when something flagged it (a load, a program change by MIDI).
// - The editor's thread (the user-interface thread, or on Linux sometimes a thread of its own): reads values and
//   defaults, edits values through setParameterAutomated (a person's gesture: the only source of automation),
//   starts and cancels learn, and saves or loads the defaults.
// Values several threads touch are Relaxed (parameter values and defaults, learnt controllers, the bend range) or
// atomic (the current program, the learn target, the editor's notify pointer, the display flag); readers keep shadow
// copies (the cook pass, the editor's poll) and catch up on their next pass. The editor's own copy of values has its
// own lock.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "platform/semaphore.h"
#include "plugcore/param_table.h"
#include "plugcore/plug_types.h"
#include "plugcore/relaxed.h"
#include "synth/random.h"
#include "vst/audio_effect.h"

namespace PlugCore {

// The engine's random source is a base of every plug-in; its generator belongs to the DSP library.
using Random = Synth::Random;

struct ChunkReading;

struct PlugProgram {
  char name[24];                       // behind the program guard
  std::vector<Relaxed<float>> values;  // stored by a program change on either thread

  std::vector<float> snapshot() const { return {values.begin(), values.end()}; }
};

// The sample rates and block sizes the core will prepare an engine for; anything else is out of contract.
constexpr float kMinSampleRate = 1000.0f;
constexpr float kMaxSampleRate = 1536000.0f;
constexpr int32_t kMaxBlockSize = 1 << 20;

// The events held between two processing calls, from however many processEvents calls. Events past this many are
// dropped (and counted); a monophonic line needs a small fraction of it even at the smallest block sizes' densities.
constexpr int32_t kEventCapacity = 1024;

// No registered parameter selected: MIDI's null RPN (101 and 100 both at 127), also what an NRPN select leaves.
constexpr int32_t kNullRpn = 0x3FFF;

class alignas(16) Plug : public AudioEffectX, public IParamCook, public Random {
 public:
  Plug(audioMasterCallback hostCallback, int32_t programCount, int32_t parameterCount, const char* name,
       int32_t inputPairs);
  ~Plug() override;

  // --- The host's side (Part of the dispatcher that Plug answers) ---
  intptr_t dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) override;
  void suspend() override;
  void resume() override;
  void setSampleRate(float newRate) override;
  void setBlockSize(int32_t newSize) override;
  void process(float** inputs, float** outputs, int32_t frames) override;
  void processReplacing(float** inputs, float** outputs, int32_t frames) override;
  void processDoubleReplacing(double** inputs, double** outputs, int32_t frames) override;
  int32_t processEvents(VstEvents* events) override;

  void setParameter(int32_t index, float value) override;
  float getParameter(int32_t index) override;
  void setParameterAutomated(int32_t index, float value) override;
  void getParameterLabel(int32_t index, char* label) override;
  void getParameterDisplay(int32_t index, char* text) override;
  void getParameterName(int32_t index, char* text) override;
  bool canParameterBeAutomated(int32_t index) override;

  void setProgram(int32_t program) override;
  void setProgramName(char* name) override;
  void getProgramName(char* name) override;
  bool getProgramNameIndexed(int32_t category, int32_t index, char* text) override;
  int32_t getChunk(void** data, bool isPreset) override;
  int32_t setChunk(void* data, int32_t byteSize, bool isPreset) override;

  bool getInputProperties(int32_t index, VstPinProperties* properties) override;
  bool getOutputProperties(int32_t index, VstPinProperties* properties) override;
  bool getEffectName(char* name) override;
  bool getVendorString(char* text) override;
  bool getProductString(char* text) override;
  int32_t getVendorVersion() override { return 0; }
  int32_t getVstVersion() override { return kVstVersion; }
  intptr_t vendorSpecific(int32_t index, intptr_t value, void* ptr, float opt) override;
  int32_t canDo(char* text) override;

  // IParamCook: every change matters unless a product says otherwise.
  bool cook(int32_t index, float value) override;

  // --- What a product supplies or may override, in slot order ---
  virtual const char* getInputPairName(int32_t pair);
  virtual const char* getOutputPairName(int32_t pair);
  virtual void prepare() = 0;
  virtual void reset() = 0;
  virtual void suspendedIdle() {}
  virtual bool render(bool changed, const TransportInfo& transport, double** inputs, double** outputs,
                      int32_t frames) = 0;
  virtual void formatParam(int32_t index, char* text, float value) = 0;
  virtual void programChanged() {}
  virtual int32_t getLatency() { return 0; }
  virtual void noteOn(int32_t note, int32_t velocity);
  virtual void noteOff(int32_t note, int32_t velocity);
  virtual void controlChange(int32_t controllerKey, float value);
  virtual void formatParamWithLabel(int32_t index, float value, char* text);
  // After render: true when it left every output sample at the zero it was given, so the copy to the host has
  // nothing to convert or check.
  virtual bool renderedSilence() const { return false; }

  // --- Parameters (the engine and the editor read these) ---
  const char* name() const { return name_; }
  int32_t paramCount() const { return params_.count(); }
  const PlugParam& param(int32_t index) const { return params_[index]; }
  ParamTable& params() { return params_; }
  void defineParam(int32_t index, const char* name, const char* label, float defaultValue, int32_t flags);
  void setQuantized(int32_t index, uint32_t n) { params_.setQuantized(index, n); }
  void editFromStored(int32_t index, uint32_t n);
  void storeDefaults();
  void resetParam(int32_t index);
  void editParam(int32_t index, float value);  // a whole gesture: begin, automated set, end
  void pollEditor(IParamNotify& notify) { params_.pollEditor(notify); }
  double bendSemitones() const { return bendSemitones_.load(); }
  int32_t bendRangePacked() const { return bendRangePacked_.load(); }

  // --- MIDI learn (the editor's operations) ---
  void startLearn(int32_t index);
  bool isLearning(int32_t index) const { return learnTarget_.load() == index; }
  void cancelLearn() { learnTarget_.store(-1); }
  void forgetLearn(int32_t index);
  int32_t controllerOf(int32_t index) const;
  void bind(int32_t key, int32_t index);
  void setNotify(IParamNotify* notify) { notify_.store(notify, std::memory_order_release); }

  // --- Programs, defaults ---
  int32_t programCount() const { return (int32_t)programs_.size(); }
  const PlugProgram& program(int32_t index) const { return programs_[(size_t)index]; }
  void loadFactorySettings();
  void loadUserDefaults();
  // The state of an instance whose user never saved defaults: the product's own defaults, no learnt controllers,
  // and the factory settings over them.
  void loadFactoryState();
  void saveUserDefaults();
  std::string defaultsFilePath() const;

  // --- State the tests and the editor look at ---
  bool holdsProcessLock() const { return locked_; }
  bool tryProcessLock() { return processLock_.tryWait(); }
  void releaseProcessLock() { processLock_.release(); }
  bool readyToRender() const { return !needsPrepare_; }
  // Events a full list had no room for, and processing calls whose output held a sample that was not a finite
  // number of the host's type (silenced, and the engine reset), since construction.
  uint32_t droppedEvents() const { return droppedEvents_.load(); }
  uint32_t silencedCalls() const { return silencedCalls_.load(); }
  // Something the host shows changed (a load, a program change by MIDI): the next dispatcher call from the host's
  // user-interface side sends audioMasterUpdateDisplay. A new instance starts with nothing to tell.
  void flagDisplayChanged() { displayChanged_.store(true); }
  void discardDisplayChange() { displayChanged_.store(false); }

 protected:
  // One MIDI message as the core keeps it: the host's channel-voice messages only, with their sample offset.
  struct QueuedEvent {
    int32_t deltaFrames;  // never negative
    uint8_t status, data1, data2;
  };
  int32_t dispatchEvents(int32_t first, int32_t upTo);
  void handleEvent(const QueuedEvent& event);
  void handleController(int32_t key, int32_t value);
  void setFromController(int32_t index, int32_t m);
  void storeCurrentIntoProgram(int32_t program);
  // Program changes without the guard (the caller holds it).
  void applyProgram(int32_t program);
  // A program change from MIDI on the audio thread: applied now if the guard is free, else at the next call.
  void requestProgram(int32_t program);
  // How a load begins: from the current state, or from the parameter defaults copied into every program (factory
  // settings); and whether the learnt controllers become exactly those the chunk holds or stay as they are.
  enum class LoadStart { Current, Defaults };
  enum class LoadMappings { FromChunk, Keep };
  // Reads a chunk, asks about another product's records (before taking the guard), decodes what may be loaded into a
  // scratch copy of the state, stores it as a whole under the guard, then flags the host's display and shows what
  // went wrong. storeAsDefaults makes the loaded values the defaults (the user defaults file).
  void loadState(const ChunkReading& reading, LoadStart start, LoadMappings mappings, bool storeAsDefaults);

  // The program guard: held while the programs and the current values are rewritten or read as a whole. The thread
  // that holds it may take it again (a host may call back into the dispatcher from inside a chunk load).
  bool tryTakePrograms();
  void takePrograms();
  void givePrograms();
  class ProgramsHeld {
   public:
    explicit ProgramsHeld(Plug& plug) : plug_(plug) { plug_.takePrograms(); }
    ~ProgramsHeld() { plug_.givePrograms(); }
    ProgramsHeld(const ProgramsHeld&) = delete;
    ProgramsHeld& operator=(const ProgramsHeld&) = delete;

   private:
    Plug& plug_;
  };

 private:
  template <typename T, bool accumulate>
  void processCall(T** inputs, T** outputs, int32_t frames);
  void beginCall();
  void processPiece(double** outputs, int32_t frames, int32_t offset, bool last);
  void clearEvents();
  void renderSubBlock(double** outputs, int32_t start, int32_t end);
  void allocateBuffers(int32_t frames);
  bool configValid() const;
  void buildChunk(bool isPreset, std::vector<uint8_t>& out);
  void writeChunkError(const char* what);

  const char* name_;
  int32_t inputPairs_;
  int32_t outputPairs_ = 1;
  Platform::Semaphore processLock_;
  bool locked_ = false;
  Relaxed<bool> needsPrepare_ = true;
  bool cookPending_ = false;
  // The configuration the engine and the buffers were last prepared for (written by resume only): the audio thread
  // reads these, never the host's latest sampleRate and blockSize.
  int32_t preparedFrames_ = 0;
  double preparedRate_ = 0.0;

  // The events for the next processing call, in the core's own fixed list, and how far the current call has
  // handled them. Audio thread only (and suspend/resume, which never overlap it).
  QueuedEvent events_[kEventCapacity];
  int32_t eventCount_ = 0;
  int32_t nextEvent_ = 0;
  bool pieceSilent_ = false;  // every sub-block of the current piece rendered silence (audio thread only)
  Relaxed<uint32_t> droppedEvents_ = 0u;
  Relaxed<uint32_t> silencedCalls_ = 0u;
  std::atomic<bool> displayChanged_{false};

  // Transport, as of the current call.
  double tempo_ = 120.0;
  bool playing_ = false;
  double ppqPosition_ = 0.0;
  double samplePosition_ = 0.0;

  // Double-precision channels: inputs first, then outputs, each blockSize long.
  std::vector<double> doubleBlock_;
  int32_t doubleBlockFrames_ = 0;
  std::vector<double*> inputChannels_, outputChannels_, inputViews_, outputViews_, hostOutputs_;

  ParamTable params_;
  std::vector<float> productDefaults_;  // the defaults as the product defined them, before any defaults file
  std::atomic<IParamNotify*> notify_{nullptr};

  // MIDI state.
  int32_t rpnNumber_ = kNullRpn;
  Relaxed<int32_t> bendRangePacked_ = 256;  // 2 semitones
  Relaxed<double> bendSemitones_ = 0.0;
  bool sustainDown_ = false;
  int8_t pendingRelease_[128];
  std::atomic<int32_t> learnTarget_{-1};

  std::vector<PlugProgram> programs_;
  std::vector<uint8_t> chunk_;  // what getChunk handed the host; valid until its next call

  // The program guard: the holding thread, how often it took the guard, and a MIDI program change that found the
  // guard taken (-1: none; audio thread only).
  std::atomic<std::thread::id> programsOwner_{};
  int32_t programsDepth_ = 0;
  int32_t pendingProgram_ = -1;
};

}  // namespace PlugCore
