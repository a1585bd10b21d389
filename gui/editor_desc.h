// What an instrument tells its editor: size, visual data, parameter count, label colour and background picture.
#pragma once

#include <cstdint>

namespace Lattice {

struct EditorDesc {
  int32_t width;
  int32_t height;
  int32_t visualDataSize;  // bytes of display data the engine publishes; 0 for none
  int32_t paramCount;
  uint32_t labelColour;  // 0xAARRGGBB
  const char* backgroundName;
};

}  // namespace Lattice
