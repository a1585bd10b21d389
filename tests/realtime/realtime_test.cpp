// The audio thread's entry points through the real module and dispatcher: after a warm-up, no processing call,
// event list, parameter change, program change or reset allocates, frees, locks, waits or touches a file.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>

#include "host/lib/plugin_host.h"
#include "instrument/rest_query.h"
#include "rt_expect.h"

namespace {

constexpr int32_t kBlock = 512;

// A host's event list for one processing call, laid out as VstEvents with room for its own events.
struct EventList {
  int32_t numEvents = 0;
  intptr_t reserved = 0;
  VstEvent* events[24] = {};
  VstMidiEvent midi[24] = {};

  EventList& add(int32_t at, uint8_t status, uint8_t d1, uint8_t d2, int32_t type = kVstMidiType) {
    VstMidiEvent& e = midi[numEvents];
    e.type = type;
    e.byteSize = sizeof(VstMidiEvent);
    e.deltaFrames = at;
    e.midiData[0] = (char)status;
    e.midiData[1] = (char)d1;
    e.midiData[2] = (char)d2;
    events[numEvents] = reinterpret_cast<VstEvent*>(&e);
    ++numEvents;
    return *this;
  }
  VstEvents* get() { return reinterpret_cast<VstEvents*>(this); }
};

// Everything one pass sends, made before the watch starts; every call of a pass reaches the plug-in only.
struct Script {
  EventList notes, pedal, bend, controllers, programs, resets, messy, late, allSoundOff, wake;
  float out[2][2 * kBlock];
  double outDouble[2][2 * kBlock];
  bool finite = true;

  Script() {
    notes.add(0, 0x90, 36, 100).add(100, 0x91, 48, 120).add(200, 0x80, 36, 0).add(300, 0x90, 48, 0);
    pedal.add(0, 0xB0, 64, 127).add(10, 0x90, 40, 90).add(20, 0x80, 40, 30).add(30, 0x90, 40, 0);
    pedal.add(400, 0xB0, 64, 0);
    bend.add(0, 0xB0, 101, 0).add(0, 0xB0, 100, 0).add(0, 0xB0, 6, 12).add(0, 0xB0, 38, 50);
    bend.add(5, 0x90, 45, 110).add(50, 0xE0, 127, 127).add(300, 0xE0, 0, 0).add(400, 0xE5, 0, 64);
    controllers.add(10, 0xB0, 74, 127).add(20, 0xB0, 1, 64).add(30, 0xB0, 0, 5).add(40, 0xB0, 121, 0);
    controllers.add(50, 0xB3, 74, 0).add(60, 0xB0, 99, 3).add(70, 0xB0, 33, 9).add(80, 0xA0, 45, 9);
    programs.add(0, 0xC0, 3, 0).add(5, 0x90, 43, 80).add(200, 0xC0, 10, 0).add(400, 0xCF, 127, 0);
    resets.add(0, 0x90, 36, 127).add(128, 0xB0, 120, 0);
    for (uint8_t c = 123; c <= 127; ++c) resets.add(200 + c, 0xB0, c, 0);
    // Events a careless host sends: out of order, before the start, not MIDI, running status, system messages.
    messy.add(300, 0x90, 50, 90).add(100, 0x80, 50, 0).add(-5, 0x90, 52, 90).add(10, 0xF0, 1, 2, kVstSysExType);
    messy.add(20, 0x45, 1, 2).add(30, 0xF8, 0, 0).add(40, 0xFF, 0, 0);
    late.add(100, 0x90, 55, 100).add(kBlock, 0x80, 55, 0).add(kBlock + 50, 0x90, 57, 100).add(9999, 0xB0, 120, 0);
    allSoundOff.add(0, 0xB0, 120, 0);
    wake.add(100, 0x90, 40, 127).add(300, 0x80, 40, 0);
  }
};

void process(Host::PluginHost& host, Script& s, const char* step, EventList* events, int entry, int32_t frames) {
  AEffect* effect = host.effect();
  float* outs[2] = {s.out[0], s.out[1]};
  double* outsDouble[2] = {s.outDouble[0], s.outDouble[1]};
  rtWatchStep(step);
  if (events) effect->dispatcher(effect, effProcessEvents, 0, 0, events->get(), 0.0f);
  if (entry == 0) effect->processReplacing(effect, nullptr, outs, frames);
  else if (entry == 1) effect->process(effect, nullptr, outs, frames);
  else effect->processDoubleReplacing(effect, nullptr, outsDouble, frames);
  for (int c = 0; c < 2; ++c)
    for (int32_t i = 0; i < frames; ++i)
      s.finite = s.finite && std::isfinite(entry == 2 ? s.outDouble[c][i] : (double)s.out[c][i]);
}

bool resting(Host::PluginHost& host) {
  return host.dispatch(effVendorSpecific, KoralinQuery::kRestQueryIndex, KoralinQuery::kRestQueryValue) ==
         KoralinQuery::kRestQueryResting;
}

// Silent blocks, 93 ms at 44.1 kHz: the voice rests once a host has heard only zeros for 50 ms.
void comeToRest(Host::PluginHost& host, Script& s, int entry) {
  for (int i = 0; i < 8; ++i) process(host, s, "silence: the voice comes to rest", nullptr, entry, kBlock);
}

// One pass over every entry point the audio thread uses, with each kind of event they handle.
void playScript(Host::PluginHost& host, Script& s) {
  AEffect* effect = host.effect();
  for (int entry = 0; entry < 3; ++entry) {
    process(host, s, "notes", &s.notes, entry, kBlock);
    process(host, s, "sustain pedal", &s.pedal, entry, kBlock);
    process(host, s, "pitch bend and its range", &s.bend, entry, kBlock);
    process(host, s, "controllers, learnt and not", &s.controllers, entry, kBlock / 2);
    process(host, s, "MIDI program change", &s.programs, entry, kBlock);
    process(host, s, "reset and all-notes-off (120, 123-127)", &s.resets, entry, kBlock);
    process(host, s, "events out of order", &s.messy, entry, kBlock);
    process(host, s, "events at and past the end", &s.late, entry, kBlock);
    process(host, s, "a call longer than the block size", &s.notes, entry, 2 * kBlock);
    process(host, s, "a one-sample call", &s.pedal, entry, 1);
    process(host, s, "a call without samples", &s.bend, entry, 0);
    process(host, s, "a plain block", nullptr, entry, kBlock);
    process(host, s, "all sound off", &s.allSoundOff, entry, kBlock);
    comeToRest(host, s, entry);
    process(host, s, "a resting block", nullptr, entry, kBlock);
    process(host, s, "a block that wakes the resting voice", &s.wake, entry, kBlock);
    rtWatchStep("setParameter and getParameter (host automation)");
    for (int32_t i = -1; i <= effect->numParams; ++i) {
      for (float v : {0.0f, 1.0f, 0.37f, -1.0f, 2.0f}) effect->setParameter(effect, i, v);
      s.finite = s.finite && std::isfinite(effect->getParameter(effect, i));
    }
  }
}

TEST(RealTime, AudioThreadEntryPointsNeitherAllocateNorLockNorWait) {
  Host::PluginHost host(KORALIN_MODULE);
  host.start(44100.0f, kBlock);
  // Learnt controllers come with a preset: controller 74 moves the cutoff, 71 the resonance.
  std::vector<uint8_t> preset = host.getChunk(true);
  preset.insert(preset.end(), {1, 2, 74, 0xB0, 1, 3, 71, 0xB0});
  host.setChunk(preset, true);
  auto script = std::make_unique<Script>();
  playScript(host, *script);  // the warm-up: whatever is made once is made now

  host.dispatch(effEditIdle);  // whatever the warm-up left for the host to redisplay
  const int64_t callbacksBefore = host.callbacks;
  const int32_t askedBefore = host.timeQueries + host.processLevelQueries;
  const int32_t displayUpdatesBefore = host.updateDisplayCalls;
  rtWatchBegin();
  for (int pass = 0; pass < 20; ++pass) playScript(host, *script);
  const RtWatchReport audio = rtWatchEnd();
  EXPECT_TRUE(script->finite) << "a processing call gave a sample that is not finite";
  // The audio thread asks the host for time info (or the process level) and nothing else: the program changes it
  // played are told to the host once, by the next call from the host's own side.
  EXPECT_EQ(host.callbacks - callbacksBefore, host.timeQueries + host.processLevelQueries - askedBefore)
      << "host callbacks other than audioMasterGetTime from the audio thread";
  EXPECT_EQ(host.updateDisplayCalls, displayUpdatesBefore);
  host.dispatch(effGetProgram);
  EXPECT_EQ(host.updateDisplayCalls, displayUpdatesBefore + 1);

  // The rest question, a call of the host's side: asked after the blocks the script plays, resting and waking.
  process(host, *script, "all sound off", &script->allSoundOff, 0, kBlock);
  process(host, *script, "a block", nullptr, 0, kBlock);
  EXPECT_FALSE(resting(host)) << "the voice rests before a host has heard silence for a while";
  comeToRest(host, *script, 0);
  process(host, *script, "a resting block", nullptr, 0, kBlock);
  EXPECT_TRUE(resting(host)) << "the voice does not rest after all sound off";
  process(host, *script, "a block that wakes the resting voice", &script->wake, 0, kBlock);
  EXPECT_FALSE(resting(host)) << "the voice did not wake on a note";

  // The watch itself: suspending, a new block size and resuming allocate (prepare) and take the process lock.
  rtWatchBegin();
  rtWatchStep("suspend, new block size, resume");
  host.suspend();
  host.dispatch(effSetBlockSize, 0, 2 * kBlock);
  host.resume();
  const RtWatchReport control = rtWatchEnd();

  if (!RT_WATCH_AVAILABLE) GTEST_SKIP() << "a sanitizer runtime owns malloc and the lock functions: not counted";
  expectNothingWatchedOnTheAudioSide(audio, control, "module", "module");
}

}  // namespace
