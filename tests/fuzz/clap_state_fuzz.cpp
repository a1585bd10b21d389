// libFuzzer target: any bytes a CLAP host's project may hand back, loaded through Koralin's clap.state from a stream
// that gives them in pieces (of 1 to 13 bytes, by the input's length). The entry, factory and plug-in are the
// module's own code, linked in and reached through clap_entry. A refused load changes nothing: the state saved
// after it is the state saved before. An accepted one saves, loads and saves again to the same bytes, leaves every
// value in its range, and the instrument still plays a finite note.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "clap/ext.h"
#include "tests/fuzz/fuzz_require.h"

extern "C" const clap_plugin_entry_t clap_entry;

namespace {

using Bytes = std::vector<uint8_t>;

struct Reader {
  const Bytes* bytes;
  size_t at, piece;
  static int64_t CLAPCALL read(const clap_istream_t* s, void* buffer, uint64_t size) {
    auto& r = *static_cast<Reader*>(s->ctx);
    const size_t n = std::min({(size_t)size, r.piece, r.bytes->size() - r.at});
    if (n > 0) std::memcpy(buffer, r.bytes->data() + r.at, n);
    r.at += n;
    return (int64_t)n;
  }
};

struct Writer {
  Bytes bytes;
  static int64_t CLAPCALL write(const clap_ostream_t* s, const void* buffer, uint64_t size) {
    auto& w = *static_cast<Writer*>(s->ctx);
    const auto* b = static_cast<const uint8_t*>(buffer);
    w.bytes.insert(w.bytes.end(), b, b + size);
    return (int64_t)size;
  }
};

const void* CLAPCALL noExtension(const clap_host_t*, const char*) { return nullptr; }
void CLAPCALL nothing(const clap_host_t*) {}
const clap_host_t kHost{kClapVersion, nullptr, "Koralin state fuzzer", "Quillmarsh", "", "1.0", &noExtension, &nothing,
                        &nothing,     &nothing};

struct Rig {
  const clap_plugin_t* plugin = nullptr;
  const clap_plugin_state_t* state = nullptr;
  const clap_plugin_params_t* params = nullptr;

  Rig() {
    clap_entry.init("");
    const auto* factory = static_cast<const clap_plugin_factory_t*>(clap_entry.get_factory(CLAP_PLUGIN_FACTORY_ID));
    plugin = factory->create_plugin(factory, &kHost, factory->get_plugin_descriptor(factory, 0)->id);
    FuzzRig::require(plugin && plugin->init(plugin), "the plug-in is made");
    state = static_cast<const clap_plugin_state_t*>(plugin->get_extension(plugin, CLAP_EXT_STATE));
    params = static_cast<const clap_plugin_params_t*>(plugin->get_extension(plugin, CLAP_EXT_PARAMS));
    FuzzRig::require(plugin->activate(plugin, 44100, 1, 256), "the plug-in activates");
  }
  bool load(const Bytes& bytes, size_t piece) {
    Reader reader{&bytes, 0, piece};
    const clap_istream_t stream{&reader, &Reader::read};
    return state->load(plugin, &stream);
  }
  Bytes save() {
    Writer writer;
    const clap_ostream_t stream{&writer, &Writer::write};
    FuzzRig::require(state->save(plugin, &stream), "the state saves");
    return writer.bytes;
  }
  void requireSound() {
    for (uint32_t i = 0; i < params->count(plugin); ++i) {
      clap_param_info_t info{};
      double value = NAN;
      FuzzRig::require(params->get_info(plugin, i, &info) && params->get_value(plugin, info.id, &value),
                       "every parameter answers");
      FuzzRig::require(value >= info.min_value && value <= info.max_value, "every value lies in its range");
    }
    float left[256], right[256];
    float* channels[2] = {left, right};
    clap_audio_buffer_t out{channels, nullptr, 2, 0, 0};
    clap_event_note_t note{{sizeof(note), 0, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_NOTE_ON, 0}, -1, 0, 0, 45, 1.0};
    const clap_input_events_t in{
        &note, [](const clap_input_events_t*) -> uint32_t { return 1; },
        [](const clap_input_events_t* l, uint32_t) { return static_cast<const clap_event_header_t*>(l->ctx); }};
    const clap_output_events_t none{nullptr,
                                    [](const clap_output_events_t*, const clap_event_header_t*) { return true; }};
    const clap_process_t process{-1, 256, nullptr, nullptr, &out, 0, 1, &in, &none};
    FuzzRig::require(plugin->process(plugin, &process) == CLAP_PROCESS_CONTINUE, "the block is processed");
    for (float x : left) FuzzRig::require(std::isfinite(x) && std::fabs(x) < 8.0f, "the note is finite and bounded");
    plugin->reset(plugin);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Rig rig;
  const Bytes input(data, data + size);
  const Bytes before = rig.save();
  if (!rig.load(input, size % 13 + 1)) {
    FuzzRig::require(rig.save() == before, "a refused state changes nothing");
    return 0;
  }
  const Bytes saved = rig.save();
  FuzzRig::require(rig.load(saved, 7), "a saved state loads");
  FuzzRig::require(rig.save() == saved, "saving, loading and saving again gives the same bytes");
  rig.requireSound();
  return 0;
}
