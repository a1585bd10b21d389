// Canonical Huffman trees for DEFLATE: building from code lengths and decoding one symbol bit by bit.
#include "render/inflate.h"
#include "render/png_decoder.h"

namespace VexBlit {

namespace {

// Codes are assigned in symbol order within each length, each length starting after the previous one's codes.
std::vector<unsigned> canonicalCodes(const unsigned* lengths, unsigned count, unsigned maxLength) {
  std::vector<unsigned> lengthCount(maxLength + 1, 0), nextCode(maxLength + 1, 0);
  for (unsigned s = 0; s < count; ++s) lengthCount[lengths[s]] += 1;
  lengthCount[0] = 0;
  for (unsigned bits = 1; bits <= maxLength; ++bits) nextCode[bits] = (nextCode[bits - 1] + lengthCount[bits - 1]) << 1;
  std::vector<unsigned> codes(count, 0);
  for (unsigned s = 0; s < count; ++s)
    if (lengths[s] != 0) codes[s] = nextCode[lengths[s]]++;
  return codes;
}

}  // namespace

int HuffmanTree::build(const unsigned* lengths, unsigned count, unsigned maxLength) {
  for (unsigned s = 0; s < count; ++s)
    if (lengths[s] > maxLength) return kPngTreeOversubscribed;
  std::vector<unsigned> codes = canonicalCodes(lengths, count, maxLength);
  symbols = count;
  nodes.assign(2 * std::size_t(count), kUnfilled);
  unsigned filledNodes = 0;  // internal nodes in use besides the root
  for (unsigned s = 0; s < count; ++s) {
    unsigned node = 0;
    for (unsigned i = 0; i < lengths[s]; ++i) {
      // A code needing a node the array cannot hold means the lengths oversubscribe the code space.
      if (node + 2 > count) return kPngTreeOversubscribed;
      unsigned bit = (codes[s] >> (lengths[s] - i - 1)) & 1u;
      std::uint16_t& entry = nodes[2 * node + bit];
      bool last = i + 1 == lengths[s];
      if (entry == kUnfilled) {
        if (last) {
          entry = std::uint16_t(s);
        } else {
          entry = std::uint16_t(++filledNodes + count);
          node = filledNodes;
        }
      } else if (entry < count || last) {
        return kPngTreeOversubscribed;  // the path runs into a leaf or a code ends on a taken branch
      } else {
        node = entry - count;
      }
    }
  }
  return kPngOk;
}

int HuffmanTree::decode(BitReader& in, unsigned& symbol) const {
  unsigned node = 0;
  for (;;) {
    if (!in.has(1)) return kPngSymbolPastEnd;
    std::uint16_t entry = nodes[2 * node + in.readBit()];
    if (entry < symbols) {
      symbol = entry;
      return kPngOk;
    }
    node = entry - symbols;
    if (node + 1 >= symbols) return kPngSymbolOffTree;  // unfilled branch, or a node outside the array
  }
}

}  // namespace VexBlit
