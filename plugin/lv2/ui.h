// Koralin's LV2 editor: the instrument's own panel as an X11 UI, reaching the plug-in through instance-access.
#pragma once

#include <lv2/ui/ui.h>

namespace KoralinLv2 {

const LV2UI_Descriptor* uiDescriptor();

}  // namespace KoralinLv2
