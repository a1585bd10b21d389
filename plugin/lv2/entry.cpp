// The binary's two entry points: the plug-in's descriptor and the editor's. Nothing else leaves Koralin.so.
#include "plugin/lv2/plugin.h"
#include "plugin/lv2/ui.h"

extern "C" {

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) {
  return index == 0 ? KoralinLv2::descriptor() : nullptr;
}

LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index) {
  return index == 0 ? KoralinLv2::uiDescriptor() : nullptr;
}

}  // extern "C"
