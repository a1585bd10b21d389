// The OpenGL device: one object that is both the Device and the Context the toolkit draws through.
#pragma once

#include <cstdint>
#include <memory>

#include "render/gl/drawing.h"
#include "render/gl/gl_api.h"
#include "render/gl/gl_context.h"

namespace VexBlit {

// What the driver's extension string offers, tested by plain substring search.
struct Capabilities {
  bool required = false;  // multitexture and a texture-env-combine extension
  bool rectTextures = false;
  bool hasVertexBufferObject = false;
  bool hasPbuffer = false;
  bool hasPackedDepthStencil = false;
  bool hasStencilWrap = false;
  bool hasStencilTwoSide = false;
  bool hasAtiSeparateStencil = false;
};
Capabilities probeExtensions(const char* glExtensions);

// Shown once per process when the driver lacks what the renderer needs.
extern const char* const kMissingExtensionsText;

struct DeviceOptions {
  bool allowRectangleTextures = true;        // false forces power-of-two textures with scaled coordinates
  const char* extensionsOverride = nullptr;  // probed instead of the driver's string when set (for tests)
};

class GLDevice;
using GLDevicePtr = DeviceOwned<GLDevice>;
// Creates the device on the window; throws Exception on failure and leaves nothing allocated.
GLDevicePtr createGLDevice(NativeWindow window, const DeviceOptions& options = {});

class GLDevice final : public Device, public Context {
 public:
  // Device
  void release() override;
  TexturePtr createTexture(uint32_t width, uint32_t height) override;
  void renderScene(Scene& scene) override;
  void setPixelScale(float scale) override { pixelScale_ = scale > 0 ? scale : 1.0f; }
  // Context
  Shader* setShader(Shader* shader) override;
  void applyState(Blend blend, Combine combine, Texture* texture0, Texture* texture1) override;
  void drawQuads(const Quad* quads, uint32_t count) override;
  Device& device() override { return *this; }
  float pixelScale() const override { return pixelScale_; }

  // Read-outs for the toolkit and for tests.
  uint32_t liveTextures() const { return uint32_t(textureCount); }
  // Bytes of the live textures as allocated (32-bit texels, power-of-two sides where rectangles are not used).
  uint64_t textureBytes() const { return liveTextureBytes; }
  uint32_t scopeDepth() const { return currentDepth; }
  bool usesRectTextures() const { return rectTextures; }
  const Capabilities& capabilities() const { return caps; }
  GLContext& nativeContext() { return *glContext; }

  // Makes the device's context current for its lifetime and puts back the caller's when the outermost one closes.
  class CurrentContextScope {
   public:
    explicit CurrentContextScope(GLDevice& device);
    ~CurrentContextScope() noexcept(false);
    CurrentContextScope(const CurrentContextScope&) = delete;
    CurrentContextScope& operator=(const CurrentContextScope&) = delete;

   private:
    GLDevice& device;
    int exceptionsAtOpen;
  };

 private:
  friend GLDevicePtr createGLDevice(NativeWindow, const DeviceOptions&);
  friend class GLTexture;
  friend class GLStaticTexture;
  GLDevice(NativeWindow window, const DeviceOptions& options);
  ~GLDevice() override;
  void initialise(const DeviceOptions& options);
  void requireExtensions(const char* extensions);
  void fetchEntryPoints();
  void createDefaultTexture();
  void applyCombine(Combine combine, GLuint texture0, GLuint texture1);
  void emitVertex(const Quad& quad, float x, float y, float u, float v, float s, float t);

  PFNGLMULTITEXCOORD2FARBPROC multiTexCoord2f = nullptr;
  PFNGLACTIVETEXTUREARBPROC activeTexture = nullptr;
  PFNGLACTIVESTENCILFACEEXTPROC activeStencilFace = nullptr;  // recorded only
  void* stencilOpSeparate = nullptr;                          // recorded only
  void* stencilFuncSeparate = nullptr;                        // recorded only
  std::unique_ptr<GLContext> glContext;
  uint32_t width = 0, height = 0;  // client size at the start of the last frame
  float pixelScale_ = 1.0f;        // window pixels per drawing unit
  Shader* currentShader = nullptr;
  bool stateDirty = false;  // the bound shader changed and is not applied yet
  uint32_t currentDepth = 0;
  bool rectTextures = false;
  GLenum textureTarget = GL_TEXTURE_2D;
  GLenum textureBinding = GL_TEXTURE_BINDING_2D;
  Capabilities caps;
  float texScale0X = 1, texScale0Y = 1, texScale1X = 1, texScale1Y = 1;
  TexturePtr defaultTexture;  // 4 by 4 fallback
  int32_t textureCount = 0;   // live textures made by this device
  uint64_t liveTextureBytes = 0;
};

}  // namespace VexBlit
