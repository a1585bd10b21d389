// libFuzzer entry point for the PNG decoder: any input must end in a known code, and success in a full image.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "render/png_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> out;
  std::uint32_t width = 0, height = 0;
  int code = VexBlit::decodePng(out, width, height, data, size, true);
  if (code == 0 && out.size() != std::size_t(width) * height * 4) std::abort();
  if (code < 0 || code > 69) std::abort();
  return 0;
}
