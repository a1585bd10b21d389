// Picture generator: writes background.png, commontextures.png and oldknobs.png into the given folder, and the same
// pictures drawn at twice the size as background_2x.png, commontextures_2x.png and oldknobs_2x.png.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "art_pictures.h"

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--icon") {  // the standalone's icon, drawn at build time
    const int size = std::atoi(argv[2]);
    if (size >= 16 && size <= 1024 && art::makeIcon(size).writePng(argv[3])) return 0;
    std::fprintf(stderr, "could not draw a %s pixel icon into %s\n", argv[2], argv[3]);
    return 1;
  }
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s <output folder> [font folder] | --icon SIZE FILE.png\n", argv[0]);
    return 2;
  }
  std::string out = argv[1];
  std::string fonts = argc > 2 ? argv[2] : "/usr/share/fonts/truetype/ttf-bitstream-vera";
  try {
    bool ok = true;
    for (int scale : {1, 2}) {
      const std::string suffix = scale == 1 ? ".png" : "_2x.png";
      ok = ok && art::makeBackground(fonts, scale).writePng(out + "/background" + suffix) &&
           art::makeCommonTextures(fonts, scale).writePng(out + "/commontextures" + suffix) &&
           art::makeKnobStrip(scale).writePng(out + "/oldknobs" + suffix);
    }
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
