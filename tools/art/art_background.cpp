// BACKGROUND: the editor's 560x110 panel: brushed graphite, knob wells, the switch plate, screws and the names.
#include <cmath>

#include "art_canvas.h"
#include "art_pictures.h"
#include "art_text.h"

namespace art {

namespace {

constexpr int kWidth = 560, kHeight = 110;
constexpr int kKnobX[6] = {8, 86, 156, 242, 312, 390};
constexpr float kKnobCentreY = 23 + 36;  // the knob body sits 16..56 inside its 80x80 rectangle at y = 23

// Graphite with a horizontal brush grain, lit from above.
Colour panelColour(int x, int y) {
  float t = y / float(kHeight - 1);
  Colour c = mix(rgb(54, 58, 64), rgb(33, 35, 40), t);
  float grain =
      0.012f * valueNoise(float(x), float(y), 140, 0.9f, 1) + 0.006f * valueNoise(float(x), float(y), 9, 0.7f, 2);
  float speck = 0.004f * hashNoise(x, y, 3);
  float glow = 0.035f * std::exp(-((x - 170.f) * (x - 170.f) / (2 * 260.f * 260.f)) - y * y / (2 * 55.f * 55.f));
  float k = grain + speck + glow;
  return {c.r + k, c.g + k, c.b + k * 1.1f, 1};
}

// A shallow dish under each knob: darker inside, a lit lower lip, a shaded upper lip.
float wellShade(float px, float py) {
  float shade = 0;
  for (int kx : kKnobX) {
    float dx = px - (kx + 40.f), dy = py - kKnobCentreY, d = std::hypot(dx, dy);
    if (d > 30) continue;
    // Radius 26: the dish ends above the caption's letters.
    float inside = 1 - smoothstep(25, 27, d);
    float rim = std::exp(-(d - 26.5f) * (d - 26.5f) / 1.0f);
    float facing = dy / std::max(d, 1.f);  // +1 at the bottom of the dish, which faces the light
    shade += -0.035f * inside + 0.05f * rim * facing;
  }
  return shade;
}

// The switch plate: a slightly raised, rounded panel behind the waveform caption and value.
float plateShade(float px, float py) {
  float d = roundRectDistance(px, py, 462.5f, 47.5f, 537.5f, 77.5f, 5);
  float inside = coverage(d);
  float edgeTop = std::exp(-d * d / 0.6f) * (py < 62 ? 1.f : -1.f);
  return 0.018f * inside + 0.05f * edgeTop;
}

void paintPanel(Canvas& canvas) {
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      float px = x + 0.5f, py = y + 0.5f;
      Colour c = panelColour(x, y);
      float k = wellShade(px, py) + plateShade(px, py);
      // The panel's edge: a light line along the top and left, a dark one along the bottom and right.
      if (y == 0 || x == 0) k += 0.09f;
      if (y == kHeight - 1 || x == kWidth - 1) k -= 0.06f;
      canvas.set(x, y, {c.r + k, c.g + k, c.b + k, 1});
    }
}

void paintScrew(Canvas& canvas, float cx, float cy, float slotAngle) {
  for (int y = int(cy) - 6; y <= int(cy) + 6; ++y)
    for (int x = int(cx) - 6; x <= int(cx) + 6; ++x) {
      float dx = x + 0.5f - cx, dy = y + 0.5f - cy, d = std::hypot(dx, dy);
      canvas.blend(x, y, rgb(0, 0, 0, 0.45f), coverage(d - 4.4f) * (1 - coverage(d - 3.2f)) + 0.2f * coverage(d - 5));
      Colour head = mix(rgb(150, 155, 162), rgb(70, 73, 79), clamp01((dy - dx) / 7 + 0.5f));
      canvas.blend(x, y, head, coverage(d - 3.5f));
      float slot = segmentDistance(x + 0.5f, y + 0.5f, cx - 2.6f * std::cos(slotAngle), cy - 2.6f * std::sin(slotAngle),
                                   cx + 2.6f * std::cos(slotAngle), cy + 2.6f * std::sin(slotAngle));
      canvas.blend(x, y, rgb(30, 31, 34, 0.9f), coverage(slot - 0.55f) * coverage(d - 3.5f));
    }
}

// The instrument's name: coral letters with a cut-out shadow and a lit top edge.
void paintName(Canvas& canvas, const std::string& fontDir) {
  TextMask m = renderText(fontDir + "/VeraBd.ttf", 23, "Koralin", -0.3f);
  int inkW = m.inkRight - m.inkLeft + 1;
  int ox = 501 - inkW / 2 - m.inkLeft, oy = 33 - m.baseline;
  for (int y = 0; y < m.height; ++y)
    for (int x = 0; x < m.width; ++x) {
      int cx = x + ox, cy = y + oy;
      canvas.blend(cx, cy, rgb(8, 9, 11, 0.7f), m.at(x, y - 1));        // shadow below
      canvas.blend(cx, cy, rgb(255, 255, 255, 0.10f), m.at(x, y + 1));  // light catching the top
      float t = clamp01(float(y - m.inkTop) / float(m.inkBottom - m.inkTop + 1));
      Colour fill = mix(rgb(255, 150, 118), rgb(222, 92, 70), t);
      float edge = m.at(x, y) - m.at(x, y - 1);  // top rims of the letters
      canvas.blend(cx, cy, fill, m.at(x, y));
      if (edge > 0) canvas.blend(cx, cy, rgb(255, 214, 196, 0.5f), edge);
    }
  // A hairline underneath, fading at both ends.
  for (int x = 466; x < 537; ++x) {
    float fade = std::sin(3.14159f * (x - 466) / 71.f);
    canvas.blend(x, 40, rgb(236, 112, 86, 0.75f), fade);
    canvas.blend(x, 41, rgb(0, 0, 0, 0.35f), fade);
  }
}

// The maker's name, small and engraved, under the switch.
void paintMaker(Canvas& canvas, const std::string& fontDir) {
  TextMask m = renderText(fontDir + "/VeraBd.ttf", 9.5f, "QUILLMARSH", 1.2f);
  int inkW = m.inkRight - m.inkLeft + 1;
  int ox = 501 - inkW / 2 - m.inkLeft, oy = 97 - m.baseline;
  for (int y = 0; y < m.height; ++y)
    for (int x = 0; x < m.width; ++x) {
      canvas.blend(x + ox, y + oy, rgb(255, 255, 255, 0.10f), m.at(x, y - 1));  // lit lower edge of the cut
      canvas.blend(x + ox, y + oy, rgb(14, 15, 18, 0.55f), m.at(x, y));
      canvas.blend(x + ox, y + oy, rgb(125, 141, 148, 0.55f), m.at(x, y) * 0.9f);
    }
}

}  // namespace

Canvas makeBackground(const std::string& fontDir) {
  Canvas canvas(kWidth, kHeight);
  paintPanel(canvas);
  paintScrew(canvas, 7.5f, 7.5f, 0.5f);
  paintScrew(canvas, 552.5f, 7.5f, 2.1f);
  paintScrew(canvas, 7.5f, 102.5f, 1.2f);
  paintScrew(canvas, 552.5f, 102.5f, 2.8f);
  paintName(canvas, fontDir);
  paintMaker(canvas, fontDir);
  return canvas;
}

}  // namespace art
