// Drawing: every combine and blend mode on known textures and colours, texture paths, updates, shaders, rotation.
#include <gtest/gtest.h>

#include <vector>

#include "gl_fixture.h"
#include "render/gl/gl_texture.h"

using namespace VexBlit;
using namespace VexBlitTest;

namespace {

// One 40 by 40 quad at (20, 20) under the given modes, textured over texels (0, 0)-(4, 4) of both textures.
void drawModeQuad(Context& context, Blend blend, Combine combine, Texture* t0, Texture* t1, uint32_t colour) {
  Shader shader(context, blend, combine, t0, t1);
  Quad quad;
  initQuad(quad, colour, 20, 20, 40, 40, 0, 0);
  quad.u1 = quad.s1 = 4;
  quad.v1 = quad.t1 = 4;
  drawQuad(context, quad);
}

class DrawTest : public GLTest {
 protected:
  // The colour at the centre of the mode quad, drawn over a background.
  uint32_t modeResult(uint32_t background, Blend blend, Combine combine, Texture* t0, Texture* t1, uint32_t colour) {
    Frame frame = render([&](Context& context) {
      fillRect(context, Blend::Off, 0, 0, kSize, kSize, background);
      drawModeQuad(context, blend, combine, t0, t1, colour);
    });
    return frame.at(40, 40);
  }
};

}  // namespace

TEST_F(DrawTest, CombineModesMixTexturesAndColour) {
  makeDevice();
  TexturePtr tan = solidTexture(4, 4, 0xFFC86432);    // (200, 100, 50)
  TexturePtr grey = solidTexture(4, 4, 0x80808080);   // 0.5 everywhere, alpha 0.5
  TexturePtr clear = solidTexture(4, 4, 0x00FFFFFF);  // white with alpha 0
  const uint32_t black = 0xFF000000;
  // Colour: vertex colour only, the textures are not looked at.
  EXPECT_TRUE(near(modeResult(black, Blend::Off, Combine::Colour, tan.get(), tan.get(), 0xFF336699), 0x336699));
  // Texture: texture x colour; TextureDoubled: the same doubled (saturating).
  EXPECT_TRUE(near(modeResult(black, Blend::Off, Combine::Texture, tan.get(), nullptr, 0xFF80FF40), 0x64640D));
  EXPECT_TRUE(near(modeResult(black, Blend::Off, Combine::TextureDoubled, tan.get(), nullptr, 0xFF80FF40), 0xC9C819));
  // SoftCoverage: colour x (1 - (1 - t)^2): t = 0.5 gives three quarters; alpha = colour alpha x t alpha^2 = 0.25.
  EXPECT_TRUE(near(modeResult(black, Blend::Off, Combine::SoftCoverage, grey.get(), nullptr, 0xFFFFFFFF), 0xC0C0C0));
  EXPECT_TRUE(near(modeResult(black, Blend::StraightOver, Combine::SoftCoverage, grey.get(), nullptr, 0xFFFFFFFF),
                   0x303030, 3));
  // TextureRgb: RGB from texture x colour, alpha from the colour alone: half-covering though the texture is clear.
  EXPECT_TRUE(
      near(modeResult(black, Blend::StraightOver, Combine::TextureRgb, clear.get(), nullptr, 0x80FFFFFF), 0x808080));
  EXPECT_TRUE(
      near(modeResult(black, Blend::StraightOver, Combine::Texture, clear.get(), nullptr, 0x80FFFFFF), 0x000000));
  // TwoTextures: both textures and the colour multiplied.
  EXPECT_TRUE(near(modeResult(black, Blend::Off, Combine::TwoTextures, tan.get(), grey.get(), 0xFFFFFFFF), 0x643219));
  tan.reset();
  grey.reset();
  clear.reset();
}

TEST_F(DrawTest, CrossfadeModeBlendsTwoFramesByTheColourAlphaAndTints) {
  makeDevice();
  // A two-frame film strip: frame 0 red, frame 1 blue, 4 by 4 each.
  std::vector<uint32_t> strip(8 * 4);
  for (size_t i = 0; i < strip.size(); ++i) strip[i] = (i % 8) < 4 ? 0xFFFF0000 : 0xFF0000FF;
  TexturePtr film = device->createTexture(8, 4);
  film->update(strip.data(), 8, 0, 0, 8, 4);
  auto crossfade = [&](uint32_t colour) {
    Frame frame = render([&](Context& context) {
      Shader shader(context, Blend::PremultipliedOver, Combine::Crossfade, film.get(), film.get());
      Quad quad;
      initQuad(quad, colour, 20, 20, 40, 40, 1, 1);
      quad.u1 = 3, quad.v1 = 3;               // the middle of frame 0
      quad.s0 = 5, quad.s1 = 7, quad.t1 = 3;  // the middle of frame 1
      drawQuad(context, quad);
    });
    return frame.at(40, 40);
  };
  EXPECT_TRUE(near(crossfade(0x00FFFFFF), 0xFF0000));
  EXPECT_TRUE(near(crossfade(0xFFFFFFFF), 0x0000FF));
  EXPECT_TRUE(near(crossfade(0x40FFFFFF), 0xBF0040));
  EXPECT_TRUE(near(crossfade(0x80808080), 0x400040, 3));  // half-way, tinted by half grey
  film.reset();
}

TEST_F(DrawTest, BlendModesCombineSourceAndDestination) {
  makeDevice();
  const uint32_t back = 0xFF0064C8;  // (0, 100, 200)
  auto blended = [&](Blend blend, uint32_t colour) {
    Frame frame = render([&](Context& context) {
      fillRect(context, Blend::Off, 0, 0, kSize, kSize, back);
      fillRect(context, blend, 20, 20, 40, 40, colour);
    });
    return frame.at(40, 40);
  };
  EXPECT_TRUE(near(blended(Blend::Off, 0x10FF0000), 0xFF0000));                // replaced, alpha ignored
  EXPECT_TRUE(near(blended(Blend::PremultipliedOver, 0x80640000), 0x643264));  // premultiplied: src + dst x (1 - a)
  EXPECT_TRUE(near(blended(Blend::Additive, 0x00643200), 0x6496C8));           // additive
  EXPECT_TRUE(near(blended(Blend::StraightOver, 0x80C80000), 0x643264));  // straight alpha: src x a + dst x (1 - a)
  // Per-channel coverage: each channel keeps dst x (1 - src channel) and adds src channel x a.
  EXPECT_TRUE(near(blended(Blend::Coverage, 0x64FF0000), 0x6464C8));
  EXPECT_TRUE(near(blended(Blend::Coverage, 0x64808080), 0x326496, 3));
}

TEST_F(DrawTest, NullTexturesUseTheFallbackPicture) {
  makeDevice();
  Frame frame = render([](Context& context) {
    Shader shader(context, Blend::Off, Combine::Texture, nullptr, nullptr);
    Quad quad;
    initQuad(quad, 0xFFFFFFFF, 0, 0, 80, 80, 0, 0);
    quad.u1 = 4, quad.v1 = 4;
    drawQuad(context, quad);
  });
  EXPECT_TRUE(near(frame.at(10, 10), 0xFF0000));
  EXPECT_TRUE(near(frame.at(70, 10), 0x00FF00));
  EXPECT_TRUE(near(frame.at(10, 70), 0xFFFF00));
  EXPECT_TRUE(near(frame.at(70, 70), 0x0000FF));
}

// Texel coordinates address the uploaded columns exactly on both texture paths.
void checkTextureAddressing(GLTest& test, GLDevice& device, bool expectRect,
                            const std::function<Frame(const std::function<void(Context&)>&)>& render) {
  EXPECT_EQ(device.usesRectTextures(), expectRect);
  std::vector<uint32_t> pixels(100 * 60);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = (i % 100) < 50 ? 0xFFFF0000 : 0xFF00FF00;
  TexturePtr texture = device.createTexture(100, 60);
  auto* gl = dynamic_cast<GLTexture*>(texture.get());
  EXPECT_EQ(gl->width, expectRect ? 100u : 128u);
  EXPECT_EQ(gl->height, expectRect ? 60u : 64u);
  texture->update(pixels.data(), 100, 0, 0, 100, 60);
  Frame frame = render([&](Context& context) {
    Shader shader(context, Blend::Off, Combine::Texture, texture.get(), nullptr);
    Quad quad;
    initQuad(quad, 0xFFFFFFFF, 0, 0, 100, 60, 0, 0);
    drawQuad(context, quad);
  });
  EXPECT_TRUE(near(frame.at(10, 30), 0xFF0000));
  EXPECT_TRUE(near(frame.at(90, 30), 0x00FF00));
  EXPECT_TRUE(near(frame.at(99, 30), 0x00FF00));
  EXPECT_TRUE(near(frame.at(99, 59), 0x00FF00));
  (void)test;
  texture.reset();
}

TEST_F(DrawTest, RectangleTexturesTakeTexelsAsAllocated) {
  GLDevice& made = makeDevice();
  if (!made.capabilities().rectTextures) GTEST_SKIP() << "driver without rectangle textures";
  checkTextureAddressing(*this, made, true, [this](const auto& draw) { return render(draw); });
}

TEST_F(DrawTest, PowerOfTwoTexturesScaleTexelCoordinates) {
  DeviceOptions options;
  options.allowRectangleTextures = false;
  GLDevice& made = makeDevice(options);
  checkTextureAddressing(*this, made, false, [this](const auto& draw) { return render(draw); });
  EXPECT_EQ(roundUpToPowerOfTwo(0), 1u);
  EXPECT_EQ(roundUpToPowerOfTwo(1), 1u);
  EXPECT_EQ(roundUpToPowerOfTwo(64), 64u);
  EXPECT_EQ(roundUpToPowerOfTwo(65), 128u);
}

TEST_F(DrawTest, UpdatesAreClippedToTheAllocatedSize) {
  makeDevice();
  TexturePtr texture = solidTexture(4, 4, 0xFF0000FF);
  const std::vector<uint32_t> red(16, 0xFFFF0000);
  texture->update(red.data(), 4, 2, 2, 4, 4);  // reaches past the edge: only the bottom-right 2 by 2
  texture->update(red.data(), 4, 9, 0, 4, 4);  // starts past the edge: nothing
  texture->update(red.data(), 4, 0, 0x7FFFFFFF, 4, 4);
  Frame frame = render([&](Context& context) {
    Shader shader(context, Blend::Off, Combine::Texture, texture.get(), nullptr);
    Quad quad;
    initQuad(quad, 0xFFFFFFFF, 0, 0, 80, 80, 0, 0);
    quad.u1 = 4, quad.v1 = 4;
    drawQuad(context, quad);
  });
  EXPECT_TRUE(near(frame.at(10, 10), 0x0000FF));
  EXPECT_TRUE(near(frame.at(70, 10), 0x0000FF));
  EXPECT_TRUE(near(frame.at(10, 70), 0x0000FF));
  EXPECT_TRUE(near(frame.at(70, 70), 0xFF0000));
  texture.reset();
}

TEST_F(DrawTest, AnInnerShaderGivesBackTheOuterStateAtTheNextDraw) {
  makeDevice();
  TexturePtr green = solidTexture(4, 4, 0xFF00FF00);
  Frame frame = render([&](Context& context) {
    Shader outer(context, Blend::Off, Combine::Colour, nullptr, nullptr);
    Quad quad;
    {
      Shader inner(context, Blend::Off, Combine::Texture, green.get(), nullptr);
      initQuad(quad, 0xFFFFFFFF, 0, 0, 40, 40, 0, 0);
      drawQuad(context, quad);
    }
    initQuad(quad, 0xFFFF00FF, 60, 0, 40, 40, 0, 0);  // colour only again: not multiplied by green
    drawQuad(context, quad);
  });
  EXPECT_TRUE(near(frame.at(20, 20), 0x00FF00));
  EXPECT_TRUE(near(frame.at(80, 20), 0xFF00FF));
  green.reset();
}

TEST_F(DrawTest, RotationTurnsPositionsOrTextureOneAboutThePivot) {
  makeDevice();
  Frame frame = render([](Context& context) {
    Shader shader(context, Blend::Off, Combine::Colour, nullptr, nullptr);
    Quad quad;
    initQuad(quad, 0xFFFFFFFF, 4, 4, 20, 10, 0, 0);  // unrotated: exactly its rectangle
    drawQuad(context, quad);
    initQuad(quad, 0xFFFF0000, 44, 59, 40, 10, 0, 0);  // a quarter turn about (64, 64) stands it upright
    setQuadRotation(quad, false, 0, 1, 64, 64);
    drawQuad(context, quad);
  });
  EXPECT_TRUE(near(frame.at(4, 4), 0xFFFFFF));
  EXPECT_TRUE(near(frame.at(23, 13), 0xFFFFFF));
  EXPECT_TRUE(near(frame.at(24, 13), 0x1A1A1A));
  EXPECT_TRUE(near(frame.at(23, 14), 0x1A1A1A));
  EXPECT_TRUE(near(frame.at(64, 50), 0xFF0000));
  EXPECT_TRUE(near(frame.at(50, 64), 0x1A1A1A));
  // Texture 1 turned half way about its centre: the fallback's blue corner comes to the top left.
  Frame turned = render([](Context& context) {
    Shader shader(context, Blend::Off, Combine::TwoTextures, nullptr, nullptr);
    Quad quad;
    initQuad(quad, 0xFFFFFFFF, 0, 0, 80, 80, 0, 0);
    quad.u1 = quad.s1 = 4, quad.v1 = quad.t1 = 4;
    setQuadRotation(quad, true, -1, 0, 2, 2);
    drawQuad(context, quad);
  });
  // Texture 0 is the fallback too, so each quadrant shows it times its opposite corner.
  EXPECT_TRUE(near(turned.at(10, 10), 0x000000));  // red x blue
  EXPECT_TRUE(near(turned.at(70, 10), 0x00FF00));  // green x yellow
  EXPECT_TRUE(near(turned.at(10, 70), 0x00FF00));  // yellow x green
}
