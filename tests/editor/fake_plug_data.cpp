// The recording plug-in view and the menu-recording backend.
#include "fake_plug_data.h"

#include <cstdio>
#include <memory>

namespace EditorTest {

namespace {

std::string number(float v) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", v);
  return text;
}

// A submenu records its items into its parent's list, each named after the submenu.
class RecordingSubmenu : public Lattice::Menu {
 public:
  RecordingSubmenu(std::vector<MenuItem>& items, std::string name) : items(items), name(std::move(name)) {}
  void addItem(const char* text, int id, bool enabled, bool checked) override {
    items.push_back({name + ">" + text, id, enabled, checked});
  }
  void addSeparator() override { items.push_back({name + ">-", -1, false}); }
  Lattice::Menu* addSubmenu(const char*) override { return nullptr; }
  int popup(int, int, int) override { return 0; }

 private:
  std::vector<MenuItem>& items;
  std::string name;
};

class RecordingMenu : public Lattice::Menu {
 public:
  RecordingMenu(Lattice::Winwrapper& root, Lattice::Control* listener, std::vector<ShownMenu>& menus)
      : root(root), listener(listener), menus(menus) {}
  void addItem(const char* text, int id, bool enabled, bool checked) override {
    shown.items.push_back({text, id, enabled, checked});
  }
  void addSeparator() override { shown.items.push_back({"-", -1, false}); }
  Lattice::Menu* addSubmenu(const char* text) override {
    submenus.push_back(std::make_unique<RecordingSubmenu>(shown.items, text));
    return submenus.back().get();
  }
  int popup(int x, int y, int alignment) override {
    shown.x = x, shown.y = y, shown.alignment = alignment;
    menus.push_back(shown);
    // Shown and closed at once: the listener is registered for the command a test then sends.
    root.menuOpening(listener);
    root.menuOpen = false;
    return 1;
  }

 private:
  Lattice::Winwrapper& root;
  Lattice::Control* listener;
  std::vector<ShownMenu>& menus;
  ShownMenu shown;
  std::vector<std::unique_ptr<RecordingSubmenu>> submenus;
};

}  // namespace

MenuBackend* lastMenuBackend = nullptr;

std::unique_ptr<Lattice::WindowBackend> makeMenuBackend(Lattice::Winwrapper& root, void*, int, int) {
  auto backend = std::make_unique<MenuBackend>(root, *LatticeTest::backendLog);
  lastMenuBackend = backend.get();
  return backend;
}

Lattice::Menu* MenuBackend::newMenu(Lattice::Control* listener) { return new RecordingMenu(root, listener, menus); }

void FakePlugData::setEditing(int index, bool begin) {
  calls.push_back((begin ? "begin " : "end ") + std::to_string(index));
}

void FakePlugData::setValue(int index, float value) {
  values[index] = value;
  calls.push_back("set " + std::to_string(index) + " " + number(value));
}

void FakePlugData::resetToDefault(int index) {
  values[index] = defaults[index];
  calls.push_back("reset " + std::to_string(index));
}

void FakePlugData::defaultText(int index, char* text) {
  std::snprintf(text, Lattice::kParamTextSize, "%d %%", int(defaults[index] * 100 + 0.5f));
}

void FakePlugData::learn(int index) {
  learning = index;
  calls.push_back("learn " + std::to_string(index));
}

void FakePlugData::unlearn(int index) {
  mapping[index] = -1;
  learning = -1;
  calls.push_back("unlearn " + std::to_string(index));
}

void FakePlugData::cancelLearn() {
  learning = -1;
  calls.push_back("cancelLearn");
}

float FakePlugData::getValue(int index, char* text) {
  if (text) std::snprintf(text, Lattice::kParamTextSize, "%d %%", int(values[index] * 100 + 0.5f));
  return values[index];
}

}  // namespace EditorTest
