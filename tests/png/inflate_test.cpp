// The inflater on zlib's own streams and on hand-built DEFLATE blocks, including every way a stream can be bad.
#include <gtest/gtest.h>
#include <zlib.h>

#include <random>

#include "render/inflate.h"
#include "render/png_decoder.h"

using namespace VexBlit;
using Bytes = std::vector<std::uint8_t>;

namespace {

// Writes DEFLATE bits behind a zlib header: plain values least significant bit first, Huffman codes most
// significant bit first.
struct DeflateWriter {
  Bytes bytes;
  std::size_t bits = 0;

  DeflateWriter() {
    bytes.push_back(0x78);  // deflate, 32 KiB window, no dictionary
    bytes.push_back(0x01);
  }

  void put(unsigned value, unsigned count) {
    for (unsigned i = 0; i < count; ++i, ++bits) {
      if (bits % 8 == 0) bytes.push_back(0);
      bytes.back() |= std::uint8_t(((value >> i) & 1u) << (bits % 8));
    }
  }
  void code(unsigned value, unsigned length) {
    for (unsigned i = length; i-- > 0;) put((value >> i) & 1u, 1);
  }
  void fixedSymbol(unsigned s) {
    if (s < 144) code(0x30 + s, 8);
    else if (s < 256) code(0x190 + s - 144, 9);
    else if (s < 280) code(s - 256, 7);
    else code(0xC0 + s - 280, 8);
  }
  // A dynamic block header whose code-length code gives the listed symbols 2-bit codes.
  void dynamicHeader(bool final, unsigned hlit, unsigned hdist, std::initializer_list<unsigned> twoBitSymbols) {
    static const unsigned order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
    unsigned lengths[19] = {};
    for (unsigned s : twoBitSymbols) lengths[s] = 2;
    unsigned count = 19;
    while (count > 4 && lengths[order[count - 1]] == 0) --count;
    put(final, 1);
    put(2, 2);
    put(hlit - 257, 5);
    put(hdist - 1, 5);
    put(count - 4, 4);
    for (unsigned i = 0; i < count; ++i) put(lengths[order[i]], 3);
  }
};

int inflateBytes(const Bytes& stream, Bytes& out) { return inflateZlib(out, stream.data(), stream.size(), 0); }

Bytes zlibCompress(const Bytes& data, int level, int strategy) {
  z_stream z{};
  deflateInit2(&z, level, Z_DEFLATED, 15, 8, strategy);
  Bytes out(deflateBound(&z, uLong(data.size())));
  z.next_in = const_cast<Bytef*>(data.data());
  z.avail_in = uInt(data.size());
  z.next_out = out.data();
  z.avail_out = uInt(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

}  // namespace

TEST(Inflate, ZlibStreamsOfEveryKindRoundTrip) {
  std::mt19937 random(5);
  Bytes data(200000);
  for (std::size_t i = 0; i < data.size(); ++i)  // noise, runs and repeated phrases
    data[i] = i % 5000 < 1000 ? std::uint8_t(random()) : i % 5000 < 2000 ? 7 : std::uint8_t("koralin"[i % 7]);
  const int strategies[] = {Z_DEFAULT_STRATEGY, Z_FIXED, Z_HUFFMAN_ONLY, Z_RLE, Z_FILTERED};
  for (int level : {0, 1, 6, 9})
    for (int strategy : strategies) {
      Bytes out;
      ASSERT_EQ(inflateBytes(zlibCompress(data, level, strategy), out), kPngOk) << level << "/" << strategy;
      EXPECT_EQ(out, data) << "level " << level << " strategy " << strategy;
    }
}

TEST(Inflate, HandBuiltStoredFixedAndDynamicBlocksAgree) {
  DeflateWriter stored;  // "abab" as a stored block
  stored.put(1, 1);
  stored.put(0, 2);
  stored.bytes.insert(stored.bytes.end(), {4, 0, 0xFB, 0xFF, 'a', 'b', 'a', 'b'});
  DeflateWriter fixed;  // "ab", then a copy of length 3 from distance 2 that overlaps what it writes
  fixed.put(1, 1);
  fixed.put(1, 2);
  for (unsigned s : {unsigned('a'), unsigned('b')}) fixed.fixedSymbol(s);
  fixed.fixedSymbol(257);  // length 3
  fixed.code(1, 5);        // distance 2
  fixed.fixedSymbol(256);
  Bytes a, b;
  ASSERT_EQ(inflateBytes(stored.bytes, a), kPngOk);
  ASSERT_EQ(inflateBytes(fixed.bytes, b), kPngOk);
  EXPECT_EQ(a, (Bytes{'a', 'b', 'a', 'b'}));
  EXPECT_EQ(b, (Bytes{'a', 'b', 'a', 'b', 'a'}));

  // Dynamic: code lengths 'A' = 2, end of block = 2, the rest 0; then the given data codes.
  auto dynamic = [](std::initializer_list<unsigned> dataCodes) {
    DeflateWriter w;
    w.dynamicHeader(true, 257, 1, {0, 2, 17, 18});  // codes: 0 -> 00, 2 -> 01, 17 -> 10, 18 -> 11
    w.code(3, 2), w.put(65 - 11, 7);                // 65 zeros
    w.code(1, 2);                                   // 'A' has length 2
    w.code(3, 2), w.put(138 - 11, 7);               // zeros up to 203
    w.code(3, 2), w.put(52 - 11, 7);                // zeros up to 255
    w.code(1, 2);                                   // end of block has length 2
    w.code(0, 2);                                   // one distance code, unused
    for (unsigned c : dataCodes) w.code(c, 2);      // 'A' -> 00, end -> 01
    return w.bytes;
  };
  Bytes c;
  ASSERT_EQ(inflateBytes(dynamic({0, 0, 1}), c), kPngOk);
  EXPECT_EQ(c, (Bytes{'A', 'A'}));
  // 11 is a branch this incomplete tree does not have.
  EXPECT_EQ(inflateBytes(dynamic({0, 0, 3}), c), kPngSymbolOffTree);
}

TEST(Inflate, ZlibHeaderAndBlockFramingErrors) {
  Bytes out;
  EXPECT_EQ(inflateBytes({0x78}, out), kPngZlibTooShort);
  EXPECT_EQ(inflateBytes({0x78, 0x00, 0x03, 0x00}, out), kPngZlibBadCheck);
  EXPECT_EQ(inflateBytes({0x77, 0x85, 0x03, 0x00}, out), kPngZlibBadMethod);  // method 7
  EXPECT_EQ(inflateBytes({0x88, 0x98, 0x03, 0x00}, out), kPngZlibBadMethod);  // 64 KiB window
  EXPECT_EQ(inflateBytes({0x78, 0xBB, 0, 0, 0, 0}, out), kPngZlibDictionary);
  EXPECT_EQ(inflateBytes({0x78, 0x01, 0x07}, out), kPngBadBlockType);
  EXPECT_EQ(inflateBytes({0x78, 0x01, 0x01, 5, 0, 0, 0, 'x'}, out), kPngStoredLenMismatch);
  EXPECT_EQ(inflateBytes({0x78, 0x01, 0x01, 10, 0, 0xF5, 0xFF, 'x', 'y'}, out), kPngStoredPastEnd);
  EXPECT_EQ(inflateBytes({0x78, 0x01, 0x01, 1, 0}, out), kPngBlockPastEnd);
  EXPECT_EQ(inflateBytes({0x78, 0x01, 0x02, 0x00}, out), kPngBlockPastEnd);  // no final block: the data runs out
  EXPECT_EQ(inflateBytes({0x78, 0x01, 0x04, 0x00}, out), kPngDynamicHeaderPastEnd);
}

TEST(Inflate, BadCodeLengthSequences) {
  Bytes out;
  auto run = [&](auto&& body) {
    DeflateWriter w;
    w.dynamicHeader(true, 257, 1, {0, 16, 17, 18});  // 0 -> 00, 16 -> 01, 17 -> 10, 18 -> 11
    body(w);
    w.put(0, 32);
    return inflateBytes(w.bytes, out);
  };
  EXPECT_EQ(run([](DeflateWriter& w) { w.code(1, 2), w.put(0, 2); }), kPngRepeatWithoutPrevious);
  EXPECT_EQ(run([](DeflateWriter& w) { w.code(3, 2), w.put(127, 7), w.code(3, 2), w.put(127, 7); }),
            kPngRepeatZero11Overrun);
  EXPECT_EQ(run([](DeflateWriter& w) {
              w.code(3, 2), w.put(127, 7), w.code(3, 2), w.put(104, 7), w.code(2, 2), w.put(7, 3);
            }),
            kPngRepeatZero3Overrun);
  EXPECT_EQ(run([](DeflateWriter& w) {
              w.code(3, 2), w.put(127, 7), w.code(3, 2), w.put(104, 7), w.code(0, 2), w.code(1, 2), w.put(3, 2);
            }),
            kPngRepeatLengthOverrun);
  EXPECT_EQ(run([](DeflateWriter& w) { w.code(3, 2), w.put(127, 7), w.code(3, 2), w.put(109, 7); }), kPngNoEndOfBlock);

  DeflateWriter oversubscribed;  // a code-length code of three 1-bit codes
  oversubscribed.put(1, 1), oversubscribed.put(2, 2), oversubscribed.put(0, 14);
  for (int i = 0; i < 4; ++i) oversubscribed.put(1, 3);  // symbols 16, 17, 18 and 0 all 1 bit long
  oversubscribed.put(0, 16);
  EXPECT_EQ(inflateBytes(oversubscribed.bytes, out), kPngTreeOversubscribed);

  // 9-bit fixed literal (19 bits so far), then the code-length header ends on a byte boundary and the
  // repeat count of symbol 18 has no bits left.
  DeflateWriter cut;
  cut.put(0, 1), cut.put(1, 2), cut.fixedSymbol(200), cut.fixedSymbol(256);
  cut.dynamicHeader(true, 257, 1, {0, 16, 17, 18});
  cut.code(0, 2), cut.code(0, 2), cut.code(0, 2), cut.code(3, 2);
  ASSERT_EQ(cut.bits % 8, 0u);
  EXPECT_EQ(inflateBytes(cut.bytes, out), kPngRepeatBitsPastEnd);
}

TEST(Inflate, BadMatchesAndRunningOutOfData) {
  Bytes out;
  DeflateWriter farDistance;  // one literal, then a match 2 bytes back
  farDistance.put(1, 1), farDistance.put(1, 2), farDistance.fixedSymbol('a'), farDistance.fixedSymbol(257);
  farDistance.code(1, 5), farDistance.fixedSymbol(256);
  EXPECT_EQ(inflateBytes(farDistance.bytes, out), kPngDistanceTooFar);

  DeflateWriter badDistance;
  badDistance.put(1, 1), badDistance.put(1, 2), badDistance.fixedSymbol('a'), badDistance.fixedSymbol(257);
  badDistance.code(30, 5), badDistance.fixedSymbol(256);
  EXPECT_EQ(inflateBytes(badDistance.bytes, out), kPngBadDistanceSymbol);

  DeflateWriter noEnd;  // the data stops after a literal, on a byte boundary
  noEnd.put(1, 1), noEnd.put(1, 2);
  for (int i = 0; i < 6; ++i) noEnd.fixedSymbol(200);
  noEnd.fixedSymbol(265);  // length 11 or 12: one extra bit, which is missing
  ASSERT_EQ(noEnd.bits, 64u);
  EXPECT_EQ(inflateBytes(noEnd.bytes, out), kPngExtraBitsPastEnd);
  noEnd.bytes.resize(noEnd.bytes.size() - 1);  // now the last literal's code is cut
  EXPECT_EQ(inflateBytes(noEnd.bytes, out), kPngSymbolPastEnd);

  DeflateWriter ignored;  // symbols 286 and 287 carry nothing
  ignored.put(1, 1), ignored.put(1, 2), ignored.fixedSymbol('z'), ignored.fixedSymbol(286), ignored.fixedSymbol(287);
  ignored.fixedSymbol(256);
  ASSERT_EQ(inflateBytes(ignored.bytes, out), kPngOk);
  EXPECT_EQ(out, Bytes{'z'});
}
