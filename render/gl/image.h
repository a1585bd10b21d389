// Decoded pictures of the toolkit and their loading from the module's PNG resources.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>

#include "render/gl/drawing.h"

namespace Lattice {

// A picture as 0xAARRGGBB pixels, rows top to bottom.
class Image {
 public:
  // Not a PNG, or a PNG that does not decode: the decoder's result code, and its text as what().
  class Exception : public std::exception {
   public:
    explicit Exception(int code) : code(code) {}
    const char* what() const noexcept override;
    int code;
  };

  // Decodes PNG data; throws Image::Exception when it is not a PNG or does not decode.
  Image(const uint8_t* data, size_t size);
  Image(const Image&) = delete;
  Image& operator=(const Image&) = delete;

  uint32_t width = 0;
  uint32_t height = 0;
  std::unique_ptr<uint32_t[]> pixels;  // width x height, owned
};

}  // namespace Lattice

namespace VexBlit {

// The picture of that name among the module's "PNG" resources (any case), or null when there is none.
// A resource that does not decode throws Image::Exception.
std::unique_ptr<Lattice::Image> loadPngResource(const char* name);

// A texture of the image's size holding its pixels.
TexturePtr createTextureFromImage(Device& device, const Lattice::Image& image);

}  // namespace VexBlit
