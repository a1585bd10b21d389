// Text for the pictures: strings rasterised by FreeType into coverage masks.
#pragma once

#include <string>
#include <vector>

namespace art {

// Coverage 0..1 of a rendered string; the pen starts at (left, baseline) inside the mask.
struct TextMask {
  int width = 0, height = 0;
  int left = 0, baseline = 0;
  int inkLeft = 0, inkRight = 0, inkTop = 0, inkBottom = 0;  // bounding box of the covered pixels
  std::vector<float> cover;
  float at(int x, int y) const {
    return x < 0 || y < 0 || x >= width || y >= height ? 0.f : cover[std::size_t(y) * width + x];
  }
};

// Renders text in the font file at pixelSize, adding tracking pixels between letters. Throws on failure.
TextMask renderText(const std::string& fontPath, float pixelSize, const std::string& text, float tracking = 0);

}  // namespace art
