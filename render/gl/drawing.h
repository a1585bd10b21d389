// The drawing interfaces the toolkit paints through: scenes, devices, contexts, textures, shaders and quads.
#pragma once

#include <cstdint>

#include "render/gl/base.h"

namespace VexBlit {

class Context;
class Shader;

// Anything that can draw itself into a context (every control of the toolkit).
class Scene {
 public:
  virtual ~Scene() = default;
  virtual void draw(Context& context) = 0;
};

class Texture : public NonCopyable {
 public:
  // Frees the texture and deletes this object.
  virtual void release() = 0;
};

// A texture whose pixels the caller fills: 32-bit pixels, bytes B, G, R, A.
class StaticTexture : public Texture {
 public:
  virtual void update(const uint32_t* pixels, uint32_t rowLength, uint32_t x, uint32_t y, uint32_t width,
                      uint32_t height) = 0;
};

class Device : public NonCopyable {
 public:
  // Destroys the device.
  virtual void release() = 0;
  // A texture of at least this size; its contents are undefined until updated.
  virtual StaticTexture* createTexture(uint32_t width, uint32_t height) = 0;
  // Paints one frame of the window.
  virtual void renderScene(Scene& scene) = 0;
};

// One textured, coloured, optionally rotated rectangle. Texture coordinates are in texels.
struct Quad {
  float x0, y0, x1, y1;  // destination corners, window pixels
  float u0, v0, u1, v1;  // texture 0 rectangle
  float s0, t0, s1, t1;  // texture 1 rectangle
  float cosA, sinA;      // rotation angle
  float pivotX, pivotY;  // rotation centre, in the units of what is rotated
  bool rotateTexture1;   // rotate texture 1 coordinates instead of the positions
  uint32_t colour;       // 0xAARRGGBB
};

class Context : public NonCopyable {
 public:
  // An open question slot; the OpenGL context answers null.
  virtual void* nullQuery(void* query) = 0;
  // Binds a shader (null for none) and returns the one bound before.
  virtual Shader* setShader(Shader* shader) = 0;
  virtual void applyState(uint32_t blend, uint32_t combine, Texture* texture0, Texture* texture1) = 0;
  virtual void drawQuads(const Quad* quads, uint32_t count) = 0;
  virtual Device& device() = 0;
};

// Blend modes: 0 off, 1 premultiplied over, 2 additive, 3 straight alpha over, 4 per-channel coverage.
// Combine modes: 0 colour, 1 texture x colour, 2 the same doubled, 3 soft coverage, 4 texture RGB with colour
// alpha, 5 two textures x colour, 6 crossfade of two textures by the colour alpha, tinted by the colour.
class Shader : public NonCopyable {
 public:
  Shader(Context& context, uint32_t blend, uint32_t combine, Texture* texture0, Texture* texture1);
  ~Shader() override;

  Context* context;
  Shader* previous;  // the shader bound before this one, put back on destruction
  uint32_t combine;
  uint32_t blend;
  Texture* texture0;  // null for the device's fallback texture
  Texture* texture1;
};

// A w by h quad at (x, y) whose texture rectangles (both sets) start at (u, v) with the same size, unrotated.
void initQuad(Quad& quad, uint32_t colour, float x, float y, float w, float h, float u, float v);
void setQuadRotation(Quad& quad, bool rotateTexture1, float cosA, float sinA, float pivotX, float pivotY);
inline void drawQuad(Context& context, const Quad& quad) { context.drawQuads(&quad, 1); }

}  // namespace VexBlit
