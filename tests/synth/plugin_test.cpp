// The instrument as a host sees it: silence before the first note, two equal channels, block-size invariance,
// determinism, both precisions, and no allocation while rendering.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "alloc_counter.h"
#include "bench/acid_pattern.h"
#include "host/lib/plugin_host.h"

namespace {

constexpr float kRate = 44100.0f;

struct Rendered {
  std::vector<float> left, right;
};

// Plays the acid pattern for `seconds` in host blocks of `block` frames: parameters set between blocks, MIDI at
// its exact offsets.
Rendered playPattern(Host::PluginHost& host, int32_t block, double seconds) {
  const std::vector<Acid::Event> events = Acid::pattern(kRate, seconds, 441);
  const int64_t total = (int64_t)(kRate * seconds);
  Rendered r;
  size_t next = 0;
  std::vector<float> l, rr;
  for (int64_t pos = 0; pos < total;) {
    const int32_t n = (int32_t)std::min<int64_t>(block, total - pos);
    std::vector<Host::MidiMessage> midi;
    for (; next < events.size() && events[next].frame < pos + n; ++next) {
      const Acid::Event& e = events[next];
      // Parameters change at multiples of 441 frames, which every block size here meets at a block start or
      // inside the block; applying them at the next block start would differ between sizes, so cut there.
      const int32_t at = (int32_t)std::max<int64_t>(e.frame - pos, 0);
      if (e.kind == Acid::Kind::Param) {
        if (at > 0) break;
        host.setParameter(e.index, e.value);
      } else {
        midi.push_back({at, (uint8_t)(e.kind == Acid::Kind::NoteOn ? 0x90 : 0x80), (uint8_t)e.index, (uint8_t)e.value});
      }
    }
    const int32_t cut = next < events.size() && events[next].kind == Acid::Kind::Param && events[next].frame < pos + n
                            ? (int32_t)(events[next].frame - pos)
                            : n;
    host.sendMidi(midi);
    host.renderFloat(l, rr, cut);
    r.left.insert(r.left.end(), l.begin(), l.end());
    r.right.insert(r.right.end(), rr.begin(), rr.end());
    pos += cut;
  }
  return r;
}

std::unique_ptr<Host::PluginHost> startedHost(int32_t block) {
  auto host = std::make_unique<Host::PluginHost>(KORALIN_MODULE);
  host->start(kRate, block);
  return host;
}

bool sameBits(const std::vector<float>& a, const std::vector<float>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

}  // namespace

TEST(KoralinPlugin, ExactSilenceBeforeTheFirstNoteThenSoundOnBothChannelsAlike) {
  auto host = startedHost(512);
  std::vector<float> l, r;
  host->renderFloat(l, r, 44100);
  for (size_t i = 0; i < l.size(); ++i) ASSERT_EQ(l[i], 0.0f) << i;
  const Rendered played = playPattern(*host, 512, 4.0);
  EXPECT_TRUE(sameBits(played.left, played.right));
  float peak = 0.0f;
  for (float s : played.left) peak = std::max(peak, std::fabs(s));
  EXPECT_GT(peak, 0.05f);
  EXPECT_LT(peak, 8.0f);
}

TEST(KoralinPlugin, HostBlockSizeNeverChangesTheOutput) {
  Rendered reference;
  for (int32_t block : {512, 1, 7, 64, 441, 4096}) {
    auto host = startedHost(block);
    const Rendered r = playPattern(*host, block, block == 1 ? 1.5 : 3.0);
    if (block == 512) {
      reference = r;
      continue;
    }
    std::vector<float> head(reference.left.begin(), reference.left.begin() + (ptrdiff_t)r.left.size());
    size_t diff = 0;
    while (diff < head.size() && diff < r.left.size() && head[diff] == r.left[diff]) ++diff;
    EXPECT_TRUE(sameBits(r.left, head)) << "block " << block << " first difference at " << diff << " of "
                                        << head.size();
  }
}

TEST(KoralinPlugin, SameHistorySameOutputAcrossInstances) {
  auto a = startedHost(256);
  auto b = startedHost(256);
  EXPECT_TRUE(sameBits(playPattern(*a, 256, 2.0).left, playPattern(*b, 256, 2.0).left));
  // Resume resets the voice but the random drift runs on; two instances with the same history still agree.
  for (auto* h : {a.get(), b.get()}) h->suspend(), h->resume();
  const Rendered again = playPattern(*a, 256, 2.0);
  EXPECT_TRUE(sameBits(again.left, playPattern(*b, 256, 2.0).left));
  float peak = 0.0f;
  for (float s : again.left) peak = std::max(peak, std::fabs(s));
  EXPECT_GT(peak, 0.05f);
}

TEST(KoralinPlugin, DoublePrecisionPathCarriesTheSameSignal) {
  auto f = startedHost(441);
  auto d = startedHost(441);
  const Rendered single = playPattern(*f, 441, 1.0);
  // The same events through processDoubleReplacing, one block of 441 at a time.
  const std::vector<Acid::Event> events = Acid::pattern(kRate, 1.0, 441);
  std::vector<double> left(441), right(441);
  double* outs[2] = {left.data(), right.data()};
  size_t next = 0;
  for (int64_t pos = 0; pos < 44100; pos += 441) {
    std::vector<Host::MidiMessage> midi;
    for (; next < events.size() && events[next].frame < pos + 441; ++next) {
      const Acid::Event& e = events[next];
      if (e.kind == Acid::Kind::Param) d->setParameter(e.index, e.value);
      else
        midi.push_back({(int32_t)(e.frame - pos), (uint8_t)(e.kind == Acid::Kind::NoteOn ? 0x90 : 0x80),
                        (uint8_t)e.index, (uint8_t)e.value});
    }
    d->sendMidi(midi);
    d->processDouble(nullptr, outs, 441);
    for (int i = 0; i < 441; ++i) {
      ASSERT_EQ((float)left[(size_t)i], single.left[(size_t)(pos + i)]) << pos + i;
      ASSERT_EQ(left[(size_t)i], right[(size_t)i]);
    }
  }
}

TEST(KoralinPlugin, RenderingAllocatesNothing) {
  if (!AllocCounter::kAvailable) GTEST_SKIP() << "allocation counting needs the plain operator new";
#if defined(_WIN32)
  GTEST_SKIP() << "a Windows DLL keeps its own operator new, out of the host's reach";
#endif
  auto host = startedHost(512);
  playPattern(*host, 512, 0.5);  // the host's own buffers are made now
  std::vector<float> l(512), r(512);
  float* outs[2] = {l.data(), r.data()};
  std::vector<Host::MidiMessage> notes = {{0, 0x90, 45, 120}, {100, 0x90, 57, 90}, {300, 0x80, 57, 0}};
  host->sendMidi(notes);
  AllocCounter::Scope scope;
  for (int i = 0; i < 200; ++i) host->processReplacing(nullptr, outs, 512);
  EXPECT_EQ(scope.allocations(), 0);
  // The counter does see the module's own allocations: a new block size makes prepare allocate.
  AllocCounter::Scope seen;
  host->suspend();
  host->dispatch(effSetBlockSize, 0, 1024);
  host->resume();
  EXPECT_GT(seen.allocations(), 0);
}
