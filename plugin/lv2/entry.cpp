// The binary's two entry points: the plug-in's descriptor and the editor's. Nothing else leaves Koralin.so.
#include <lv2/state/state.h>

#include <cstring>

#include "plugin/lv2/plugin.h"
#include "plugin/lv2/ui.h"

namespace KoralinLv2 {
namespace {

Plugin* self(LV2_Handle handle) { return static_cast<Plugin*>(handle); }

LV2_State_Status saveState(LV2_Handle handle, LV2_State_Store_Function store, LV2_State_Handle state, uint32_t,
                           const LV2_Feature* const*) {
  return self(handle)->save(store, state);
}

LV2_State_Status restoreState(LV2_Handle handle, LV2_State_Retrieve_Function retrieve, LV2_State_Handle state,
                              uint32_t, const LV2_Feature* const*) {
  return self(handle)->restore(retrieve, state);
}

const LV2_State_Interface kState{saveState, restoreState};

const LV2_Descriptor kDescriptor{
    kPluginUri,
    [](const LV2_Descriptor*, double rate, const char*, const LV2_Feature* const* features) -> LV2_Handle {
      return Plugin::make(rate, features);
    },
    [](LV2_Handle handle, uint32_t port, void* data) { self(handle)->connect(port, data); },
    [](LV2_Handle handle) { self(handle)->activate(); },
    [](LV2_Handle handle, uint32_t frames) { self(handle)->run(frames); },
    [](LV2_Handle handle) { self(handle)->deactivate(); },
    [](LV2_Handle handle) { delete self(handle); },
    [](const char* uri) -> const void* { return std::strcmp(uri, LV2_STATE__interface) == 0 ? &kState : nullptr; },
};

}  // namespace

const LV2_Descriptor* descriptor() { return &kDescriptor; }

}  // namespace KoralinLv2

extern "C" {

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) {
  return index == 0 ? KoralinLv2::descriptor() : nullptr;
}

LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index) {
  return index == 0 ? KoralinLv2::uiDescriptor() : nullptr;
}

}  // extern "C"
