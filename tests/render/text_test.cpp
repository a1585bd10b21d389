// Glyph-atlas text drawn on the display: lines, control characters, the underline and sub-pixel passes.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "gl_fixture.h"
#include "platform/resources.h"
#include "render/gl/font.h"

using namespace VexBlit;
using namespace VexBlitTest;

namespace {

const Glyph& glyphOf(const Font& font, char c) { return font.glyphs[c - kFirstGlyph]; }

// Pixels brighter than the dark background in rows [y0, y1) and columns [x0, x1).
int litPixels(const Frame& frame, uint32_t x0, uint32_t y0, uint32_t x1, uint32_t y1) {
  int lit = 0;
  for (uint32_t y = y0; y < y1; ++y)
    for (uint32_t x = x0; x < x1; ++x) lit += green(frame.at(x, y)) > 0x30;
  return lit;
}

class TextTest : public GLTest {
 protected:
  void TearDown() override {
    font.reset();  // its atlas goes while the device lives
    GLTest::TearDown();
  }
  Font& makeFont(float size) {
    makeDevice();
    render([&](Context& context) { font = loadFontResource(context, "vera", size); });
    EXPECT_NE(font, nullptr);
    return *font;
  }
  std::unique_ptr<Font> font;
};

}  // namespace

TEST_F(TextTest, TwoLinesDrawFromTheBaselineAndReturnTheLastLinesAdvance) {
  Font& f = makeFont(10);
  float advance = -1;
  Frame frame = render([&](Context& context) { advance = f.drawText(context, "T\nTT", -1, 10, 30, 0xFFFFFF, false); });
  const float tt = 2 * glyphOf(f, 'T').advanceX / 3;
  EXPECT_FLOAT_EQ(advance, tt);
  const uint32_t secondBaseline = uint32_t(30 + f.lineHeight);
  // First line: one glyph above y 30; second line: two glyphs above the next baseline; nothing else lit.
  const int first = litPixels(frame, 8, 18, 22, 31);
  const int second = litPixels(frame, 8, 31, uint32_t(12 + tt + 2), secondBaseline + 1);
  EXPECT_GT(first, 10);
  EXPECT_GT(second, first * 3 / 2);
  EXPECT_EQ(litPixels(frame, 0, 0, kSize, kSize), first + second);
  EXPECT_EQ(litPixels(frame, 0, 0, kSize, 17), 0);
}

TEST_F(TextTest, ControlCharactersNeitherDrawNorAdvance) {
  Font& f = makeFont(10);
  float plain = 0, withControls = 0;
  Frame a = render([&](Context& context) { plain = f.drawText(context, "Ab", -1, 10, 30, 0xFFFFFF, false); });
  Frame b = render([&](Context& context) {
    withControls = f.drawText(context,
                              "\tA\x01\x80\xfe"
                              "b\x7f",
                              -1, 10, 30, 0xFFFFFF, false);
  });
  EXPECT_EQ(plain, withControls);
  EXPECT_EQ(a.pixels, b.pixels);
}

TEST_F(TextTest, UnderlineSpansThePenAdvanceAtTheUnderlinePosition) {
  Font& f = makeFont(10);
  float advance = 0;
  Frame lined = render([&](Context& context) { advance = f.drawText(context, "xx", -1, 10, 30, 0x00FF00, true); });
  Frame plain = render([&](Context& context) { f.drawText(context, "xx", -1, 10, 30, 0x00FF00, false); });
  // The pixel row whose centre the one-pixel line covers.
  const uint32_t row = uint32_t(std::ceil(30 + f.underlinePosition - 0.5f));
  EXPECT_GT(row, 30u);
  for (uint32_t x = 10; x < uint32_t(10 + advance); ++x) EXPECT_TRUE(near(lined.at(x, row), 0x00FF00)) << x;
  EXPECT_TRUE(near(lined.at(uint32_t(10 + advance) + 1, row), 0x1A1A1A));
  EXPECT_TRUE(near(plain.at(12, row), 0x1A1A1A));
  // An empty string draws nothing, and its underline has no width.
  float empty = -1;
  Frame none = render([&](Context& context) { empty = f.drawText(context, "", -1, 10, 30, 0xFFFFFF, true); });
  EXPECT_EQ(empty, 0.0f);
  EXPECT_EQ(litPixels(none, 0, 0, kSize, kSize), 0);
}

TEST_F(TextTest, SubpixelTextWritesEachChannelInItsOwnPass) {
  Font& f = makeFont(10);
  f.subpixel.text = false;
  Frame grey = render([&](Context& context) { f.drawText(context, "Wim", -1, 10, 30, 0xFFFFFF, false); });
  f.subpixel.text = true;
  f.subpixel.rgb = true;
  Frame rgb = render([&](Context& context) { f.drawText(context, "Wim", -1, 10, 30, 0xFFFFFF, false); });
  f.subpixel.rgb = false;
  Frame bgr = render([&](Context& context) { f.drawText(context, "Wim", -1, 10, 30, 0xFFFFFF, false); });
  int fringes = 0;
  for (size_t i = 0; i < grey.pixels.size(); ++i) {
    const uint32_t g = grey.pixels[i] & 0xFFFFFF, s = rgb.pixels[i] & 0xFFFFFF;
    EXPECT_EQ(red(g), blue(g));  // one pass: grey coverage
    fringes += red(s) != blue(s);
  }
  EXPECT_GT(fringes, 10);
  EXPECT_NE(rgb.pixels, bgr.pixels);
  EXPECT_EQ(litPixels(rgb, 0, 0, kSize, kSize) > 0, true);
  // Red text in three passes raises only the red channel above the background.
  Frame redText = render([&](Context& context) { f.drawText(context, "Wim", -1, 10, 30, 0xFF0000, false); });
  int raised = 0;
  for (uint32_t p : redText.pixels) {
    raised += red(p) > 0x40;
    EXPECT_LE(green(p), 0x1A);
    EXPECT_LE(blue(p), 0x1A);
  }
  EXPECT_GT(raised, 10);
}
