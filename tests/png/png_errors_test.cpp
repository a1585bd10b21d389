// The decoder's answers to malformed files, and the format corners the image loader relies on.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "png_file_builder.h"
#include "png_test_util.h"
#include "render/png_decoder.h"

using namespace png_test;
using namespace VexBlit;

namespace {

int decode(const Bytes& file, std::vector<std::uint8_t>& out, bool rgba = true) {
  std::uint32_t w = 0, h = 0;
  return decodePng(out, w, h, file.data(), file.size(), rgba);
}

int decode(const Bytes& file) {
  std::vector<std::uint8_t> out;
  return decode(file, out);
}

// A 2x2 grey 8-bit image with filter type 0 rows.
Bytes greyIdat() { return chunk("IDAT", zlibOf({0, 10, 20, 0, 30, 40})); }

}  // namespace

TEST(PngErrors, HeaderChecks) {
  std::vector<std::uint8_t> out;
  std::uint32_t w = 0, h = 0;
  EXPECT_EQ(decodePng(out, w, h, nullptr, 10), kPngEmptyInput);
  Bytes good = pngFile({ihdr(2, 2, 8, 0), greyIdat()});
  EXPECT_EQ(decodePng(out, w, h, good.data(), 0), kPngEmptyInput);
  EXPECT_EQ(decode(Bytes(good.begin(), good.begin() + 28)), kPngTooShort);
  Bytes badSignature = good;
  badSignature[1] = 'Q';
  EXPECT_EQ(decode(badSignature), kPngBadSignature);
  Bytes notFirst = pngFile({chunk("IHDX", Bytes(13, 0)), ihdr(2, 2, 8, 0), greyIdat()});
  EXPECT_EQ(decode(notFirst), kPngNoHeader);
  EXPECT_EQ(decode(pngFile({ihdr(2, 2, 8, 0, 0, 1), greyIdat()})), kPngBadCompression);
  EXPECT_EQ(decode(pngFile({ihdr(2, 2, 8, 0, 0, 0, 1), greyIdat()})), kPngBadFilterMethod);
  EXPECT_EQ(decode(pngFile({ihdr(2, 2, 8, 0, 2), greyIdat()})), kPngBadInterlace);
  for (int type : {1, 5, 7, 255}) EXPECT_EQ(decode(pngFile({ihdr(2, 2, 8, type), greyIdat()})), kPngBadColourType);
  const int badDepths[][2] = {{0, 3}, {0, 0}, {2, 4}, {3, 16}, {4, 1}, {6, 2}, {2, 32}};
  for (const auto& d : badDepths)
    EXPECT_EQ(decode(pngFile({ihdr(2, 2, d[1], d[0]), greyIdat()})), kPngBadBitDepth) << d[0] << "/" << d[1];
  // 2^32 - 1 squared does not fit a size; the decoder must say so rather than allocate something smaller.
  EXPECT_EQ(decode(pngFile({ihdr(0xFFFFFFFFu, 0xFFFFFFFFu, 16, 6), greyIdat()})), kPngImageTooLarge);
  EXPECT_EQ(decode(pngFile({ihdr(0x7FFFFFFFu, 0x7FFFFFFFu, 16, 6), greyIdat()})), kPngImageTooLarge);
}

TEST(PngErrors, ChunkWalk) {
  Bytes good = pngFile({ihdr(2, 2, 8, 0), greyIdat()});
  EXPECT_EQ(decode(good), kPngOk);
  EXPECT_EQ(decode(Bytes(good.begin(), good.end() - 12)), kPngChunkHeaderPastEnd);   // no IEND
  EXPECT_EQ(decode(Bytes(good.begin(), good.begin() + 33 + 10)), kPngChunkPastEnd);  // cut inside IDAT
  Bytes tooLong = good;
  tooLong[33] = 0x80;
  EXPECT_EQ(decode(tooLong), kPngChunkTooLong);
  EXPECT_EQ(decode(pngFile({ihdr(2, 2, 8, 0), chunk("ABCD", {}), greyIdat()})), kPngUnknownCritical);
  EXPECT_EQ(decode(pngFile({ihdr(2, 2, 8, 0), chunk("IHDR", Bytes(13, 0)), greyIdat()})), kPngUnknownCritical);
  // Ancillary chunks are skipped, and neither chunk CRCs nor the Adler-32 are checked.
  Bytes withText = pngFile({ihdr(2, 2, 8, 0), chunk("tEXt", {'a', 0, 'b'}), chunk("abCd", {1}), greyIdat()});
  EXPECT_EQ(decode(withText), kPngOk);
  Bytes badChecksums = good;
  for (std::size_t at : {std::size_t(29), good.size() - 1, good.size() - 14, good.size() - 17})
    badChecksums[at] ^= 0x5A;
  std::vector<std::uint8_t> out;
  EXPECT_EQ(decode(badChecksums, out), kPngOk);
  EXPECT_EQ(out[4 * 3], 40);
}

TEST(PngErrors, PaletteAndTransparencyChunks) {
  Bytes idat = chunk("IDAT", zlibOf({0, 0, 1, 0, 2, 3}));
  EXPECT_EQ(decode(pngFile({ihdr(2, 2, 8, 3), chunk("PLTE", Bytes(3 * 257, 9)), idat})), kPngPaletteTooLarge);
  EXPECT_EQ(decode(pngFile({ihdr(2, 2, 8, 3), chunk("PLTE", Bytes(12, 9)), chunk("tRNS", Bytes(5, 0)), idat})),
            kPngTransTooLong);
  EXPECT_EQ(decode(pngFile({ihdr(2, 2, 8, 3), chunk("tRNS", {0}), chunk("PLTE", Bytes(12, 9)), idat})),
            kPngTransTooLong);  // before the palette there are no entries to give alpha to
  EXPECT_EQ(decode(pngFile({ihdr(2, 2, 8, 0), chunk("tRNS", {0, 0, 0}), idat})), kPngTransGreyLength);
  EXPECT_EQ(decode(pngFile({ihdr(2, 2, 8, 2), chunk("tRNS", {0, 0}), idat})), kPngTransRgbLength);
  EXPECT_EQ(decode(pngFile({ihdr(2, 2, 8, 6), chunk("tRNS", {0, 0}), idat})), kPngTransNotAllowed);
  EXPECT_EQ(decode(pngFile({ihdr(2, 2, 8, 4), chunk("tRNS", {0, 0}), idat})), kPngTransNotAllowed);

  // Index 3 is past a 3-entry palette: code 46 at 8 bits, 47 below.
  EXPECT_EQ(decode(pngFile({ihdr(2, 2, 8, 3), chunk("PLTE", Bytes(9, 9)), idat})), kPngIndexPastPalette);
  Bytes twoBit = chunk("IDAT", zlibOf({0, 0x40, 0, 0xC0}));  // indices 1, 0 / 3, 0
  EXPECT_EQ(decode(pngFile({ihdr(2, 2, 2, 3), chunk("PLTE", Bytes(9, 9)), twoBit})), kPngSmallIndexPastPalette);
  EXPECT_EQ(decode(pngFile({ihdr(2, 2, 2, 3), twoBit})), kPngSmallIndexPastPalette);  // no palette at all
  std::vector<std::uint8_t> out;
  Bytes palette{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  ASSERT_EQ(decode(pngFile({ihdr(2, 2, 2, 3), chunk("PLTE", palette), chunk("tRNS", {100}), twoBit}), out), kPngOk);
  EXPECT_EQ(out, (std::vector<std::uint8_t>{4, 5, 6, 255, 1, 2, 3, 100, 10, 11, 12, 255, 1, 2, 3, 100}));
}

TEST(PngErrors, ScanlineData) {
  EXPECT_EQ(decode(pngFile({ihdr(2, 2, 8, 0), chunk("IDAT", zlibOf({0, 1, 2, 5, 3, 4}))})), kPngBadFilterType);
  EXPECT_EQ(decode(pngFile({ihdr(2, 2, 8, 0), chunk("IDAT", zlibOf({0, 1, 2, 0, 3}))})), kPngPixelsMissing);
  EXPECT_EQ(decode(pngFile({ihdr(2, 2, 8, 0)})), kPngZlibTooShort);  // no IDAT at all
  // The IDAT data may be split over several chunks.
  Bytes z = zlibOf({1, 1, 2, 1, 3, 4});
  std::vector<std::uint8_t> out;
  Bytes split = pngFile(
      {ihdr(2, 2, 8, 0), chunk("IDAT", Bytes(z.begin(), z.begin() + 3)), chunk("IDAT", Bytes(z.begin() + 3, z.end()))});
  ASSERT_EQ(decode(split, out, false), kPngOk);
  EXPECT_EQ(out, (std::vector<std::uint8_t>{1, 3, 3, 7}));  // Sub filter on both rows
}

TEST(PngErrors, EveryCodeTheDecoderReturnsHasItsOwnText) {
  std::set<std::string> texts;
  for (int code = -20; code < 300; ++code) {
    const std::string text = pngErrorText(code);
    EXPECT_FALSE(text.empty()) << code;
    if (!isKnownResult(code)) {
      EXPECT_EQ(text, "unknown error") << code;
      continue;
    }
    EXPECT_NE(text, "unknown error") << code;
    EXPECT_TRUE(texts.insert(text).second) << "code " << code << " shares its text: " << text;
  }
  EXPECT_EQ(std::string(pngErrorText(kPngOk)), "no error");
  EXPECT_EQ(std::string(pngErrorText(kPngBadSignature)), "not the 8-byte PNG signature");
}

TEST(PngFormat, CornersTheLoaderMeets) {
  std::vector<std::uint8_t> out;
  std::uint32_t w = 0, h = 0;
  // Adam7 at 1x1: only the first pass has a scanline.
  Bytes one = pngFile({ihdr(1, 1, 8, 2, 1), chunk("IDAT", zlibOf({0, 200, 100, 50}))});
  ASSERT_EQ(decodePng(out, w, h, one.data(), one.size()), kPngOk);
  EXPECT_EQ(w, 1u);
  EXPECT_EQ(h, 1u);
  EXPECT_EQ(out, (std::vector<std::uint8_t>{200, 100, 50, 255}));
  // A stored block decodes the same as a compressed one.
  std::vector<std::uint8_t> stored, packed;
  Bytes rows{0, 1, 2, 3, 4, 5, 6, 7, 8, 4, 1, 1, 1, 1, 2, 2, 2, 2};
  ASSERT_EQ(decode(pngFile({ihdr(2, 2, 8, 6), chunk("IDAT", zlibOf(rows, 0))}), stored), kPngOk);
  ASSERT_EQ(decode(pngFile({ihdr(2, 2, 8, 6), chunk("IDAT", zlibOf(rows, 9))}), packed), kPngOk);
  EXPECT_EQ(stored, packed);
  EXPECT_EQ(stored, (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6, 7, 8, 2, 3, 4, 5, 7, 8, 9, 10}));  // Paeth row
  // Without conversion the samples stay bit-packed with no row padding: 3x2 at 1 bit is 6 bits.
  Bytes bits = pngFile({ihdr(3, 2, 1, 0), chunk("IDAT", zlibOf({0, 0xA0, 0, 0x60}))});
  ASSERT_EQ(decodePng(out, w, h, bits.data(), bits.size(), false), kPngOk);
  EXPECT_EQ(out, (std::vector<std::uint8_t>{0xAC}));
  ASSERT_EQ(decodePng(out, w, h, bits.data(), bits.size(), true), kPngOk);
  EXPECT_EQ(out[0], 255);
  EXPECT_EQ(out[4], 0);
  EXPECT_EQ(out[20], 255);
}
