// Picture generator: writes background.png, commontextures.png and oldknobs.png into the given folder.
#include <cstdio>
#include <string>

#include "art_pictures.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s <output folder> [font folder]\n", argv[0]);
    return 2;
  }
  std::string out = argv[1];
  std::string fonts = argc > 2 ? argv[2] : "/usr/share/fonts/truetype/ttf-bitstream-vera";
  try {
    bool ok = art::makeBackground(fonts).writePng(out + "/background.png") &&
              art::makeCommonTextures(fonts).writePng(out + "/commontextures.png") &&
              art::makeKnobStrip().writePng(out + "/oldknobs.png");
    if (!ok) {
      std::fprintf(stderr, "could not write the pictures to %s\n", out.c_str());
      return 1;
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
