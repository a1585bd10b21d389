// What the PNG decoder's stages share: the header record and the reconstruction and conversion steps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace VexBlit {

// IHDR colour types.
constexpr unsigned kPngGrey = 0;
constexpr unsigned kPngRgb = 2;
constexpr unsigned kPngPalette = 3;
constexpr unsigned kPngGreyAlpha = 4;
constexpr unsigned kPngRgba = 6;

// Scanline filter types.
constexpr unsigned kPngFilterNone = 0;
constexpr unsigned kPngFilterSub = 1;
constexpr unsigned kPngFilterUp = 2;
constexpr unsigned kPngFilterAverage = 3;
constexpr unsigned kPngFilterPaeth = 4;

struct PngInfo {
  std::uint32_t width = 0, height = 0;
  unsigned colourType = 0, bitDepth = 0;
  unsigned compressionMethod = 0, filterMethod = 0, interlaceMethod = 0;
  std::uint16_t keyRed = 0, keyGreen = 0, keyBlue = 0;  // tRNS colour key, at the image's own depth
  bool hasKey = false;
  std::vector<std::uint8_t> palette;  // 4 bytes per entry: R, G, B, A

  unsigned channels() const;
  unsigned bitsPerPixel() const { return channels() * bitDepth; }
  std::size_t paletteEntries() const { return palette.size() / 4; }
};

// One sub-image of Adam7 (or the whole image when not interlaced).
struct PngPass {
  std::uint32_t x0, y0, dx, dy;  // where its first pixel lands and the spacing of its pixels
  std::uint32_t width, height;   // its size in pixels
};

// The passes of the image (1 or 7; passes may be empty).
std::vector<PngPass> pngPasses(const PngInfo& info);
// Bytes one scanline of w pixels needs, without the filter byte.
std::size_t pngLineBytes(const PngInfo& info, std::uint32_t w);

// Undoes the scanline filters of the inflated data and lays the pixels out bit-packed without row padding.
int pngReconstruct(std::vector<std::uint8_t>& pixels, const std::vector<std::uint8_t>& inflated, const PngInfo& info);
// Turns reconstructed pixels into 8-bit RGBA.
int pngConvertToRgba(std::vector<std::uint8_t>& rgba, const std::vector<std::uint8_t>& pixels, const PngInfo& info);

}  // namespace VexBlit
