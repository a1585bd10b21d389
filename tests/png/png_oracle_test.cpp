// The decoder against libpng: every colour type, bit depth, interlace method, palette and transparency key.
#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include "png_test_util.h"
#include "render/png_decoder.h"

using namespace png_test;

namespace {

struct Format {
  int colourType, bitDepth;
};

const Format kFormats[] = {{0, 1}, {0, 2}, {0, 4}, {0, 8}, {0, 16}, {2, 8}, {2, 16}, {3, 1},
                           {3, 2}, {3, 4}, {3, 8}, {4, 8}, {4, 16}, {6, 8}, {6, 16}};

// Decodes with both and compares every byte; returns the number of pixels that are not opaque.
int expectSameAsLibpng(const Bytes& file, const std::string& what) {
  std::uint32_t w = 0, h = 0, libW = 0, libH = 0;
  std::vector<std::uint8_t> ours;
  Bytes theirs = readWithLibpng(file, libW, libH);
  EXPECT_FALSE(theirs.empty()) << what;
  EXPECT_EQ(VexBlit::decodePng(ours, w, h, file.data(), file.size()), 0) << what;
  EXPECT_EQ(w, libW) << what;
  EXPECT_EQ(h, libH) << what;
  EXPECT_EQ(ours.size(), theirs.size()) << what;
  int transparent = 0;
  for (std::size_t i = 0; i < std::min(ours.size(), theirs.size()); ++i) {
    if (ours[i] != theirs[i]) {
      ADD_FAILURE() << what << ": byte " << i << " (pixel " << i / 4 << ") is " << int(ours[i]) << ", libpng says "
                    << int(theirs[i]);
      break;
    }
    if (i % 4 == 3 && ours[i] != 255) ++transparent;
  }
  return transparent;
}

std::string describe(const Picture& p, std::uint32_t w, std::uint32_t h) {
  return "type " + std::to_string(p.colourType) + " depth " + std::to_string(p.bitDepth) + " size " +
         std::to_string(w) + "x" + std::to_string(h) + (p.interlaced ? " Adam7" : "");
}

}  // namespace

TEST(PngOracle, EveryFormatAndSizeBothInterlaceMethods) {
  std::mt19937 random(1234);
  const std::uint32_t sizes[][2] = {{1, 1}, {2, 3}, {7, 5}, {9, 9}, {33, 17}, {64, 1}, {1, 40}};
  for (const Format& f : kFormats)
    for (const auto& size : sizes)
      for (bool interlaced : {false, true}) {
        int paletteSize = f.colourType == 3 ? 1 + int(random() % (1u << f.bitDepth)) : 0;
        Picture p = randomPicture(random, size[0], size[1], f.colourType, f.bitDepth, paletteSize);
        p.interlaced = interlaced;
        expectSameAsLibpng(writeWithLibpng(p, {6, Z_DEFAULT_STRATEGY, PNG_ALL_FILTERS}), describe(p, size[0], size[1]));
      }
}

TEST(PngOracle, PaletteTransparencyAndColourKeys) {
  std::mt19937 random(99);
  for (const Format& f : kFormats) {
    if (f.colourType == 4 || f.colourType == 6) continue;
    for (bool interlaced : {false, true}) {
      Picture p = randomPicture(random, 23, 11, f.colourType, f.bitDepth, f.colourType == 3 ? 1 << f.bitDepth : 0);
      p.interlaced = interlaced;
      if (f.colourType == 3) {
        p.paletteAlpha = {0, 128, 255};
        p.paletteAlpha.resize(std::min<std::size_t>(p.palette.size() / 3, 7), 40);
      } else {
        // The key is the first pixel's value, so at least that pixel turns transparent.
        std::uint32_t w = 0, h = 0;
        std::vector<std::uint8_t> raw;
        Bytes plain = writeWithLibpng(p);
        ASSERT_EQ(VexBlit::decodePng(raw, w, h, plain.data(), plain.size(), false), 0);
        for (int c = 0; c < (f.colourType == 2 ? 3 : 1); ++c)
          p.key[c] = f.bitDepth == 16  ? raw[2 * c] << 8 | raw[2 * c + 1]
                     : f.bitDepth == 8 ? raw[c]
                                       : raw[0] >> (8 - f.bitDepth);
        if (f.colourType == 0) p.key[1] = p.key[2] = p.key[0];
      }
      int transparent = expectSameAsLibpng(writeWithLibpng(p), describe(p, 23, 11) + " with tRNS");
      EXPECT_GT(transparent, 0) << describe(p, 23, 11);
    }
  }
}

TEST(PngOracle, StoredFixedHuffmanOnlyAndRunLengthStreams) {
  std::mt19937 random(7);
  // Level 0 writes stored blocks, Z_FIXED the fixed code, Z_RLE distance-1 copies that overlap their source.
  const Encoding encodings[] = {{0, Z_DEFAULT_STRATEGY, -1},      {9, Z_FIXED, -1},
                                {9, Z_HUFFMAN_ONLY, -1},          {9, Z_RLE, -1},
                                {1, Z_FILTERED, PNG_ALL_FILTERS}, {9, Z_DEFAULT_STRATEGY, PNG_FILTER_PAETH}};
  for (const Encoding& e : encodings)
    for (const Format& f : {Format{6, 8}, Format{0, 2}, Format{2, 16}}) {
      Picture p = randomPicture(random, 150, 90, f.colourType, f.bitDepth);
      // Runs of equal rows give the compressor long matches to find.
      for (std::size_t y = 30; y < 60; ++y)
        std::copy_n(p.rows.begin(), p.rowBytes(), p.rows.begin() + std::ptrdiff_t(y * p.rowBytes()));
      expectSameAsLibpng(writeWithLibpng(p, e), describe(p, 150, 90) + " strategy " + std::to_string(e.strategy));
    }
}

TEST(PngOracle, GreySixteenBitKeyHitsExactlyTheEqualSamples) {
  Picture p;
  p.width = 4;
  p.height = 1;
  p.colourType = 0;
  p.bitDepth = 16;
  p.rows = {0x12, 0x34, 0x12, 0x35, 0x13, 0x34, 0x12, 0x34};  // same high byte, different low byte in the middle
  p.key[0] = p.key[1] = p.key[2] = 0x1234;
  Bytes file = writeWithLibpng(p);
  std::uint32_t w = 0, h = 0;
  std::vector<std::uint8_t> rgba;
  ASSERT_EQ(VexBlit::decodePng(rgba, w, h, file.data(), file.size()), 0);
  ASSERT_EQ(rgba.size(), 16u);
  EXPECT_EQ(rgba[3], 0);
  EXPECT_EQ(rgba[7], 255);
  EXPECT_EQ(rgba[11], 255);
  EXPECT_EQ(rgba[15], 0);
  EXPECT_EQ(rgba[4], 0x12);  // 16-bit samples shown by their high byte
  EXPECT_EQ(rgba[8], 0x13);
}

TEST(PngOracle, EachFilterTypeOnSmoothPictures) {
  // Gradients with a little noise give every filter ties and carries to get right.
  std::mt19937 random(31);
  const int filters[] = {PNG_FILTER_NONE, PNG_FILTER_SUB, PNG_FILTER_UP, PNG_FILTER_AVG, PNG_FILTER_PAETH};
  for (const Format& f : kFormats)
    for (int filter : filters)
      for (bool interlaced : {false, true}) {
        Picture p = randomPicture(random, 37, 21, f.colourType, f.bitDepth, f.colourType == 3 ? 1 << f.bitDepth : 0);
        p.interlaced = interlaced;
        for (std::size_t i = 0; i < p.rows.size() && f.colourType != 3; ++i)
          p.rows[i] = std::uint8_t((i % p.rowBytes()) * 2 + (i / p.rowBytes()) * 3 + random() % 3);
        expectSameAsLibpng(writeWithLibpng(p, {6, Z_DEFAULT_STRATEGY, filter}),
                           describe(p, 37, 21) + " filter " + std::to_string(filter));
      }
}
