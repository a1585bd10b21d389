// Pictures from PNG data: decoding into 0xAARRGGBB pixels, the resource loader and the texture helper.
#include "render/gl/image.h"

#include <cstring>
#include <new>
#include <vector>

#include "platform/resources.h"
#include "render/png_decoder.h"

namespace Lattice {

namespace {

constexpr uint8_t kMagic[4] = {0x89, 'P', 'N', 'G'};  // the start of the PNG signature
constexpr uint64_t kLargestByteSize = 0xFFFFFFFFu;    // a picture's bytes are counted in 32 bits

}  // namespace

const char* Image::Exception::what() const noexcept { return VexBlit::pngErrorText(code); }

Image::Image(const uint8_t* data, size_t size) {
  if (!data || size == 0) throw Exception(VexBlit::kPngEmptyInput);
  if (size < sizeof kMagic || std::memcmp(data, kMagic, sizeof kMagic) != 0) throw Exception(VexBlit::kPngBadSignature);
  std::vector<uint8_t> rgba;
  uint32_t w = 0, h = 0;
  if (const int code = VexBlit::decodePng(rgba, w, h, data, size, true); code != VexBlit::kPngOk) throw Exception(code);
  const uint64_t count = uint64_t(w) * h;
  // The byte size must fit in 32 bits, and the decoder must have produced every pixel.
  if (count * 4 > kLargestByteSize) throw std::bad_alloc();
  if (rgba.size() < count * 4) throw Exception(VexBlit::kPngPixelsMissing);
  pixels = std::make_unique<uint32_t[]>(size_t(count));
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* p = &rgba[i * 4];
    pixels[i] = uint32_t(p[3]) << 24 | uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
  }
  width = w;
  height = h;
}

}  // namespace Lattice

namespace VexBlit {

std::unique_ptr<Lattice::Image> loadPngResource(const char* name) {
  if (!name) return nullptr;
  Platform::Resource resource = Platform::findResource(name, "PNG");
  if (!resource) return nullptr;
  return std::make_unique<Lattice::Image>(resource.data, resource.size);
}

TexturePtr createTextureFromImage(Device& device, const Lattice::Image& image) {
  TexturePtr texture = device.createTexture(image.width, image.height);
  texture->update(image.pixels.get(), image.width, 0, 0, image.width, image.height);
  return texture;
}

}  // namespace VexBlit
