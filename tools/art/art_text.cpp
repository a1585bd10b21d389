// FreeType rasterisation of the names painted into the pictures, with kerning and tracking.
#include "art_text.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace art {

namespace {

// Copies one rendered glyph into the mask, adding coverage.
void stamp(TextMask& mask, const FT_Bitmap& bitmap, int x0, int y0) {
  for (unsigned row = 0; row < bitmap.rows; ++row)
    for (unsigned col = 0; col < bitmap.width; ++col) {
      int x = x0 + int(col), y = y0 + int(row);
      if (x < 0 || y < 0 || x >= mask.width || y >= mask.height) continue;
      float& c = mask.cover[std::size_t(y) * mask.width + x];
      c = std::min(1.f, c + bitmap.buffer[row * unsigned(bitmap.pitch) + col] / 255.f);
    }
}

void findInk(TextMask& mask) {
  mask.inkLeft = mask.width, mask.inkTop = mask.height, mask.inkRight = -1, mask.inkBottom = -1;
  for (int y = 0; y < mask.height; ++y)
    for (int x = 0; x < mask.width; ++x)
      if (mask.at(x, y) > 0.01f) {
        mask.inkLeft = std::min(mask.inkLeft, x), mask.inkRight = std::max(mask.inkRight, x);
        mask.inkTop = std::min(mask.inkTop, y), mask.inkBottom = std::max(mask.inkBottom, y);
      }
}

}  // namespace

TextMask renderText(const std::string& fontPath, float pixelSize, const std::string& text, float tracking) {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  if (FT_Init_FreeType(&library) || FT_New_Face(library, fontPath.c_str(), 0, &face))
    throw std::runtime_error("cannot open font " + fontPath);
  FT_Set_Char_Size(face, 0, FT_F26Dot6(pixelSize * 64), 72, 72);
  TextMask mask;
  int size = int(std::ceil(pixelSize));
  mask.width = int(text.size()) * (size + int(tracking) + 2) + 2 * size;
  mask.height = 2 * size + 4;
  mask.left = size / 2;
  mask.baseline = size + 2;
  mask.cover.assign(std::size_t(mask.width) * mask.height, 0.f);
  float pen = float(mask.left);
  FT_UInt previous = 0;
  for (unsigned char ch : text) {
    FT_UInt glyph = FT_Get_Char_Index(face, ch);
    if (previous && FT_HAS_KERNING(face)) {
      FT_Vector kern;
      FT_Get_Kerning(face, previous, glyph, FT_KERNING_UNFITTED, &kern);
      pen += kern.x / 64.f;
    }
    // Sub-pixel pen positions keep the spacing even; the glyph is shifted before rendering.
    FT_Vector shift{FT_Pos((pen - std::floor(pen)) * 64), 0};
    FT_Set_Transform(face, nullptr, &shift);
    if (FT_Load_Glyph(face, glyph, FT_LOAD_NO_HINTING) || FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL))
      throw std::runtime_error("cannot render glyph");
    stamp(mask, face->glyph->bitmap, int(std::floor(pen)) + face->glyph->bitmap_left,
          mask.baseline - face->glyph->bitmap_top);
    pen += face->glyph->advance.x / 64.f + tracking;
    previous = glyph;
  }
  FT_Done_Face(face);
  FT_Done_FreeType(library);
  findInk(mask);
  return mask;
}

}  // namespace art
