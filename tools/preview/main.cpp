// Preview tool: paints the editor's look in an X11 window with the renderer and writes the frame to a PNG file.
#include <X11/Xlib.h>
#include <png.h>

#include <cstdio>
#include <vector>

#include "preview_scene.h"
#include "render/gl/gl_device.h"

namespace {

constexpr unsigned kWidth = 560, kHeight = 110;

bool writePng(const char* path, const std::vector<uint32_t>& argb, uint32_t width, uint32_t height) {
  std::vector<uint8_t> rgb(size_t(width) * height * 3);
  for (size_t i = 0; i < size_t(width) * height; ++i) {
    rgb[i * 3] = uint8_t(argb[i] >> 16), rgb[i * 3 + 1] = uint8_t(argb[i] >> 8), rgb[i * 3 + 2] = uint8_t(argb[i]);
  }
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = width;
  image.height = height;
  image.format = PNG_FORMAT_RGB;
  return png_image_write_to_file(&image, path, 0, rgb.data(), 0, nullptr) != 0;
}

// A plain top-level window of the editor's size, mapped before anything is drawn into it.
Window openWindow(Display* display) {
  Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, kWidth, kHeight, 0, 0, 0);
  XStoreName(display, window, "Koralin preview");
  XSelectInput(display, window, StructureNotifyMask);
  XMapWindow(display, window);
  for (XEvent event;;) {
    XNextEvent(display, &event);
    if (event.type == MapNotify) break;
  }
  return window;
}

int run(Display* display, const char* output) {
  Window window = openWindow(display);
  KoralinPreview::PreviewScene scene;
  VexBlit::GLDevice* device = VexBlit::createGLDevice({display, window});
  device->renderScene(scene);
  scene.releaseGraphics();
  device->release();
  XDestroyWindow(display, window);
  if (scene.width != kWidth || scene.height != kHeight) {
    std::fprintf(stderr, "koralin_preview: the frame came out %ux%u\n", scene.width, scene.height);
    return 1;
  }
  if (!writePng(output, scene.pixels, scene.width, scene.height)) {
    std::fprintf(stderr, "koralin_preview: cannot write %s\n", output);
    return 1;
  }
  std::printf("koralin_preview: wrote %s (%ux%u)\n", output, scene.width, scene.height);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const char* output = argc > 1 ? argv[1] : "preview.png";
  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    std::fprintf(stderr, "koralin_preview: no X display (set DISPLAY, or run it under xvfb-run)\n");
    return 1;
  }
  int result = 1;
  try {
    result = run(display, output);
  } catch (const VexBlit::Exception&) {
    std::fprintf(stderr, "koralin_preview: the OpenGL device could not be created\n");
  }
  XCloseDisplay(display);
  return result;
}
