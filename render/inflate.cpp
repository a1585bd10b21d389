// zlib stream and DEFLATE blocks (RFC 1950, RFC 1951): stored, fixed and dynamic Huffman blocks.
#include "render/inflate.h"

#include <algorithm>
#include <cstdint>

#include "render/png_decoder.h"

namespace VexBlit {

namespace {

constexpr unsigned kLitLenSymbols = 288;
constexpr unsigned kDistanceSymbols = 32;
constexpr unsigned kCodeLengthSymbols = 19;
constexpr unsigned kEndOfBlock = 256;
constexpr unsigned kFirstLengthSymbol = 257;
constexpr unsigned kLastLengthSymbol = 285;  // 286 and 287 carry nothing
constexpr unsigned kLastDistanceSymbol = 29;
constexpr unsigned kMaxCodeLength = 15;           // literal/length and distance codes
constexpr unsigned kMaxCodeLengthCodeLength = 7;  // the code-length code's own lengths (3 bits)
constexpr unsigned kStoredLengthCheck = 65535;    // a stored block's LEN plus its complement NLEN
constexpr std::size_t kMaxExpansion = 1040;       // above DEFLATE's largest ratio of output to input

constexpr unsigned kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                      31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr unsigned kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                       2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr unsigned kDistanceBase[30] = {1,    2,    3,    4,    5,    7,    9,    13,    17,    25,
                                        33,   49,   65,   97,   129,  193,  257,  385,   513,   769,
                                        1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr unsigned kDistanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                         6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
// The order in which a dynamic block lists the code lengths of the code-length code.
constexpr unsigned kCodeLengthOrder[kCodeLengthSymbols] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                           11, 4,  12, 3, 13, 2, 14, 1, 15};

int fixedTrees(HuffmanTree& litLen, HuffmanTree& distance) {
  unsigned lengths[kLitLenSymbols];
  for (unsigned s = 0; s < kLitLenSymbols; ++s) lengths[s] = s < 144 ? 8 : s < 256 ? 9 : s < 280 ? 7 : 8;
  if (int error = litLen.build(lengths, kLitLenSymbols, 15)) return error;
  for (unsigned s = 0; s < kDistanceSymbols; ++s) lengths[s] = 5;
  return distance.build(lengths, kDistanceSymbols, 15);
}

// Expands the code-length symbols of a dynamic block into lengths[0 .. total).
int readCodeLengths(BitReader& in, const HuffmanTree& codeLengthTree, unsigned* lengths, unsigned total) {
  unsigned i = 0;
  while (i < total) {
    unsigned symbol = 0;
    if (int error = codeLengthTree.decode(in, symbol)) return error;
    if (symbol < 16) {
      lengths[i++] = symbol;
      continue;
    }
    if (symbol > 18) return kPngBadCodeLengthSymbol;
    unsigned extraBits = symbol == 16 ? 2 : symbol == 17 ? 3 : 7;
    if (!in.has(extraBits)) return kPngRepeatBitsPastEnd;
    unsigned count = (symbol == 16 ? 3 : symbol == 17 ? 3 : 11) + in.readBits(extraBits);
    if (symbol == 16 && i == 0) return kPngRepeatWithoutPrevious;
    if (i + count > total)
      return symbol == 16 ? kPngRepeatLengthOverrun : symbol == 17 ? kPngRepeatZero3Overrun : kPngRepeatZero11Overrun;
    unsigned value = symbol == 16 ? lengths[i - 1] : 0;
    for (unsigned k = 0; k < count; ++k) lengths[i++] = value;
  }
  return kPngOk;
}

int dynamicTrees(BitReader& in, HuffmanTree& litLen, HuffmanTree& distance) {
  if ((in.bit >> 3) >= in.size || in.size - (in.bit >> 3) < 3) return kPngDynamicHeaderPastEnd;
  unsigned hlit = in.readBits(5) + kFirstLengthSymbol, hdist = in.readBits(5) + 1, hclen = in.readBits(4) + 4;
  if (!in.has(3 * hclen)) return kPngDynamicHeaderPastEnd;
  unsigned codeLengthLengths[kCodeLengthSymbols] = {};
  for (unsigned i = 0; i < hclen; ++i) codeLengthLengths[kCodeLengthOrder[i]] = in.readBits(3);
  HuffmanTree codeLengthTree;
  if (int error = codeLengthTree.build(codeLengthLengths, kCodeLengthSymbols, kMaxCodeLengthCodeLength)) return error;

  unsigned lengths[kLitLenSymbols + kDistanceSymbols] = {};
  if (int error = readCodeLengths(in, codeLengthTree, lengths, hlit + hdist)) return error;
  unsigned litLenLengths[kLitLenSymbols] = {}, distanceLengths[kDistanceSymbols] = {};
  for (unsigned s = 0; s < hlit; ++s) litLenLengths[s] = lengths[s];
  for (unsigned s = 0; s < hdist; ++s) distanceLengths[s] = lengths[hlit + s];
  if (litLenLengths[kEndOfBlock] == 0) return kPngNoEndOfBlock;
  if (int error = litLen.build(litLenLengths, kLitLenSymbols, kMaxCodeLength)) return error;
  return distance.build(distanceLengths, kDistanceSymbols, kMaxCodeLength);
}

// Reads one length/distance pair (the length symbol already decoded) and copies from the output's history.
int copyMatch(BitReader& in, const HuffmanTree& distance, unsigned lengthSymbol, std::vector<std::uint8_t>& out) {
  unsigned index = lengthSymbol - kFirstLengthSymbol;
  if (!in.has(kLengthExtra[index])) return kPngExtraBitsPastEnd;
  std::size_t length = kLengthBase[index] + in.readBits(kLengthExtra[index]);
  unsigned symbol = 0;
  if (int error = distance.decode(in, symbol)) return error;
  if (symbol > kLastDistanceSymbol) return kPngBadDistanceSymbol;
  if (!in.has(kDistanceExtra[symbol])) return kPngExtraBitsPastEnd;
  std::size_t dist = kDistanceBase[symbol] + in.readBits(kDistanceExtra[symbol]);
  if (dist > out.size()) return kPngDistanceTooFar;
  // Byte by byte, so a distance shorter than the length repeats the pattern.
  std::size_t from = out.size() - dist;
  for (std::size_t k = 0; k < length; ++k) out.push_back(out[from + k]);
  return kPngOk;
}

int huffmanBlock(BitReader& in, const HuffmanTree& litLen, const HuffmanTree& distance,
                 std::vector<std::uint8_t>& out) {
  for (;;) {
    unsigned symbol = 0;
    if (int error = litLen.decode(in, symbol)) return error;
    if (symbol < kEndOfBlock) {
      out.push_back(std::uint8_t(symbol));
    } else if (symbol == kEndOfBlock) {
      return kPngOk;
    } else if (symbol <= kLastLengthSymbol) {
      if (int error = copyMatch(in, distance, symbol, out)) return error;
    }  // 286 and 287 carry nothing
  }
}

int storedBlock(BitReader& in, std::vector<std::uint8_t>& out) {
  std::size_t pos = (in.bit + 7) >> 3;
  if (pos > in.size || in.size - pos < 5) return kPngBlockPastEnd;
  const std::uint8_t* p = in.data + pos;
  unsigned len = p[0] | unsigned(p[1]) << 8, nlen = p[2] | unsigned(p[3]) << 8;
  if (len + nlen != kStoredLengthCheck) return kPngStoredLenMismatch;
  if (len > in.size - pos - 4) return kPngStoredPastEnd;
  out.insert(out.end(), p + 4, p + 4 + len);
  in.bit = (pos + 4 + len) * 8;
  return kPngOk;
}

int inflateBlocks(BitReader& in, std::vector<std::uint8_t>& out) {
  for (bool final = false; !final;) {
    if (!in.has(3)) return kPngBlockPastEnd;
    final = in.readBit() != 0;
    unsigned type = in.readBits(2);
    if (type == 3) return kPngBadBlockType;
    if (type == 0) {
      if (int error = storedBlock(in, out)) return error;
      continue;
    }
    HuffmanTree litLen, distance;
    int error = type == 1 ? fixedTrees(litLen, distance) : dynamicTrees(in, litLen, distance);
    if (error == kPngOk) error = huffmanBlock(in, litLen, distance, out);
    if (error) return error;
  }
  return kPngOk;
}

}  // namespace

int inflateZlib(std::vector<std::uint8_t>& out, const std::uint8_t* in, std::size_t size, std::size_t sizeHint) {
  out.clear();
  if (size < 2) return kPngZlibTooShort;
  if ((in[0] * 256u + in[1]) % 31 != 0) return kPngZlibBadCheck;
  if ((in[0] & 15) != 8 || (in[0] >> 4) > 7) return kPngZlibBadMethod;
  if ((in[1] >> 5) & 1) return kPngZlibDictionary;
  // DEFLATE cannot expand data more than about 1032 times, so a header's claim beyond that is not believed.
  std::size_t ceiling = size <= SIZE_MAX / kMaxExpansion ? size * kMaxExpansion : SIZE_MAX;
  out.reserve(std::min(sizeHint, ceiling));
  BitReader bits{in + 2, size - 2};
  int error = inflateBlocks(bits, out);
  // The Adler-32 that follows the last block is not checked.
  return error;
}

}  // namespace VexBlit
