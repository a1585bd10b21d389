// The editor's look composed with the renderer alone: the layout's controls drawn as the knobs and switch draw.
#include "preview_scene.h"

#include <cstdio>
#include <memory>

#include "render/gl/gl_api.h"
#include "render/gl/image.h"

namespace KoralinPreview {

namespace {

constexpr uint32_t kLabelColour = 0x007D8D94;
constexpr float kKnobSize = 80;

VexBlit::StaticTexture* textureFromResource(VexBlit::Device& device, const char* name, uint32_t* w = nullptr,
                                            uint32_t* h = nullptr) {
  std::unique_ptr<Lattice::Image> image(VexBlit::loadPngResource(name));
  if (!image) return nullptr;
  if (w) *w = image->width;
  if (h) *h = image->height;
  return VexBlit::createTextureFromImage(device, *image);
}

// A quad whose two texture rectangles may differ (the crossfade takes one frame from each).
VexBlit::Quad quadBetween(float x0, float y0, float x1, float y1, float u, float v, float s, float t, float size,
                          uint32_t colour) {
  VexBlit::Quad quad;
  VexBlit::initQuad(quad, colour, x0, y0, x1 - x0, y1 - y0, u, v);
  quad.u1 = u + size, quad.v1 = v + size;
  quad.s0 = s, quad.t0 = t, quad.s1 = s + size, quad.t1 = t + size;
  return quad;
}

}  // namespace

void valueText(int parameter, float value, char* text, int size) {
  if (parameter == 0)
    std::snprintf(text, size_t(size), "%s", value > 0.5f ? "square" : "saw");
  else if (parameter == 1)
    std::snprintf(text, size_t(size), "%+2.2f", double(24 * value - 12));
  else
    std::snprintf(text, size_t(size), "%.0f %%", double(100 * value));
}

PreviewScene::PreviewScene() {
  // The instrument's knob row (x = 78 x column + 8 x nudge, y 23) and its switch, with a spread of values.
  controls = {{"tuning", 1, 8, 23, 0.5f, false},       {"cutoff", 2, 86, 23, 0.28f, true},
              {"resonance", 3, 156, 23, 0.75f, false}, {"env mod", 5, 242, 23, 0.6f, false},
              {"decay", 4, 312, 23, 0.35f, false},     {"accent", 6, 390, 23, 1.0f, false},
              {"waveform", 0, 460, 50, 0.0f, false}};
}

PreviewScene::~PreviewScene() = default;

void PreviewScene::loadGraphics(VexBlit::Context& context) {
  if (background || common || knobs || smallFont) return;
  background = textureFromResource(context.device(), "background", &backgroundWidth, &backgroundHeight);
  common = textureFromResource(context.device(), "commonTextures");
  knobs = textureFromResource(context.device(), "oldKnobs");
  smallFont = VexBlit::loadFontResource(context, "Vera", 8);
  largeFont = VexBlit::loadFontResource(context, "Vera", 10);
}

void PreviewScene::releaseGraphics() {
  for (VexBlit::StaticTexture** texture : {&background, &common, &knobs}) {
    if (*texture) (*texture)->release();
    *texture = nullptr;
  }
  for (VexBlit::Font** font : {&smallFont, &largeFont}) {
    if (*font) (*font)->releaseAtlas();
    delete *font;
    *font = nullptr;
  }
}

void PreviewScene::draw(VexBlit::Context& context) {
  loadGraphics(context);
  drawBackground(context);
  for (const Control& control : controls) {
    if (control.parameter == 0)
      drawSwitch(context, control);
    else
      drawKnob(context, control);
  }
  readBack();
}

void PreviewScene::drawBackground(VexBlit::Context& context) {
  VexBlit::Quad quad;
  if (!background) {
    VexBlit::Shader shader(context, 0, 0, nullptr, nullptr);
    VexBlit::initQuad(quad, 0, 0, 0, 560, 110, 0, 0);
    VexBlit::drawQuad(context, quad);
    return;
  }
  VexBlit::Shader shader(context, 0, 1, background, nullptr);
  VexBlit::initQuad(quad, 0xFFFFFFFF, 0, 0, 560, 110, 0, 0);
  quad.u1 = quad.s1 = float(backgroundWidth), quad.v1 = quad.t1 = float(backgroundHeight);
  VexBlit::drawQuad(context, quad);
}

void PreviewScene::drawKnob(VexBlit::Context& context, const Control& knob) {
  const float ax = knob.x, ay = knob.y;
  if (common) {
    VexBlit::Shader shader(context, 1, 6, common, common);
    VexBlit::drawQuad(context, quadBetween(ax, ay - 4, ax + 80, ay + 76, 0, 0, 0, 0, 80, 0xFFFFFFFF));
  }
  if (knobs) {
    // Film strip of 96 frames, 8 to a row; the colour alpha crossfades toward the next frame.
    const float f = knob.value * 95;
    const int n = int(f), next = n + 1;
    const uint32_t weight = uint32_t(int((f - float(n)) * 255));
    const uint32_t tint = knob.hover ? 0xFFFFFF : 0xE0E0E0;
    VexBlit::Shader shader(context, 1, 6, knobs, knobs);
    VexBlit::drawQuad(context, quadBetween(ax + 20, ay + 16, ax + 60, ay + 56, float(40 * (n % 8)), float(40 * (n / 8)),
                                           float(40 * (next % 8)), float(40 * (next / 8)), 40, weight << 24 | tint));
  }
  char text[32];
  valueText(knob.parameter, knob.value, text, sizeof text);
  drawCentred(context, smallFont, knob.caption, ax + kKnobSize / 2, ay + kKnobSize - 14, kLabelColour, knob.hover);
  drawCentred(context, smallFont, text, ax + kKnobSize / 2, ay + kKnobSize - 2, 0xFFFFFFFF, false);
}

void PreviewScene::drawSwitch(VexBlit::Context& context, const Control& toggle) {
  char text[32];
  valueText(toggle.parameter, toggle.value, text, sizeof text);
  const float centre = toggle.x + 40, height = 24;
  drawCentred(context, smallFont, text, centre, toggle.y + height - 2, 0xFFFFFFFF, false);
  drawCentred(context, smallFont, toggle.caption, centre, toggle.y + height - 15, kLabelColour, toggle.hover);
}

void PreviewScene::drawCentred(VexBlit::Context& context, const VexBlit::Font* font, const char* text, float centre,
                               float baseline, uint32_t colour, bool underline) {
  const float width = VexBlit::measureText(font, text, -1);
  VexBlit::drawText(font, context, text, -1, centre - width / 2, baseline, colour, underline);
}

void PreviewScene::readBack() {
  GLint viewport[4] = {};
  glGetIntegerv(GL_VIEWPORT, viewport);
  width = uint32_t(viewport[2]);
  height = uint32_t(viewport[3]);
  std::vector<uint32_t> bottomUp(size_t(width) * height);
  glFinish();
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glReadBuffer(GL_BACK);
  glReadPixels(0, 0, GLsizei(width), GLsizei(height), GL_BGRA, GL_UNSIGNED_BYTE, bottomUp.data());
  pixels.resize(bottomUp.size());
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < width; ++x)
      pixels[size_t(y) * width + x] = bottomUp[size_t(height - 1 - y) * width + x] | 0xFF000000u;
}

}  // namespace KoralinPreview
