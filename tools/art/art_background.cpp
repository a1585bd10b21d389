// BACKGROUND: the editor's 560x110 panel: brushed graphite, knob wells, the switch plate, screws and the names, drawn
// at 1 or 2 device pixels per panel unit from the same shapes (every distance in panel units, every edge one device
// pixel soft).
#include <cmath>

#include "art_canvas.h"
#include "art_pictures.h"
#include "art_text.h"

namespace art {

namespace {

constexpr int kWidth = 560, kHeight = 110;
constexpr int kKnobX[6] = {8, 86, 156, 242, 312, 390};
constexpr float kKnobCentreY = 23 + 36;  // the knob body sits 16..56 inside its 80x80 rectangle at y = 23

// Graphite with a horizontal brush grain, lit from above. (x, y) is the device pixel's centre in panel units less
// half a unit (so at scale 1 the pixel's own indices); the speck is per device pixel.
Colour panelColour(float x, float y, int deviceX, int deviceY) {
  float t = y / float(kHeight - 1);
  Colour c = mix(rgb(54, 58, 64), rgb(33, 35, 40), t);
  float grain = 0.012f * valueNoise(x, y, 140, 0.9f, 1) + 0.006f * valueNoise(x, y, 9, 0.7f, 2);
  float speck = 0.004f * hashNoise(deviceX, deviceY, 3);
  float glow = 0.035f * std::exp(-((x - 170.f) * (x - 170.f) / (2 * 260.f * 260.f)) - y * y / (2 * 55.f * 55.f));
  float k = grain + speck + glow;
  return {c.r + k, c.g + k, c.b + k * 1.1f, 1};
}

// A shallow dish under each knob: darker inside, a lit lower lip, a shaded upper lip. s: device pixels per unit.
float wellShade(float px, float py, float s) {
  float shade = 0;
  for (int kx : kKnobX) {
    float dx = px - (kx + 40.f), dy = py - kKnobCentreY, d = std::hypot(dx, dy);
    if (d > 30) continue;
    // Radius 26: the dish ends above the caption's letters.
    float inside = 1 - smoothstep(25, 25 + 2 / s, d);
    float rim = std::exp(-(d - 26.5f) * (d - 26.5f) * s * s / 1.0f);
    float facing = dy / std::max(d, 1.f);  // +1 at the bottom of the dish, which faces the light
    shade += -0.035f * inside + 0.05f * rim * facing;
  }
  return shade;
}

// The switch plate: a slightly raised, rounded panel behind the waveform caption and value.
float plateShade(float px, float py, float s) {
  float d = roundRectDistance(px, py, 462.5f, 47.5f, 537.5f, 77.5f, 5) * s;  // device pixels
  float inside = coverage(d);
  float edgeTop = std::exp(-d * d / 0.6f) * (py < 62 ? 1.f : -1.f);
  return 0.018f * inside + 0.05f * edgeTop;
}

void paintPanel(Canvas& canvas, int scale) {
  const float s = float(scale);
  for (int y = 0; y < kHeight * scale; ++y)
    for (int x = 0; x < kWidth * scale; ++x) {
      float px = (x + 0.5f) / s, py = (y + 0.5f) / s;
      Colour c = panelColour(px - 0.5f, py - 0.5f, x, y);
      float k = wellShade(px, py, s) + plateShade(px, py, s);
      // The panel's edge: a light line along the top and left, a dark one along the bottom and right, one unit wide.
      if (y < scale || x < scale) k += 0.09f;
      if (y >= (kHeight - 1) * scale || x >= (kWidth - 1) * scale) k -= 0.06f;
      canvas.set(x, y, {c.r + k, c.g + k, c.b + k, 1});
    }
}

void paintScrew(Canvas& canvas, int scale, float cx, float cy, float slotAngle) {
  const float s = float(scale);
  // Coverage of a shape whose distance in units is d, with an edge one device pixel soft.
  auto cover = [s](float d) { return coverage(d * s); };
  for (int y = int(cy * s) - 6 * scale; y <= int(cy * s) + 6 * scale; ++y)
    for (int x = int(cx * s) - 6 * scale; x <= int(cx * s) + 6 * scale; ++x) {
      float ux = (x + 0.5f) / s, uy = (y + 0.5f) / s;
      float dx = ux - cx, dy = uy - cy, d = std::hypot(dx, dy);
      canvas.blend(x, y, rgb(0, 0, 0, 0.45f), cover(d - 4.4f) * (1 - cover(d - 3.2f)) + 0.2f * cover(d - 5));
      Colour head = mix(rgb(150, 155, 162), rgb(70, 73, 79), clamp01((dy - dx) / 7 + 0.5f));
      canvas.blend(x, y, head, cover(d - 3.5f));
      float slot = segmentDistance(ux, uy, cx - 2.6f * std::cos(slotAngle), cy - 2.6f * std::sin(slotAngle),
                                   cx + 2.6f * std::cos(slotAngle), cy + 2.6f * std::sin(slotAngle));
      canvas.blend(x, y, rgb(30, 31, 34, 0.9f), cover(slot - 0.55f) * cover(d - 3.5f));
    }
}

// The instrument's name: coral letters with a cut-out shadow and a lit top edge.
void paintName(Canvas& canvas, int scale, const std::string& fontDir) {
  const int s = scale;
  TextMask m = renderText(fontDir + "/VeraBd.ttf", 23.f * s, "Koralin", -0.3f * s);
  int inkW = m.inkRight - m.inkLeft + 1;
  int ox = 501 * s - inkW / 2 - m.inkLeft, oy = 33 * s - m.baseline;
  for (int y = 0; y < m.height; ++y)
    for (int x = 0; x < m.width; ++x) {
      int cx = x + ox, cy = y + oy;
      canvas.blend(cx, cy, rgb(8, 9, 11, 0.7f), m.at(x, y - s));        // shadow a unit below
      canvas.blend(cx, cy, rgb(255, 255, 255, 0.10f), m.at(x, y + s));  // light catching the top
      float t = clamp01(float(y - m.inkTop) / float(m.inkBottom - m.inkTop + 1));
      Colour fill = mix(rgb(255, 150, 118), rgb(222, 92, 70), t);
      float edge = m.at(x, y) - m.at(x, y - s);  // top rims of the letters
      canvas.blend(cx, cy, fill, m.at(x, y));
      if (edge > 0) canvas.blend(cx, cy, rgb(255, 214, 196, 0.5f), edge);
    }
  // A hairline underneath, one unit high, fading at both ends.
  for (int x = 466 * s; x < 537 * s; ++x) {
    float fade = std::sin(3.14159f * ((x + 0.5f) / float(s) - 0.5f - 466) / 71.f);
    for (int row = 0; row < s; ++row) {
      canvas.blend(x, 40 * s + row, rgb(236, 112, 86, 0.75f), fade);
      canvas.blend(x, 41 * s + row, rgb(0, 0, 0, 0.35f), fade);
    }
  }
}

// The maker's name, small and engraved, under the switch.
void paintMaker(Canvas& canvas, int scale, const std::string& fontDir) {
  const int s = scale;
  TextMask m = renderText(fontDir + "/VeraBd.ttf", 9.5f * s, "QUILLMARSH", 1.2f * s);
  int inkW = m.inkRight - m.inkLeft + 1;
  int ox = 501 * s - inkW / 2 - m.inkLeft, oy = 97 * s - m.baseline;
  for (int y = 0; y < m.height; ++y)
    for (int x = 0; x < m.width; ++x) {
      canvas.blend(x + ox, y + oy, rgb(255, 255, 255, 0.10f), m.at(x, y - s));  // lit lower edge of the cut
      canvas.blend(x + ox, y + oy, rgb(14, 15, 18, 0.55f), m.at(x, y));
      canvas.blend(x + ox, y + oy, rgb(125, 141, 148, 0.55f), m.at(x, y) * 0.9f);
    }
}

}  // namespace

Canvas makeBackground(const std::string& fontDir, int scale) {
  Canvas canvas(kWidth * scale, kHeight * scale);
  paintPanel(canvas, scale);
  paintScrew(canvas, scale, 7.5f, 7.5f, 0.5f);
  paintScrew(canvas, scale, 552.5f, 7.5f, 2.1f);
  paintScrew(canvas, scale, 7.5f, 102.5f, 1.2f);
  paintScrew(canvas, scale, 552.5f, 102.5f, 2.8f);
  paintName(canvas, scale, fontDir);
  paintMaker(canvas, scale, fontDir);
  return canvas;
}

}  // namespace art
