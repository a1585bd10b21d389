// PNG decoder: turns a PNG file held in memory into 8-bit RGBA pixels, with its own zlib/DEFLATE inflater.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace VexBlit {

// Result codes of decodePng. Callers may treat every non-zero code alike; the numbers are stable.
enum PngError : int {
  kPngOk = 0,
  kPngSymbolPastEnd = 10,          // a Huffman symbol starts past the end of the compressed data
  kPngSymbolOffTree = 11,          // a code walks off the Huffman tree
  kPngRepeatLengthOverrun = 13,    // code-length symbol 16 repeats past HLIT + HDIST
  kPngRepeatZero3Overrun = 14,     // code-length symbol 17 repeats past HLIT + HDIST
  kPngRepeatZero11Overrun = 15,    // code-length symbol 18 repeats past HLIT + HDIST
  kPngBadCodeLengthSymbol = 16,    // a code-length symbol outside 0..18
  kPngBadDistanceSymbol = 18,      // a distance symbol above 29
  kPngBadBlockType = 20,           // DEFLATE block type 3
  kPngStoredLenMismatch = 21,      // stored block: LEN and NLEN disagree
  kPngStoredPastEnd = 23,          // stored block runs past the data
  kPngZlibBadCheck = 24,           // zlib header not a multiple of 31
  kPngZlibBadMethod = 25,          // zlib method not 8 or window above 32 KiB
  kPngZlibDictionary = 26,         // zlib preset dictionary requested
  kPngTooShort = 27,               // fewer than 29 bytes: no room for the header
  kPngBadSignature = 28,           // not the 8-byte PNG signature
  kPngNoHeader = 29,               // the first chunk is not IHDR
  kPngChunkHeaderPastEnd = 30,     // fewer than 9 bytes remain for the next chunk
  kPngBadColourType = 31,          // colour type not 0, 2, 3, 4 or 6
  kPngBadCompression = 32,         // compression method not 0
  kPngBadFilterMethod = 33,        // filter method not 0
  kPngBadInterlace = 34,           // interlace method above 1
  kPngChunkPastEnd = 35,           // a chunk's data runs past the end of the file
  kPngBadFilterType = 36,          // a scanline filter type above 4
  kPngBadBitDepth = 37,            // bit depth not allowed for the colour type
  kPngPaletteTooLarge = 38,        // more than 256 palette entries
  kPngTransTooLong = 39,           // more tRNS alpha values than palette entries
  kPngTransGreyLength = 40,        // grey tRNS chunk not 2 bytes
  kPngTransRgbLength = 41,         // RGB tRNS chunk not 6 bytes
  kPngTransNotAllowed = 42,        // tRNS on a colour type that has alpha already
  kPngIndexPastPalette = 46,       // 8-bit palette index beyond the palette
  kPngSmallIndexPastPalette = 47,  // 1, 2 or 4-bit palette index beyond the palette
  kPngEmptyInput = 48,             // no data at all
  kPngDynamicHeaderPastEnd = 49,   // dynamic block header runs past the data
  kPngRepeatBitsPastEnd = 50,      // repeat count of code-length symbol 16, 17 or 18 past the data
  kPngExtraBitsPastEnd = 51,       // length or distance extra bits past the data
  kPngBlockPastEnd = 52,           // a block starts past the data, or a stored header is cut
  kPngZlibTooShort = 53,           // fewer than 2 bytes of zlib stream
  kPngRepeatWithoutPrevious = 54,  // code-length symbol 16 with no previous length to repeat
  kPngTreeOversubscribed = 55,     // code lengths need more tree nodes than the alphabet allows
  kPngChunkTooLong = 63,           // chunk length above 2^31 - 1
  kPngNoEndOfBlock = 64,           // end-of-block symbol has no code
  kPngImageTooLarge = 65,          // width x height does not fit in memory arithmetic
  kPngPixelsMissing = 66,          // the image data ends before the last scanline
  kPngDistanceTooFar = 67,         // a match reaches back before the start of the output
  kPngUnknownCritical = 69,        // a critical chunk this decoder does not know
};

// What a result code of decodePng means, in a few words for messages ("no error" for kPngOk); codes the decoder
// never returns read "unknown error".
const char* pngErrorText(int code);

// Decodes the PNG file data[0 .. size) into out, which is resized to fit.
// With convertToRgba (what the image loader always asks for) out holds width x height x 4 bytes R, G, B, A,
// rows top to bottom with no padding; without it out holds the samples as the file stores them, bit-packed
// without row padding. Returns 0 on success; on failure returns a PngError code and out must not be used.
int decodePng(std::vector<std::uint8_t>& out, std::uint32_t& width, std::uint32_t& height, const std::uint8_t* data,
              std::size_t size, bool convertToRgba = true);

}  // namespace VexBlit
