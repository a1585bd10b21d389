// A plug-in seen through IPlugData that records every call, and a window backend whose menus record their items.
#pragma once

#include <string>
#include <vector>

#include "gui/menu.h"
#include "gui/plug_data.h"
#include "tree_probe.h"

namespace EditorTest {

using LatticeTest::Log;

class FakePlugData : public Lattice::IPlugData {
 public:
  void setEditing(int index, bool begin) override;
  void setValue(int index, float value) override;
  void resetToDefault(int index) override;
  void defaultText(int index, char* text) override;
  void stepText(int, int, int, char* text) override { text[0] = 0; }
  void learn(int index) override;
  void unlearn(int index) override;
  void cancelLearn() override;
  int midiMapping(int index) override { return mapping[index]; }
  bool isLearning(int index) override { return learning == index; }
  uint8_t* visualData(int) override { return nullptr; }
  void refreshNow() override {}
  void addVisualTask(Lattice::IVisualTask*) override {}
  float getValue(int index, char* text = nullptr) override;
  VexBlit::StaticTexture* commonTexture() override { return nullptr; }
  VexBlit::StaticTexture* knobTexture(VexBlit::Context&) override { return nullptr; }
  VexBlit::Font* font(int) override { return nullptr; }
  uint32_t labelColour() override { return 0x7D8D94; }

  // Calls as "begin 1", "end 1", "set 1 0.25", "reset 1", "learn 1", "unlearn 1", "cancelLearn".
  Log calls;
  float values[7] = {0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f};
  float defaults[7] = {0.5f, 0.5f, 0.3f, 0.5f, 0.5f, 0.5f, 0.5f};
  int mapping[7] = {-1, -1, -1, -1, -1, -1, -1};
  int learning = -1;
};

// One item a menu was given: text, id, enabled, checked; separators as "-", a submenu's items as "Size>100 %".
struct MenuItem {
  std::string text;
  int id;
  bool enabled;
  bool checked = false;
};
struct ShownMenu {
  std::vector<MenuItem> items;
  int x = 0, y = 0, alignment = 0;
};

// A backend whose menus record what they show and close without a choice.
class MenuBackend : public LatticeTest::FakeBackend {
 public:
  using FakeBackend::FakeBackend;
  Lattice::Menu* newMenu(Lattice::Control* listener) override;
  std::vector<ShownMenu> menus;
};
std::unique_ptr<Lattice::WindowBackend> makeMenuBackend(Lattice::Winwrapper& root, void*, int, int);
extern MenuBackend* lastMenuBackend;

}  // namespace EditorTest
