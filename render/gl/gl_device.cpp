// The OpenGL device: creation and capability probe, the make-current scope, the frame and teardown.
#include "render/gl/gl_device.h"

#include <cstring>
#include <exception>

#include "platform/dialogs.h"
#include "platform/system.h"

namespace VexBlit {

const char* const kMissingExtensionsText =
    "Multitexturing with texture-env-combine not support by OpenGL.\n"
    "Some very old hardware simply doesn't support this feature.\n\n"
    "Otherwise, if you're running the latest drivers for your graphics card\n"
    "please report this error with your system details (GPU and OS)\n";

namespace {

// Process-wide: the missing-extensions box is shown the first time only.
bool missingExtensionsShown = false;

bool contains(const char* text, const char* name) { return std::strstr(text, name) != nullptr; }

// The fallback texture: 2 by 2 blocks of red, green / yellow, blue, opaque, as 0xAARRGGBB.
constexpr uint32_t kFallbackSide = 4;
const uint32_t kFallbackPixels[kFallbackSide * kFallbackSide] = {
    0xFFFF0000, 0xFFFF0000, 0xFF00FF00, 0xFF00FF00,  //
    0xFFFF0000, 0xFFFF0000, 0xFF00FF00, 0xFF00FF00,  //
    0xFFFFFF00, 0xFFFFFF00, 0xFF0000FF, 0xFF0000FF,  //
    0xFFFFFF00, 0xFFFFFF00, 0xFF0000FF, 0xFF0000FF,
};

}  // namespace

Capabilities probeExtensions(const char* ext) {
  Capabilities caps;
  if (!ext) ext = "";
  caps.required = contains(ext, "GL_ARB_multitexture") &&
                  (contains(ext, "GL_ARB_texture_env_combine") || contains(ext, "GL_EXT_texture_env_combine"));
  caps.hasVertexBufferObject = contains(ext, "GL_ARB_vertex_buffer_object");
  caps.hasPbuffer = contains(ext, "WGL_ARB_pbuffer");
  caps.hasPackedDepthStencil = contains(ext, "GL_EXT_packed_depth_stencil");
  caps.hasStencilWrap = contains(ext, "GL_EXT_stencil_wrap");
  caps.hasStencilTwoSide = contains(ext, "GL_EXT_stencil_two_side");
  caps.hasAtiSeparateStencil = contains(ext, "GL_ATI_separate_stencil");
  caps.rectTextures = contains(ext, "GL_ARB_texture_rectangle") || contains(ext, "GL_EXT_texture_rectangle");
  return caps;
}

GLDevicePtr createGLDevice(NativeWindow window, const DeviceOptions& options) {
  return GLDevicePtr(new GLDevice(window, options));
}

GLDevice::GLDevice(NativeWindow window, const DeviceOptions& options) : glContext(std::make_unique<GLContext>(window)) {
  try {
    initialise(options);
  } catch (...) {
    // The context itself goes with its owning member, after the fallback texture.
    defaultTexture.reset();
    throw;
  }
}

void GLDevice::initialise(const DeviceOptions& options) {
  CurrentContextScope scope(*this);
  const char* driverExtensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
  const char* extensions = options.extensionsOverride ? options.extensionsOverride : driverExtensions;
  requireExtensions(extensions);
  fetchEntryPoints();
  glContext->disableSwapWait();
  rectTextures = caps.rectTextures && options.allowRectangleTextures;
  textureTarget = rectTextures ? GL_TEXTURE_RECTANGLE_ARB : GL_TEXTURE_2D;
  textureBinding = rectTextures ? GL_TEXTURE_BINDING_RECTANGLE_ARB : GL_TEXTURE_BINDING_2D;
  glEnable(textureTarget);
  createDefaultTexture();
}

void GLDevice::requireExtensions(const char* extensions) {
  caps = probeExtensions(extensions);
  if (caps.required) return;
  if (!missingExtensionsShown) {
    missingExtensionsShown = true;
    Platform::showError("Quillmarsh GL error", kMissingExtensionsText);
  }
  throw Exception();
}

void GLDevice::fetchEntryPoints() {
  if (caps.hasStencilTwoSide) {
    activeStencilFace =
        reinterpret_cast<PFNGLACTIVESTENCILFACEEXTPROC>(glContext->procAddress("glActiveStencilFaceEXT"));
    caps.hasStencilTwoSide = activeStencilFace != nullptr;
  }
  if (caps.hasAtiSeparateStencil) {
    stencilOpSeparate = glContext->procAddress("glStencilOpSeparateATI");
    stencilFuncSeparate = glContext->procAddress("glStencilFuncSeparateATI");
    caps.hasAtiSeparateStencil = stencilOpSeparate && stencilFuncSeparate;
  }
  multiTexCoord2f = reinterpret_cast<PFNGLMULTITEXCOORD2FARBPROC>(glContext->procAddress("glMultiTexCoord2fARB"));
  if (!multiTexCoord2f) checkFailed(kCheckNoMultiTexCoord);
  activeTexture = reinterpret_cast<PFNGLACTIVETEXTUREARBPROC>(glContext->procAddress("glActiveTextureARB"));
  if (!activeTexture) checkFailed(kCheckNoActiveTexture);
}

void GLDevice::createDefaultTexture() {
  defaultTexture = createTexture(kFallbackSide, kFallbackSide);
  defaultTexture->update(kFallbackPixels, kFallbackSide, 0, 0, kFallbackSide, kFallbackSide);
}

GLDevice::~GLDevice() {
  defaultTexture.reset();
  glContext.reset();
  if (textureCount != 0) Platform::debugOutput("Quillmarsh GL stats.textures non-zero; possible leak.\r\n");
}

void GLDevice::release() { delete this; }

GLDevice::CurrentContextScope::CurrentContextScope(GLDevice& device)
    : device(device), exceptionsAtOpen(std::uncaught_exceptions()) {
  if (device.currentDepth == 0) {
    device.glContext->rememberCurrent();
    device.glContext->makeCurrent();
  }
  device.currentDepth += 1;
}

GLDevice::CurrentContextScope::~CurrentContextScope() noexcept(false) {
  device.currentDepth -= 1;
  if (device.currentDepth != 0) return;
  glGetError();  // clears the error flag before the caller's context comes back
  if (std::uncaught_exceptions() == exceptionsAtOpen) {
    device.glContext->restoreRemembered();
    return;
  }
  // Already unwinding: a second exception would end the process, so a failed restore is only reported.
  try {
    device.glContext->restoreRemembered();
  } catch (const Exception&) {
  }
}

void GLDevice::renderScene(Scene& scene) {
  CurrentContextScope scope(*this);
  glContext->clientSize(width, height);
  glViewport(0, 0, GLsizei(width), GLsizei(height));
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  // pixelScale pixels per unit, origin at the top left, y growing downwards.
  glOrtho(0, double(width) / pixelScale_, double(height) / pixelScale_, 0, 0, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glClearColor(0.1f, 0.1f, 0.1f, 0.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
  currentShader = nullptr;
  scene.draw(*this);
  glContext->swapBuffers();
}

}  // namespace VexBlit
