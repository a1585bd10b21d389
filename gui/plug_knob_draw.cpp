// Knob drawing: the scale ring, two film-strip frames crossfaded by the value, the caption and the value line.
#include "gui/container.h"
#include "gui/plug_knob.h"
#include "render/gl/font.h"

namespace Lattice {

namespace {

// A text centred on centreX with its baseline at y.
void centredText(VexBlit::Context& context, const VexBlit::Font* font, const char* text, float centreX, float y,
                 uint32_t colour, bool underline) {
  const float width = VexBlit::measureText(font, text, -1);
  VexBlit::drawText(font, context, text, -1, centreX - width / 2, y, colour, underline);
}

// Frame n of the strip: 8 frames of 40 x 40 units per row, k texels a unit.
void stripFrame(int n, float k, float& u, float& v) {
  u = float(40 * (n % 8)) * k;
  v = float(40 * (n / 8)) * k;
}

}  // namespace

void knobFrame(float value, int& frame, int& weight) {
  const float f = value * 95.0f;
  frame = int(f);
  weight = int((f - float(frame)) * 255.0f);
}

bool PlugKnob::hitTest(int x, int y) {
  const int dx = x - w / 2, dy = y - h / 2;
  return dx * dx + dy * dy < 1024;
}

void PlugKnob::draw(VexBlit::Context& context) {
  char text[kParamTextSize];
  const float v = plug->getValue(index, text);
  const float ax = float(absoluteX()), ay = float(absoluteY());
  const float k = float(plug->artScale());  // the pictures' texels a unit
  if (VexBlit::StaticTexture* ring = plug->commonTexture()) {
    VexBlit::Shader shader(context, VexBlit::Blend::PremultipliedOver, VexBlit::Combine::Crossfade, ring, ring);
    VexBlit::Quad quad;
    VexBlit::initQuad(quad, 0xFFFFFFFFu, ax, ay - 4, 80, 80, 0, 0);
    quad.u1 = quad.s1 = quad.v1 = quad.t1 = 80 * k;
    VexBlit::drawQuad(context, quad);
  }
  if (VexBlit::StaticTexture* strip = plug->knobTexture(context)) {
    int n = 0, weight = 0;
    knobFrame(v, n, weight);
    const uint32_t rgb = (hover || dragging) ? 0xFFFFFFu : 0xE0E0E0u;
    VexBlit::Shader shader(context, VexBlit::Blend::PremultipliedOver, VexBlit::Combine::Crossfade, strip, strip);
    VexBlit::Quad quad;
    float u = 0, tv = 0;
    stripFrame(n, k, u, tv);
    VexBlit::initQuad(quad, uint32_t(weight) << 24 | rgb, ax + 20, ay + 16, 40, 40, u, tv);
    quad.u1 = u + 40 * k;
    quad.v1 = tv + 40 * k;
    stripFrame(n < 95 ? n + 1 : 95, k, quad.s0, quad.t0);  // at 1 the second frame has no weight
    quad.s1 = quad.s0 + 40 * k;
    quad.t1 = quad.t0 + 40 * k;
    VexBlit::drawQuad(context, quad);
  }
  const float centre = ax + float(w) / 2;
  const bool menuOpen = parent && parent->isMenuOpenFor(this);
  centredText(context, plug->font(menuOpen ? 1 : 0), label, centre, ay + float(h) - 14, plug->labelColour(),
              hover && !dragging);
  centredText(context, plug->font(dragging ? 1 : 0), plug->isLearning(index) ? "..learning.." : text, centre,
              ay + float(h) - 2, 0xFFFFFFFFu, false);
}

}  // namespace Lattice
