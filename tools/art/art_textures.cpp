// COMMONTEXTURES (the scale ring behind every knob and the maker's logo) and OLDKNOBS (the knob film strip), drawn
// at 1 or 2 device pixels per unit from the same shapes.
#include <cmath>
#include <functional>

#include "art_canvas.h"
#include "art_pictures.h"
#include "art_text.h"

namespace art {

namespace {

constexpr float kPi = 3.14159265f;
constexpr float kTravel = 300;  // degrees, the gap at the bottom
constexpr int kFrames = 96;

// Renders f (premultiplied RGBA at a point in units) over a w x h unit area at (x0, y0) units with 5x5 samples per
// device pixel, scale device pixels to the unit.
void supersample(Canvas& canvas, int x0, int y0, int w, int h, const std::function<void(float, float, float*)>& f,
                 int scale = 1) {
  constexpr int n = 5;
  const float unit = 1.0f / float(scale);
  for (int y = 0; y < h * scale; ++y)
    for (int x = 0; x < w * scale; ++x) {
      float sum[4] = {0, 0, 0, 0};
      for (int sy = 0; sy < n; ++sy)
        for (int sx = 0; sx < n; ++sx) {
          float s[4] = {0, 0, 0, 0};
          f((x + (sx + 0.5f) / n) * unit, (y + (sy + 0.5f) / n) * unit, s);
          for (int c = 0; c < 4; ++c) sum[c] += s[c];
        }
      float* p = canvas.at(x0 * scale + x, y0 * scale + y);
      for (int c = 0; c < 4; ++c) p[c] = sum[c] / (n * n);
    }
}

// Premultiplied "over" of colour c with coverage k onto the sample s.
void over(float* s, Colour c, float k) {
  float a = clamp01(c.a * k);
  s[0] = c.r * a + s[0] * (1 - a);
  s[1] = c.g * a + s[1] * (1 - a);
  s[2] = c.b * a + s[2] * (1 - a);
  s[3] = a + s[3] * (1 - a);
}

// Ticks around a 40 px knob centred at (40, 40): 21 of them, every other one long, over the knob's travel.
// They stay within radius 25 so the lowest ones end above the caption under the knob.
void scaleRing(float x, float y, float* s) {
  float dx = x - 40, dy = y - 40;
  for (int i = 0; i <= 20; ++i) {
    float angle = (-kTravel / 2 + kTravel * i / 20) * kPi / 180;  // clockwise from straight up
    float ux = std::sin(angle), uy = -std::cos(angle);
    bool major = i % 2 == 0;
    float r0 = 21, r1 = major ? 25 : 23, halfWidth = major ? 0.75f : 0.5f;
    float d = segmentDistance(dx, dy, ux * r0, uy * r0, ux * r1, uy * r1) - halfWidth;
    if (d < 0) over(s, major ? rgb(214, 220, 226, 0.92f) : rgb(180, 188, 196, 0.7f), 1);
  }
}

// The maker's mark: a quill beside the name, white, for the editor to tint.
void paintLogo(Canvas& canvas, const std::string& fontDir, int scale) {
  supersample(
      canvas, 102, 50, 20, 30,
      [](float x, float y, float* s) {
        // A feather leaning right, in coordinates along its shaft: u from the nib (0) to the tip (1), v across.
        const float x0 = 3.5f, y0 = 28.5f, x1 = 17.5f, y1 = 2.0f, length = std::hypot(x1 - x0, y1 - y0);
        float ux = (x1 - x0) / length, uy = (y1 - y0) / length;
        float u = ((x - x0) * ux + (y - y0) * uy) / length, v = (x - x0) * -uy + (y - y0) * ux;
        v -= 2.2f * std::sin(kPi * u);  // the shaft bows a little
        if (u < 0 || u > 1) return;
        float vaneU = (u - 0.3f) / 0.7f;
        float half = vaneU > 0 ? 4.6f * std::pow(std::sin(kPi * std::min(vaneU, 1.f)), 0.7f) : 0;
        float side = v < 0 ? 1.0f : 0.72f;  // the leading vane is wider
        bool vane = std::fabs(v) < half * side;
        bool barbGap = std::fabs(v) > 0.9f && std::fmod(u * length + std::fabs(v) * 0.8f, 3.4f) < 0.5f;
        bool shaft = std::fabs(v) < 0.65f;
        if ((vane && !barbGap) || shaft) over(s, rgb(255, 255, 255), 1);
      },
      scale);
  const int k = scale;
  TextMask m = renderText(fontDir + "/VeraBd.ttf", 11.f * k, "Quillmarsh", 0.1f * k);
  int ox = 122 * k - m.inkLeft, oy = 70 * k - m.baseline;
  for (int y = 0; y < m.height; ++y)
    for (int x = 0; x < m.width; ++x)
      if (x + ox >= 122 * k && x + ox < 192 * k && y + oy >= 50 * k && y + oy < 80 * k)
        canvas.blend(x + ox, y + oy, rgb(255, 255, 255), m.at(x, y));
}

// One frame of the knob turned to angle (radians, clockwise from up), centred at (20, 20).
void knob(float x, float y, float angle, float* s) {
  float dx = x - 20, dy = y - 20, d = std::hypot(dx, dy);
  // Soft shadow below and a little to the bottom.
  float sd = std::hypot(dx, dy - 1.6f);
  over(s, rgb(0, 0, 0, 0.55f), 1 - smoothstep(14.5f, 19.5f, sd));
  if (d > 16.8f) return;
  float nx = dx / std::max(d, 0.001f), ny = dy / std::max(d, 0.001f);
  float light = -ny * 0.8f - nx * 0.2f;  // lit from above, slightly from the left
  float phi = std::atan2(dx, -dy);       // clockwise from up
  // Skirt: dark, with grip ridges that turn with the knob and a bevelled rim.
  float ridges = std::cos(28 * (phi - angle));
  float rim = smoothstep(14.8f, 16.8f, d);
  Colour skirt = mix(rgb(40, 42, 47), rgb(62, 65, 71), 0.5f + 0.5f * light);
  skirt = scaled(skirt, 1 + 0.10f * ridges * (1 - rim) + 0.45f * rim * light);
  over(s, skirt, 1);
  if (d > 12.6f) {
    if (d > 12.0f && d < 13.4f) over(s, rgb(12, 13, 15, 0.55f), 1);  // the step down from the cap
    return;
  }
  // Cap: brushed metal with a conic sheen that stays put while the knob turns.
  float sheen = 0.5f + 0.25f * std::cos(2 * (phi + 0.6f)) + 0.15f * std::cos(4 * phi + 1.0f);
  Colour cap = mix(rgb(78, 82, 89), rgb(168, 173, 181), sheen * (0.75f + 0.25f * (1 - d / 12.6f)));
  cap = scaled(cap, 1 + 0.12f * smoothstep(10.5f, 12.6f, d) * light);
  over(s, cap, 1);
  // Pointer line from the middle of the cap to the rim.
  float ux = std::sin(angle), uy = -std::cos(angle);
  float pd = segmentDistance(dx, dy, ux * 4.5f, uy * 4.5f, ux * 15.6f, uy * 15.6f);
  over(s, rgb(10, 10, 12, 0.35f), pd < 1.7f ? 1.f : 0.f);
  over(s, rgb(250, 246, 240), pd < 1.05f ? 1.f : 0.f);
}

}  // namespace

Canvas makeCommonTextures(const std::string& fontDir, int scale) {
  Canvas canvas(256 * scale, 256 * scale);
  supersample(canvas, 0, 0, 80, 80, scaleRing, scale);
  paintLogo(canvas, fontDir, scale);
  return canvas;
}

Canvas makeIcon(int size) {
  Canvas canvas(size, size);
  const float k = 80.0f / size;                         // the icon is the scale ring's 80 x 80 square, scaled
  const float turned = 0.3f * kTravel / 2 * kPi / 180;  // a little past the middle, as a knob at work
  supersample(canvas, 0, 0, size, size, [&](float x, float y, float* s) {
    const float rx = x * k, ry = y * k;
    // The panel's dark plate with rounded corners, lighter at the top as the panel is.
    const float plate = coverage(roundRectDistance(rx, ry, 1, 1, 79, 79, 14) / k);
    over(s, mix(rgb(58, 62, 69), rgb(30, 32, 37), ry / 80), plate);
    scaleRing(rx, ry, s);
    knob(rx - 20, ry - 20, turned, s);
  });
  return canvas;
}

Canvas makeKnobStrip(int scale) {
  Canvas canvas(321 * scale, 480 * scale);
  for (int n = 0; n < kFrames; ++n) {
    float angle = (-kTravel / 2 + kTravel * n / (kFrames - 1)) * kPi / 180;
    supersample(
        canvas, 40 * (n % 8), 40 * (n / 8), 40, 40, [angle](float x, float y, float* s) { knob(x, y, angle, s); },
        scale);
  }
  return canvas;
}

}  // namespace art
