// Test fixture for the drawing layer: window creation on the test display, devices and read-back.
#include "gl_fixture.h"

#include <X11/Xlib.h>

#include <cstdlib>

#include "render/gl/gl_api.h"

namespace VexBlitTest {

Frame readBackBuffer(uint32_t width, uint32_t height) {
  Frame frame;
  frame.width = width;
  frame.height = height;
  std::vector<uint32_t> bottomUp(size_t(width) * height);
  glFinish();
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glPixelStorei(GL_PACK_ROW_LENGTH, 0);
  glReadBuffer(GL_BACK);
  glReadPixels(0, 0, GLsizei(width), GLsizei(height), GL_BGRA, GL_UNSIGNED_BYTE, bottomUp.data());
  frame.pixels.resize(bottomUp.size());
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < width; ++x)
      frame.pixels[size_t(y) * width + x] = bottomUp[size_t(height - 1 - y) * width + x];
  return frame;
}

::testing::AssertionResult near(uint32_t actual, uint32_t expected, int tolerance) {
  if (std::abs(red(actual) - red(expected)) <= tolerance && std::abs(green(actual) - green(expected)) <= tolerance &&
      std::abs(blue(actual) - blue(expected)) <= tolerance)
    return ::testing::AssertionSuccess();
  char text[96];
  std::snprintf(text, sizeof text, "pixel %06X, expected %06X within %d", actual, expected, tolerance);
  return ::testing::AssertionFailure() << text;
}

namespace {}  // namespace

XDisplay* sharedDisplay() {
  // One connection for the whole run: a server left without clients may reset between tests. It stays open to
  // the end so that the GL driver stays loaded and the leak checker can still name its allocations.
  static Display* const display = XOpenDisplay(nullptr);
  return display;
}

void GLTest::SetUp() {
  display = sharedDisplay();
  if (!display) GTEST_SKIP() << "no X display to draw on";
  window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, kSize, kSize, 0, 0, 0);
  XMapWindow(display, window);
  XSync(display, False);
}

void GLTest::TearDown() {
  device.reset();
  if (window) XDestroyWindow(display, window);
  if (display) XSync(display, False);
}

VexBlit::GLDevice& GLTest::makeDevice(const VexBlit::DeviceOptions& options) {
  device = VexBlit::createGLDevice(nativeWindow(), options);
  return *device;
}

Frame GLTest::render(const std::function<void(Context&)>& draw) {
  Frame frame;
  FunctionScene scene([&](Context& context) {
    draw(context);
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    frame = readBackBuffer(uint32_t(viewport[2]), uint32_t(viewport[3]));
  });
  device->renderScene(scene);
  return frame;
}

VexBlit::TexturePtr GLTest::solidTexture(uint32_t w, uint32_t h, uint32_t colour) {
  std::vector<uint32_t> pixels(size_t(w) * h, colour);
  VexBlit::TexturePtr texture = device->createTexture(w, h);
  texture->update(pixels.data(), w, 0, 0, w, h);
  return texture;
}

void fillRect(Context& context, VexBlit::Blend blend, float x, float y, float w, float h, uint32_t colour) {
  VexBlit::Shader shader(context, blend, VexBlit::Combine::Colour, nullptr, nullptr);
  VexBlit::Quad quad;
  VexBlit::initQuad(quad, colour, x, y, w, h, 0, 0);
  VexBlit::drawQuad(context, quad);
}

}  // namespace VexBlitTest
