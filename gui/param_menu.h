// The parameter menu that knobs and the switch share: reset to default, MIDI learn and unlearn.
#pragma once

#include <string>

#include "gui/plug_data.h"

namespace Lattice {

class Control;

// Texts of the three items for a parameter (ids 0 to 2), and whether the unlearn item is enabled.
std::string paramMenuText(IPlugData& plug, int index, int id);
bool paramMenuEnabled(IPlugData& plug, int index, int id);

// Shows the menu under the control at (0, y), left-aligned; the command reaches the control's menuCommand.
void openParamMenu(Control& control, IPlugData& plug, int index, int y);
// The control's menuCommand: 0 the reset sequence, 1 learn, 2 unlearn; the control is drawn again after each.
void paramMenuCommand(Control& control, IPlugData& plug, int index, int id);
// Reset to the default as one gesture; a learn in progress for the parameter is cancelled first.
void resetSequence(IPlugData& plug, int index);

}  // namespace Lattice
