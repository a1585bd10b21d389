// The shared parameter menu: its texts, showing it, and the commands it sends.
#include "gui/param_menu.h"

#include <cstdio>

#include "gui/container.h"
#include "gui/menu.h"

namespace Lattice {

std::string paramMenuText(IPlugData& plug, int index, int id) {
  char text[kParamTextSize + 32];
  if (id == 0) {
    char value[kParamTextSize];
    plug.defaultText(index, value);
    std::snprintf(text, sizeof text, "&Reset to default (%s)", value);
  } else if (id == 1) {
    std::snprintf(text, sizeof text, "MIDI &Learn");
  } else {
    const int key = plug.midiMapping(index);
    if (key == -1) std::snprintf(text, sizeof text, "MIDI &Unlearn");
    else std::snprintf(text, sizeof text, "MIDI &Unlearn (chan:%d, cc:%d)", ((key >> 8) & 0xF) + 1, key & 0xFF);
  }
  return text;
}

bool paramMenuEnabled(IPlugData& plug, int index, int id) { return id != 2 || plug.midiMapping(index) != -1; }

void openParamMenu(Control& control, IPlugData& plug, int index, int y) {
  if (!control.parent) return;
  Menu* menu = control.parent->newMenu(&control);
  if (!menu) return;
  menu->addItem(paramMenuText(plug, index, 0).c_str(), 0, true, false);
  menu->addSeparator();
  for (int id = 1; id <= 2; ++id)
    menu->addItem(paramMenuText(plug, index, id).c_str(), id, paramMenuEnabled(plug, index, id), false);
  menu->popup(0, y, -1);
  delete menu;
}

void resetSequence(IPlugData& plug, int index) {
  if (plug.isLearning(index)) plug.cancelLearn();
  plug.setEditing(index, true);
  plug.resetToDefault(index);
  plug.setEditing(index, false);
}

void paramMenuCommand(Control& control, IPlugData& plug, int index, int id) {
  switch (id) {
    case 0: resetSequence(plug, index); break;
    case 1: plug.learn(index); break;
    case 2: plug.unlearn(index); break;
    default: return;
  }
  control.invalidate();
}

}  // namespace Lattice
