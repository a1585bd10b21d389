// Preview tool: loads the plug-in as a host does, opens its editor in an X11 window, and saves what it shows;
// with --dpi N first, the desktop's Xft.dpi is N meanwhile (192 shows the panel at twice the size).
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <png.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "host/lib/plugin_host.h"

namespace {

// Values that show the knob strip at several angles, by parameter: wave, tune, cutoff, reso, decay, envmod, accent.
constexpr float kShownValues[7] = {0.0f, 0.5f, 0.28f, 0.75f, 0.35f, 0.6f, 1.0f};

bool writePng(const char* path, const std::vector<uint32_t>& rgbPixels, unsigned width, unsigned height) {
  std::vector<uint8_t> rgb(size_t(width) * height * 3);
  for (size_t i = 0; i < size_t(width) * height; ++i) {
    const uint32_t p = rgbPixels[i];
    rgb[i * 3] = uint8_t(p >> 16), rgb[i * 3 + 1] = uint8_t(p >> 8), rgb[i * 3 + 2] = uint8_t(p);
  }
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = width;
  image.height = height;
  image.format = PNG_FORMAT_RGB;
  return png_image_write_to_file(&image, path, 0, rgb.data(), 0, nullptr) != 0;
}

// The host's window: a plain top-level window of the editor's size, mapped before the editor opens in it.
Window openHostWindow(Display* display, unsigned width, unsigned height) {
  Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, width, height, 0, 0, 0);
  XStoreName(display, window, "Koralin");
  XSelectInput(display, window, StructureNotifyMask);
  XMapWindow(display, window);
  for (XEvent event;;) {
    XNextEvent(display, &event);
    if (event.type == MapNotify) break;
  }
  return window;
}

// What the screen shows of the window, as 0xRRGGBB pixels.
std::vector<uint32_t> capture(Display* display, Window window, unsigned width, unsigned height) {
  std::vector<uint32_t> pixels;
  int x = 0, y = 0;
  Window child = 0;
  XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &x, &y, &child);
  XImage* image = XGetImage(display, DefaultRootWindow(display), x, y, width, height, AllPlanes, ZPixmap);
  if (!image) return pixels;
  pixels.resize(size_t(width) * height);
  for (unsigned row = 0; row < height; ++row)
    for (unsigned column = 0; column < width; ++column)
      pixels[size_t(row) * width + column] = uint32_t(XGetPixel(image, int(column), int(row))) & 0xFFFFFF;
  XDestroyImage(image);
  return pixels;
}

int run(Display* display, const char* modulePath, const char* output) {
  Host::PluginHost host(modulePath);
  host.start(44100.0f, 512);
  for (int i = 0; i < 7; ++i) host.setParameter(i, kShownValues[i]);
  ERect* rect = nullptr;
  if (!host.dispatch(effEditGetRect, 0, 0, &rect) || !rect) {
    std::fprintf(stderr, "koralin_preview: the plug-in has no editor\n");
    return 1;
  }
  const unsigned width = unsigned(rect->right - rect->left), height = unsigned(rect->bottom - rect->top);
  Window window = openHostWindow(display, width, height);
  host.dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(uintptr_t(window)));
  // A host's idle rhythm: the editor paints, then shows the values pushed by its first ticks.
  for (int i = 0; i < 15; ++i) {
    host.dispatch(effEditIdle);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  XSync(display, False);
  std::vector<uint32_t> pixels = capture(display, window, width, height);
  host.dispatch(effEditClose);
  XDestroyWindow(display, window);
  XSync(display, False);
  if (pixels.empty() || !writePng(output, pixels, width, height)) {
    std::fprintf(stderr, "koralin_preview: cannot capture the editor into %s\n", output);
    return 1;
  }
  std::printf("koralin_preview: wrote %s (%ux%u)\n", output, width, height);
  return 0;
}

// Sets Xft.dpi in the server's resource database, as a desktop does; 0 takes the database away.
void setDesktopDpi(Display* display, int dpi) {
  if (dpi <= 0) {
    XDeleteProperty(display, DefaultRootWindow(display), XA_RESOURCE_MANAGER);
  } else {
    const std::string text = "Xft.dpi:\t" + std::to_string(dpi) + "\n";
    XChangeProperty(display, DefaultRootWindow(display), XA_RESOURCE_MANAGER, XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(text.data()), int(text.size()));
  }
  XSync(display, False);
}

}  // namespace

int main(int argc, char** argv) {
  int dpi = 0;
  if (argc > 2 && std::strcmp(argv[1], "--dpi") == 0) {
    dpi = std::atoi(argv[2]);
    argc -= 2;
    argv += 2;
  }
  const char* output = argc > 1 ? argv[1] : "preview.png";
  const char* modulePath = argc > 2 ? argv[2] : KORALIN_MODULE;
  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    std::fprintf(stderr, "koralin_preview: no X display (set DISPLAY, or run it under xvfb-run)\n");
    return 1;
  }
  if (dpi > 0) setDesktopDpi(display, dpi);
  int result = 1;
  try {
    result = run(display, modulePath, output);
  } catch (const Host::LoadError& error) {
    std::fprintf(stderr, "koralin_preview: %s\n", error.what());
  }
  if (dpi > 0) setDesktopDpi(display, 0);
  XCloseDisplay(display);
  return result;
}
