// OpenGL textures: the name and allocated size behind every texture a device makes.
#pragma once

#include <cstdint>

#include "render/gl/drawing.h"
#include "render/gl/gl_device.h"

namespace VexBlit {

class GLTexture : public Texture {
 public:
  GLTexture(GLDevice& device, uint32_t requestedWidth, uint32_t requestedHeight);
  // Frees the OpenGL name with the device's context current (failures swallowed), lowers the device's count and
  // deletes this object. Called by the texture's owning pointer.
  void release() override;

  GLuint name = 0;
  uint32_t width = 0, height = 0;  // the size allocated on the card
  GLDevice* device;
};

// What createTexture returns: a texture the caller fills.
class GLStaticTexture final : public StaticTexture, public GLTexture {
 public:
  GLStaticTexture(GLDevice& device, uint32_t width, uint32_t height) : GLTexture(device, width, height) {}
  void release() override { GLTexture::release(); }
  // Uploads a rectangle of 32-bit BGRA pixels, clipped to the allocated size.
  void update(const uint32_t* pixels, uint32_t rowLength, uint32_t x, uint32_t y, uint32_t width,
              uint32_t height) override;
};

// The side a power-of-two texture needs: 1, doubled while below the request.
uint32_t roundUpToPowerOfTwo(uint32_t size);

}  // namespace VexBlit
