// The processing frame: sub-blocks cut at event times, oversized calls, inputs, transport and lifecycle.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "recording_host.h"

namespace {

std::vector<int32_t> frameSizes(const Fake::TestPlug& plug) {
  std::vector<int32_t> sizes;
  for (const Fake::RenderCall& call : plug.renders) sizes.push_back(call.frames);
  return sizes;
}

TEST(Process, SubBlocksAreCutAtEventTimes) {
  Fake::TestPlug plug;
  Fake::start(plug, 64);
  Fake::EventList events;
  events.add(0, 0x90, 60, 100);   // before any audio
  events.add(10, 0x90, 62, 100);  // cuts at 10
  events.add(10, 0x80, 60, 0);    // same time, same group
  events.add(64, 0x80, 62, 0);    // at the block end: after the last sub-block
  Fake::run(plug, 64, events.get());
  EXPECT_EQ(frameSizes(plug), std::vector<int32_t>({10, 54}));
  ASSERT_EQ(plug.notes.size(), 4u);
  EXPECT_EQ(plug.notes[0].a, 60);
  EXPECT_EQ(plug.notes[3].kind, 'f');
  // The events are gone after the call.
  plug.notes.clear();
  Fake::run(plug, 64);
  EXPECT_TRUE(plug.notes.empty());
}

TEST(Process, EventsBeyondTheEndOrOutOfOrderAreHandledAtTheCurrentPosition) {
  Fake::TestPlug plug;
  Fake::start(plug, 64);
  Fake::EventList events;
  events.add(20, 0x90, 1, 100);
  events.add(5, 0x90, 2, 100);   // earlier than the one before: handled at 20, with it
  events.add(-3, 0x90, 3, 100);  // negative: same
  events.add(40, 0x90, 4, 100);
  events.add(500, 0x90, 5, 100);  // beyond the end
  events.add(90, 0x90, 6, 100);
  Fake::run(plug, 64, events.get());
  EXPECT_EQ(frameSizes(plug), std::vector<int32_t>({20, 20, 24}));
  ASSERT_EQ(plug.notes.size(), 6u);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(plug.notes[(size_t)i].a, i + 1);
}

TEST(Process, OversizedCallIsRenderedInPiecesWithEventsInPlace) {
  Fake::TestPlug plug;
  Fake::start(plug, 64);
  Fake::EventList events;
  events.add(100, 0x90, 60, 100);
  events.add(128, 0x80, 60, 0);
  std::vector<double> out = Fake::run(plug, 200, events.get());
  // Pieces of 64: [0,64) [64,100) [100,128) [128,192) [192,200)
  EXPECT_EQ(frameSizes(plug), std::vector<int32_t>({64, 36, 28, 64, 8}));
  for (double x : out) EXPECT_NE(x, 7.0);  // nothing of the host's buffer is left
  EXPECT_EQ(plug.notes.size(), 2u);
  // The float path cuts the same way.
  plug.renders.clear();
  std::vector<float> l(300, 7.0f), r(300, 7.0f), in(300, 0.0f);
  float* outputs[2] = {l.data(), r.data()};
  float* inputs[2] = {in.data(), in.data()};
  plug.processReplacing(inputs, outputs, 300);
  EXPECT_EQ(frameSizes(plug), std::vector<int32_t>({64, 64, 64, 64, 44}));
  EXPECT_EQ(l[299], 5.0f);
  EXPECT_EQ(r[299], -5.0f);
}

TEST(Process, AccumulatingCallAddsIntoTheHostBuffers) {
  Fake::TestPlug plug;
  Fake::start(plug, 16);
  std::vector<float> l(16, 1.0f), r(16, 1.0f), in(16, 0.0f);
  float* outputs[2] = {l.data(), r.data()};
  float* inputs[2] = {in.data(), in.data()};
  plug.process(inputs, outputs, 16);
  EXPECT_EQ(l[0], 2.0f);
  EXPECT_EQ(r[15], 0.0f);
}

TEST(Process, InputsAreCleanedBeforeTheEngineSeesThem) {
  Fake::TestPlug plug;
  Fake::start(plug, 8);
  std::vector<double> l(8), r(8), in(8, std::numeric_limits<double>::quiet_NaN());
  double* outputs[2] = {l.data(), r.data()};
  double* inputs[2] = {in.data(), in.data()};
  plug.processDoubleReplacing(inputs, outputs, 8);
  EXPECT_EQ(plug.renders.back().firstInput, 0.0);
  std::fill(in.begin(), in.end(), 1e12);
  plug.processDoubleReplacing(inputs, outputs, 8);
  EXPECT_EQ(plug.renders.back().firstInput, 1e10);
  std::fill(in.begin(), in.end(), -1e12);
  plug.processDoubleReplacing(inputs, outputs, 8);
  EXPECT_EQ(plug.renders.back().firstInput, -1e10);
}

TEST(Process, TransportFollowsTheHostOrItsOwnClock) {
  Fake::TestPlug plug;
  Fake::start(plug, 64);
  Fake::HostLog& log = Fake::hostLog();
  log.haveTime = true;
  log.time = VstTimeInfo{};
  log.time.flags = kVstTransportPlaying | kVstPpqPosValid | kVstTempoValid;
  log.time.tempo = 140.0;
  log.time.ppqPos = 8.0;
  log.time.samplePos = 1000.0;
  Fake::EventList events;
  events.add(32, 0x90, 60, 1);
  Fake::run(plug, 64, events.get());
  EXPECT_EQ(log.lastFilter, kVstTransportPlaying | kVstPpqPosValid | kVstTempoValid);
  ASSERT_EQ(plug.renders.size(), 2u);
  const PlugCore::TransportInfo& t0 = plug.renders[0].transport;
  const PlugCore::TransportInfo& t1 = plug.renders[1].transport;
  EXPECT_EQ(t0.tempo, 140.0);
  EXPECT_EQ(t0.ppqPosition, 8.0);
  EXPECT_EQ(t0.samplePosition, 1000.0);
  EXPECT_EQ(t0.sampleRate, 44100.0);
  EXPECT_DOUBLE_EQ(t0.beatsPerSample, 140.0 / (44100.0 * 60.0));
  EXPECT_DOUBLE_EQ(t0.seconds, 1000.0 / 44100.0);
  EXPECT_EQ(t1.samplePosition, 1032.0);
  EXPECT_DOUBLE_EQ(t1.ppqPosition, 8.0 + 32 * 140.0 / (44100.0 * 60.0));

  // Stopped host, engine returning false: positions fall back to 0 after the first such sub-block.
  log.time.flags = kVstTempoValid;
  plug.renderResult = false;
  plug.renders.clear();
  Fake::run(plug, 64, events.get());
  ASSERT_EQ(plug.renders.size(), 2u);
  EXPECT_EQ(plug.renders[1].transport.samplePosition, 0.0);
  EXPECT_EQ(plug.renders[1].transport.ppqPosition, 0.0);

  // No time info at all: 120 BPM.
  log.haveTime = false;
  plug.renders.clear();
  Fake::run(plug, 64);
  EXPECT_EQ(plug.renders[0].transport.tempo, 120.0);
}

TEST(Lifecycle, ResumePreparesOnlyAfterAChangeAndAlwaysResets) {
  Fake::TestPlug plug;
  Fake::start(plug, 64);
  EXPECT_EQ(plug.prepares, 1);
  EXPECT_EQ(plug.resets, 1);
  EXPECT_TRUE(plug.holdsProcessLock());
  EXPECT_FALSE(plug.tryProcessLock());  // held while resumed
  plug.suspend();
  EXPECT_FALSE(plug.holdsProcessLock());
  plug.resume();
  EXPECT_EQ(plug.prepares, 1);
  EXPECT_EQ(plug.resets, 2);
  plug.suspend();
  plug.setSampleRate(48000.0f);
  plug.resume();
  EXPECT_EQ(plug.prepares, 2);
  plug.suspend();
}

TEST(Lifecycle, SuspendWithoutResumeDoesNotInflateTheLock) {
  Fake::TestPlug plug;
  plug.suspend();
  plug.suspend();
  // The lock is free exactly once: the editor must not think processing stopped twice over.
  EXPECT_TRUE(plug.tryProcessLock());
  EXPECT_FALSE(plug.tryProcessLock());
  plug.releaseProcessLock();
  plug.resume();
  EXPECT_FALSE(plug.tryProcessLock());
  plug.suspend();
}

TEST(Lifecycle, NoRenderingUntilPreparedForAValidConfiguration) {
  Fake::TestPlug plug;
  // Never resumed: silence, the engine is not called.
  std::vector<double> out = Fake::run(plug, 32);
  for (double x : out) EXPECT_EQ(x, 0.0);
  EXPECT_TRUE(plug.renders.empty());

  for (float rate : {0.0f, -44100.0f, 1e12f, std::numeric_limits<float>::quiet_NaN()}) {
    plug.setSampleRate(rate);
    plug.setBlockSize(64);
    plug.resume();
    plug.suspend();
    EXPECT_EQ(plug.prepares, 0) << rate;
    Fake::run(plug, 32);
    EXPECT_TRUE(plug.renders.empty()) << rate;
  }
  plug.setSampleRate(44100.0f);
  for (int32_t size : {0, -5, 1 << 30}) {
    plug.setBlockSize(size);
    plug.resume();
    plug.suspend();
    EXPECT_EQ(plug.prepares, 0) << size;
    Fake::run(plug, 32);
    EXPECT_TRUE(plug.renders.empty()) << size;
  }
  // A larger block size set without a resume is not rendered into the old preparation.
  Fake::start(plug, 64);
  EXPECT_EQ(plug.prepares, 1);
  plug.setBlockSize(4096);
  out = Fake::run(plug, 2048);
  EXPECT_EQ(plug.renders.size(), 0u);
  for (double x : out) EXPECT_EQ(x, 0.0);
  plug.suspend();
}

// An engine that goes wrong: NaN, infinities and doubles beyond a float's range at chosen samples.
class WildPlug : public Fake::TestPlug {
 public:
  bool render(bool changed, const PlugCore::TransportInfo& t, double** in, double** out, int32_t frames) override {
    Fake::TestPlug::render(changed, t, in, out, frames);
    const double wild[] = {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                           -std::numeric_limits<double>::infinity(), 1e300};
    for (int32_t i = 0; i < frames && wildCalls > 0; i += 7) out[i % 2][i] = wild[(i / 7) % 4];
    if (wildCalls > 0) --wildCalls;
    return true;
  }
  int wildCalls = 0;
};

TEST(Process, NoSampleThatIsNotAFiniteNumberReachesTheHost) {
  WildPlug plug;
  Fake::start(plug, 64);
  for (int entry = 0; entry < 3; ++entry) {
    plug.wildCalls = 1;
    const int resets = plug.resets;
    const uint32_t silenced = plug.silencedCalls();
    std::vector<float> l(128, 0.5f), r(128, 0.5f);
    std::vector<double> ld(128), rd(128);
    float* outputs[2] = {l.data(), r.data()};
    double* outputsDouble[2] = {ld.data(), rd.data()};
    if (entry == 0) plug.processReplacing(nullptr, outputs, 128);  // two pieces: the first goes wrong
    if (entry == 1) plug.process(nullptr, outputs, 128);
    if (entry == 2) plug.processDoubleReplacing(nullptr, outputsDouble, 128);
    for (int i = 0; i < 128; ++i) {
      const double x = entry == 2 ? ld[(size_t)i] : l[(size_t)i], y = entry == 2 ? rd[(size_t)i] : r[(size_t)i];
      ASSERT_TRUE(std::isfinite(x) && std::isfinite(y)) << "entry " << entry << ", sample " << i;
      // What was wild is silence (added to the host's own 0.5 on the accumulating entry), except a huge but finite
      // double for a double host; the rest is the engine's.
      const double base = entry == 1 ? 0.5 : 0.0;
      const bool keptDouble = entry == 2 && (i / 7) % 4 == 3;
      if (i < 64 && i % 7 == 0) {
        EXPECT_EQ(i % 2 ? y : x, keptDouble ? 1e300 : base) << "entry " << entry << ", sample " << i;
      } else if (i >= 64) {
        EXPECT_NE(x, base) << "entry " << entry << ": the second piece is the engine's";
      }
    }
    EXPECT_EQ(plug.silencedCalls(), silenced + 1);
    EXPECT_EQ(plug.resets, resets + 1) << "the engine starts again from rest after it went wrong";
  }
}

TEST(Process, EventsAreHeldUpToTheCapacityAndAFreshListAfterSuspendOrResume) {
  Fake::TestPlug plug;
  Fake::start(plug, 64);
  Fake::EventList many, more;
  for (int i = 0; i < PlugCore::kEventCapacity - 10; ++i) many.add(i % 64, 0x90, (uint8_t)(i % 128), 100);
  for (int i = 0; i < 30; ++i) more.add(63, 0x80, (uint8_t)i, 0);
  plug.processEvents(many.get());
  plug.processEvents(more.get());  // joins the first: ten of it fit
  Fake::run(plug, 64);
  EXPECT_EQ(plug.notes.size(), (size_t)PlugCore::kEventCapacity);
  EXPECT_EQ(plug.droppedEvents(), 20u);
  EXPECT_EQ(plug.notes.back().kind, 'f');
  // What was sent before a suspend, or between a suspend and a resume, is gone with it.
  plug.notes.clear();
  plug.processEvents(many.get());
  plug.suspend();
  plug.processEvents(more.get());
  plug.resume();
  Fake::run(plug, 64);
  EXPECT_TRUE(plug.notes.empty());
  plug.suspend();
}

}  // namespace
