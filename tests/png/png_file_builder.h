// Builds PNG files chunk by chunk for tests: any header values, any chunk order, real or broken CRCs.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace png_test {

using Bytes = std::vector<std::uint8_t>;

inline void putBigEndian32(Bytes& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(std::uint8_t(v >> shift));
}

inline Bytes chunk(const std::string& type, const Bytes& data) {
  Bytes out;
  putBigEndian32(out, std::uint32_t(data.size()));
  Bytes typed(type.begin(), type.end());
  typed.insert(typed.end(), data.begin(), data.end());
  out.insert(out.end(), typed.begin(), typed.end());
  putBigEndian32(out, std::uint32_t(crc32(0, typed.data(), uInt(typed.size()))));
  return out;
}

inline Bytes ihdr(std::uint32_t width, std::uint32_t height, int depth, int colourType, int interlace = 0,
                  int compression = 0, int filter = 0) {
  Bytes data;
  putBigEndian32(data, width);
  putBigEndian32(data, height);
  data.insert(data.end(), {std::uint8_t(depth), std::uint8_t(colourType), std::uint8_t(compression),
                           std::uint8_t(filter), std::uint8_t(interlace)});
  return chunk("IHDR", data);
}

inline Bytes zlibOf(const Bytes& raw, int level = 9) {
  uLongf size = compressBound(uLong(raw.size()));
  Bytes out(size);
  compress2(out.data(), &size, raw.data(), uLong(raw.size()), level);
  out.resize(size);
  return out;
}

// Signature, the given chunks in order, then IEND.
inline Bytes pngFile(const std::vector<Bytes>& chunks) {
  Bytes out{137, 80, 78, 71, 13, 10, 26, 10};
  for (const Bytes& c : chunks) out.insert(out.end(), c.begin(), c.end());
  Bytes end = chunk("IEND", {});
  out.insert(out.end(), end.begin(), end.end());
  return out;
}

}  // namespace png_test
