// PNG file structure: signature, IHDR checks, the chunk walk (PLTE, tRNS, IDAT, IEND) and the decoding steps.
#include "render/png_decoder.h"

#include <algorithm>
#include <cstring>

#include "render/inflate.h"
#include "render/png_internal.h"

namespace VexBlit {

namespace {

constexpr std::uint8_t kSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
constexpr std::size_t kFirstChunk = 33;    // signature 8 + IHDR (length 4, type 4, data 13, CRC 4)
constexpr std::size_t kHeaderEnd = 29;     // the IHDR fields end here; its CRC is not read
constexpr std::size_t kChunkHeader = 9;    // length 4, type 4 and at least one byte more before a chunk is read
constexpr std::size_t kChunkFraming = 12;  // length, type and CRC around a chunk's data
constexpr std::uint32_t kMaxChunkLength = 2147483647u;  // 2^31 - 1, the format's limit
constexpr std::size_t kMaxPaletteEntries = 256;
constexpr std::size_t kMaxBytesPerPixel = 64;  // bits of the widest pixel: later sizes stay within this factor

std::uint32_t bigEndian32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

std::uint16_t bigEndian16(const std::uint8_t* p) { return std::uint16_t(p[0] << 8 | p[1]); }

bool depthAllowed(unsigned colourType, unsigned depth) {
  switch (colourType) {
    case kPngGrey: return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
    case kPngPalette: return depth == 1 || depth == 2 || depth == 4 || depth == 8;
    default: return depth == 8 || depth == 16;  // 2, 4 and 6
  }
}

int readHeader(PngInfo& info, const std::uint8_t* data, std::size_t size) {
  if (size < kHeaderEnd) return kPngTooShort;
  if (std::memcmp(data, kSignature, 8) != 0) return kPngBadSignature;
  if (std::memcmp(data + 12, "IHDR", 4) != 0) return kPngNoHeader;
  info.width = bigEndian32(data + 16);
  info.height = bigEndian32(data + 20);
  info.bitDepth = data[24];
  info.colourType = data[25];
  info.compressionMethod = data[26];
  info.filterMethod = data[27];
  info.interlaceMethod = data[28];
  if (info.compressionMethod != 0) return kPngBadCompression;
  if (info.filterMethod != 0) return kPngBadFilterMethod;
  if (info.interlaceMethod > 1) return kPngBadInterlace;
  unsigned type = info.colourType;
  if (type != kPngGrey && type != kPngRgb && type != kPngPalette && type != kPngGreyAlpha && type != kPngRgba)
    return kPngBadColourType;
  if (!depthAllowed(type, info.bitDepth)) return kPngBadBitDepth;
  // Every later size, down to the bit count of a 64-bit-per-pixel image, must fit in size_t.
  if (info.width > SIZE_MAX / kMaxBytesPerPixel / std::max<std::uint32_t>(info.height, 1)) return kPngImageTooLarge;
  return kPngOk;
}

int readPalette(PngInfo& info, const std::uint8_t* p, std::uint32_t length) {
  std::size_t entries = length / 3;
  if (entries > kMaxPaletteEntries) return kPngPaletteTooLarge;
  info.palette.assign(4 * entries, 255);
  for (std::size_t i = 0; i < entries; ++i) std::memcpy(&info.palette[4 * i], p + 3 * i, 3);
  return kPngOk;
}

int readTransparency(PngInfo& info, const std::uint8_t* p, std::uint32_t length) {
  if (info.colourType == kPngPalette) {
    if (length > info.paletteEntries()) return kPngTransTooLong;
    for (std::uint32_t i = 0; i < length; ++i) info.palette[4 * i + 3] = p[i];
  } else if (info.colourType == kPngGrey) {
    if (length != 2) return kPngTransGreyLength;
    info.keyRed = info.keyGreen = info.keyBlue = bigEndian16(p);
    info.hasKey = true;
  } else if (info.colourType == kPngRgb) {
    if (length != 6) return kPngTransRgbLength;
    info.keyRed = bigEndian16(p);
    info.keyGreen = bigEndian16(p + 2);
    info.keyBlue = bigEndian16(p + 4);
    info.hasKey = true;
  } else {
    return kPngTransNotAllowed;
  }
  return kPngOk;
}

// Walks the chunks after IHDR up to IEND, gathering the IDAT data.
int readChunks(PngInfo& info, std::vector<std::uint8_t>& idat, const std::uint8_t* data, std::size_t size) {
  for (std::size_t pos = kFirstChunk;;) {
    if (pos > size || size - pos < kChunkHeader) return kPngChunkHeaderPastEnd;
    std::uint32_t length = bigEndian32(data + pos);
    const std::uint8_t* type = data + pos + 4;
    if (length > kMaxChunkLength) return kPngChunkTooLong;
    if (length > size - pos - 8) return kPngChunkPastEnd;
    const std::uint8_t* body = type + 4;
    int error = kPngOk;
    if (std::memcmp(type, "IEND", 4) == 0) return kPngOk;
    if (std::memcmp(type, "IDAT", 4) == 0) idat.insert(idat.end(), body, body + length);
    else if (std::memcmp(type, "PLTE", 4) == 0) error = readPalette(info, body, length);
    else if (std::memcmp(type, "tRNS", 4) == 0) error = readTransparency(info, body, length);
    else if ((type[0] & 32) == 0) error = kPngUnknownCritical;
    if (error) return error;
    pos += std::size_t(length) + kChunkFraming;  // length, type, data and the unchecked CRC
  }
}

}  // namespace

unsigned PngInfo::channels() const {
  switch (colourType) {
    case kPngRgb: return 3;
    case kPngGreyAlpha: return 2;
    case kPngRgba: return 4;
    default: return 1;  // grey and palette
  }
}

const char* pngErrorText(int code) {
  switch (code) {
    case kPngOk: return "no error";
    case kPngSymbolPastEnd: return "a Huffman symbol starts past the end of the compressed data";
    case kPngSymbolOffTree: return "a code walks off the Huffman tree";
    case kPngRepeatLengthOverrun: return "code-length symbol 16 repeats past HLIT + HDIST";
    case kPngRepeatZero3Overrun: return "code-length symbol 17 repeats past HLIT + HDIST";
    case kPngRepeatZero11Overrun: return "code-length symbol 18 repeats past HLIT + HDIST";
    case kPngBadCodeLengthSymbol: return "a code-length symbol outside 0..18";
    case kPngBadDistanceSymbol: return "a distance symbol above 29";
    case kPngBadBlockType: return "DEFLATE block type 3";
    case kPngStoredLenMismatch: return "stored block: LEN and NLEN disagree";
    case kPngStoredPastEnd: return "stored block runs past the data";
    case kPngZlibBadCheck: return "zlib header not a multiple of 31";
    case kPngZlibBadMethod: return "zlib method not 8 or window above 32 KiB";
    case kPngZlibDictionary: return "zlib preset dictionary requested";
    case kPngTooShort: return "fewer than 29 bytes: no room for the header";
    case kPngBadSignature: return "not the 8-byte PNG signature";
    case kPngNoHeader: return "the first chunk is not IHDR";
    case kPngChunkHeaderPastEnd: return "fewer than 9 bytes remain for the next chunk";
    case kPngBadColourType: return "colour type not 0, 2, 3, 4 or 6";
    case kPngBadCompression: return "compression method not 0";
    case kPngBadFilterMethod: return "filter method not 0";
    case kPngBadInterlace: return "interlace method above 1";
    case kPngChunkPastEnd: return "a chunk's data runs past the end of the file";
    case kPngBadFilterType: return "a scanline filter type above 4";
    case kPngBadBitDepth: return "bit depth not allowed for the colour type";
    case kPngPaletteTooLarge: return "more than 256 palette entries";
    case kPngTransTooLong: return "more tRNS alpha values than palette entries";
    case kPngTransGreyLength: return "grey tRNS chunk not 2 bytes";
    case kPngTransRgbLength: return "RGB tRNS chunk not 6 bytes";
    case kPngTransNotAllowed: return "tRNS on a colour type that has alpha already";
    case kPngIndexPastPalette: return "8-bit palette index beyond the palette";
    case kPngSmallIndexPastPalette: return "1, 2 or 4-bit palette index beyond the palette";
    case kPngEmptyInput: return "no data at all";
    case kPngDynamicHeaderPastEnd: return "dynamic block header runs past the data";
    case kPngRepeatBitsPastEnd: return "repeat count of code-length symbol 16, 17 or 18 past the data";
    case kPngExtraBitsPastEnd: return "length or distance extra bits past the data";
    case kPngBlockPastEnd: return "a block starts past the data, or a stored header is cut";
    case kPngZlibTooShort: return "fewer than 2 bytes of zlib stream";
    case kPngRepeatWithoutPrevious: return "code-length symbol 16 with no previous length to repeat";
    case kPngTreeOversubscribed: return "code lengths need more tree nodes than the alphabet allows";
    case kPngChunkTooLong: return "chunk length above 2^31 - 1";
    case kPngNoEndOfBlock: return "end-of-block symbol has no code";
    case kPngImageTooLarge: return "width x height does not fit in memory arithmetic";
    case kPngPixelsMissing: return "the image data ends before the last scanline";
    case kPngDistanceTooFar: return "a match reaches back before the start of the output";
    case kPngUnknownCritical: return "a critical chunk this decoder does not know";
    default: return "unknown error";
  }
}

int decodePng(std::vector<std::uint8_t>& out, std::uint32_t& width, std::uint32_t& height, const std::uint8_t* data,
              std::size_t size, bool convertToRgba) {
  if (data == nullptr || size == 0) return kPngEmptyInput;
  PngInfo info;
  if (int error = readHeader(info, data, size)) return error;
  width = info.width;
  height = info.height;
  std::vector<std::uint8_t> idat, inflated;
  if (int error = readChunks(info, idat, data, size)) return error;
  std::size_t expected = 0;
  for (const PngPass& pass : pngPasses(info))
    if (pass.width != 0) expected += pass.height * (1 + pngLineBytes(info, pass.width));
  if (int error = inflateZlib(inflated, idat.data(), idat.size(), expected)) return error;
  if (inflated.size() < expected) return kPngPixelsMissing;
  if (!convertToRgba) return pngReconstruct(out, inflated, info);
  std::vector<std::uint8_t> pixels;
  if (int error = pngReconstruct(pixels, inflated, info)) return error;
  return pngConvertToRgba(out, pixels, info);
}

}  // namespace VexBlit
