// Glyph-atlas text: building a font from its resource, measuring and drawing in one or three passes.
#include "render/gl/font.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/resources.h"

namespace VexBlit {

namespace {

int lengthOf(const char* text, int length) {
  if (!text) return 0;
  return length < 0 ? int(std::strlen(text)) : length;
}

bool printable(char c) { return c >= 32 && c <= 126; }  // signed: bytes above 127 fall outside too

}  // namespace

Font::Font(Device& device, const uint8_t* fontData, size_t size, float pixelSize, float scale)
    : scale(scale > 0 ? scale : 1.0f) {
  GlyphAtlas built = buildGlyphAtlas(fontData, size, pixelSize * this->scale);
  std::memcpy(glyphs, built.glyphs, sizeof glyphs);
  lineHeight = built.lineHeight / this->scale;
  underlinePosition = built.underlinePosition / this->scale;
  underlineThickness = built.underlineThickness / this->scale;
  atlas = device.createTexture(built.width, built.height);  // released by its member when a later step throws
  atlas->update(built.pixels.data(), built.width, 0, 0, built.width, built.height);
  subpixel = readSubpixelSettings(device);
  if (!subpixel.text) subpixel.rgb = true;
}

float Font::measure(const char* text, int length) const {
  const int n = lengthOf(text, length);
  float lineWidth = 0, widest = 0;
  for (int i = 0; i < n; ++i) {
    const char c = text[i];
    if (c == '\n') {
      widest = std::max(widest, lineWidth);
      lineWidth = 0;
    } else if (printable(c)) {
      lineWidth += glyphs[c - kFirstGlyph].advanceX / 3;
    }
  }
  return std::max(widest, lineWidth) / scale;
}

float Font::drawText(Context& context, const char* text, int length, float x, float y, uint32_t colour,
                     bool underline) const {
  const int n = lengthOf(text, length);
  const bool threePasses = subpixel.text;
  const float subpixelShift = subpixel.rgb ? 0.25f : -0.25f;
  const uint32_t r = (colour >> 16) & 0xFF, g = (colour >> 8) & 0xFF, b = colour & 0xFF;
  std::vector<Quad> quads;
  quads.reserve(size_t(n) * (threePasses ? 3 : 1));
  // The glyphs are laid out in window pixels from the pen's pixel position, then the quads go back to units.
  const float px = x * scale, py = y * scale, toUnits = 1 / scale;
  float penX = 0, penY = 0;
  for (int i = 0; i < n; ++i) {
    const char c = text[i];
    if (c == '\n') {
      penX = 0;
      penY += lineHeight * scale;
      continue;
    }
    if (!printable(c)) continue;
    const Glyph& glyph = glyphs[c - kFirstGlyph];
    Quad q;
    q.x0 = (px + penX + glyph.bitmapLeft / 3 - 1) * toUnits;
    q.x1 = q.x0 + glyph.quadWidth / 3 * toUnits;
    q.y0 = std::floor(py + penY - glyph.bitmapTop - 1) * toUnits;
    q.y1 = q.y0 + glyph.quadHeight * toUnits;
    q.u0 = q.s0 = glyph.atlasX + 1;
    q.u1 = q.s1 = q.u0 + glyph.quadWidth;
    q.v0 = q.t0 = glyph.atlasY;
    q.v1 = q.t1 = q.v0 + glyph.quadHeight;
    setQuadRotation(q, false, 1, 0, 0, 0);
    if (threePasses) {
      // Each pass writes one channel; red and blue samples sit a quarter pixel either side.
      const float shift = subpixelShift * toUnits;
      Quad red = q, green = q, blue = q;
      red.colour = r << 24 | 0x00FF0000u, red.x0 += shift, red.x1 += shift;
      green.colour = g << 24 | 0x0000FF00u;
      blue.colour = b << 24 | 0x000000FFu, blue.x0 -= shift, blue.x1 -= shift;
      quads.insert(quads.end(), {red, green, blue});
    } else {
      q.colour = colour | 0xFF000000u;
      quads.push_back(q);
    }
    penX += glyph.advanceX / 3;
    penY += glyph.advanceY;
  }
  {
    // Three passes blend each channel by its own coverage; one pass lays premultiplied grey coverage over.
    Shader shader(context, threePasses ? Blend::Coverage : Blend::PremultipliedOver,
                  threePasses ? Combine::TextureRgb : Combine::Texture, atlas.get(), nullptr);
    if (!quads.empty()) context.drawQuads(quads.data(), uint32_t(quads.size()));
  }
  if (underline) {
    Shader shader(context, Blend::PremultipliedOver, Combine::Colour, nullptr, nullptr);
    Quad line;
    initQuad(line, colour | 0xFF000000u, x, y + underlinePosition, penX * toUnits, underlineThickness, 0, 0);
    drawQuad(context, line);
  }
  return penX * toUnits;
}

std::unique_ptr<Font> loadFontResource(Context& context, const char* name, float pixelSize) {
  if (!name) return nullptr;
  Platform::Resource resource = Platform::findResource(name, "TTF");
  if (!resource) return nullptr;
  try {
    return std::make_unique<Font>(context.device(), resource.data, resource.size, pixelSize, context.pixelScale());
  } catch (...) {
    return nullptr;
  }
}

float measureText(const Font* font, const char* text, int length) { return font ? font->measure(text, length) : 0; }

float drawText(const Font* font, Context& context, const char* text, int length, float x, float y, uint32_t colour,
               bool underline) {
  return font ? font->drawText(context, text, length, x, y, colour, underline) : 0;
}

}  // namespace VexBlit
