// The editor's look composed with the renderer alone: background, scale rings, knobs, captions and values.
#pragma once

#include <cstdint>
#include <vector>

#include "render/gl/drawing.h"
#include "render/gl/font.h"

namespace KoralinPreview {

// One knob or switch as the editor places it: parameter value and caption.
struct Control {
  const char* caption;
  int parameter;
  float x, y;
  float value;
  bool hover;
};

class PreviewScene : public VexBlit::Scene {
 public:
  PreviewScene();
  ~PreviewScene() override;
  void draw(VexBlit::Context& context) override;
  // Releases textures and fonts; the device must still exist.
  void releaseGraphics();

  // The frame as 0xAARRGGBB pixels, rows top to bottom, read back just before the swap.
  std::vector<uint32_t> pixels;
  uint32_t width = 0, height = 0;

 private:
  void loadGraphics(VexBlit::Context& context);
  void drawBackground(VexBlit::Context& context);
  void drawKnob(VexBlit::Context& context, const Control& knob);
  void drawSwitch(VexBlit::Context& context, const Control& toggle);
  void drawCentred(VexBlit::Context& context, const VexBlit::Font* font, const char* text, float centre,
                   float baseline, uint32_t colour, bool underline);
  void readBack();

  std::vector<Control> controls;
  VexBlit::StaticTexture* background = nullptr;
  VexBlit::StaticTexture* common = nullptr;
  VexBlit::StaticTexture* knobs = nullptr;
  uint32_t backgroundWidth = 0, backgroundHeight = 0;
  VexBlit::Font* smallFont = nullptr;
  VexBlit::Font* largeFont = nullptr;
};

// The parameter's value text as the instrument shows it, with its label.
void valueText(int parameter, float value, char* text, int size);

}  // namespace KoralinPreview
