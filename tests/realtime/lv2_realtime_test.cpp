// Koralin.lv2's run() through the binary's own descriptor, as a host loads it: after a warm-up, no run (port
// changes, MIDI of every kind at its frames, other atoms, a block longer than the longest, blocks of 0 and 1 frame)
// allocates, frees, locks, waits or touches a file.
#include <gtest/gtest.h>
#include <dlfcn.h>
#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/core/lv2.h>
#include <lv2/midi/midi.h>
#include <lv2/options/options.h>
#include <lv2/urid/urid.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "plugin/lv2/bundle.h"
#include "rt_expect.h"
#include "tests/lv2/urid_map.h"

namespace {

constexpr int32_t kMaxBlock = 256;

// The host's URID map; only instantiate calls it.
using Lv2Test::mapUri;

struct Host {
  LV2_URID_Map map{nullptr, mapUri};
  int32_t maxBlock = kMaxBlock;
  LV2_Options_Option options[2] = {{LV2_OPTIONS_INSTANCE, 0, mapUri(nullptr, LV2_BUF_SIZE__maxBlockLength),
                                    sizeof(int32_t), mapUri(nullptr, LV2_ATOM__Int), &maxBlock},
                                   {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr}};
  LV2_Feature mapFeature{LV2_URID__map, &map}, optionsFeature{LV2_OPTIONS__options, options};
  const LV2_Feature* features[3] = {&mapFeature, &optionsFeature, nullptr};
  const LV2_URID midi = mapUri(nullptr, LV2_MIDI__MidiEvent), other = mapUri(nullptr, LV2_ATOM__Float);
  const LV2_URID sequenceType = mapUri(nullptr, LV2_ATOM__Sequence);

  uint64_t sequence[4096] = {};
  float left[4 * kMaxBlock] = {}, right[4 * kMaxBlock] = {};
  float controls[KoralinLv2::Port::kCount] = {};
  bool finite = true;

  LV2_Atom_Sequence* seq() { return reinterpret_cast<LV2_Atom_Sequence*>(sequence); }
  void clear() {
    seq()->atom.type = sequenceType;
    seq()->atom.size = sizeof(LV2_Atom_Sequence_Body);
    seq()->body = {0, 0};
  }
  void add(int64_t frame, LV2_URID type, std::initializer_list<uint8_t> bytes) {
    uint8_t* at = reinterpret_cast<uint8_t*>(sequence) + sizeof(LV2_Atom) + seq()->atom.size;
    LV2_Atom_Event e;
    e.time.frames = frame;
    e.body = {(uint32_t)bytes.size(), type};
    std::memcpy(at, &e, sizeof(e));
    std::memcpy(at + sizeof(e), bytes.begin(), bytes.size());
    seq()->atom.size += (uint32_t)(sizeof(LV2_Atom_Event) + ((bytes.size() + 7) & ~size_t(7)));
  }
  void run(const LV2_Descriptor* d, LV2_Handle h, const char* step, uint32_t frames) {
    rtWatchStep(step);
    d->run(h, frames);
    for (uint32_t i = 0; i < frames; ++i) finite = finite && std::isfinite(left[i]) && std::isfinite(right[i]);
    clear();
  }
  // One pass over everything run handles.
  void pass(const LV2_Descriptor* d, LV2_Handle h, int round) {
    rtWatchStep("ports changed, MIDI of every kind, other atoms");
    for (int32_t i = 0; i < KoralinParams::kCount; ++i)
      controls[KoralinLv2::Port::param(i)] = (float)KoralinParams::plainOf(i, (float)((round * 7 + i) % 10) / 10.0f);
    add(0, midi, {0x90, 36, 120});
    add(10, midi, {0xB0, 74, 90});   // learnt: the cutoff
    add(20, midi, {0xB0, 64, 127});  // the pedal
    add(30, other, {0, 0, 128, 63});
    add(40, midi, {0xE0, 0, 90});
    add(50, midi, {0xC0, 3});  // a program change
    add(60, midi, {0xF0, 1, 2, 0xF7});
    add(70, midi, {0x80, 36, 0});
    add(80, midi, {0xB0, 64, 0});
    add(kMaxBlock - 1, midi, {0x91, 40, 90});
    run(d, h, "a block with events", kMaxBlock);
    add(5, midi, {0x90, 43, 100});
    add(3 * kMaxBlock + 2, midi, {0x80, 43, 0});
    run(d, h, "a block longer than the longest, cut", 3 * kMaxBlock + 7);
    run(d, h, "a block of no frames", 0);
    add(0, midi, {0x90, 45, 60});
    run(d, h, "a one-frame block", 1);
  }
};

TEST(RealTime, Lv2RunNeitherAllocatesNorLocksNorWaits) {
  void* binary = dlopen(KORALIN_LV2_BINARY, RTLD_NOW | RTLD_LOCAL);
  ASSERT_TRUE(binary) << dlerror();
  auto entry = reinterpret_cast<LV2_Descriptor_Function>(dlsym(binary, "lv2_descriptor"));
  ASSERT_TRUE(entry);
  const LV2_Descriptor* d = entry(0);
  ASSERT_TRUE(d);
  Host host;
  LV2_Handle h = d->instantiate(d, 44100, KORALIN_LV2_BUNDLE "/", host.features);
  ASSERT_TRUE(h);
  d->connect_port(h, KoralinLv2::Port::kEvents, host.sequence);
  d->connect_port(h, KoralinLv2::Port::kLeft, host.left);
  d->connect_port(h, KoralinLv2::Port::kRight, host.right);
  for (uint32_t p = KoralinLv2::Port::kFirstParam; p < KoralinLv2::Port::kCount; ++p)
    d->connect_port(h, p, &host.controls[p]);
  host.clear();
  d->activate(h);
  host.pass(d, h, 0);  // the warm-up: whatever is made once is made now

  rtWatchBegin();
  for (int round = 1; round <= 20; ++round) host.pass(d, h, round);
  const RtWatchReport audio = rtWatchEnd();
  EXPECT_TRUE(host.finite);

  // The watch itself: activating again allocates (prepare) and takes the process lock.
  rtWatchBegin();
  rtWatchStep("deactivate and activate");
  d->deactivate(h);
  d->activate(h);
  const RtWatchReport control = rtWatchEnd();
  d->deactivate(h);
  d->cleanup(h);

  if (!RT_WATCH_AVAILABLE) GTEST_SKIP() << "a sanitizer runtime owns malloc and the lock functions: not counted";
  expectNothingWatchedOnTheAudioSide(audio, control, "binary", "instrument");
}

}  // namespace
