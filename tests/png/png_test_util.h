// Test helpers for the PNG decoder: PNG files written and read by libpng, seeded random bytes, file loading.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace png_test {

using Bytes = std::vector<std::uint8_t>;

// What to write: raw scanlines in the file's own sample layout (bit-packed rows, 16-bit samples big-endian).
struct Picture {
  std::uint32_t width = 1, height = 1;
  int colourType = 6, bitDepth = 8;
  bool interlaced = false;
  Bytes palette;              // R, G, B per entry, for colour type 3
  Bytes paletteAlpha;         // tRNS for colour type 3
  int key[3] = {-1, -1, -1};  // tRNS colour key for types 0 (key[0]) and 2; -1 for none
  Bytes rows;                 // height rows of rowBytes() each
  std::size_t rowBytes() const;
};

// How libpng compresses: zlib level and strategy (Z_DEFAULT_STRATEGY, Z_FIXED, Z_HUFFMAN_ONLY, Z_RLE ...).
struct Encoding {
  int level = 6;
  int strategy = 0;
  int filters = -1;  // a PNG_FILTER_* mask; -1 leaves libpng's default
};

Bytes writeWithLibpng(const Picture& picture, const Encoding& encoding = {});
// libpng's own reading expanded to 8-bit RGBA (16-bit samples by their high byte). Empty on failure.
Bytes readWithLibpng(const Bytes& file, std::uint32_t& width, std::uint32_t& height);

// A picture of random samples; palette indices stay inside a palette of paletteSize entries.
Picture randomPicture(std::mt19937& random, std::uint32_t width, std::uint32_t height, int colourType, int bitDepth,
                      int paletteSize = 0);

Bytes readFile(const std::string& path);
std::string resourcePath(const std::string& name);

// Every code decodePng may return.
bool isKnownResult(int code);

}  // namespace png_test
