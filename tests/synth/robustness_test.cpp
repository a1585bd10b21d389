// The engine at its edges: every note, bend and parameter extreme at every rate, long silences, no allocation,
// and the fast engine against the plain one, bit for bit.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "alloc_counter.h"
#include "engine_rig.h"
#include "plain_engine.h"
#include "synth/oscillator.h"

namespace {

struct FastEngine {
  std::unique_ptr<Synth::Oscillator> osc = std::make_unique<Synth::Oscillator>();
  std::unique_ptr<Synth::FilterSection> filter = std::make_unique<Synth::FilterSection>();
  EngineRig<Synth::Oscillator, Synth::FilterSection> rig;
  FastEngine(double fs, int32_t block) : rig(*osc, *filter, block) {
    osc->prepare(fs);
    filter->prepare(fs);
    osc->reset();
    filter->reset();
  }
};

struct PlainEngine {
  Plain::Oscillator osc;
  std::unique_ptr<Plain::FilterSection> filter = std::make_unique<Plain::FilterSection>();
  EngineRig<Plain::Oscillator, Plain::FilterSection> rig;
  PlainEngine(const Synth::Oscillator& tables, double fs, int32_t block) : osc(tables), rig(osc, *filter, block) {
    osc.prepare(fs);
    filter->prepare(fs);
  }
};

// Peak of the absolute value; fails the test at the first value that is not finite.
double checkedPeak(const std::vector<double>& out, const char* what) {
  double peak = 0.0;
  for (size_t i = 0; i < out.size(); ++i) {
    EXPECT_TRUE(std::isfinite(out[i])) << what << " at " << i;
    if (!std::isfinite(out[i])) return INFINITY;
    peak = std::max(peak, std::fabs(out[i]));
  }
  return peak;
}

}  // namespace

TEST(EngineFastPath, MatchesThePlainEngineBitForBitOverTheAcidPattern) {
  // The instrument's interleaved path at two rates, and the two-pass path (oscillator, then filter section).
  const struct {
    double fs, seconds;
    bool interleaved;
  } runs[] = {{44100.0, 20.0, true}, {96000.0, 5.0, true}, {96000.0, 5.0, false}};
  for (const auto& [fs, seconds, interleaved] : runs) {
    const std::vector<Acid::Event> events = Acid::pattern(fs, seconds);
    const int64_t total = (int64_t)(fs * seconds);
    FastEngine fast(fs, 256);
    fast.rig.interleaved = interleaved;
    PlainEngine plain(*fast.osc, fs, 256);
    fast.rig.bend = plain.rig.bend = 0.3;  // a bend that is not a whole semitone
    const std::vector<double> a = fast.rig.play(events, total, 256);
    const std::vector<double> b = plain.rig.play(events, total, 256);
    ASSERT_EQ(a.size(), b.size());
    size_t firstDiff = a.size();
    for (size_t i = 0; i < a.size() && firstDiff == a.size(); ++i)
      if (std::memcmp(&a[i], &b[i], sizeof(double)) != 0) firstDiff = i;
    EXPECT_EQ(firstDiff, a.size()) << "at " << fs << " Hz, interleaved " << interleaved;
    EXPECT_GT(checkedPeak(a, "acid"), 0.05);  // and it is not silence that matched
  }
}

TEST(EngineExtremes, EveryNoteBendAndParameterCornerAtEveryRateStaysFiniteAndBounded) {
  for (double fs : {8000.0, 22050.0, 44100.0, 96000.0, 192000.0}) {
    FastEngine e(fs, 512);
    std::vector<double> out;
    const int32_t noteFrames = (int32_t)(0.05 * fs);
    // Note n plays with the parameter corner whose bits are n: all 128 corners, all 128 notes.
    for (int32_t n = 0; n < 128; ++n) {
      for (int32_t p = 0; p < 7; ++p) e.rig.params[p] = (n >> p) & 1 ? 1.0f : 0.0f;
      e.rig.bend = n % 2 ? 2.0 : -2.0;
      e.rig.noteOn(n, n % 3 ? 127 : 64);
      std::vector<double> piece((size_t)noteFrames);
      for (int32_t done = 0; done < noteFrames; done += 512)
        e.rig.render(piece.data() + done, std::min(512, noteFrames - done));
      if (n % 4 == 3) e.rig.noteOff(n);
      out.insert(out.end(), piece.begin(), piece.end());
    }
    EXPECT_LT(checkedPeak(out, "corners"), 8.0) << fs;
  }
}

TEST(EngineExtremes, BendFarAboveTheTickRateStaysFiniteAndCheap) {
  // A bend range of 127 semitones at full bend: many wraps per tick without the increment cap.
  FastEngine e(8000.0, 512);
  e.rig.bend = 128.27;
  e.rig.params[0] = 1.0f;
  e.rig.noteOn(127, 127);
  std::vector<double> out(8000);
  for (int32_t done = 0; done < 8000; done += 512) e.rig.render(out.data() + done, std::min(512, 8000 - done));
  EXPECT_LT(checkedPeak(out, "bend"), 8.0);
}

TEST(EngineSilence, LongSilenceHasNoDenormalsAndFadesFarBelowHearing) {
  FastEngine e(44100.0, 441);
  e.rig.noteOn(40, 127);
  std::vector<double> out(44100 * 30);
  for (size_t done = 0; done < out.size(); done += 441) {
    if (done == 4410) e.rig.noteOff(40);
    e.rig.render(out.data() + done, 441);
  }
  size_t subnormals = 0;
  for (double s : out) subnormals += std::fpclassify(s) == FP_SUBNORMAL;
  EXPECT_EQ(subnormals, 0u);
  EXPECT_GT(checkedPeak(std::vector<double>(out.begin(), out.begin() + 4410), "note"), 0.01);
  const std::vector<double> tail(out.end() - 44100, out.end());
  EXPECT_LT(checkedPeak(tail, "tail"), 1e-100);  // still decaying, in normal numbers, toward zero
}

TEST(EngineRealtime, RenderAndResetAllocateNothing) {
  if (!AllocCounter::kAvailable) GTEST_SKIP() << "allocation counting needs the plain operator new";
  FastEngine e(44100.0, 512);
  const std::vector<Acid::Event> events = Acid::pattern(44100.0, 2.0);
  std::vector<double> out(512);
  AllocCounter::Scope scope;
  size_t next = 0;
  for (int64_t pos = 0; pos < 88200; pos += 512) {
    while (next < events.size() && events[next].frame <= pos) e.rig.apply(events[next++]);
    e.rig.render(out.data(), 512);
  }
  e.osc->reset();
  e.filter->reset();
  EXPECT_EQ(scope.allocations(), 0);
}
