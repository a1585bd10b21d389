// The drawing layer without a display: the capability probe and the check, pictures, the glyph atlas, and text
// measured and drawn on the null device, which keeps every quad with the state it was drawn in.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "platform/resources.h"
#include "render/gl/font.h"
#include "render/gl/gl_device.h"
#include "render/gl/image.h"
#include "render/gl/null_device.h"
#include "render/png_decoder.h"

using namespace VexBlit;
using Lattice::Image;

namespace {

Platform::Resource vera() { return Platform::findResource("VERA", "TTF"); }

const Glyph& glyphOf(const Font& font, char c) { return font.glyphs[c - kFirstGlyph]; }

// Fonts on a null device: the atlas is built by FreeType and kept in memory.
class TextTest : public ::testing::Test {
 protected:
  void TearDown() override {
    font.reset();
    EXPECT_EQ(device->liveTextures(), 0u) << "the font's atlas goes with the font";
  }
  Font& makeFont(float size) {
    font = loadFontResource(*device, "vera", size);
    EXPECT_NE(font, nullptr);
    return *font;
  }
  DeviceOwned<NullDevice> device{new NullDevice};
  std::unique_ptr<Font> font;  // declared after the device: goes first
};

}  // namespace

TEST(ProbeExtensions, PlainSubstringTestsForRequiredAndOptionalNames) {
  EXPECT_FALSE(probeExtensions(nullptr).required);
  EXPECT_FALSE(probeExtensions("GL_ARB_multitexture").required);
  EXPECT_FALSE(probeExtensions("GL_ARB_texture_env_combine").required);
  EXPECT_TRUE(probeExtensions("GL_ARB_multitexture GL_EXT_texture_env_combine").required);
  // A name that occurs only as the prefix of a longer one still counts.
  Capabilities prefix = probeExtensions("GL_ARB_multitexture_x GL_ARB_texture_env_combine_y GL_EXT_texture_rectangle2");
  EXPECT_TRUE(prefix.required);
  EXPECT_TRUE(prefix.rectTextures);
  Capabilities all = probeExtensions(
      "GL_ARB_vertex_buffer_object WGL_ARB_pbuffer GL_EXT_packed_depth_stencil GL_EXT_stencil_wrap "
      "GL_EXT_stencil_two_side GL_ATI_separate_stencil");
  EXPECT_TRUE(all.hasVertexBufferObject && all.hasPbuffer && all.hasPackedDepthStencil && all.hasStencilWrap &&
              all.hasStencilTwoSide && all.hasAtiSeparateStencil);
  EXPECT_FALSE(all.required || all.rectTextures);
}

TEST(CheckFailed, WritesTheNumberedLineAndThrows) {
  testing::internal::CaptureStderr();
  EXPECT_THROW(checkFailed(917), Exception);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Quillmarsh GL: check failed at line 917 (please report this bug).\r\n");
}

TEST(Image, RejectsDataThatIsNotADecodablePng) {
  const uint8_t png[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  EXPECT_THROW(Image(png, 3), Image::Exception);
  EXPECT_THROW(Image(png, 0), Image::Exception);
  EXPECT_THROW(Image(nullptr, 8), Image::Exception);
  const uint8_t gif[] = {'G', 'I', 'F', '8', '9', 'a', 0, 0};
  EXPECT_THROW(Image(gif, sizeof gif), Image::Exception);
  EXPECT_THROW(Image(png, sizeof png), Image::Exception);  // the magic alone does not decode
  // The exception names what the decoder found.
  try {
    Image picture(gif, sizeof gif);
    ADD_FAILURE() << "a GIF decoded";
  } catch (const Image::Exception& failure) {
    EXPECT_EQ(failure.code, kPngBadSignature);
    EXPECT_STREQ(failure.what(), pngErrorText(kPngBadSignature));
  }
  try {
    Image picture(png, sizeof png);
    ADD_FAILURE() << "the signature alone decoded";
  } catch (const Image::Exception& failure) {
    EXPECT_EQ(failure.code, kPngTooShort);
    EXPECT_STREQ(failure.what(), "fewer than 29 bytes: no room for the header");
  }
}

TEST(Image, LoadsResourcesByNameInAnyCaseAsArgbPixels) {
  EXPECT_EQ(loadPngResource(nullptr), nullptr);
  EXPECT_EQ(loadPngResource("no such picture"), nullptr);
  EXPECT_EQ(loadPngResource("vera"), nullptr);  // a font, not a picture
  EXPECT_THROW(loadPngResource("broken"), Image::Exception);
  std::unique_ptr<Image> image(loadPngResource("sWaTcH"));
  ASSERT_NE(image, nullptr);
  ASSERT_EQ(image->width, 3u);
  ASSERT_EQ(image->height, 2u);
  const uint32_t expected[6] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0x80FFFFFF, 0xFF000000, 0x000A141E};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(image->pixels[i], expected[i]) << i;
}

TEST(GlyphAtlas, FilterSpreadsOneTexelOverFiveWithTheOneTwoFourTwoOneKernel) {
  const uint8_t one[1] = {255};
  uint8_t out[5];
  filterGlyphRow(one, 1, out);
  EXPECT_EQ(std::basic_string<uint8_t>(out, 5), (std::basic_string<uint8_t>{25, 51, 102, 51, 25}));
  const uint8_t flat[6] = {100, 100, 100, 100, 100, 100};
  uint8_t wide[10];
  filterGlyphRow(flat, 6, wide);
  EXPECT_EQ(wide[4], 100);  // a flat run stays flat inside
  EXPECT_EQ(wide[9], 10);
}

TEST(GlyphAtlas, IsDeterministicAndPackedOnTheCellGrid) {
  Platform::Resource font = vera();
  ASSERT_TRUE(font) << "the test resources carry the Vera face";
  GlyphAtlas a = buildGlyphAtlas(font.data, font.size, 10);
  GlyphAtlas b = buildGlyphAtlas(font.data, font.size, 10);
  EXPECT_EQ(a.pixels, b.pixels);
  ASSERT_GT(a.columns, 0u);
  EXPECT_EQ(a.width, a.columns * uint32_t(a.cellWidth));
  EXPECT_EQ(a.height, (94 + a.columns) / a.columns * uint32_t(a.cellHeight) + 2);
  EXPECT_EQ(a.pixels.size(), size_t(a.width) * a.height);
  EXPECT_GE(a.underlineThickness, 1.0f);
  EXPECT_GT(a.lineHeight, 10.0f);
  for (int i = 0; i < kGlyphCount; ++i) {
    EXPECT_EQ(a.glyphs[i].atlasX, float((i % int(a.columns)) * a.cellWidth + 1));
    EXPECT_EQ(a.glyphs[i].atlasY, float((i / int(a.columns)) * a.cellHeight + 1));
  }
  // Every texel is premultiplied white: one coverage value in all four bytes.
  size_t covered = 0;
  for (uint32_t texel : a.pixels) {
    EXPECT_EQ(texel, (texel & 0xFF) * 0x01010101u);
    covered += texel != 0;
  }
  EXPECT_GT(covered, 500u);
  // A larger size makes larger cells; a face that is not a font fails.
  GlyphAtlas big = buildGlyphAtlas(font.data, font.size, 20);
  EXPECT_GT(big.cellHeight, a.cellHeight);
  const uint8_t junk[64] = {1, 2, 3};
  EXPECT_THROW(buildGlyphAtlas(junk, sizeof junk, 10), Exception);
}

TEST(SubpixelSettings, ComeFromTheXftResourcesAndDefaultToGrey) {
  auto read = [](const char* text) { return subpixelFromXResources(text); };
  EXPECT_FALSE(read(nullptr).text);
  EXPECT_FALSE(read("").text);
  EXPECT_FALSE(read("Xft.dpi: 96\n").text);
  SubpixelSettings rgb = read("Xft.antialias: 1\nXft.rgba: rgb\n");
  EXPECT_TRUE(rgb.text && rgb.rgb);
  SubpixelSettings bgr = read("Xft.rgba: bgr\n");
  EXPECT_TRUE(bgr.text);
  EXPECT_FALSE(bgr.rgb);
  EXPECT_FALSE(read("Xft.antialias: 0\nXft.rgba: rgb\n").text);
  EXPECT_FALSE(read("Xft.antialias: true\nXft.rgba: none\n").text);
  EXPECT_FALSE(read("Xft.rgba: vrgb\n").text);
}

TEST(Fonts, ANullFontMeasuresZeroAndDrawsNothing) { EXPECT_EQ(measureText(nullptr, "abc", -1), 0.0f); }

TEST_F(TextTest, MeasureTakesTheWidestLineAndSkipsBytesOutsidePrintableAscii) {
  Font& f = makeFont(10);
  const float a = glyphOf(f, 'a').advanceX / 3, b = glyphOf(f, 'b').advanceX / 3, c = glyphOf(f, 'c').advanceX / 3;
  EXPECT_GT(a, 3.0f);
  EXPECT_FLOAT_EQ(f.measure("abc", -1), a + b + c);
  EXPECT_FLOAT_EQ(f.measure("abc", 2), a + b);
  EXPECT_FLOAT_EQ(f.measure("a\nbc", -1), std::max(a, b + c));
  EXPECT_FLOAT_EQ(f.measure("bc\na", -1), std::max(a, b + c));
  EXPECT_FLOAT_EQ(f.measure("a\tb\x80\xff", -1), a + b);
  EXPECT_EQ(f.measure("", -1), 0.0f);
  EXPECT_EQ(f.measure(nullptr, -1), 0.0f);
  EXPECT_EQ(loadFontResource(*device, "no such font", 10), nullptr);
  EXPECT_EQ(loadFontResource(*device, nullptr, 10), nullptr);
}

TEST_F(TextTest, EachPrintableCharacterIsOneQuadOnItsLineOrThreeForSubpixelTextAndTheUnderlineSpansTheAdvance) {
  Font& f = makeFont(10);
  std::mt19937 random(11);
  const char alphabet[] = "AbgW Tiqy.,_|\n\n\t\x01\x7f\x80\xfe";
  for (int round = 0; round < 300; ++round) {
    std::string text(random() % 24, ' ');
    for (char& c : text) c = alphabet[random() % (sizeof alphabet - 1)];
    const bool subpixel = round % 3 == 0, underline = round % 2 == 0;
    f.subpixel.text = subpixel;
    f.subpixel.rgb = round % 4 != 0;
    const float x = float(random() % 100), y = float(20 + random() % 50);
    const uint32_t colour = uint32_t(random()) & 0xFFFFFF;
    device->draws.clear();
    float advance = -1;
    struct Body : Scene {
      std::function<void(Context&)> run;
      void draw(Context& context) override { run(context); }
    } scene;
    scene.run = [&](Context& context) { advance = f.drawText(context, text.c_str(), -1, x, y, colour, underline); };
    device->renderScene(scene);

    // What the pen should do: printable characters advance it, a new line starts again at the left.
    float pen = 0, penY = 0;
    size_t glyphQuad = 0;
    const size_t passes = subpixel ? 3 : 1;
    for (char c : text) {
      if (c == '\n') {
        pen = 0;
        penY += f.lineHeight;
        continue;
      }
      if (c < 32 || c > 126) continue;
      const Glyph& g = glyphOf(f, c);
      for (size_t pass = 0; pass < passes; ++pass, ++glyphQuad) {
        ASSERT_LT(glyphQuad, device->draws.size()) << "round " << round;
        const NullDevice::Draw& d = device->draws[glyphQuad];
        EXPECT_EQ(d.blend, subpixel ? Blend::Coverage : Blend::PremultipliedOver);
        EXPECT_EQ(d.combine, subpixel ? Combine::TextureRgb : Combine::Texture);
        EXPECT_EQ(d.texture0, f.atlas.get());
        // The glyph's cell in the atlas, and its quad a third of that wide, hanging from this line's baseline.
        EXPECT_EQ(d.quad.u0, g.atlasX + 1);
        EXPECT_EQ(d.quad.v1 - d.quad.v0, g.quadHeight);
        EXPECT_NEAR(d.quad.x1 - d.quad.x0, g.quadWidth / 3, 1e-3);
        EXPECT_EQ(d.quad.y0, std::floor(y + penY - g.bitmapTop - 1)) << "round " << round;
        const float shift = !subpixel || pass == 1 ? 0.0f : (pass == 0) == f.subpixel.rgb ? 0.25f : -0.25f;
        EXPECT_FLOAT_EQ(d.quad.x0, x + pen + g.bitmapLeft / 3 - 1 + shift) << "round " << round;
        // One pass draws opaque grey coverage in the colour; three write one channel each, weighted by it.
        const uint32_t expected = !subpixel   ? colour | 0xFF000000u
                                  : pass == 0 ? (colour >> 16 & 0xFF) << 24 | 0x00FF0000u
                                  : pass == 1 ? (colour >> 8 & 0xFF) << 24 | 0x0000FF00u
                                              : (colour & 0xFF) << 24 | 0x000000FFu;
        EXPECT_EQ(d.quad.colour, expected);
      }
      pen += g.advanceX / 3;
      penY += g.advanceY;
    }
    EXPECT_FLOAT_EQ(advance, pen) << "the advance of the last line";
    if (text.find('\n') == std::string::npos) {
      EXPECT_FLOAT_EQ(advance, f.measure(text.c_str(), -1));
    }
    ASSERT_EQ(device->draws.size(), glyphQuad + (underline ? 1 : 0)) << "round " << round;
    if (underline) {
      const NullDevice::Draw& d = device->draws.back();
      EXPECT_EQ(d.blend, Blend::PremultipliedOver);
      EXPECT_EQ(d.combine, Combine::Colour);
      EXPECT_EQ(d.texture0, nullptr);
      EXPECT_EQ(d.quad.x0, x);
      EXPECT_FLOAT_EQ(d.quad.x1, x + advance);
      EXPECT_FLOAT_EQ(d.quad.y0, y + f.underlinePosition);
      EXPECT_NEAR(d.quad.y1 - d.quad.y0, f.underlineThickness, 1e-3);
      EXPECT_EQ(d.quad.colour, colour | 0xFF000000u);
    }
  }
}

TEST(NullDevice, QuadsKeepTheInnermostShadersStateAndUpdatesAreClippedToTheTexture) {
  DeviceOwned<NullDevice> device(new NullDevice);
  std::mt19937 random(5);
  // Shaders nested at random depths, each quad against a stack of what was bound.
  TexturePtr a = device->createTexture(4, 4), b = device->createTexture(8, 2);
  Texture* const textures[] = {nullptr, a.get(), b.get()};
  struct State {
    Blend blend;
    Combine combine;
    Texture* t0;
    Texture* t1;
  };
  std::vector<State> expected;
  std::function<void(Context&, int)> nest = [&](Context& context, int depth) {
    const State state{Blend(random() % kBlendCount), Combine(random() % kCombineCount), textures[random() % 3],
                      textures[random() % 3]};
    Shader shader(context, state.blend, state.combine, state.t0, state.t1);
    for (int step = 0; step < 6; ++step) {
      if (depth < 4 && random() % 3 == 0) {
        nest(context, depth + 1);
      } else {
        Quad quad;
        initQuad(quad, uint32_t(expected.size()), 0, 0, 1, 1, 0, 0);
        expected.push_back(state);
        drawQuad(context, quad);
      }
    }
  };
  struct Body : Scene {
    std::function<void(Context&)> run;
    void draw(Context& context) override { run(context); }
  } scene;
  scene.run = [&](Context& context) { nest(context, 0); };
  for (int frame = 0; frame < 20; ++frame) device->renderScene(scene);
  EXPECT_EQ(device->frames, 20u);
  ASSERT_EQ(device->draws.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    const NullDevice::Draw& d = device->draws[i];
    EXPECT_EQ(d.quad.colour, uint32_t(i));
    EXPECT_EQ(d.blend, expected[i].blend) << i;
    EXPECT_EQ(d.combine, expected[i].combine) << i;
    EXPECT_EQ(d.texture0, expected[i].t0) << i;
    EXPECT_EQ(d.texture1, expected[i].t1) << i;
  }

  // Updates at random places: the part inside the texture is copied, nothing else changes, nothing wraps.
  for (int round = 0; round < 400; ++round) {
    const uint32_t w = 1 + random() % 9, h = 1 + random() % 9;
    TexturePtr texture = device->createTexture(w, h);
    auto& held = static_cast<NullTexture&>(*texture);
    std::vector<uint32_t> before(size_t(w) * h);
    for (uint32_t& p : before) p = uint32_t(random());
    texture->update(before.data(), w, 0, 0, w, h);
    ASSERT_EQ(held.pixels, before);
    const uint32_t x = round % 10 == 0 ? 0xFFFFFFF0u + random() % 16 : random() % 12;
    const uint32_t y = round % 10 == 5 ? 0x7FFFFFFFu : random() % 12;
    const uint32_t uw = random() % 12, uh = random() % 12, rowLength = uw + random() % 3;
    std::vector<uint32_t> source(size_t(rowLength) * uh + 1);
    for (uint32_t& p : source) p = uint32_t(random());
    texture->update(source.data(), rowLength, x, y, uw, uh);
    for (uint32_t ty = 0; ty < h; ++ty)
      for (uint32_t tx = 0; tx < w; ++tx) {
        const bool covered = uint64_t(tx) >= x && uint64_t(tx) < uint64_t(x) + uw && uint64_t(ty) >= y &&
                             uint64_t(ty) < uint64_t(y) + uh;
        const uint32_t want = covered ? source[size_t(ty - y) * rowLength + (tx - x)] : before[size_t(ty) * w + tx];
        ASSERT_EQ(held.pixels[size_t(ty) * w + tx], want) << "round " << round << " at " << tx << "," << ty;
      }
    texture->update(nullptr, 1, 0, 0, 1, 1);  // no pixels: nothing
    ASSERT_EQ(held.pixels[0], (x == 0 && y == 0 && uw && uh) ? source[0] : before[0]);
  }
  // Textures are counted; one still alive when the device goes is reported.
  EXPECT_EQ(device->liveTextures(), 2u);
  a.reset();
  EXPECT_EQ(device->liveTextures(), 1u);
  testing::internal::CaptureStderr();
  TexturePtr::pointer leaked = b.release();
  device.reset();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Quillmarsh null device: textures non-zero; possible leak.\r\n");
  delete leaked;  // the object alone: its device is gone
}
