// Koralin.clap as a strict host sees it: the scan, the descriptor against the extensions, audio at every rate and
// block size a host may ask for, host values fuzzed at their frames, every text read back, the defaults, state that
// is empty, random, damaged or read in small pieces, values the instrument changes itself, the factory programs
// through preset discovery, and host call orders; every call back checked for its thread.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <set>

#include "instrument/koralin_params.h"
#include "tests/clap/clap_host.h"

namespace ClapTest {
namespace {

constexpr uint32_t kSteps = KoralinParams::kSteps;

class Validator : public ::testing::Test {
 protected:
  void TearDown() override {
    for (const std::string& v : host.violations()) ADD_FAILURE() << "thread rule broken: " << v;
  }
  Module module{modulePath()};
  TestHost host;
};

// What a block's output must be: written, finite and never subnormal.
::testing::AssertionResult clean(const Plugin& p) {
  for (size_t i = 0; i < p.left.size(); ++i)
    for (float x : {p.left[i], p.right[i]}) {
      if (!std::isfinite(x)) return ::testing::AssertionFailure() << "sample " << i << " is " << x;
      if (x != 0.0f && std::fabs(x) < 1.17549435e-38f) return ::testing::AssertionFailure() << "subnormal at " << i;
    }
  return ::testing::AssertionSuccess();
}

// A block the plug-in processed: CONTINUE, or SLEEP (it ended at rest: silence until the next event).
bool processed(clap_process_status status) { return status == CLAP_PROCESS_CONTINUE || status == CLAP_PROCESS_SLEEP; }

bool silent(const Plugin& p) {
  for (size_t i = 0; i < p.left.size(); ++i)
    if (p.left[i] != 0.0f || p.right[i] != 0.0f) return false;
  return true;
}

float peakOf(const Plugin& p) {
  float peak = 0;
  for (size_t i = 0; i < p.left.size(); ++i) peak = std::max({peak, std::fabs(p.left[i]), std::fabs(p.right[i])});
  return peak;
}

TEST_F(Validator, ScanDescriptorAndExtensionsAgree) {
  // The scan's cost is a figure for the log (the first load in this process), not a limit.
  RecordProperty("scan_ms", std::to_string(module.loadMilliseconds));
  // init is counted: a second init and one deinit leave the module usable.
  Module second(modulePath());
  ASSERT_TRUE(module.entry().init(modulePath().c_str()));
  module.entry().deinit();
  EXPECT_EQ(module.factory().get_plugin_count(&module.factory()), 1u);
  EXPECT_EQ(module.factory().get_plugin_descriptor(&module.factory(), 1), nullptr);

  const clap_plugin_descriptor_t& d = module.descriptor();
  EXPECT_EQ(d.clap_version.major, 1u);
  EXPECT_STREQ(d.id, "com.quillmarsh.koralin");
  EXPECT_STREQ(d.name, "Koralin");
  EXPECT_STREQ(d.vendor, "Quillmarsh");
  EXPECT_STREQ(d.version, KORALIN_VERSION);
  EXPECT_TRUE(d.url && std::strncmp(d.url, "https://", 8) == 0) << d.url;
  std::set<std::string> features;
  for (const char* const* f = d.features; f && *f; ++f) {
    EXPECT_TRUE(**f) << "an empty feature";
    EXPECT_TRUE(features.insert(*f).second) << "twice: " << *f;
  }
  EXPECT_EQ(features, (std::set<std::string>{"instrument", "synthesizer", "mono"}));
  EXPECT_EQ(module.factory().create_plugin(&module.factory(), host.host(), "com.quillmarsh.other"), nullptr);
  EXPECT_EQ(module.entry().get_factory("clap.no-such-factory"), nullptr);
  EXPECT_NE(module.otherFactory<clap_preset_discovery_factory_t>(CLAP_PRESET_DISCOVERY_FACTORY_ID), nullptr);
  EXPECT_NE(module.otherFactory<clap_preset_discovery_factory_t>(CLAP_PRESET_DISCOVERY_FACTORY_ID_COMPAT), nullptr);

  // An instrument: notes in, audio out, nothing in.
  Plugin p(module, host);
  ASSERT_TRUE(p);
  EXPECT_STREQ(p.plugin()->desc->id, d.id);
  auto* audio = p.extension<clap_plugin_audio_ports_t>(CLAP_EXT_AUDIO_PORTS);
  auto* notes = p.extension<clap_plugin_note_ports_t>(CLAP_EXT_NOTE_PORTS);
  ASSERT_TRUE(audio && notes);
  EXPECT_EQ(audio->count(p.plugin(), true), 0u);
  ASSERT_EQ(audio->count(p.plugin(), false), 1u);
  clap_audio_port_info_t out{};
  ASSERT_TRUE(audio->get(p.plugin(), 0, false, &out));
  EXPECT_EQ(out.channel_count, 2u);
  EXPECT_STREQ(out.port_type, CLAP_PORT_STEREO);
  EXPECT_TRUE(out.flags & CLAP_AUDIO_PORT_IS_MAIN);
  EXPECT_FALSE(audio->get(p.plugin(), 1, false, &out));
  EXPECT_EQ(notes->count(p.plugin(), false), 0u);
  ASSERT_EQ(notes->count(p.plugin(), true), 1u);
  clap_note_port_info_t in{};
  ASSERT_TRUE(notes->get(p.plugin(), 0, true, &in));
  EXPECT_EQ(in.supported_dialects, CLAP_NOTE_DIALECT_CLAP | CLAP_NOTE_DIALECT_MIDI);
  EXPECT_EQ(in.preferred_dialect, CLAP_NOTE_DIALECT_MIDI);
  auto* latency = p.extension<clap_plugin_latency_t>(CLAP_EXT_LATENCY);
  ASSERT_TRUE(latency);
  EXPECT_EQ(latency->get(p.plugin()), 0u);
  auto* render = p.extension<clap_plugin_render_t>(CLAP_EXT_RENDER);
  ASSERT_TRUE(render);
  EXPECT_TRUE(render->set(p.plugin(), CLAP_RENDER_OFFLINE));
  EXPECT_TRUE(render->set(p.plugin(), CLAP_RENDER_REALTIME));
  EXPECT_FALSE(render->set(p.plugin(), 7));
  for (const char* id : {CLAP_EXT_GUI, CLAP_EXT_TIMER_SUPPORT, CLAP_EXT_PRESET_LOAD, CLAP_EXT_PRESET_LOAD_COMPAT})
    EXPECT_NE(p.extension<void>(id), nullptr) << id;
  EXPECT_EQ(p.extension<void>("clap.no-such-extension"), nullptr);
}

// A phrase of notes over frames: CLAP notes and MIDI alternately, legato pairs, accents.
void addPhrase(InputEvents& in, uint32_t frames, uint32_t step, uint32_t& held) {
  for (uint32_t at = step / 2, i = 0; at < frames; at += step, ++i) {
    const int16_t key = (int16_t)(36 + (i * 7) % 19);
    if (i % 2) in.add(noteEvent(at, CLAP_EVENT_NOTE_ON, key, (i % 3 ? 90 : 120) / 127.0));
    else in.add(midiEvent(at, 0x90, (uint8_t)key, i % 3 ? 90 : 120));
    if (held) in.add(midiEvent(at, 0x80, (uint8_t)held, 0));
    held = (uint32_t)key;
  }
}

TEST_F(Validator, AudioAtEveryRateAndBlockSize) {
  std::minstd_rand random(5);
  for (double rate : {1000.0, 8000.0, 44100.0, 48000.0, 96000.0, 192000.0, 384000.0, 768000.0}) {
    SCOPED_TRACE(testing::Message() << rate << " Hz");
    Plugin p(module, host);
    ASSERT_TRUE(p.activate(rate, 16384));
    uint32_t held = 0;
    float peak = 0;
    auto play = [&](uint32_t frames) {
      InputEvents in;
      addPhrase(in, frames, std::max<uint32_t>(frames / 3, 1), held);
      ASSERT_TRUE(processed(p.process(frames, in)));
      ASSERT_TRUE(clean(p));
      peak = std::max(peak, peakOf(p));
    };
    for (int b = 0; b < 600; ++b) play(1);
    for (int b = 0; b < 2; ++b) play(16384);
    std::uniform_int_distribution<uint32_t> size(1, 16384);
    for (uint32_t done = 0; done < 40000;) {
      const uint32_t n = size(random);
      play(n);
      done += n;
    }
    EXPECT_GT(peak, 1e-4f) << "it sounds";
    EXPECT_EQ(p.process(16385, InputEvents()), CLAP_PROCESS_ERROR) << "a block longer than activated for";
  }
  Plugin p(module, host);
  EXPECT_FALSE(p.activate(999, 512)) << "a rate the instrument does not render at";
  EXPECT_EQ(p.process(16, InputEvents()), CLAP_PROCESS_ERROR) << "processing while inactive";
}

// The same notes and host values at the same frames give the same samples whatever the blocks.
std::vector<float> renderInBlocks(const Module& module, TestHost& host, std::vector<uint32_t> sizes, uint32_t total) {
  Plugin p(module, host);
  EXPECT_TRUE(p.activate(48000, 4096));
  std::minstd_rand random(17);
  std::vector<Event> song;
  for (uint32_t at = 0; at < total; at += 1500) {
    song.push_back(paramEvent(at + 700, kCutoff, std::uniform_real_distribution<double>(0, 100)(random)));
    song.push_back(paramEvent(at + 701, kReso, std::uniform_real_distribution<double>(0, 100)(random)));
    song.push_back(midiEvent(at + 800, 0x90, (uint8_t)(30 + at / 1500 % 24), (uint8_t)(60 + at / 1500 % 67)));
    song.push_back(noteEvent(at + 1400, CLAP_EVENT_NOTE_OFF, (int16_t)(30 + at / 1500 % 24), 0.5));
  }
  std::vector<float> out;
  size_t next = 0;
  for (uint32_t pos = 0, b = 0; pos < total; ++b) {
    const uint32_t n = std::min(sizes[b % sizes.size()], total - pos);
    InputEvents in;
    for (; next < song.size() && song[next].header.time < pos + n; ++next) {
      Event e = song[next];
      e.header.time -= pos;
      in.add(e);
    }
    p.process(n, in);
    out.insert(out.end(), p.left.begin(), p.left.end());
    pos += n;
  }
  return out;
}

TEST_F(Validator, RandomBlockSizesGiveTheSameSamples) {
  constexpr uint32_t kTotal = 48000 * 3;
  const std::vector<float> fixed = renderInBlocks(module, host, {4096}, kTotal);
  std::vector<uint32_t> sizes;
  std::minstd_rand random(3);
  for (int i = 0; i < 500; ++i) sizes.push_back(std::uniform_int_distribution<uint32_t>(1, 4096)(random));
  const std::vector<float> varied = renderInBlocks(module, host, sizes, kTotal);
  ASSERT_EQ(fixed.size(), varied.size());
  size_t differ = 0;
  for (size_t i = 0; i < fixed.size(); ++i) differ += std::memcmp(&fixed[i], &varied[i], sizeof(float)) != 0;
  EXPECT_EQ(differ, 0u) << "samples that depend on the block size";
  EXPECT_GT(*std::max_element(fixed.begin(), fixed.end()), 0.05f);
}

TEST_F(Validator, FuzzedHostValuesAtTheirFrames) {
  Plugin p(module, host);
  ASSERT_TRUE(p.activate(44100, 2048));
  std::minstd_rand random(23);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
  const double wild[] = {-1e9, -13, -0.0, 0.49, 0.51, 100.0001, 1e300, NAN, INFINITY, -INFINITY};
  double last[KoralinParams::kCount];
  for (int32_t i = 0; i < KoralinParams::kCount; ++i) last[i] = p.value((clap_id)i);
  for (int b = 0; b < 400; ++b) {
    const uint32_t frames = (uint32_t)pick(1, 2048);
    std::vector<Event> events;
    for (int e = pick(0, 24); e > 0; --e) {
      const uint32_t at = (uint32_t)pick(0, (int)frames - 1);
      const clap_id id = (clap_id)pick(0, KoralinParams::kCount);  // kCount: no such parameter
      const KoralinParams::Param& info =
          KoralinParams::param(std::min<int32_t>((int32_t)id, KoralinParams::kCount - 1));
      const double v =
          pick(0, 5) ? info.minimum + (info.maximum - info.minimum) * pick(0, 1000) / 1000.0 : wild[pick(0, 9)];
      events.push_back(paramEvent(at, id, v));
      if (pick(0, 2) == 0)
        events.push_back(noteEvent(at, (uint16_t)pick(0, 2), (int16_t)pick(-1, 127), pick(0, 127) / 127.0));
      if (pick(0, 4) == 0)
        events.push_back(midiEvent(at, (uint8_t)(0xB0 | pick(0, 15)), (uint8_t)pick(0, 127), (uint8_t)pick(0, 127)));
    }
    std::stable_sort(events.begin(), events.end(), [](auto& a, auto& b) { return a.header.time < b.header.time; });
    InputEvents in;
    for (const Event& e : events) {
      in.add(e);
      if (e.header.type == CLAP_EVENT_PARAM_VALUE && e.param.param_id < (clap_id)KoralinParams::kCount &&
          std::isfinite(e.param.value)) {
        const int32_t i = (int32_t)e.param.param_id;
        last[i] = KoralinParams::plainOf(i, KoralinParams::normalizedOf(i, e.param.value));
      }
    }
    ASSERT_TRUE(processed(p.process(frames, in)));
    ASSERT_TRUE(clean(p)) << "block " << b;
    for (int32_t i = 0; i < KoralinParams::kCount; ++i) {
      ASSERT_EQ(p.value((clap_id)i), last[i]) << "parameter " << i << " after block " << b;
    }
  }
}

TEST_F(Validator, ParameterInfoDefaultsAndEveryTextReadBack) {
  Plugin p(module, host);
  ASSERT_EQ(p.params().count(p.plugin()), (uint32_t)KoralinParams::kCount);
  std::set<clap_id> ids;
  std::set<std::string> names;
  for (uint32_t n = 0; n < (uint32_t)KoralinParams::kCount; ++n) {
    clap_param_info_t info{};
    ASSERT_TRUE(p.params().get_info(p.plugin(), n, &info));
    SCOPED_TRACE(info.name);
    const KoralinParams::Param& table = KoralinParams::param((int32_t)info.id);
    EXPECT_TRUE(ids.insert(info.id).second && names.insert(info.name).second);
    EXPECT_STREQ(info.name, table.name);
    EXPECT_TRUE(info.flags & CLAP_PARAM_IS_AUTOMATABLE);
    const bool choice = table.unit == KoralinParams::Unit::Choice;
    EXPECT_EQ((info.flags & CLAP_PARAM_IS_STEPPED) != 0, choice);
    EXPECT_EQ((info.flags & CLAP_PARAM_IS_ENUM) != 0, choice);
    EXPECT_LT(info.min_value, info.max_value);
    EXPECT_TRUE(info.default_value >= info.min_value && info.default_value <= info.max_value);
    EXPECT_EQ(p.value(info.id), info.default_value) << "a new instance starts at the defaults";

    // Every step's text reads back as a value with the same text.
    const uint32_t steps = choice ? 1 : kSteps;
    for (uint32_t s = 0; s <= steps; ++s) {
      const double v = choice ? s : KoralinParams::plainOf((int32_t)info.id, KoralinParams::normalizedOfStep(s));
      const std::string text = p.text(info.id, v);
      double back = NAN;
      ASSERT_TRUE(p.params().text_to_value(p.plugin(), info.id, text.c_str(), &back)) << text;
      ASSERT_EQ(p.text(info.id, back), text) << "step " << s;
    }
    double ignored;
    EXPECT_FALSE(p.params().text_to_value(p.plugin(), info.id, "loud", &ignored));
    // A short buffer gets a terminated prefix.
    const std::string full = p.text(info.id, info.max_value);
    for (uint32_t capacity = 1; capacity < 6; ++capacity) {
      char text[8];
      std::memset(text, 'x', sizeof(text));
      ASSERT_TRUE(p.params().value_to_text(p.plugin(), info.id, info.max_value, text, capacity));
      EXPECT_EQ(std::string(text), full.substr(0, capacity - 1));
      EXPECT_EQ(text[capacity], 'x') << "written past the capacity";
    }
  }
  EXPECT_EQ(p.text(2, 56), "56 %");
  EXPECT_EQ(p.text(0, 1), "square");
  EXPECT_EQ(p.text(1, 3.5), "+3.50");
  clap_param_info_t none{};
  EXPECT_FALSE(p.params().get_info(p.plugin(), (uint32_t)KoralinParams::kCount, &none));
  double v;
  EXPECT_FALSE(p.params().get_value(p.plugin(), 99, &v));
  EXPECT_EQ(p.text(99, 0), "(none)");
}

bool load(const Plugin& p, std::vector<uint8_t> bytes, size_t piece = 0, int64_t failAt = -1) {
  InStream in(std::move(bytes), piece, failAt);
  return p.state().load(p.plugin(), in.stream());
}

TEST_F(Validator, StateRefusesWhatItCannotReadAndRoundTripsInPieces) {
  Plugin a(module, host), b(module, host);
  ASSERT_TRUE(a && b);
  InputEvents change;
  for (clap_id id = 0; id < (clap_id)KoralinParams::kCount; ++id)
    change.add(paramEvent(0, id, id == 1 ? -5.0 : 13.0 * id));
  a.flush(change, nullptr);
  const std::vector<uint8_t> saved = a.save();
  ASSERT_FALSE(saved.empty());
  const std::vector<uint8_t> fresh = b.save();

  // Refused, and nothing changed: empty, random, cut short, failing on the way.
  std::minstd_rand random(1);
  std::vector<std::vector<uint8_t>> bad = {{}, std::vector<uint8_t>(saved.begin(), saved.end() - 1)};
  for (int k = 0; k < 3; ++k) {
    std::vector<uint8_t> noise(1 << 20);
    for (uint8_t& byte : noise) byte = (uint8_t)random();
    bad.push_back(std::move(noise));
  }
  for (size_t k = 0; k < bad.size(); ++k) EXPECT_FALSE(load(b, bad[k])) << "stream " << k;
  EXPECT_FALSE(load(b, saved, 0, (int64_t)saved.size() / 2)) << "a read that fails half-way";
  EXPECT_EQ(b.save(), fresh) << "a refused state changed the instrument";

  // Loaded in pieces of prime sizes, and written in pieces: the same bytes again, the same values.
  for (size_t piece : {1, 2, 3, 5, 7, 13, 251, 4099}) {
    SCOPED_TRACE(piece);
    ASSERT_TRUE(load(b, saved, piece));
    EXPECT_EQ(b.save(), saved);
    OutStream shortWrites(piece);
    ASSERT_TRUE(b.state().save(b.plugin(), shortWrites.stream()));
    EXPECT_EQ(shortWrites.bytes, saved);
  }
  for (clap_id id = 0; id < (clap_id)KoralinParams::kCount; ++id) EXPECT_EQ(b.value(id), a.value(id)) << id;
  EXPECT_GT(host.rescans, 0) << "the host was told the values changed";
}

// A program change from MIDI and a learnt controller change values the host does not know of: they go out as value
// events with no gesture, and the state is marked dirty on the main thread.
TEST_F(Validator, ValuesTheInstrumentChangesItselfReachTheHost) {
  Plugin p(module, host);
  std::vector<uint8_t> learn = p.save();
  learn.insert(learn.end(), {1, kCutoff, 74, 0xB0});  // controller 74 drives the cutoff
  ASSERT_TRUE(load(p, learn));
  ASSERT_TRUE(p.activate(44100, 256));
  OutputEvents settle;
  p.process(64, InputEvents(), &settle);
  p.plugin()->on_main_thread(p.plugin());
  const int dirtyBefore = host.dirtyMarks;

  InputEvents in;
  in.add(midiEvent(10, 0xC0, 3, 0));
  in.add(midiEvent(20, 0xB0, 74, 127));
  OutputEvents out;
  ASSERT_TRUE(processed(p.process(64, in, &out)));
  std::set<clap_id> told;
  for (const Event& e : out.events) {
    EXPECT_EQ(e.header.type, CLAP_EVENT_PARAM_VALUE) << "no gesture for the instrument's own changes";
    EXPECT_LT(e.header.time, 64u);
    if (e.header.type == CLAP_EVENT_PARAM_VALUE) {
      told.insert(e.param.param_id);
      EXPECT_EQ(e.param.value, p.value(e.param.param_id));
    }
  }
  EXPECT_EQ(told.count(kCutoff), 1u);
  EXPECT_GE(told.size(), 3u) << "the program's values";
  EXPECT_EQ(p.value(kCutoff), 100.0);
  EXPECT_GT(host.callbackRequests.load(), 0);
  p.plugin()->on_main_thread(p.plugin());
  EXPECT_EQ(host.dirtyMarks, dirtyBefore + 1);

  OutputEvents quiet;
  p.process(64, InputEvents(), &quiet);
  EXPECT_TRUE(quiet.events.empty()) << "each change is told once";
}

// The host's side of preset discovery: it keeps what the provider declares and lists.
struct Indexer {
  clap_preset_discovery_indexer_t record{kClapVersion,     "test indexer",   "Quillmarsh",      "",        "1.0", this,
                                         &declareFiletype, &declareLocation, &declareSoundpack, &extension};
  std::vector<clap_preset_discovery_location_t> locations;
  static Indexer& of(const clap_preset_discovery_indexer_t* i) { return *static_cast<Indexer*>(i->indexer_data); }
  static bool CLAPCALL declareFiletype(const clap_preset_discovery_indexer_t*,
                                       const clap_preset_discovery_filetype_t*) {
    return true;
  }
  static bool CLAPCALL declareLocation(const clap_preset_discovery_indexer_t* i,
                                       const clap_preset_discovery_location_t* location) {
    of(i).locations.push_back(*location);
    return true;
  }
  static bool CLAPCALL declareSoundpack(const clap_preset_discovery_indexer_t*,
                                        const clap_preset_discovery_soundpack_t*) {
    return true;
  }
  static const void* CLAPCALL extension(const clap_preset_discovery_indexer_t*, const char*) { return nullptr; }
};

struct Receiver {
  struct Preset {
    std::string name, key, pluginId;
    uint32_t flags = 0;
  };
  std::vector<Preset> presets;
  clap_preset_discovery_metadata_receiver_t record{
      this,
      [](auto*, int32_t, const char* m) { ADD_FAILURE() << m; },
      [](auto* r, const char* name, const char* key) {
        self(r).presets.push_back({name, key ? key : "", "", 0});
        return true;
      },
      [](auto* r, const clap_universal_plugin_id_t* id) { self(r).presets.back().pluginId = id->id; },
      [](auto*, const char*) {},
      [](auto* r, uint32_t flags) { self(r).presets.back().flags = flags; },
      [](auto*, const char*) {},
      [](auto*, const char*) {},
      [](auto*, uint64_t, uint64_t) {},
      [](auto*, const char*) {},
      [](auto*, const char*, const char*) {}};
  static Receiver& self(const clap_preset_discovery_metadata_receiver_t* r) {
    return *static_cast<Receiver*>(r->receiver_data);
  }
};

TEST_F(Validator, FactoryProgramsThroughPresetDiscoveryAndPresetLoad) {
  const auto* factory = module.otherFactory<clap_preset_discovery_factory_t>(CLAP_PRESET_DISCOVERY_FACTORY_ID);
  ASSERT_TRUE(factory);
  ASSERT_EQ(factory->count(factory), 1u);
  const clap_preset_discovery_provider_descriptor_t* desc = factory->get_descriptor(factory, 0);
  Indexer indexer;
  const clap_preset_discovery_provider_t* provider = factory->create(factory, &indexer.record, desc->id);
  ASSERT_TRUE(provider && provider->init(provider));
  ASSERT_EQ(indexer.locations.size(), 1u);
  const clap_preset_discovery_location_t& where = indexer.locations[0];
  EXPECT_EQ(where.kind, CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN);
  EXPECT_EQ(where.location, nullptr);
  EXPECT_TRUE(where.flags & CLAP_PRESET_DISCOVERY_IS_FACTORY_CONTENT);
  Receiver receiver;
  ASSERT_TRUE(provider->get_metadata(provider, where.kind, where.location, &receiver.record));
  EXPECT_FALSE(provider->get_metadata(provider, CLAP_PRESET_DISCOVERY_LOCATION_FILE, "/tmp", &receiver.record));
  provider->destroy(provider);

  const char* const kNames[] = {"Neutral Start",  "Squelch Saw", "Rubber Sub", "Screaming Lead",
                                "Plucked Square", "Slow Drift",  "Hard Acid",  "Bright Staccato"};
  ASSERT_EQ(receiver.presets.size(), 8u);
  Plugin p(module, host);
  auto* loader = p.extension<clap_plugin_preset_load_t>(CLAP_EXT_PRESET_LOAD);
  ASSERT_TRUE(loader);
  std::set<std::vector<double>> sounds;
  for (size_t i = 0; i < 8; ++i) {
    const Receiver::Preset& preset = receiver.presets[i];
    EXPECT_EQ(preset.name, kNames[i]);
    EXPECT_EQ(preset.pluginId, p.plugin()->desc->id);
    EXPECT_TRUE(preset.flags & CLAP_PRESET_DISCOVERY_IS_FACTORY_CONTENT);
    ASSERT_TRUE(loader->from_location(p.plugin(), where.kind, nullptr, preset.key.c_str())) << preset.name;
    std::vector<double> values;
    for (clap_id id = 0; id < (clap_id)KoralinParams::kCount; ++id) values.push_back(p.value(id));
    sounds.insert(values);
  }
  EXPECT_EQ(sounds.size(), 8u) << "each program sets its own values";
  EXPECT_EQ(host.presetsLoaded, 8);
  for (const char* key : {"8", "-1", "x", "", "1x"})
    EXPECT_FALSE(loader->from_location(p.plugin(), CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr, key)) << key;
  EXPECT_FALSE(loader->from_location(p.plugin(), CLAP_PRESET_DISCOVERY_LOCATION_FILE, "/tmp/x", "1"));
  EXPECT_EQ(host.presetErrors, 6);
}

// Orders hosts call in: a held note across deactivation and reset, flush while inactive then processing, and one
// instance processing on its own audio thread while the main thread loads states and presets into it and another
// instance comes and goes.
TEST_F(Validator, HostCallOrders) {
  Plugin p(module, host);
  ASSERT_TRUE(p.activate(44100, 512));
  clap_process_status last = CLAP_PROCESS_ERROR;
  auto tail = [&](int blocks) {
    float peak = 0;
    for (int b = 0; b < blocks; ++b) {
      const bool asleep = b > 0 && last == CLAP_PROCESS_SLEEP;  // the block before, without events, said so
      last = p.process(512, InputEvents());
      EXPECT_TRUE(processed(last));
      EXPECT_TRUE(!asleep || silent(p)) << "a block after the plug-in said it sleeps";
      peak = peakOf(p);
    }
    return peak;
  };
  InputEvents hold;
  hold.add(noteEvent(0, CLAP_EVENT_NOTE_ON, 40, 1.0));
  EXPECT_EQ(p.process(512, hold), CLAP_PROCESS_CONTINUE) << "a note sounds";
  p.deactivate();
  ASSERT_TRUE(p.activate(48000, 512));
  EXPECT_LT(tail(200), 1e-4f) << "a note held across deactivation still sounds";
  EXPECT_EQ(last, CLAP_PROCESS_SLEEP) << "silent with no note to come: the host may let it sleep";
  p.process(512, hold);
  p.plugin()->reset(p.plugin());
  EXPECT_LT(tail(200), 1e-4f) << "a note held across reset still sounds";
  EXPECT_EQ(last, CLAP_PROCESS_SLEEP);
  InputEvents wildcard;
  p.process(512, hold);
  wildcard.add(noteEvent(3, CLAP_EVENT_NOTE_OFF, -1, 0.0, -1));
  p.process(512, wildcard);
  EXPECT_LT(tail(200), 1e-4f) << "a note off for every key left a note sounding";
  p.deactivate();

  InputEvents values;
  values.add(paramEvent(0, kDecay, 10.0));
  p.flush(values, nullptr);
  EXPECT_EQ(p.value(kDecay), 10.0) << "flush while inactive applies the value";
  ASSERT_TRUE(p.activate(44100, 512));

  const std::vector<uint8_t> state = p.save();
  auto* loader = p.extension<clap_plugin_preset_load_t>(CLAP_EXT_PRESET_LOAD);
  std::atomic<bool> stop{false};
  std::atomic<int> blocks{0};
  bool finite = true;
  std::thread audio([&] {
    std::minstd_rand random(9);
    while (!stop) {
      InputEvents in;
      in.add(midiEvent(0, 0x90, (uint8_t)(30 + random() % 30), 100));
      in.add(paramEvent(100, kCutoff, (double)(random() % 100)));
      in.add(midiEvent(200, 0xC0, (uint8_t)(random() % 8), 0));
      p.process(256, in);
      finite = finite && clean(p);
      ++blocks;
    }
  });
  for (int round = 0; round < 40; ++round) {
    EXPECT_TRUE(load(p, state, 7));
    EXPECT_TRUE(loader->from_location(p.plugin(), CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr, "6"));
    EXPECT_FALSE(p.save().empty());
    p.text(kCutoff, p.value(kCutoff));
    Plugin other(module, host);  // made and destroyed while audio runs
    EXPECT_TRUE(other);
  }
  while (blocks < 100) std::this_thread::yield();
  stop = true;
  audio.join();
  EXPECT_TRUE(finite);
}

}  // namespace
}  // namespace ClapTest
