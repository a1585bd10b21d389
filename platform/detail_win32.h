// Windows backend details that tests check without a person: message box styles and the forwarded wheel's packing.
#pragma once

#include <cstdint>

#include "platform/dialogs.h"

namespace Platform {

// MessageBoxA's style for each kind of box: task-modal, no owner, icon and buttons.
unsigned messageBoxStyle(BoxKind kind);

struct WheelMessage {
  uintptr_t wParam;  // key flags in the low word, the signed wheel delta in the high word
  intptr_t lParam;   // screen x in the low word, y in the high word
};

// The whole part of amount × 120, clamped to what the 16-bit delta holds; NaN gives 0.
int wheelDelta(float amount);
WheelMessage wheelMessage(float amount, bool shift, bool control, int x, int y);

}  // namespace Platform
