// Glyph-atlas text: the atlas build, the row filter, sub-pixel settings, measuring and drawing.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "gl_fixture.h"
#include "platform/resources.h"
#include "render/gl/font.h"

using namespace VexBlit;
using namespace VexBlitTest;

namespace {

Platform::Resource vera() { return Platform::findResource("VERA", "TTF"); }

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
    if (font) {
      font->releaseAtlas();
      delete font;
    }
    GLTest::TearDown();
  }
  Font& makeFont(float size) {
    makeDevice();
    render([&](Context& context) { font = loadFontResource(context, "vera", size); });
    EXPECT_NE(font, nullptr);
    return *font;
  }
  Font* font = nullptr;
};

}  // namespace

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

TEST(Fonts, ANullFontMeasuresZeroAndDrawsNothing) {
  EXPECT_EQ(measureText(nullptr, "abc", -1), 0.0f);
}

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
    withControls = f.drawText(context, "\tA\x01\x80\xfe" "b\x7f", -1, 10, 30, 0xFFFFFF, false);
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
