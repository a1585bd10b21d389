// Embed::Instance: one Koralin made by the entry point every format shares (PlugCore::pluginEntry, linked in) and
// driven through its AEffect alone, with the host callback answered here. The LV2, CLAP and standalone bindings sit
// on it; each translates its format's calls into these and nothing else.
//
// Threads. Three sides call an instance, and each call below belongs to one of them:
// - The main side (the format's main or instantiation thread): create and destroy, activate and deactivate,
//   programs, saveState and loadState, setListener. Loading a state or choosing a program may happen while the audio
//   side processes: the core guards its programs and values for that.
// - The audio side: the events of the next block, setTransport, setParameter, reset, process and emitChanges. Only
//   one thread at a time: the audio thread while processing runs, otherwise the thread the format lets stand in for
//   it (CLAP's flush on the main thread while the plug-in is inactive). It never allocates, locks, waits or does I/O;
//   neither does anything the instrument calls back from there (time info, the process level, updateDisplay).
// - The editor side (the UI thread, or a thread of the format's own): editorSize, openEditor, idleEditor,
//   closeEditor. The editor's gestures call the instrument on this thread, which calls back here.
// parameter() and takeDisplayChanged() may be called from any thread.
//
// How a value crosses from the editor's thread to the audio thread. A knob moved in the editor sets the
// instrument's value (a relaxed atomic the audio side reads at its next block) and calls back with begin edit,
// automate and end edit. Each callback goes two ways: to the Listener at once, on the editor's thread (LV2 writes
// the port there; CLAP asks its host for a flush), and into the GestureQueue, a preallocated lock-free queue that
// emitChanges drains on the audio side (CLAP turns the entries into gesture and value events in its next process or
// flush). No thread waits for another. If the queue fills up (nobody drained it for a thousand entries), values are
// dropped first, then whole gestures; the values are not lost, since emitChanges also compares every value with
// the audio side's shadow copy and reports what differs, and an end that did not fit is still delivered.
// Callbacks that come while the instrument is being made, or from the audio thread, reach neither the Listener nor
// the queue.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "instrument/koralin_params.h"
#include "plugin/embed/gesture_queue.h"
#include "plugin/embed/midi_event_list.h"
#include "vst/aeffect.h"

namespace Embed {

// What the instance tells its binding as it happens, on the thread where it happens (never the audio thread).
class Listener {
 public:
  // The instrument set a parameter as a host automates it: a gesture's values from the editor, a reset to the
  // default, and (as the core does it today) loaded chunks and factory settings. normalized as the instrument keeps
  // it; the parameter table turns it into plain units.
  virtual void automated(int32_t index, float normalized) = 0;
  virtual void editBegun(int32_t index) = 0;
  virtual void editEnded(int32_t index) = 0;
  // The editor asks for another size; true when the binding's host gave it.
  virtual bool editorResized(int32_t width, int32_t height) = 0;
  // Program names or the current program changed (a MIDI program change, a loaded state). From the audio thread
  // this only sets the flag that takeDisplayChanged() reads.
  virtual void displayChanged() = 0;

 protected:
  ~Listener() = default;
};

// What emitChanges hands the audio side, in order.
class ChangeSink {
 public:
  virtual void gestureBegin(int32_t index) = 0;
  virtual void value(int32_t index, float normalized) = 0;
  virtual void gestureEnd(int32_t index) = 0;

 protected:
  ~ChangeSink() = default;
};

// The host's transport at the first frame of the next block, as the binding's format gives it.
struct Transport {
  bool playing = false;
  bool changed = false;         // started, stopped or moved since the last block
  double samplePosition = 0.0;  // frames since the song's start
  bool hasTempo = false;
  double tempo = 120.0;  // beats per minute
  bool hasPosition = false;
  double quarters = 0.0;  // song position in quarter notes
};

// The answer to loadState: loaded, or refused with the reason and nothing changed.
struct StateLoad {
  bool loaded;
  const char* reason;  // null when loaded; otherwise the core's text ("Chunk appears corrupted.", ...)
};

class Instance {
 public:
  // Makes the instrument (its constructor calls back into the instance being made, routed here by thread) and opens
  // it. hostProduct is what the instrument reads as the host's product string ("Koralin LV2"). Null when the entry
  // point made no instrument (a processor without SSE2, a failure inside), after effClose of whatever it made.
  static std::unique_ptr<Instance> create(const char* hostProduct, Listener* listener = nullptr);
  // The same, with how it starts. userDefaults false: in the state of a user who never saved defaults (the
  // factory's programs, the product's defaults, no learnt controllers); its editor's menu still loads and saves the
  // defaults file.
  struct StartOptions {
    bool userDefaults = true;
  };
  static std::unique_ptr<Instance> create(const char* hostProduct, Listener* listener, const StartOptions& options);
  ~Instance();  // closes the editor, deactivates and closes the instrument (main side, editor closed or not)
  Instance(const Instance&) = delete;
  Instance& operator=(const Instance&) = delete;

  // --- Main side ---
  // Sample rate and the longest block first, then resume; false (and inactive) for a rate or size the core does not
  // render at (PlugCore::kMinSampleRate to kMaxSampleRate, 1 to kMaxBlockSize). Activating again deactivates first.
  bool activate(double sampleRate, int32_t maxFrames);
  void deactivate();
  bool active() const { return active_.load(std::memory_order_acquire); }
  double sampleRate() const { return sampleRate_; }
  int32_t maxFrames() const { return maxFrames_; }

  int32_t programCount() const { return effect_->numPrograms; }
  int32_t currentProgram() const;
  std::string programName(int32_t program) const;  // empty for a program that does not exist
  void selectProgram(int32_t program);

  // The whole state: the bank form of the chunk (programs and their names, current values, learnt controllers).
  std::vector<uint8_t> saveState() const;
  // Checks the chunk as the core reads it and refuses a damaged, foreign or later one before the instrument sees it,
  // so a refused state changes nothing and no box appears.
  StateLoad loadState(const void* data, size_t size);
  // Refusals the core reported instead of a box (a damaged defaults file while it was made, a chunk refused inside).
  int32_t refusals() const { return refusals_.load(std::memory_order_acquire); }

  // Replaces the listener; returns once no callback is still inside the old one. Never call it from a callback.
  void setListener(Listener* listener);

  // --- Audio side ---
  MidiEventList& events() { return events_; }
  void setTransport(const Transport& transport);
  // A value from the binding's host, normalized; not reported back by emitChanges.
  void setParameter(int32_t index, float normalized);
  // The next block starts with every note released and the voice and filters at rest.
  void reset() { resetPending_ = true; }
  // The process level the instrument reads during process: realtime, or offline for a host that renders offline.
  void setOffline(bool offline) { offline_ = offline; }
  // Renders frames into the two outputs (which may be the same buffer twice), cut at the events' frames exactly as
  // the VST 2.4 path cuts them; the events are consumed. Silence while inactive.
  void process(float* left, float* right, int32_t frames);
  // The editor's gestures in the order they happened, then every value the instrument changed itself since the last
  // call (a learnt controller, a MIDI program change, a loaded state, the editor when its gesture was dropped).
  void emitChanges(ChangeSink& sink);
  // Gestures that found the queue full: values dropped, and begins whose whole gesture was dropped.
  int64_t droppedGestures() const { return droppedGestures_.load(std::memory_order_relaxed); }

  // --- Any thread ---
  float parameter(int32_t index) const;
  bool takeDisplayChanged() { return displayChanged_.exchange(false, std::memory_order_acq_rel); }

  // --- Editor side ---
  bool hasEditor() const { return (effect_->flags & effFlagsHasEditor) != 0; }
  // The editor's size in window pixels, known before it opens: the panel's size times its scale.
  bool editorSize(int32_t& width, int32_t& height) const;
  // The scale the binding's host asks for (window pixels per unit, as LV2's ui:scaleFactor or CLAP's set_scale give
  // it; 0 for none), before the editor opens or while it is open. The editor draws at it unless the person chose a
  // size; while open it asks for its new size through the Listener's editorResized, and editorSize answers it.
  // False when the editor takes no scale.
  bool setEditorScale(double scale);
  // Opens the editor as a child of a native window (an X11 Window id, a Win32 HWND).
  bool openEditor(void* parent);
  // Lets the editor handle its window's events, timer and painting (on X11 nothing happens between idle calls).
  void idleEditor();
  void closeEditor();
  bool editorOpen() const { return editorOpen_.load(std::memory_order_acquire); }

  // The instrument's descriptor, for what a binding needs beyond these calls.
  AEffect* effect() const { return effect_; }
  intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr, float opt = 0.0f) const;

 private:
  explicit Instance(const char* hostProduct, Listener* listener);
  // Sets the instance this thread is making (callbacks without a routable AEffect go there); returns the last one.
  static Instance* swapMaking(Instance* instance);
  static intptr_t VSTCALLBACK hostCallback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                           float opt);
  intptr_t answer(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt);
  bool onAudioThread() const { return processThread_.load(std::memory_order_relaxed) == std::this_thread::get_id(); }
  void gesture(Gesture::Kind kind, int32_t index, float value);
  template <typename Call>
  void tellListener(Call&& call);
  intptr_t processLevel() const;

  AEffect* effect_ = nullptr;
  std::string hostProduct_;
  bool constructing_ = true;  // while the entry point runs (its thread only)

  // Main side.
  std::atomic<bool> active_{false};
  double sampleRate_ = 44100.0;
  int32_t maxFrames_ = 1024;
  std::atomic<int32_t> refusals_{0};

  // The listener, and how many callbacks are inside it.
  std::atomic<Listener*> listener_{nullptr};
  std::atomic<int32_t> listenerCalls_{0};

  // Audio side.
  MidiEventList events_;
  VstTimeInfo time_{};
  bool resetPending_ = false;
  bool offline_ = false;
  float shadow_[KoralinParams::kCount] = {};  // the values as last reported or set by the host
  std::atomic<std::thread::id> processThread_{};

  // Editor side to audio side.
  GestureQueue gestures_;
  std::atomic<bool> gestureLost_[KoralinParams::kCount] = {};  // its begin did not fit: drop the rest of it
  std::atomic<bool> endPending_[KoralinParams::kCount] = {};   // its end did not fit: emitChanges delivers it
  std::atomic<int64_t> droppedGestures_{0};

  std::atomic<bool> displayChanged_{false};
  std::atomic<bool> editorOpen_{false};
};

}  // namespace Embed
