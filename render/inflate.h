// zlib/DEFLATE inflater behind the PNG decoder: bit-by-bit Huffman trees, no checksums.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace VexBlit {

// DEFLATE bits are read least significant first from each byte; the position counts bits from the start.
struct BitReader {
  const std::uint8_t* data;
  std::size_t size;     // bytes
  std::size_t bit = 0;  // next bit to read

  bool has(std::size_t count) const { return count <= size * 8 && bit <= size * 8 - count; }
  unsigned readBit() {
    unsigned b = (data[bit >> 3] >> (bit & 7)) & 1u;
    ++bit;
    return b;
  }
  // The caller checks has(count) first.
  unsigned readBits(unsigned count) {
    unsigned value = 0;
    for (unsigned i = 0; i < count; ++i) value |= readBit() << i;
    return value;
  }
};

// A Huffman code as a tree of 2n entries, two per internal node (the 0 and the 1 branch). An entry below n
// is a leaf symbol; an entry of n or more points to node (entry - n).
class HuffmanTree {
 public:
  // Builds the tree from one code length per symbol (0 = unused). Returns 0 or an error code.
  int build(const unsigned* lengths, unsigned count, unsigned maxLength);
  // Decodes one symbol into symbol. Returns 0 or an error code.
  int decode(BitReader& in, unsigned& symbol) const;

 private:
  static constexpr std::uint16_t kUnfilled = 0x7FFF;
  std::vector<std::uint16_t> nodes;
  unsigned symbols = 0;
};

// Inflates the zlib stream in[0 .. size) into out (which is cleared first; sizeHint bytes are reserved).
// Returns 0 or a PngError code.
int inflateZlib(std::vector<std::uint8_t>& out, const std::uint8_t* in, std::size_t size, std::size_t sizeHint);

}  // namespace VexBlit
