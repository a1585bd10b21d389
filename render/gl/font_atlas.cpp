// Glyph atlas building with FreeType: metrics, cell size, atlas size, and the filtered glyph rows.
#include "render/gl/font_atlas.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdio>

#include "platform/system.h"
#include "render/gl/base.h"

namespace VexBlit {

namespace {

constexpr FT_UInt kDotsPerInch = 96;
// Glyphs are hinted at 48 times the horizontal resolution, then the transform takes x down by 16: three atlas
// texels per screen pixel across, one down.
constexpr FT_UInt kHintingScale = 48;
constexpr FT_Fixed kHorizontalShrink = 0x1000;  // 1/16 in 16.16
constexpr FT_Fixed kUnity = 0x10000;            // 1 in 16.16
constexpr long kHintedPerTexel = kHintingScale / 3;
constexpr int32_t kCellPaddingX = 8;  // texels beside the face's bounding box: the filter's spread and a gap
constexpr int32_t kCellPaddingY = 4;
constexpr uint32_t kAtlasBorder = 2;  // a texel of gap around the cells, each side
constexpr uint32_t kNarrowestAtlas = 64;
constexpr uint32_t kWidestAtlas = 0x10000;  // no card holds a wider picture
constexpr float kQuadExtraWidth = 6;        // the filter's four texels and one each side
constexpr float kQuadExtraHeight = 2;       // one row above and below
constexpr size_t kOversizeReportSize = 64;

// Owns the FreeType library and face for one atlas build, whatever way the build ends.
struct FreeTypeFace {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  ~FreeTypeFace() {
    if (face) FT_Done_Face(face);
    if (library) FT_Done_FreeType(library);
  }
};

void openFace(FreeTypeFace& ft, const uint8_t* data, size_t size, float pixelSize) {
  if (FT_Init_FreeType(&ft.library)) throw Exception();
  if (FT_New_Memory_Face(ft.library, data, FT_Long(size), 0, &ft.face)) throw Exception();
  const FT_F26Dot6 charSize = FT_F26Dot6(pixelSize * 64);  // 26.6 fixed point
  if (FT_Set_Char_Size(ft.face, charSize, charSize, kDotsPerInch * kHintingScale, kDotsPerInch)) throw Exception();
  FT_Matrix matrix = {kHorizontalShrink, 0, 0, kUnity};
  FT_Set_Transform(ft.face, &matrix, nullptr);
}

// Font units scaled to pixels by the size's vertical scale (16.16 scale, 26.6 result).
constexpr double kScaledToPixels = 65536.0 * 64.0;  // a 16.16 scale times a value, read as 26.6 pixels
float scaled(FT_Face face, long value) {
  return float(double(value) * double(face->size->metrics.y_scale) / kScaledToPixels);
}

void setMetrics(GlyphAtlas& atlas, FT_Face face) {
  atlas.underlinePosition = -scaled(face, face->underline_position);
  atlas.underlineThickness = scaled(face, face->underline_thickness);
  atlas.lineHeight = scaled(face, face->height) + 1;
  if (atlas.underlineThickness < 1) {
    atlas.underlinePosition -= 1 - atlas.underlineThickness;
    atlas.underlineThickness = 1;
  }
  const long unitsPerEm = face->units_per_EM;
  atlas.cellWidth =
      int32_t((face->bbox.xMax - face->bbox.xMin) * long(face->size->metrics.x_ppem) / (unitsPerEm * kHintedPerTexel) +
              kCellPaddingX);
  atlas.cellHeight =
      int32_t((face->bbox.yMax - face->bbox.yMin) * long(face->size->metrics.y_ppem) / unitsPerEm + kCellPaddingY);
  if (atlas.cellWidth < 1 || atlas.cellHeight < 1) throw Exception();
}

// The narrowest power-of-two width from kNarrowestAtlas whose rows of cells fit within twice that width in height.
void chooseAtlasSize(GlyphAtlas& atlas) {
  uint32_t w = kNarrowestAtlas, columns = 0, h = 0;
  for (;;) {
    columns = (w - kAtlasBorder) / uint32_t(atlas.cellWidth);
    if (columns > 0) {
      h = ((columns + kGlyphCount - 1) / columns) * uint32_t(atlas.cellHeight) + kAtlasBorder;
      if (h <= 2 * w) break;
    }
    if (w >= kWidestAtlas) throw Exception();  // a face whose cells need a picture no card holds
    w *= 2;
  }
  atlas.columns = columns;
  atlas.width = columns * uint32_t(atlas.cellWidth);
  atlas.height = h;
  atlas.pixels.assign(size_t(atlas.width) * atlas.height, 0);
}

void reportOversize(const char* format, int c) {
  char text[kOversizeReportSize];
  std::snprintf(text, sizeof text, format, c, c);
  Platform::debugOutput(text);
}

// Copies one rendered glyph into its cell, filtered row by row; writes never leave the atlas.
void copyBitmap(GlyphAtlas& atlas, const FT_Bitmap& bitmap, uint32_t a, uint32_t b) {
  if (!bitmap.buffer || bitmap.pitch <= 0) return;
  const int width = std::min(int(bitmap.width), atlas.cellWidth);
  const int rows = std::min(int(bitmap.rows), atlas.cellHeight);
  std::vector<uint8_t> out(size_t(width) + 4);
  for (int j = 0; j < rows; ++j) {
    const uint32_t y = b + 1 + uint32_t(j);
    if (y >= atlas.height) break;
    filterGlyphRow(bitmap.buffer + size_t(j) * size_t(bitmap.pitch), width, out.data());
    for (int k = 0; k < width + 4; ++k) {
      const uint32_t x = a + 1 + uint32_t(k);
      if (x >= atlas.width) break;
      atlas.pixels[size_t(y) * atlas.width + x] = uint32_t(out[size_t(k)]) * 0x01010101u;
    }
  }
}

void rasteriseGlyph(GlyphAtlas& atlas, FT_Face face, int i) {
  const int c = kFirstGlyph + i;
  const uint32_t a = (uint32_t(i) % atlas.columns) * uint32_t(atlas.cellWidth) + 1;
  const uint32_t b = (uint32_t(i) / atlas.columns) * uint32_t(atlas.cellHeight) + 1;
  const FT_UInt index = FT_Get_Char_Index(face, FT_ULong(c));
  if (FT_Load_Glyph(face, index, FT_LOAD_FORCE_AUTOHINT)) throw Exception();
  if (FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL)) throw Exception();
  const FT_GlyphSlot slot = face->glyph;
  Glyph& g = atlas.glyphs[i];
  g.atlasX = float(a);
  g.atlasY = float(b);
  g.bitmapLeft = float(slot->bitmap_left);
  g.bitmapTop = float(slot->bitmap_top);
  g.quadWidth = float(slot->bitmap.width) + kQuadExtraWidth;
  g.quadHeight = float(slot->bitmap.rows) + kQuadExtraHeight;
  g.advanceX = float(slot->advance.x) / 64;
  g.advanceY = float(slot->advance.y) / 64;
  if (float(atlas.cellWidth) < g.quadWidth) reportOversize("over BBX: '%c' (%d)\n", c);
  if (float(atlas.cellHeight) < g.quadHeight) reportOversize("over BBY: '%c' (%d)\n", c);
  copyBitmap(atlas, slot->bitmap, a, b);
}

}  // namespace

void filterGlyphRow(const uint8_t* row, int width, uint8_t* out) {
  auto s = [row, width](int n) { return (n >= 0 && n < width) ? int(row[n]) : 0; };
  for (int k = 0; k < width + 4; ++k)
    out[k] = uint8_t((s(k) + 2 * s(k - 1) + 4 * s(k - 2) + 2 * s(k - 3) + s(k - 4)) / 10);
}

GlyphAtlas buildGlyphAtlas(const uint8_t* fontData, size_t size, float pixelSize) {
  if (!fontData || size == 0 || !(pixelSize > 0)) throw Exception();
  FreeTypeFace ft;
  openFace(ft, fontData, size, pixelSize);
  GlyphAtlas atlas;
  setMetrics(atlas, ft.face);
  chooseAtlasSize(atlas);
  for (int i = 0; i < kGlyphCount; ++i) rasteriseGlyph(atlas, ft.face, i);
  return atlas;
}

}  // namespace VexBlit
