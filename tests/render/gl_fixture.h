// Test fixture for the drawing layer: an X11 window on the test display, a device on it and frame read-back.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "render/gl/gl_device.h"

// Xlib stays out of the tests' names (its None, Bool and Font would clash): the display is only pointed to.
struct _XDisplay;

namespace VexBlitTest {

using VexBlit::Context;
using XDisplay = ::_XDisplay;
using XWindow = unsigned long;

// A scene that runs a function, for frames drawn by tests.
struct FunctionScene : VexBlit::Scene {
  std::function<void(Context&)> body;
  explicit FunctionScene(std::function<void(Context&)> body) : body(std::move(body)) {}
  void draw(Context& context) override { body(context); }
};

// The back buffer as 0x00RRGGBB values, rows top to bottom (alpha dropped: the visual need not keep it).
struct Frame {
  uint32_t width = 0, height = 0;
  std::vector<uint32_t> pixels;
  uint32_t at(uint32_t x, uint32_t y) const { return pixels[size_t(y) * width + x] & 0xFFFFFF; }
};
Frame readBackBuffer(uint32_t width, uint32_t height);

inline int red(uint32_t c) { return int(c >> 16 & 0xFF); }
inline int green(uint32_t c) { return int(c >> 8 & 0xFF); }
inline int blue(uint32_t c) { return int(c & 0xFF); }
// True when each channel is within tolerance of the expected 0xRRGGBB.
::testing::AssertionResult near(uint32_t actual, uint32_t expected, int tolerance = 2);

class GLTest : public ::testing::Test {
 protected:
  static constexpr uint32_t kSize = 128;  // the window is kSize by kSize
  void SetUp() override;
  void TearDown() override;
  VexBlit::GLDevice& makeDevice(const VexBlit::DeviceOptions& options = {});
  // Draws one frame and returns what it looked like just before the swap.
  Frame render(const std::function<void(Context&)>& draw);
  VexBlit::NativeWindow nativeWindow() const { return {display, window}; }
  // A w by h texture of one colour (0xAARRGGBB).
  VexBlit::TexturePtr solidTexture(uint32_t w, uint32_t h, uint32_t colour);

  XDisplay* display = nullptr;
  XWindow window = 0;
  VexBlit::GLDevicePtr device;
};

// The test display, opened once per process; null when there is none.
XDisplay* sharedDisplay();

// A quad from (x, y) of size w by h in one colour under a shader with the colour alone and the given blend.
void fillRect(Context& context, VexBlit::Blend blend, float x, float y, float w, float h, uint32_t colour);

}  // namespace VexBlitTest
