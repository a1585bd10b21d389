// Canvas compositing, distance helpers, noise and the PNG writer (libpng) of the picture generator.
#include "art_canvas.h"

#include <png.h>

#include <algorithm>
#include <cstdio>

namespace art {

float segmentDistance(float px, float py, float ax, float ay, float bx, float by) {
  float dx = bx - ax, dy = by - ay;
  float t = clamp01(((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy));
  return std::hypot(px - ax - t * dx, py - ay - t * dy);
}

float roundRectDistance(float px, float py, float x0, float y0, float x1, float y1, float radius) {
  float cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
  float qx = std::fabs(px - cx) - ((x1 - x0) / 2 - radius), qy = std::fabs(py - cy) - ((y1 - y0) / 2 - radius);
  float outside = std::hypot(std::max(qx, 0.f), std::max(qy, 0.f));
  return outside + std::min(std::max(qx, qy), 0.f) - radius;
}

float hashNoise(int x, int y, int seed) {
  std::uint32_t n = std::uint32_t(x) * 374761393u + std::uint32_t(y) * 668265263u + std::uint32_t(seed) * 2246822519u;
  n = (n ^ (n >> 13)) * 1274126177u;
  n ^= n >> 16;
  return float(n & 0xFFFFFF) / float(0x7FFFFF) - 1.f;
}

float valueNoise(float x, float y, float sizeX, float sizeY, int seed) {
  float fx = x / sizeX, fy = y / sizeY;
  int ix = int(std::floor(fx)), iy = int(std::floor(fy));
  float tx = smoothstep(0, 1, fx - ix), ty = smoothstep(0, 1, fy - iy);
  float top = hashNoise(ix, iy, seed) + (hashNoise(ix + 1, iy, seed) - hashNoise(ix, iy, seed)) * tx;
  float bottom = hashNoise(ix, iy + 1, seed) + (hashNoise(ix + 1, iy + 1, seed) - hashNoise(ix, iy + 1, seed)) * tx;
  return top + (bottom - top) * ty;
}

Canvas::Canvas(int width, int height) : w(width), h(height), pixels(4 * std::size_t(width) * height, 0.f) {}

void Canvas::blend(int x, int y, Colour c, float k) {
  if (x < 0 || y < 0 || x >= w || y >= h) return;
  float a = clamp01(c.a * k);
  float* p = at(x, y);
  p[0] = c.r * a + p[0] * (1 - a);
  p[1] = c.g * a + p[1] * (1 - a);
  p[2] = c.b * a + p[2] * (1 - a);
  p[3] = a + p[3] * (1 - a);
}

void Canvas::set(int x, int y, Colour c) {
  float* p = at(x, y);
  p[0] = c.r * c.a;
  p[1] = c.g * c.a;
  p[2] = c.b * c.a;
  p[3] = c.a;
}

bool Canvas::writePng(const std::string& path) const {
  std::vector<std::uint8_t> bytes(4 * std::size_t(w) * h);
  for (std::size_t i = 0; i < bytes.size(); i += 4) {
    int alpha = int(std::lround(clamp01(pixels[i + 3]) * 255));
    bytes[i + 3] = std::uint8_t(alpha);
    // Premultiplied: a colour channel never exceeds its alpha, whatever the rounding did.
    for (int c = 0; c < 3; ++c)
      bytes[i + c] = std::uint8_t(std::min<long>(std::lround(clamp01(pixels[i + c]) * 255), alpha));
  }
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    return false;
  }
  png_init_io(png, file);
  png_set_compression_level(png, 9);
  png_set_IHDR(png, info, png_uint_32(w), png_uint_32(h), 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  std::vector<png_bytep> rows(static_cast<std::size_t>(h));
  for (int y = 0; y < h; ++y) rows[std::size_t(y)] = bytes.data() + 4 * std::size_t(y) * w;
  png_set_rows(png, info, rows.data());
  png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
  png_destroy_write_struct(&png, &info);
  return std::fclose(file) == 0;
}

}  // namespace art
