// The glyph atlas: the 95 printable ASCII characters of a TrueType face rasterised at three times the
// horizontal resolution into one picture of coverage texels, with the metrics text drawing needs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace VexBlit {

constexpr int kFirstGlyph = 32;
constexpr int kGlyphCount = 95;  // characters 32 to 126

// One character's cell. Horizontal atlas units are thirds of a pixel, vertical ones pixels.
struct Glyph {
  float atlasX, atlasY;         // top-left corner of the cell's content in atlas texels
  float quadWidth, quadHeight;  // atlas texels the glyph's quad covers
  float advanceX, advanceY;     // pen advance: thirds of a pixel, pixels
  float bitmapLeft, bitmapTop;  // rasteriser offsets of the bitmap from the pen: thirds of a pixel, pixels
};

struct GlyphAtlas {
  Glyph glyphs[kGlyphCount];
  uint32_t columns = 0;  // cells per atlas row
  int32_t cellWidth = 0, cellHeight = 0;
  uint32_t width = 0, height = 0;  // atlas size in texels
  float lineHeight = 0;            // baseline to baseline, pixels
  float underlinePosition = 0;     // baseline down to the top of the underline, pixels
  float underlineThickness = 0;    // pixels, at least 1
  std::vector<uint32_t> pixels;    // width x height texels, coverage in all four bytes
};

// Rasterises the font file data at pixelSize pixels and 96 dots per inch. Throws Exception when FreeType
// cannot open the face, set the size or render a glyph.
GlyphAtlas buildGlyphAtlas(const uint8_t* fontData, size_t size, float pixelSize);

// The horizontal 5-tap filter (1 2 4 2 1)/10 over one bitmap row of `width` bytes: out has width + 4 values.
void filterGlyphRow(const uint8_t* row, int width, uint8_t* out);

}  // namespace VexBlit
