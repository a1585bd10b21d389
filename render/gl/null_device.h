// A device and context that need no display and no OpenGL: textures keep their pixels in memory and every quad
// drawn is recorded with the state it was drawn in, so the toolkit's logic can run and be examined anywhere.
#pragma once

#include <cstdint>
#include <vector>

#include "render/gl/drawing.h"

namespace VexBlit {

class NullDevice;

// A texture of exactly the requested size, its 32-bit pixels held in memory.
class NullTexture final : public StaticTexture {
 public:
  NullTexture(NullDevice& device, uint32_t width, uint32_t height);
  // Lowers the device's count and deletes this object.
  void release() override;
  // Copies a rectangle of pixels, clipped to the texture's size.
  void update(const uint32_t* pixels, uint32_t rowLength, uint32_t x, uint32_t y, uint32_t width,
              uint32_t height) override;

  NullDevice* device;
  uint32_t width, height;
  std::vector<uint32_t> pixels;  // width x height, rows top to bottom; 0 until updated
};

class NullDevice : public Device, public Context {
 public:
  // One quad as drawn: the state of the shader bound at the time (as the OpenGL device applies it) and the quad.
  struct Draw {
    Blend blend;
    Combine combine;
    Texture* texture0;  // null for the device's fallback texture
    Texture* texture1;
    Quad quad;
  };

  NullDevice() = default;
  // A device left with live textures reports the leak as the OpenGL device does.
  ~NullDevice() override;

  // Device: release() deletes a device made with new.
  void release() override;
  TexturePtr createTexture(uint32_t width, uint32_t height) override;
  // Counts the frame, unbinds any shader and lets the scene draw; the recorded draws are kept across frames.
  void renderScene(Scene& scene) override;
  void setPixelScale(float s) override { scale = s > 0 ? s : 1.0f; }
  // Context
  Shader* setShader(Shader* shader) override;
  void applyState(Blend blend, Combine combine, Texture* texture0, Texture* texture1) override;
  void drawQuads(const Quad* quads, uint32_t count) override;
  Device& device() override { return *this; }
  float pixelScale() const override { return scale; }

  uint32_t liveTextures() const { return textureCount; }

  std::vector<Draw> draws;
  uint32_t frames = 0;
  float scale = 1.0f;  // window pixels per unit

 private:
  friend class NullTexture;
  Shader* currentShader = nullptr;
  bool stateDirty = false;
  Blend blend = Blend::Off;
  Combine combine = Combine::Colour;
  Texture* texture0 = nullptr;
  Texture* texture1 = nullptr;
  uint32_t textureCount = 0;
};

}  // namespace VexBlit
