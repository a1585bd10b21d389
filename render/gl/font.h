// Glyph-atlas text: fonts built from the module's TrueType resource, measured and drawn as one quad per glyph.
#pragma once

#include <cstdint>
#include <memory>

#include "render/gl/drawing.h"
#include "render/gl/font_atlas.h"

namespace VexBlit {

// How the desktop wants text smoothed: sub-pixel or grey, and in which order. One backend file per platform.
struct SubpixelSettings {
  bool text = false;  // three colour passes (sub-pixel) instead of one grey one
  bool rgb = true;    // the panel's sub-pixel order: red-green-blue, else blue-green-red
};

// Sizes, positions and widths are in drawing units; the glyphs are rasterised at pixelSize x scale window pixels, so
// text is as sharp at every scale as at 1, and each glyph's quad starts on a whole window pixel row.
class Font {
 public:
  // Builds the atlas texture on the device. Throws Exception when FreeType fails.
  Font(Device& device, const uint8_t* fontData, size_t size, float pixelSize, float scale = 1.0f);
  Font(const Font&) = delete;
  Font& operator=(const Font&) = delete;
  // Releases the atlas texture: the owner deletes the font while the device exists.
  ~Font() = default;

  // Width in pixels of the widest line; length -1 for a zero-terminated string.
  float measure(const char* text, int length) const;
  // Draws with the baseline of the first line at y; colour 0x00RRGGBB, drawn opaque. Returns the pen advance
  // of the last line in pixels.
  float drawText(Context& context, const char* text, int length, float x, float y, uint32_t colour,
                 bool underline) const;

  Glyph glyphs[kGlyphCount];  // in the atlas's window pixels (thirds across)
  float scale = 1;            // window pixels per unit the atlas was rasterised for
  float lineHeight = 0;       // units, as the two below
  float underlinePosition = 0;
  float underlineThickness = 0;
  TexturePtr atlas;
  // Read from the system when the font is made; each font keeps its own, so one editor never changes another's.
  SubpixelSettings subpixel;
};

// The font of that name among the module's "TTF" resources at pixelSize units for the context's pixel scale, or null
// when the resource is missing or the font cannot be built (text is then simply not drawn).
std::unique_ptr<Font> loadFontResource(Context& context, const char* name, float pixelSize);

// The calls controls make: a null font measures 0 and draws nothing.
float measureText(const Font* font, const char* text, int length);
float drawText(const Font* font, Context& context, const char* text, int length, float x, float y, uint32_t colour,
               bool underline);

SubpixelSettings readSubpixelSettings(Device& device);
// The X11 reading: Xft.antialias and Xft.rgba (rgb, bgr, anything else grey) from a resource-manager string.
SubpixelSettings subpixelFromXResources(const char* resources);

}  // namespace VexBlit
