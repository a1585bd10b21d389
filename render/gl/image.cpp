// Pictures from PNG data: decoding into 0xAARRGGBB pixels, the resource loader and the texture helper.
#include "render/gl/image.h"

#include <new>
#include <vector>

#include "platform/resources.h"
#include "render/png_decoder.h"

namespace Lattice {

Image::Image(const uint8_t* data, size_t size) {
  if (!data || size < 4 || data[0] != 0x89 || data[1] != 'P' || data[2] != 'N' || data[3] != 'G') throw Exception();
  std::vector<uint8_t> rgba;
  uint32_t w = 0, h = 0;
  if (VexBlit::decodePng(rgba, w, h, data, size, true) != 0) throw Exception();
  const uint64_t count = uint64_t(w) * h;
  // The byte size must fit in 32 bits, and the decoder must have produced every pixel.
  if (count * 4 > 0xFFFFFFFFu) throw std::bad_alloc();
  if (rgba.size() < count * 4) throw Exception();
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

Lattice::Image* loadPngResource(const char* name) {
  if (!name) return nullptr;
  Platform::Resource resource = Platform::findResource(name, "PNG");
  if (!resource) return nullptr;
  return new Lattice::Image(resource.data, resource.size);
}

StaticTexture* createTextureFromImage(Device& device, const Lattice::Image& image) {
  StaticTexture* texture = device.createTexture(image.width, image.height);
  texture->update(image.pixels.get(), image.width, 0, 0, image.width, image.height);
  return texture;
}

}  // namespace VexBlit
