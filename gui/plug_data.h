// What a control may ask of the plug-in (IPlugData), the instrument's editor builder and visual tasks.
#pragma once

#include <cstdint>

namespace VexBlit {
class Context;
class Font;
class StaticTexture;
}  // namespace VexBlit

namespace Lattice {

class PlugFrame;

// Room for any display text of the core: the value, a space and the label.
constexpr int kParamTextSize = 64;

// A control's only access to the plug-in; the frame implements it. GUI thread only.
class IPlugData {
 public:
  virtual ~IPlugData() = default;
  // The host's gesture notifications: beginEdit when begin, else endEdit.
  virtual void setEditing(int index, bool begin) = 0;
  // Sets the value as automation; the panel shows it at once when the last refresh is 10 ms old.
  virtual void setValue(int index, float value) = 0;
  virtual void resetToDefault(int index) = 0;
  // Texts of kParamTextSize bytes: the default's display text, and step of steps (0 .. steps - 1).
  virtual void defaultText(int index, char* text) = 0;
  virtual void stepText(int index, int step, int steps, char* text) = 0;
  virtual void learn(int index) = 0;
  virtual void unlearn(int index) = 0;
  virtual void cancelLearn() = 0;
  // The learnt controller key (0xB0 in bits 8-15, controller in bits 0-7), or -1.
  virtual int midiMapping(int index) = 0;
  virtual bool isLearning(int index) = 0;
  virtual uint8_t* visualData(int offset) = 0;
  virtual void refreshNow() = 0;
  virtual void addVisualTask(class IVisualTask* task) = 0;
  // The editor's copy of the value (0 out of range); with text, its display text too (kParamTextSize bytes).
  virtual float getValue(int index, char* text = nullptr) = 0;
  virtual VexBlit::StaticTexture* commonTexture() = 0;
  virtual VexBlit::StaticTexture* knobTexture(VexBlit::Context& context) = 0;
  // Texels a unit of the two textures above: 1 for the pictures drawn at 1x, 2 for those drawn at 2x.
  virtual int artScale() { return 1; }
  // 0: the small font, 1: the large one; null until the frame has been drawn once.
  virtual VexBlit::Font* font(int which) = 0;
  virtual uint32_t labelColour() = 0;
};

// A computation on published visual data, run on the shared visuals pool.
class IVisualTask {
 public:
  virtual ~IVisualTask() = default;
  virtual void process() = 0;
};

// The instrument: places its controls on a new frame.
class IEditBuilder {
 public:
  virtual ~IEditBuilder() = default;
  virtual void build(PlugFrame* frame) = 0;
};

}  // namespace Lattice
