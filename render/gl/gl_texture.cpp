// OpenGL textures: creation (rectangle or power-of-two), clipped updates and release with accounting.
#include "render/gl/gl_texture.h"

namespace VexBlit {

namespace {

// Binds a texture for the lifetime of the object and puts back what was bound on that target.
class BindingKeeper {
 public:
  BindingKeeper(GLenum target, GLenum binding, GLuint name) : target(target) {
    GLint bound = 0;
    glGetIntegerv(binding, &bound);
    previous = GLuint(bound);
    glBindTexture(target, name);
  }
  ~BindingKeeper() { glBindTexture(target, previous); }
  BindingKeeper(const BindingKeeper&) = delete;
  BindingKeeper& operator=(const BindingKeeper&) = delete;

 private:
  GLenum target;
  GLuint previous = 0;
};

}  // namespace

namespace {

constexpr uint32_t kLargestPowerOfTwo = 0x80000000u;  // the largest a 32-bit side holds

}  // namespace

uint32_t roundUpToPowerOfTwo(uint32_t size) {
  uint32_t side = 1;
  while (side < size && side < kLargestPowerOfTwo) side *= 2;
  return side < size ? size : side;
}

TexturePtr GLDevice::createTexture(uint32_t w, uint32_t h) {
  CurrentContextScope scope(*this);
  return TexturePtr(new GLStaticTexture(*this, w, h));
}

GLTexture::GLTexture(GLDevice& owner, uint32_t requestedWidth, uint32_t requestedHeight) : device(&owner) {
  device->textureCount += 1;
  glGenTextures(1, &name);
  width = device->rectTextures ? requestedWidth : roundUpToPowerOfTwo(requestedWidth);
  height = device->rectTextures ? requestedHeight : roundUpToPowerOfTwo(requestedHeight);
  device->liveTextureBytes += uint64_t(width) * height * 4;
  BindingKeeper bind(device->textureTarget, device->textureBinding, name);
  glTexParameteri(device->textureTarget, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(device->textureTarget, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexImage2D(device->textureTarget, 0, GL_RGBA, GLsizei(width), GLsizei(height), 0, GL_BGRA, GL_UNSIGNED_BYTE,
               nullptr);
}

void GLTexture::release() {
  try {
    GLDevice::CurrentContextScope scope(*device);
    glBindTexture(device->textureTarget, 0);
    glDeleteTextures(1, &name);
    device->textureCount -= 1;
    device->liveTextureBytes -= uint64_t(width) * height * 4;
  } catch (const Exception&) {
  }
  delete this;
}

void GLStaticTexture::update(const uint32_t* pixels, uint32_t rowLength, uint32_t x, uint32_t y, uint32_t w,
                             uint32_t h) {
  // An offset at or past the allocated edge has nothing to upload (the size arithmetic would wrap).
  if (!pixels || x >= width || y >= height) return;
  if (w > width - x) w = width - x;
  if (h > height - y) h = height - y;
  if (w == 0 || h == 0) return;
  GLDevice::CurrentContextScope scope(*device);
  BindingKeeper bind(device->textureTarget, device->textureBinding, name);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, GLint(rowLength));
  glTexSubImage2D(device->textureTarget, 0, GLint(x), GLint(y), GLsizei(w), GLsizei(h), GL_BGRA, GL_UNSIGNED_BYTE,
                  pixels);
}

}  // namespace VexBlit
