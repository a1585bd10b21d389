// The OpenGL device: creation failures, the make-current scope, frames and texture accounting.
#include <gtest/gtest.h>
#include <GL/glx.h>

#include <string>

#include "gl_fixture.h"
#include "platform/dialogs.h"
#include "render/gl/gl_texture.h"

using namespace VexBlit;
using namespace VexBlitTest;

namespace {

int boxesShown = 0;
std::string lastCaption, lastText;
bool countBox(Platform::BoxKind, const char* caption, const char* text) {
  ++boxesShown;
  lastCaption = caption;
  lastText = text;
  return true;
}

int childCount(Display* display, Window window) {
  Window root, parent, *children = nullptr;
  unsigned count = 0;
  XQueryTree(display, window, &root, &parent, &children, &count);
  if (children) XFree(children);
  return int(count);
}

}  // namespace

TEST_F(GLTest, MissingExtensionsShowOneBoxPerProcessAndLeaveNothingBehind) {
  Platform::setMessageBoxSeam(&countBox);
  DeviceOptions old;
  old.extensionsOverride = "GL_ARB_multitexture GL_EXT_bgra";
  for (int attempt = 0; attempt < 2; ++attempt) EXPECT_THROW(createGLDevice(nativeWindow(), old), Exception);
  Platform::setMessageBoxSeam(nullptr);
  EXPECT_EQ(boxesShown, 1);
  EXPECT_EQ(lastCaption, "Quillmarsh GL error");
  EXPECT_EQ(lastText, kMissingExtensionsText);
  EXPECT_EQ(childCount(display, window), 0);
  EXPECT_EQ(glXGetCurrentContext(), nullptr);
  // The same window takes a working device afterwards.
  GLDevice& made = makeDevice();
  EXPECT_EQ(childCount(display, window), 1);
  EXPECT_EQ(made.liveTextures(), 1u);  // the fallback texture
}

TEST(CreateGLDevice, AnInvalidWindowFailsWithTheCreationCheck) {
  Display* display = sharedDisplay();
  if (!display) GTEST_SKIP() << "no X display to draw on";
  testing::internal::CaptureStderr();
  EXPECT_THROW(createGLDevice({display, 0x7fffff0}), Exception);
  EXPECT_THROW(createGLDevice({nullptr, 1}), Exception);
  std::string text = testing::internal::GetCapturedStderr();
  EXPECT_NE(text.find("check failed at line 263"), std::string::npos) << text;
  EXPECT_NE(text.find("check failed at line 262"), std::string::npos) << text;
}

TEST_F(GLTest, ScopesRestoreAForeignContextAndNestWithoutRemaking) {
  // Another renderer's context on its own off-screen drawable, current on this thread.
  const int attributes[] = {GLX_DRAWABLE_TYPE, GLX_PBUFFER_BIT, GLX_RENDER_TYPE, GLX_RGBA_BIT, None};
  int count = 0;
  GLXFBConfig* configs = glXChooseFBConfig(display, DefaultScreen(display), attributes, &count);
  ASSERT_TRUE(configs && count > 0);
  const int size[] = {GLX_PBUFFER_WIDTH, 16, GLX_PBUFFER_HEIGHT, 16, None};
  GLXPbuffer pbuffer = glXCreatePbuffer(display, configs[0], size);
  GLXContext foreign = glXCreateNewContext(display, configs[0], GLX_RGBA_TYPE, nullptr, True);
  XFree(configs);
  ASSERT_NE(foreign, nullptr);
  ASSERT_TRUE(glXMakeContextCurrent(display, pbuffer, pbuffer, foreign));

  GLDevice& made = makeDevice();
  EXPECT_EQ(glXGetCurrentContext(), foreign);
  TexturePtr outside = made.createTexture(8, 8);
  EXPECT_EQ(glXGetCurrentContext(), foreign);
  GLXContext during = nullptr, afterTexture = nullptr;
  uint32_t depthDuring = 0, depthAfterTexture = 0;
  FunctionScene scene([&](Context& context) {
    during = glXGetCurrentContext();
    depthDuring = made.scopeDepth();
    TexturePtr inside = context.device().createTexture(4, 4);
    afterTexture = glXGetCurrentContext();
    depthAfterTexture = made.scopeDepth();
    inside.reset();
  });
  made.renderScene(scene);
  EXPECT_NE(during, foreign);
  EXPECT_EQ(afterTexture, during);
  EXPECT_EQ(depthDuring, 1u);
  EXPECT_EQ(depthAfterTexture, 1u);
  EXPECT_EQ(glXGetCurrentContext(), foreign);
  EXPECT_EQ(glXGetCurrentDrawable(), pbuffer);
  EXPECT_EQ(glXGetCurrentReadDrawable(), pbuffer);
  EXPECT_EQ(made.scopeDepth(), 0u);
  outside.reset();
  glXMakeCurrent(display, None, nullptr);
  glXDestroyContext(display, foreign);
  glXDestroyPbuffer(display, pbuffer);
}

TEST_F(GLTest, AFailedCheckInsideAFrameRestoresTheCallersContext) {
  GLDevice& made = makeDevice();
  FunctionScene badCombine([](Context& context) { context.applyState(Blend::Off, Combine(7), nullptr, nullptr); });
  FunctionScene badBlend([](Context& context) { context.applyState(Blend(5), Combine::Colour, nullptr, nullptr); });
  testing::internal::CaptureStderr();
  EXPECT_THROW(made.renderScene(badCombine), Exception);
  EXPECT_THROW(made.renderScene(badBlend), Exception);
  std::string text = testing::internal::GetCapturedStderr();
  EXPECT_EQ(text,
            "Quillmarsh GL: check failed at line 917 (please report this bug).\r\n"
            "Quillmarsh GL: check failed at line 948 (please report this bug).\r\n");
  EXPECT_EQ(made.scopeDepth(), 0u);
  EXPECT_EQ(glXGetCurrentContext(), nullptr);
  // The device draws on afterwards: the frame is cleared to the dark grey.
  Frame frame = render([](Context&) {});
  EXPECT_TRUE(near(frame.at(5, 5), 0x1A1A1A));
}

TEST_F(GLTest, TexturesAreCountedAndALeakIsReportedAtTeardown) {
  GLDevice& made = makeDevice();
  TexturePtr a = made.createTexture(16, 16);
  TexturePtr b = made.createTexture(3, 5);
  EXPECT_EQ(made.liveTextures(), 3u);
  a.reset();
  EXPECT_EQ(made.liveTextures(), 2u);
  testing::internal::CaptureStderr();
  device.reset();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Quillmarsh GL stats.textures non-zero; possible leak.\r\n");
  // The device does not free what was leaked; its GL name went with the context, the object is ours to drop.
  delete b.release();
}

TEST_F(GLTest, AFrameFollowsTheWindowSizeWithAPixelProjection) {
  makeDevice();
  XResizeWindow(display, window, 100, 40);
  XSync(display, False);
  Frame frame = render([](Context& context) {
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 100);
    EXPECT_EQ(viewport[3], 40);
    fillRect(context, Blend::Off, 0, 0, 1, 1, 0xFFFF0000);  // the top-left pixel
  });
  ASSERT_EQ(frame.width, 100u);
  EXPECT_TRUE(near(frame.at(0, 0), 0xFF0000));
  EXPECT_TRUE(near(frame.at(1, 0), 0x1A1A1A));
  EXPECT_TRUE(near(frame.at(0, 1), 0x1A1A1A));
}

TEST_F(GLTest, ADeviceOutlivingItsWindowStillTearsDown) {
  GLDevice& made = makeDevice();
  TexturePtr texture = made.createTexture(4, 4);
  texture.reset();
  XDestroyWindow(display, window);  // takes the device's drawable with it
  XSync(display, False);
  window = 0;
  device.reset();
  EXPECT_EQ(glXGetCurrentContext(), nullptr);
}
