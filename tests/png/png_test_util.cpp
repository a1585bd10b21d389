// libpng-backed writer and reader used as the PNG decoder's oracle, and small file helpers.
#include "png_test_util.h"

#include <png.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace png_test {

namespace {

int channelsOf(int colourType) { return colourType == 2 ? 3 : colourType == 4 ? 2 : colourType == 6 ? 4 : 1; }

void appendToBytes(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}

struct Reader {
  const Bytes* file;
  std::size_t pos;
};

void readFromBytes(png_structp png, png_bytep data, png_size_t length) {
  auto* reader = static_cast<Reader*>(png_get_io_ptr(png));
  if (reader->pos + length > reader->file->size()) png_error(png, "read past end");
  std::copy_n(reader->file->begin() + std::ptrdiff_t(reader->pos), length, data);
  reader->pos += length;
}

void setTransparency(png_structp png, png_infop info, const Picture& p) {
  if (p.colourType == 3 && !p.paletteAlpha.empty()) {
    png_set_tRNS(png, info, p.paletteAlpha.data(), int(p.paletteAlpha.size()), nullptr);
  } else if ((p.colourType == 0 || p.colourType == 2) && p.key[0] >= 0) {
    png_color_16 key{};
    key.gray = key.red = png_uint_16(p.key[0]);
    key.green = png_uint_16(p.key[1]);
    key.blue = png_uint_16(p.key[2]);
    png_set_tRNS(png, info, nullptr, 0, &key);
  }
}

}  // namespace

std::size_t Picture::rowBytes() const { return (std::size_t(width) * channelsOf(colourType) * bitDepth + 7) / 8; }

Bytes writeWithLibpng(const Picture& p, const Encoding& encoding) {
  Bytes out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    throw std::runtime_error("libpng could not write the picture");
  }
  png_set_write_fn(png, &out, appendToBytes, nullptr);
  png_set_compression_level(png, encoding.level);
  png_set_compression_strategy(png, encoding.strategy);
  if (encoding.filters >= 0) png_set_filter(png, 0, encoding.filters);
  png_set_IHDR(png, info, p.width, p.height, p.bitDepth, p.colourType,
               p.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  std::vector<png_color> palette;
  for (std::size_t i = 0; i + 2 < p.palette.size(); i += 3)
    palette.push_back(png_color{p.palette[i], p.palette[i + 1], p.palette[i + 2]});
  if (p.colourType == 3) png_set_PLTE(png, info, palette.data(), int(palette.size()));
  setTransparency(png, info, p);
  std::vector<png_bytep> rows(p.height);
  for (std::uint32_t y = 0; y < p.height; ++y) rows[y] = const_cast<png_bytep>(p.rows.data() + y * p.rowBytes());
  png_set_rows(png, info, rows.data());
  png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

Bytes readWithLibpng(const Bytes& file, std::uint32_t& width, std::uint32_t& height) {
  Bytes out;
  Reader reader{&file, 0};
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return {};
  }
  png_set_read_fn(png, &reader, readFromBytes);
  png_read_info(png, info);
  png_set_expand(png);
  png_set_strip_16(png);
  png_set_gray_to_rgb(png);
  png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  width = png_get_image_width(png, info);
  height = png_get_image_height(png, info);
  out.resize(std::size_t(width) * height * 4);
  std::vector<png_bytep> rows(height);
  for (std::uint32_t y = 0; y < height; ++y) rows[y] = out.data() + std::size_t(y) * width * 4;
  png_read_image(png, rows.data());
  png_destroy_read_struct(&png, &info, nullptr);
  return out;
}

Picture randomPicture(std::mt19937& random, std::uint32_t width, std::uint32_t height, int colourType, int bitDepth,
                      int paletteSize) {
  Picture p;
  p.width = width;
  p.height = height;
  p.colourType = colourType;
  p.bitDepth = bitDepth;
  p.rows.resize(p.rowBytes() * height);
  for (auto& b : p.rows) b = std::uint8_t(random());
  if (colourType == 3) {
    p.palette.resize(3 * std::size_t(paletteSize));
    for (auto& b : p.palette) b = std::uint8_t(random());
    // Indices beyond the palette would be a different test: fold every pixel into it.
    for (std::uint32_t y = 0; y < height; ++y)
      for (std::uint32_t x = 0; x < width; ++x) {
        std::size_t bit = std::size_t(x) * bitDepth;
        std::uint8_t& byte = p.rows[y * p.rowBytes() + bit / 8];
        unsigned shift = 8 - bitDepth - unsigned(bit % 8);
        unsigned mask = ((1u << bitDepth) - 1) << shift;
        unsigned index = unsigned(random() % unsigned(paletteSize));
        byte = std::uint8_t((byte & ~mask) | (index << shift));
      }
  }
  return p;
}

Bytes readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string resourcePath(const std::string& name) { return std::string(KORALIN_RESOURCE_DIR) + "/" + name; }

bool isKnownResult(int code) {
  static const int known[] = {0,  10, 11, 13, 14, 15, 16, 18, 20, 21, 23, 24, 25, 26, 27, 28,
                              29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 46, 47,
                              48, 49, 50, 51, 52, 53, 54, 55, 63, 64, 65, 66, 67, 69};
  return std::find(std::begin(known), std::end(known), code) != std::end(known);
}

}  // namespace png_test
