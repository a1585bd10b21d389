// The device without a display: textures in memory, draws recorded, shader nesting as the OpenGL device has it.
#include "render/gl/null_device.h"

#include "platform/system.h"

namespace VexBlit {

NullTexture::NullTexture(NullDevice& owner, uint32_t width, uint32_t height)
    : device(&owner), width(width), height(height), pixels(size_t(width) * height, 0) {
  device->textureCount += 1;
}

void NullTexture::release() {
  device->textureCount -= 1;
  delete this;
}

void NullTexture::update(const uint32_t* source, uint32_t rowLength, uint32_t x, uint32_t y, uint32_t w, uint32_t h) {
  // The same clipping as the OpenGL texture's: nothing at or past the edge, the rest cut to the size.
  if (!source || x >= width || y >= height) return;
  if (w > width - x) w = width - x;
  if (h > height - y) h = height - y;
  for (uint32_t row = 0; row < h; ++row)
    for (uint32_t column = 0; column < w; ++column)
      pixels[size_t(y + row) * width + x + column] = source[size_t(row) * rowLength + column];
}

NullDevice::~NullDevice() {
  if (textureCount != 0) Platform::debugOutput("Quillmarsh null device: textures non-zero; possible leak.\r\n");
}

void NullDevice::release() { delete this; }

TexturePtr NullDevice::createTexture(uint32_t width, uint32_t height) {
  return TexturePtr(new NullTexture(*this, width, height));
}

void NullDevice::renderScene(Scene& scene) {
  frames += 1;
  currentShader = nullptr;
  scene.draw(*this);
}

Shader* NullDevice::setShader(Shader* shader) {
  Shader* before = currentShader;
  currentShader = shader;
  stateDirty = true;
  return before;
}

void NullDevice::applyState(Blend newBlend, Combine newCombine, Texture* newTexture0, Texture* newTexture1) {
  blend = newBlend;
  combine = newCombine;
  texture0 = newTexture0;
  texture1 = newTexture1;
  stateDirty = false;
}

void NullDevice::drawQuads(const Quad* quads, uint32_t count) {
  if (stateDirty && currentShader)
    applyState(currentShader->blend, currentShader->combine, currentShader->texture0, currentShader->texture1);
  for (uint32_t i = 0; i < count; ++i) draws.push_back({blend, combine, texture0, texture1, quads[i]});
}

}  // namespace VexBlit
