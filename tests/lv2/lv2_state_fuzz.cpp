// libFuzzer target: any bytes a session file may hand back as Koralin.lv2's state property, restored through the
// plug-in's state interface. A refused state changes nothing (the saved chunk and the outputs stay as they were);
// a restored one saves and restores again to the same bytes; either way the instance still plays a finite,
// bounded note and every output port stays in its parameter's range.
#include <lv2/atom/atom.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "plugin/lv2/plugin.h"
#include "tests/fuzz/fuzz_require.h"
#include "tests/lv2/urid_map.h"

namespace {

using Bytes = std::vector<uint8_t>;
using FuzzRig::require;

constexpr uint32_t kBlock = 128;

using Lv2Test::mapUri;

struct Rig {
  LV2_URID_Map map{nullptr, mapUri};
  LV2_Feature mapFeature{LV2_URID__map, &map};
  const LV2_Feature* features[2] = {&mapFeature, nullptr};
  const LV2_Descriptor* d = KoralinLv2::descriptor();
  const LV2_State_Interface* state = static_cast<const LV2_State_Interface*>(d->extension_data(LV2_STATE__interface));
  LV2_Handle h = d->instantiate(d, 44100, "", features);
  const LV2_URID key = mapUri(nullptr, KoralinLv2::kStateKey), chunk = mapUri(nullptr, LV2_ATOM__Chunk);
  uint64_t sequence[256] = {};
  float left[kBlock] = {}, right[kBlock] = {}, controls[KoralinLv2::Port::kCount] = {};
  const Bytes* restoring = nullptr;
  Bytes saved;

  Rig() {
    require(h && state, "the plug-in is made and has its state interface");
    d->connect_port(h, KoralinLv2::Port::kEvents, sequence);
    d->connect_port(h, KoralinLv2::Port::kLeft, left);
    d->connect_port(h, KoralinLv2::Port::kRight, right);
    for (int32_t i = 0; i < KoralinParams::kCount; ++i)
      controls[KoralinLv2::Port::param(i)] = (float)KoralinParams::defaultPlain(i);
    for (uint32_t p = KoralinLv2::Port::kFirstParam; p < KoralinLv2::Port::kCount; ++p)
      d->connect_port(h, p, &controls[p]);
    clearSequence();
    d->activate(h);
  }
  void clearSequence() {
    auto* seq = reinterpret_cast<LV2_Atom_Sequence*>(sequence);
    seq->atom = {sizeof(LV2_Atom_Sequence_Body), mapUri(nullptr, LV2_ATOM__Sequence)};
    seq->body = {0, 0};
  }
  Bytes save() {
    saved.clear();
    state->save(
        h,
        [](LV2_State_Handle self, uint32_t, const void* value, size_t size, uint32_t, uint32_t) {
          auto* rig = static_cast<Rig*>(self);
          rig->saved.assign(static_cast<const uint8_t*>(value), static_cast<const uint8_t*>(value) + size);
          return LV2_STATE_SUCCESS;
        },
        this, LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, features);
    return saved;
  }
  LV2_State_Status restore(const Bytes& bytes) {
    restoring = &bytes;
    return state->restore(
        h,
        [](LV2_State_Handle self, uint32_t k, size_t* size, uint32_t* type, uint32_t* flags) -> const void* {
          auto* rig = static_cast<Rig*>(self);
          if (k != rig->key) return nullptr;
          *size = rig->restoring->size();
          *type = rig->chunk;
          *flags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
          return rig->restoring->data();
        },
        this, 0, features);
  }
  // A note from the first frame, and one block rendered.
  void playNote(uint8_t note) {
    auto* seq = reinterpret_cast<LV2_Atom_Sequence*>(sequence);
    LV2_Atom_Event e{};
    e.body = {3, mapUri(nullptr, "http://lv2plug.in/ns/ext/midi#MidiEvent")};
    const uint8_t bytes[8] = {0x90, note, 110};
    std::memcpy(reinterpret_cast<uint8_t*>(sequence) + sizeof(LV2_Atom) + seq->atom.size, &e, sizeof(e));
    std::memcpy(reinterpret_cast<uint8_t*>(sequence) + sizeof(LV2_Atom) + seq->atom.size + sizeof(e), bytes, 8);
    seq->atom.size += sizeof(e) + 8;
    d->run(h, kBlock);
    clearSequence();
    for (uint32_t i = 0; i < kBlock; ++i)
      require(std::isfinite(left[i]) && std::fabs(left[i]) <= 8.0f && std::memcmp(&left[i], &right[i], 4) == 0,
              "every sample is finite, bounded and the same on both channels");
    for (int32_t i = 0; i < KoralinParams::kCount; ++i) {
      const float now = controls[KoralinLv2::Port::now(i)];
      const KoralinParams::Param& p = KoralinParams::param(i);
      require(now >= p.minimum && now <= p.maximum, "every output port lies in its parameter's range");
    }
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Rig& rig = *new Rig;  // one instance: making one copies megabytes of tables
  static const Bytes start = rig.save();
  require(rig.restore(start) == LV2_STATE_SUCCESS, "the starting state restores");
  rig.d->run(rig.h, 1);  // the ports as they stand count as seen
  const Bytes before = rig.save();
  float shown[KoralinParams::kCount];
  for (int32_t i = 0; i < KoralinParams::kCount; ++i) shown[i] = rig.controls[KoralinLv2::Port::now(i)];

  const Bytes input(data, data + size);
  const LV2_State_Status status = rig.restore(input);
  if (status == LV2_STATE_SUCCESS) {
    const Bytes after = rig.save();
    require(rig.restore(after) == LV2_STATE_SUCCESS, "a state the plug-in saved restores");
    require(rig.save() == after, "and saves to the same bytes again");
  } else {
    require(rig.save() == before, "a refused state changes nothing in the saved chunk");
    rig.d->run(rig.h, 0);
    for (int32_t i = 0; i < KoralinParams::kCount; ++i)
      require(std::memcmp(&shown[i], &rig.controls[KoralinLv2::Port::now(i)], 4) == 0,
              "a refused state changes no value");
  }
  rig.playNote((uint8_t)(36 + size % 32));
  return 0;
}
