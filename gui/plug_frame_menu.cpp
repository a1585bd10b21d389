// PlugFrame's menu in the bottom-right corner: save and load the defaults, the maker's web site, and the panel's size.
#include <cstring>
#include <string>

#include "gui/editor_services.h"
#include "gui/plug_edit_vst.h"
#include "gui/plug_frame.h"

namespace Lattice {

namespace {

// The host part of an address: what lies between "//" and the next '/'.
std::string hostOf(const char* address) {
  const char* start = std::strstr(address, "//");
  start = start ? start + 2 : address;
  const char* end = std::strchr(start, '/');
  return end ? std::string(start, size_t(end - start)) : std::string(start);
}

}  // namespace

const char* const PlugFrame::kConfirmations[3] = {
    ("Saving new defaults for:\n - parameter values (current values) and presets\n - MIDI mappings (current "
     "mappings)\n"),
    "Loading default settings and presets.",
    "Loading factory default settings and presets.",
};

std::string PlugFrame::menuText(int id) {
  switch (id) {
    case 0: return "&Save defaults...";
    case 1: return "&Load defaults...";
    case 2: return "Load &factory defaults...";
    case 3: return "&Go to " + hostOf(kMakerWebAddress);
    case 4: return "100 %";
    case 5: return "150 %";
    case 6: return "200 %";
    default: return {};
  }
}

const float PlugFrame::kMenuScales[3] = {1.0f, 1.5f, 2.0f};

bool PlugFrame::mouseDown(int x, int y, int button, int mods) {
  if (Container::mouseDown(x, y, button, mods)) return true;
  if (x > w - 90 && y > h - 30) {  // the hot corner, where no control lies; any button
    openFrameMenu();
    return true;
  }
  return false;
}

void PlugFrame::openFrameMenu() {
  Menu* menu = newMenu(this);
  if (!menu) return;
  for (int id = 0; id < 4; ++id) {
    if (id == 3) menu->addSeparator();
    menu->addItem(menuText(id).c_str(), id, true, false);
  }
  menu->addSeparator();
  if (Menu* size = menu->addSubmenu("Size"))
    for (int i = 0; i < 3; ++i)
      size->addItem(menuText(kSizeItems + i).c_str(), kSizeItems + i, true, editor->scale() == kMenuScales[i]);
  menu->popup(w, h, 1);
  delete menu;
}

void PlugFrame::menuCommand(int id) {
  PlugCore::Plug* plug = editor->plugin();
  if (id == 3) {
    openWebAddress(kMakerWebAddress);
    return;
  }
  if (id >= kSizeItems && id < kSizeItems + 3) {
    editor->choosePersonScale(kMenuScales[id - kSizeItems]);
    return;
  }
  if (id < 0 || id > 2 || !ask(plug->name(), kConfirmations[id])) return;
  if (id == 0) {
    plug->saveUserDefaults();
  } else {
    plug->loadFactorySettings();
    if (id == 1) plug->loadUserDefaults();
  }
}

}  // namespace Lattice
