// The CLAP module's entry: clap_entry with its counted init, the plug-in factory with Koralin's descriptor, and the
// preset-discovery factory that lists the eight factory programs. Nothing here makes an instrument or opens a window:
// a host that only scans reads tables.
#include <atomic>
#include <cstring>

#include "gui/plug_frame.h"
#include "plugin/clap/clap_plugin.h"

#ifndef KORALIN_VERSION
#error "KORALIN_VERSION is the project's version, given by the build"
#endif

namespace KoralinClap {
namespace {

constexpr const char* kPluginId = "com.quillmarsh.koralin";
constexpr const char* kVendor = "Quillmarsh";
constexpr const char* kUrl = Lattice::kMakerWebAddress;
const char* const kFeatures[] = {"instrument", "synthesizer", "mono", nullptr};

// The factory programs' names, in the order a host lists them (written by the build from the programs' text).
const char* const kProgramNames[] = {
#include "koralin_program_names.inc"
};
constexpr uint32_t kProgramCount = sizeof(kProgramNames) / sizeof(kProgramNames[0]);
const char* const kProgramKeys[] = {"0", "1", "2",  "3",  "4",  "5",  "6",  "7",
                                    "8", "9", "10", "11", "12", "13", "14", "15"};
static_assert(kProgramCount <= sizeof(kProgramKeys) / sizeof(kProgramKeys[0]), "a load key for every program");

std::atomic<int> initCount{0};  // init may come more than once; deinit as often

// --- The plug-in factory -----------------------------------------------------------------------------------------
uint32_t CLAPCALL pluginCount(const clap_plugin_factory_t*) { return 1; }
const clap_plugin_descriptor_t* CLAPCALL pluginDescriptor(const clap_plugin_factory_t*, uint32_t index) {
  return index == 0 ? &kDescriptor : nullptr;
}
const clap_plugin_t* CLAPCALL createPlugin(const clap_plugin_factory_t*, const clap_host_t* host, const char* id) {
  if (initCount.load() <= 0 || !host || !id || std::strcmp(id, kPluginId) != 0 ||
      !clapVersionIsCompatible(host->clap_version))
    return nullptr;
  return (new Plugin(host))->clap();
}
constexpr clap_plugin_factory_t kPluginFactory{&pluginCount, &pluginDescriptor, &createPlugin};

// --- The preset-discovery factory: one provider, the programs inside the plug-in ---------------------------------
constexpr clap_preset_discovery_provider_descriptor_t kProviderDescriptor{
    kClapVersion, "com.quillmarsh.koralin.factory-programs", "Koralin factory programs", kVendor};

bool CLAPCALL providerInit(const clap_preset_discovery_provider_t* provider) {
  const auto* indexer = static_cast<const clap_preset_discovery_indexer_t*>(provider->provider_data);
  const clap_preset_discovery_location_t location{CLAP_PRESET_DISCOVERY_IS_FACTORY_CONTENT, "Koralin factory programs",
                                                  CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr};
  return indexer->declare_location && indexer->declare_location(indexer, &location);
}
void CLAPCALL providerDestroy(const clap_preset_discovery_provider_t* provider) { delete provider; }
bool CLAPCALL providerMetadata(const clap_preset_discovery_provider_t*, uint32_t kind, const char* location,
                               const clap_preset_discovery_metadata_receiver_t* receiver) {
  if (kind != CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN || location || !receiver || !receiver->begin_preset) return false;
  const clap_universal_plugin_id_t plugin{"clap", kPluginId};
  for (uint32_t i = 0; i < kProgramCount; ++i) {
    if (!receiver->begin_preset(receiver, kProgramNames[i], kProgramKeys[i])) break;
    if (receiver->add_plugin_id) receiver->add_plugin_id(receiver, &plugin);
    if (receiver->set_flags) receiver->set_flags(receiver, CLAP_PRESET_DISCOVERY_IS_FACTORY_CONTENT);
    if (receiver->add_creator) receiver->add_creator(receiver, kVendor);
  }
  return true;
}
const void* CLAPCALL providerExtension(const clap_preset_discovery_provider_t*, const char*) { return nullptr; }

uint32_t CLAPCALL providerCount(const clap_preset_discovery_factory_t*) { return 1; }
const clap_preset_discovery_provider_descriptor_t* CLAPCALL providerDescriptor(const clap_preset_discovery_factory_t*,
                                                                               uint32_t index) {
  return index == 0 ? &kProviderDescriptor : nullptr;
}
const clap_preset_discovery_provider_t* CLAPCALL createProvider(const clap_preset_discovery_factory_t*,
                                                                const clap_preset_discovery_indexer_t* indexer,
                                                                const char* id) {
  if (!indexer || !id || std::strcmp(id, kProviderDescriptor.id) != 0) return nullptr;
  return new clap_preset_discovery_provider_t{
      &kProviderDescriptor, const_cast<clap_preset_discovery_indexer_t*>(indexer),
      &providerInit,        &providerDestroy,
      &providerMetadata,    &providerExtension};
}
constexpr clap_preset_discovery_factory_t kPresetFactory{&providerCount, &providerDescriptor, &createProvider};

// --- The entry ---------------------------------------------------------------------------------------------------
bool CLAPCALL entryInit(const char*) {
  initCount.fetch_add(1);
  return true;
}
void CLAPCALL entryDeinit() {
  int count = initCount.load();
  while (count > 0 && !initCount.compare_exchange_weak(count, count - 1)) {
  }
}
const void* CLAPCALL entryFactory(const char* id) {
  if (!id || initCount.load() <= 0) return nullptr;
  if (std::strcmp(id, CLAP_PLUGIN_FACTORY_ID) == 0) return &kPluginFactory;
  if (std::strcmp(id, CLAP_PRESET_DISCOVERY_FACTORY_ID) == 0 ||
      std::strcmp(id, CLAP_PRESET_DISCOVERY_FACTORY_ID_COMPAT) == 0)
    return &kPresetFactory;
  return nullptr;
}

}  // namespace

const clap_plugin_descriptor_t kDescriptor{kClapVersion,
                                           kPluginId,
                                           KoralinParams::kProductName,
                                           kVendor,
                                           kUrl,
                                           kUrl,
                                           kUrl,
                                           KORALIN_VERSION,
                                           "A monophonic bassline synthesizer with a resonant ladder filter",
                                           kFeatures};

}  // namespace KoralinClap

extern "C" {
#if defined(_WIN32)
__declspec(dllexport)
#else
__attribute__((visibility("default")))
#endif
    extern const clap_plugin_entry_t clap_entry{kClapVersion, &KoralinClap::entryInit, &KoralinClap::entryDeinit,
                                                &KoralinClap::entryFactory};
}
