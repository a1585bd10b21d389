// Conversion of reconstructed PNG pixels of any colour type and depth to 8-bit RGBA.
#include "render/png_decoder.h"
#include "render/png_internal.h"

namespace VexBlit {

namespace {

// Reads sample number index (counted across the whole image) of the given depth, most significant bits first.
unsigned sampleAt(const std::uint8_t* pixels, std::size_t index, unsigned depth) {
  if (depth == 16) return unsigned(pixels[2 * index]) << 8 | pixels[2 * index + 1];
  if (depth == 8) return pixels[index];
  std::size_t bit = index * depth;
  unsigned shift = 8 - depth - unsigned(bit & 7);
  return (pixels[bit >> 3] >> shift) & ((1u << depth) - 1);
}

// A sample as 8 bits: 16-bit samples by their high byte, small ones scaled to the full range.
std::uint8_t to8(unsigned sample, unsigned depth) {
  if (depth == 16) return std::uint8_t(sample >> 8);
  if (depth == 8) return std::uint8_t(sample);
  return std::uint8_t(sample * 255 / ((1u << depth) - 1));
}

void convertGrey(std::uint8_t* out, const std::uint8_t* pixels, std::size_t count, const PngInfo& info) {
  for (std::size_t i = 0; i < count; ++i, out += 4) {
    unsigned sample = sampleAt(pixels, i, info.bitDepth);
    out[0] = out[1] = out[2] = to8(sample, info.bitDepth);
    out[3] = info.hasKey && sample == info.keyRed ? 0 : 255;
  }
}

void convertRgb(std::uint8_t* out, const std::uint8_t* pixels, std::size_t count, const PngInfo& info) {
  for (std::size_t i = 0; i < count; ++i, out += 4) {
    unsigned r = sampleAt(pixels, 3 * i, info.bitDepth), g = sampleAt(pixels, 3 * i + 1, info.bitDepth),
             b = sampleAt(pixels, 3 * i + 2, info.bitDepth);
    out[0] = to8(r, info.bitDepth);
    out[1] = to8(g, info.bitDepth);
    out[2] = to8(b, info.bitDepth);
    bool keyed = info.hasKey && r == info.keyRed && g == info.keyGreen && b == info.keyBlue;
    out[3] = keyed ? 0 : 255;
  }
}

int convertPalette(std::uint8_t* out, const std::uint8_t* pixels, std::size_t count, const PngInfo& info) {
  for (std::size_t i = 0; i < count; ++i, out += 4) {
    unsigned index = sampleAt(pixels, i, info.bitDepth);
    if (index >= info.paletteEntries()) return info.bitDepth == 8 ? kPngIndexPastPalette : kPngSmallIndexPastPalette;
    for (int c = 0; c < 4; ++c) out[c] = info.palette[4 * index + c];
  }
  return kPngOk;
}

// Grey with alpha (2 samples a pixel) and RGBA (4 samples a pixel), 8 or 16 bits.
void convertWithAlpha(std::uint8_t* out, const std::uint8_t* pixels, std::size_t count, const PngInfo& info) {
  unsigned samples = info.channels();
  for (std::size_t i = 0; i < count; ++i, out += 4) {
    for (unsigned c = 0; c < samples; ++c) {
      std::uint8_t value = to8(sampleAt(pixels, samples * i + c, info.bitDepth), info.bitDepth);
      if (samples == 4) out[c] = value;
      else if (c == 0) out[0] = out[1] = out[2] = value;
      else out[3] = value;
    }
  }
}

}  // namespace

int pngConvertToRgba(std::vector<std::uint8_t>& rgba, const std::vector<std::uint8_t>& pixels, const PngInfo& info) {
  if (info.colourType == kPngRgba && info.bitDepth == 8) {
    rgba = pixels;  // already what the caller wants
    return kPngOk;
  }
  std::size_t count = std::size_t(info.width) * info.height;
  rgba.assign(count * 4, 0);
  switch (info.colourType) {
    case kPngGrey: convertGrey(rgba.data(), pixels.data(), count, info); return kPngOk;
    case kPngRgb: convertRgb(rgba.data(), pixels.data(), count, info); return kPngOk;
    case kPngPalette: return convertPalette(rgba.data(), pixels.data(), count, info);
    default: convertWithAlpha(rgba.data(), pixels.data(), count, info); return kPngOk;
  }
}

}  // namespace VexBlit
