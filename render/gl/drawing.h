// The drawing interfaces the toolkit paints through: scenes, devices, contexts, textures, shaders and quads.
#pragma once

#include <cstdint>
#include <memory>

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

// How a drawn quad meets what is under it.
enum class Blend : uint32_t {
  Off = 0,                // replaces the destination
  PremultipliedOver = 1,  // source + destination x (1 - source alpha)
  Additive = 2,           // source + destination
  StraightOver = 3,       // source x alpha + destination x (1 - source alpha)
  Coverage = 4,           // per-channel coverage of sub-pixel text
};
constexpr uint32_t kBlendCount = 5;

// Where a quad's colour comes from: its vertex colour, its textures, or both.
enum class Combine : uint32_t {
  Colour = 0,          // the vertex colour alone
  Texture = 1,         // texture 0 x colour
  TextureDoubled = 2,  // texture 0 x colour x 2
  SoftCoverage = 3,    // (1 - (1 - texture 0)^2) x colour
  TextureRgb = 4,      // texture 0's RGB with the colour's alpha
  TwoTextures = 5,     // texture 0 x texture 1 x colour
  Crossfade = 6,       // texture 1 over texture 0 by the colour's alpha, tinted by the colour
};
constexpr uint32_t kCombineCount = 7;

// Frees a device's object through its release(), which makes the device's context current as it needs.
struct ReleaseDeleter {
  template <class T>
  void operator()(T* object) const {
    if (object) object->release();
  }
};
// A texture, font atlas or device held by its one owner and released with the owner.
template <class T>
using DeviceOwned = std::unique_ptr<T, ReleaseDeleter>;

class Texture : public NonCopyable {
 public:
  // Frees the texture and deletes this object; called by its owning pointer.
  virtual void release() = 0;
};

// A texture whose pixels the caller fills: 32-bit pixels, bytes B, G, R, A.
class StaticTexture : public Texture {
 public:
  virtual void update(const uint32_t* pixels, uint32_t rowLength, uint32_t x, uint32_t y, uint32_t width,
                      uint32_t height) = 0;
};

using TexturePtr = DeviceOwned<StaticTexture>;

class Device : public NonCopyable {
 public:
  // Destroys the device; called by its owning pointer.
  virtual void release() = 0;
  // A texture of at least this size; its contents are undefined until updated. Released before the device.
  virtual TexturePtr createTexture(uint32_t width, uint32_t height) = 0;
  // Paints one frame of the window.
  virtual void renderScene(Scene& scene) = 0;
  // Window pixels per drawing unit from the next frame on (1 by default): the scene then draws in units, the
  // window's client area being its size in pixels divided by the scale.
  virtual void setPixelScale(float scale) = 0;
};

// One textured, coloured, optionally rotated rectangle. Texture coordinates are in texels.
struct Quad {
  float x0, y0, x1, y1;  // destination corners, drawing units (window pixels at scale 1)
  float u0, v0, u1, v1;  // texture 0 rectangle
  float s0, t0, s1, t1;  // texture 1 rectangle
  float cosA, sinA;      // rotation angle
  float pivotX, pivotY;  // rotation centre, in the units of what is rotated
  bool rotateTexture1;   // rotate texture 1 coordinates instead of the positions
  uint32_t colour;       // 0xAARRGGBB
};

class Context : public NonCopyable {
 public:
  // Binds a shader (null for none) and returns the one bound before.
  virtual Shader* setShader(Shader* shader) = 0;
  virtual void applyState(Blend blend, Combine combine, Texture* texture0, Texture* texture1) = 0;
  virtual void drawQuads(const Quad* quads, uint32_t count) = 0;
  virtual Device& device() = 0;
  // Window pixels per unit of the coordinates drawn in: pictures and glyphs are chosen for it.
  virtual float pixelScale() const = 0;
};

using DevicePtr = DeviceOwned<Device>;

// The drawing state for the quads drawn while it lives: blend and combine modes and up to two textures.
class Shader : public NonCopyable {
 public:
  Shader(Context& context, Blend blend, Combine combine, Texture* texture0, Texture* texture1);
  ~Shader() override;

  Context* context;
  Shader* previous;  // the shader bound before this one, put back on destruction
  Combine combine;
  Blend blend;
  Texture* texture0;  // null for the device's fallback texture
  Texture* texture1;
};

// A w by h quad at (x, y) whose texture rectangles (both sets) start at (u, v) with the same size, unrotated.
void initQuad(Quad& quad, uint32_t colour, float x, float y, float w, float h, float u, float v);
void setQuadRotation(Quad& quad, bool rotateTexture1, float cosA, float sinA, float pivotX, float pivotY);
inline void drawQuad(Context& context, const Quad& quad) { context.drawQuads(&quad, 1); }

}  // namespace VexBlit
