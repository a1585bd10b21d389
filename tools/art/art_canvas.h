// Drawing surface of the picture generator: premultiplied float RGBA, shape coverage helpers, PNG output.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace art {

// A colour with straight (not premultiplied) components in 0..1.
struct Colour {
  float r = 0, g = 0, b = 0, a = 1;
};

inline Colour rgb(int r, int g, int b, float a = 1) { return {r / 255.f, g / 255.f, b / 255.f, a}; }
inline Colour mix(Colour x, Colour y, float t) {
  return {x.r + (y.r - x.r) * t, x.g + (y.g - x.g) * t, x.b + (y.b - x.b) * t, x.a + (y.a - x.a) * t};
}
inline Colour scaled(Colour c, float k) { return {c.r * k, c.g * k, c.b * k, c.a}; }

inline float clamp01(float v) { return v < 0 ? 0 : v > 1 ? 1 : v; }
inline float smoothstep(float e0, float e1, float x) {
  float t = clamp01((x - e0) / (e1 - e0));
  return t * t * (3 - 2 * t);
}
// Coverage of a pixel by a shape whose signed distance (negative inside) at the pixel centre is d.
inline float coverage(float d) { return clamp01(0.5f - d); }

// Distance from p to the segment a-b.
float segmentDistance(float px, float py, float ax, float ay, float bx, float by);
// Signed distance to a rounded rectangle.
float roundRectDistance(float px, float py, float x0, float y0, float x1, float y1, float radius);

// Hash noise in -1..1, stable per integer lattice point and seed.
float hashNoise(int x, int y, int seed);
// Smooth value noise in -1..1 with the given feature size in pixels along x and y.
float valueNoise(float x, float y, float sizeX, float sizeY, int seed);

class Canvas {
 public:
  Canvas(int width, int height);
  int width() const { return w; }
  int height() const { return h; }
  // Premultiplied pixel: 4 floats.
  float* at(int x, int y) { return &pixels[4 * (std::size_t(y) * w + x)]; }
  // Composites colour c with extra coverage k over the pixel (Porter-Duff over).
  void blend(int x, int y, Colour c, float k = 1);
  // Replaces the pixel with colour c (for opaque base layers).
  void set(int x, int y, Colour c);
  // Writes 8-bit premultiplied RGBA; returns false on failure.
  bool writePng(const std::string& path) const;

 private:
  int w, h;
  std::vector<float> pixels;
};

}  // namespace art
