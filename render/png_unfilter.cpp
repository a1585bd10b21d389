// Scanline reconstruction: the five PNG filters, Adam7 passes and bit-packed pixel placement.
#include <cstdlib>
#include <cstring>

#include "render/png_decoder.h"
#include "render/png_internal.h"

namespace VexBlit {

namespace {

// Adam7: where each pass starts and how far apart its pixels are.
constexpr std::uint32_t kAdamX0[7] = {0, 4, 0, 2, 0, 1, 0};
constexpr std::uint32_t kAdamY0[7] = {0, 0, 4, 0, 2, 0, 1};
constexpr std::uint32_t kAdamDx[7] = {8, 8, 4, 4, 2, 2, 1};
constexpr std::uint32_t kAdamDy[7] = {8, 8, 8, 4, 4, 2, 2};

std::uint8_t paeth(int a, int b, int c) {
  int p = a + b - c;
  int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return std::uint8_t(a);
  return std::uint8_t(pb <= pc ? b : c);
}

// Reconstructs one scanline in place; previous is the reconstructed line above, or null for the first one.
int unfilterLine(std::uint8_t* line, const std::uint8_t* previous, unsigned filter, std::size_t length,
                 std::size_t pixelBytes) {
  for (std::size_t i = 0; i < length; ++i) {
    int a = i >= pixelBytes ? line[i - pixelBytes] : 0;
    int b = previous ? previous[i] : 0;
    int c = previous && i >= pixelBytes ? previous[i - pixelBytes] : 0;
    switch (filter) {
      case kPngFilterNone: break;
      case kPngFilterSub: line[i] = std::uint8_t(line[i] + a); break;
      case kPngFilterUp: line[i] = std::uint8_t(line[i] + b); break;
      case kPngFilterAverage: line[i] = std::uint8_t(line[i] + (a + b) / 2); break;
      case kPngFilterPaeth: line[i] = std::uint8_t(line[i] + paeth(a, b, c)); break;
      default: return kPngBadFilterType;
    }
  }
  return kPngOk;
}

// Reconstructs a pass's scanlines from in (filter byte first) into rows of lineBytes each.
int unfilterPass(std::vector<std::uint8_t>& rows, const std::uint8_t* in, const PngInfo& info, const PngPass& pass) {
  std::size_t lineBytes = pngLineBytes(info, pass.width);
  std::size_t pixelBytes = (info.bitsPerPixel() + 7) / 8;
  rows.resize(lineBytes * pass.height);
  for (std::uint32_t y = 0; y < pass.height; ++y) {
    const std::uint8_t* source = in + y * (lineBytes + 1);
    std::uint8_t* line = rows.data() + y * lineBytes;
    std::memcpy(line, source + 1, lineBytes);
    const std::uint8_t* previous = y == 0 ? nullptr : line - lineBytes;
    if (int error = unfilterLine(line, previous, source[0], lineBytes, pixelBytes)) return error;
  }
  return kPngOk;
}

void copyBits(std::uint8_t* to, std::size_t toBit, const std::uint8_t* from, std::size_t fromBit, unsigned count) {
  for (unsigned k = 0; k < count; ++k, ++toBit, ++fromBit) {
    unsigned bit = (from[fromBit >> 3] >> (7 - (fromBit & 7))) & 1u;
    std::uint8_t mask = std::uint8_t(1u << (7 - (toBit & 7)));
    to[toBit >> 3] = std::uint8_t(bit ? to[toBit >> 3] | mask : to[toBit >> 3] & ~mask);
  }
}

// Places a pass's pixels into the full image, which is bit-packed without row padding.
void scatterPass(std::vector<std::uint8_t>& pixels, const std::vector<std::uint8_t>& rows, const PngInfo& info,
                 const PngPass& pass) {
  unsigned bpp = info.bitsPerPixel();
  std::size_t lineBytes = pngLineBytes(info, pass.width);
  for (std::uint32_t y = 0; y < pass.height; ++y) {
    const std::uint8_t* line = rows.data() + y * lineBytes;
    std::size_t outY = pass.y0 + std::size_t(y) * pass.dy;
    for (std::uint32_t x = 0; x < pass.width; ++x) {
      std::size_t outIndex = outY * info.width + pass.x0 + std::size_t(x) * pass.dx;
      if (bpp >= 8) std::memcpy(&pixels[outIndex * (bpp / 8)], line + std::size_t(x) * (bpp / 8), bpp / 8);
      else copyBits(pixels.data(), outIndex * bpp, line, std::size_t(x) * bpp, bpp);
    }
  }
}

}  // namespace

std::vector<PngPass> pngPasses(const PngInfo& info) {
  if (info.interlaceMethod == 0) return {PngPass{0, 0, 1, 1, info.width, info.height}};
  std::vector<PngPass> passes;
  for (int i = 0; i < 7; ++i) {
    // Pixels at x0, x0 + dx, ... below width: ceil((width - x0) / dx), none when x0 >= width.
    std::uint32_t w = info.width > kAdamX0[i] ? (info.width - kAdamX0[i] + kAdamDx[i] - 1) / kAdamDx[i] : 0;
    std::uint32_t h = info.height > kAdamY0[i] ? (info.height - kAdamY0[i] + kAdamDy[i] - 1) / kAdamDy[i] : 0;
    passes.push_back(PngPass{kAdamX0[i], kAdamY0[i], kAdamDx[i], kAdamDy[i], w, h});
  }
  return passes;
}

std::size_t pngLineBytes(const PngInfo& info, std::uint32_t w) {
  return (std::size_t(w) * info.bitsPerPixel() + 7) / 8;
}

// The caller has checked that inflated holds every pass's scanlines.
int pngReconstruct(std::vector<std::uint8_t>& pixels, const std::vector<std::uint8_t>& inflated, const PngInfo& info) {
  std::size_t pixelCount = std::size_t(info.width) * info.height;
  pixels.assign((pixelCount * info.bitsPerPixel() + 7) / 8, 0);
  std::vector<std::uint8_t> rows;
  std::size_t offset = 0;
  for (const PngPass& pass : pngPasses(info)) {
    if (pass.width == 0 || pass.height == 0) continue;  // an empty pass has no scanlines
    if (int error = unfilterPass(rows, inflated.data() + offset, info, pass)) return error;
    scatterPass(pixels, rows, info, pass);
    offset += pass.height * (pngLineBytes(info, pass.width) + 1);
  }
  return kPngOk;
}

}  // namespace VexBlit
