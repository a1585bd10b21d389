// koralin's JACK engine in this process on a dummy server, its process callback watched by the real-time watch:
// MIDI of every kind from the probe, the ALSA inbox filled from another thread, a program change, then a new sample
// rate told as JACK tells it while the server runs, which the main thread takes up without the audio side waiting.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <thread>

#include "jack_rig.h"
#include "plugin/standalone/jack_engine.h"
#include "tests/realtime/rt_expect.h"

namespace StandaloneTest {
namespace {

int watchedProcess(jack_nframes_t frames, void* engine) {
  rtWatchMark(1);
  const int result = Standalone::JackEngine::process(frames, engine);
  rtWatchMark(0);
  return result;
}

// Every kind of message the port may carry, a held note last; the probe plays them in real time.
std::vector<TimedMidi> everyKind(uint32_t at, int note) {
  std::vector<TimedMidi> events = {{at, {0xB0, 64, 127}, 3},
                                   {at + 10, {0x90, 40, 120}, 3},
                                   {at + 300, {0xE0, 0, 80}, 3},
                                   {at + 400, {0xB0, 74, 20}, 3},
                                   {at + 500, {0xD0, 90, 0}, 2},
                                   {at + 600, {0xF8, 0, 0}, 1},
                                   {at + 700, {0xC0, 5, 0}, 2},
                                   {at + 900, {0xB0, 64, 0}, 3},
                                   {at + 910, {0xE0, 0, 64}, 3},
                                   {at + 1000, {0x80, 40, 0}, 3},
                                   {at + 1200, {0x90, (uint8_t)note, 100}, 3}};
  return events;
}

TEST(StandaloneEngine, ProcessKeepsTheRealTimeContractAndANewRateIsTakenUpWhileJackRuns) {
  JackServer server(48000, 256);
  ASSERT_TRUE(server.up()) << server.log();
  setenv("JACK_DEFAULT_SERVER", server.name().c_str(), 1);
  Embed::Instance::StartOptions factory;
  factory.userDefaults = false;
  std::unique_ptr<Embed::Instance> instance = Embed::Instance::create("Koralin engine test", nullptr, factory);
  ASSERT_TRUE(instance);
  Standalone::JackEngine engine(*instance);
  std::string detail;
  ASSERT_EQ(engine.open("engine-under-test", true, detail), Standalone::JackEngine::OpenResult::Opened) << detail;
  jack_set_process_callback(engine.client(), &watchedProcess, &engine);
  ASSERT_TRUE(engine.activate(detail)) << detail;

  const int note = 57;
  const size_t frames = 24000;
  auto playAndHear = [&](const char* step) {
    Probe probe(server, frames);
    EXPECT_TRUE(probe.ok() && probe.connectTo("engine-under-test"));
    const uint32_t start = probe.now() + 4800;
    probe.arm(everyKind(start, note), start);
    rtWatchStep(step);
    // The ALSA sequencer's thread meanwhile: stamped messages (controllers nobody learnt) through the inbox.
    std::thread alsa([&] {
      for (int i = 0; i < 200; ++i) {
        const uint8_t bytes[3] = {0xB0, 20, (uint8_t)(i & 0x7F)};
        engine.inbox().push(engine.frameTime(), bytes, 3);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    });
    EXPECT_TRUE(probe.waitRecorded(5000));
    alsa.join();
    return hear(probe.left, 12000, frames, 48000);  // the held note, in the program change's "Slow Drift"
  };
  playAndHear("warm-up");
  rtWatchBeginMarked();
  const HeardNote at48 = playAndHear("events of every kind, at the server's rate");
  engine.sampleRateChanged(96000);  // what JACK's notification does
  EXPECT_TRUE(engine.service());
  const HeardNote at96 = playAndHear("the same after the instrument took up twice the rate");
  const RtWatchReport audio = rtWatchEnd();

  // The instrument now renders for 96 kHz while the server plays 48 kHz: the same note an octave down.
  EXPECT_LT(std::fabs(semitonesFrom(at48.hz, note)), kInTune) << at48.hz << " Hz";
  EXPECT_LT(std::fabs(semitonesFrom(at96.hz, note - 12)), kInTune) << at96.hz << " Hz";
  EXPECT_EQ(engine.activationsBegun(), 2u);

  // The watch itself: marked, the main thread's activation allocates and takes the process lock.
  rtWatchBeginMarked();
  rtWatchMark(1);
  instance->deactivate();
  instance->activate(44100, 512);
  rtWatchMark(0);
  const RtWatchReport control = rtWatchEnd();
  engine.close();
  if (!RT_WATCH_AVAILABLE) GTEST_SKIP() << "a sanitizer runtime owns malloc and the lock functions: not counted";
  expectNothingWatchedOnTheAudioSide(audio, control, "instrument", "instrument");
}

}  // namespace
}  // namespace StandaloneTest
