// Editor benchmark: the built module's editor in an X11 window, opened through the dispatcher, at scale 1 and at
// scale 2 (the desktop's Xft.dpi at 96, then 192). Prints the CPU of an idle call when nothing changed, the time of
// a full repaint, effEditOpen (first and later) with the first paint, and resident memory over many opens and
// closes; then the texture memory an open, painted editor holds at each scale. Needs a display (run it under
// xvfb-run).
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <thread>
#include <vector>

#include "gui/plug_edit_vst.h"
#include "gui/winwrapper.h"
#include "host/lib/plugin_host.h"
#include "instrument/koralin.h"
#include "render/gl/gl_device.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

// CPU time of the whole process (the GL driver may draw on threads of its own).
double cpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

long residentKb() {
  long pages = 0, resident = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return resident * 4;
}

// The desktop's resolution as a desktop sets it: Xft.dpi in the server's resource database.
void setDesktopDpi(Display* display, int dpi) {
  char text[64];
  std::snprintf(text, sizeof text, "Xft.dpi:\t%d\n", dpi);
  XChangeProperty(display, DefaultRootWindow(display), XA_RESOURCE_MANAGER, XA_STRING, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(text), int(std::strlen(text)));
  XSync(display, False);
}

Window hostWindow(Display* display, int scale) {
  Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 560 * unsigned(scale),
                                      110 * unsigned(scale), 0, 0, 0);
  XSelectInput(display, window, StructureNotifyMask);
  XMapWindow(display, window);
  for (XEvent event;;) {
    XNextEvent(display, &event);
    if (event.type == MapNotify) break;
  }
  return window;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

intptr_t VSTCALLBACK quietHost(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
  return opcode == audioMasterVersion ? kVstVersion : 0;
}

// The textures an open editor holds once it has painted, from an instrument of this program's own (the module
// keeps its device to itself).
void textureMemory(Display* display, int scale) {
  Koralin koralin(quietHost);
  auto* editor = static_cast<Lattice::PlugEditVST*>(koralin.getEditor());
  Window window = hostWindow(display, scale);
  editor->open(reinterpret_cast<void*>(uintptr_t(window)));
  for (int i = 0; i < 3; ++i) editor->idle();
  const auto* device = editor->root() ? dynamic_cast<VexBlit::GLDevice*>(editor->root()->device.get()) : nullptr;
  if (device)
    std::printf("%dx texture memory:             %8.1f kB in %u textures\n", scale,
                double(device->textureBytes()) / 1024, device->liveTextures());
  else std::printf("%dx texture memory:             not measured (the editor could not paint)\n", scale);
  editor->close();
  XDestroyWindow(display, window);
  XSync(display, False);
}

void run(Display* display, int scale) {
  Host::PluginHost host(KORALIN_MODULE);
  host.start(44100.0f, 512);
  Window window = hostWindow(display, scale);
  void* parent = reinterpret_cast<void*>(uintptr_t(window));
  ERect* rect = nullptr;
  host.dispatch(effEditGetRect, 0, 0, &rect);
  if (rect) std::printf("%dx: the editor answers %d x %d\n", scale, rect->right - rect->left, rect->bottom - rect->top);

  // effEditOpen, the first in the process (pictures decoded) and later ones, each with its first paint.
  std::vector<double> opens, paints;
  for (int i = 0; i < 41; ++i) {
    const auto t0 = Clock::now();
    host.dispatch(effEditOpen, 0, 0, parent);
    const auto t1 = Clock::now();
    host.dispatch(effEditIdle);
    const auto t2 = Clock::now();
    opens.push_back(seconds(t0, t1));
    paints.push_back(seconds(t1, t2));
    if (i < 40) host.dispatch(effEditClose);
  }
  std::printf("%dx effEditOpen, first:         %8.3f ms (first idle, which paints: %.3f ms)\n", scale, opens[0] * 1e3,
              paints[0] * 1e3);
  std::vector<double> laterOpens(opens.begin() + 1, opens.end()), laterPaints(paints.begin() + 1, paints.end());
  std::printf("%dx effEditOpen, later (median):%8.3f ms (first idle, which paints: %.3f ms)\n", scale,
              median(laterOpens) * 1e3, median(laterPaints) * 1e3);

  // Idle when nothing changed, at a host's 20 ms rhythm.
  for (int i = 0; i < 10; ++i) host.dispatch(effEditIdle);
  constexpr int kIdles = 250;
  double busy = 0;
  const double cpu0 = cpuSeconds();
  for (int i = 0; i < kIdles; ++i) {
    const auto t0 = Clock::now();
    host.dispatch(effEditIdle);
    busy += seconds(t0, Clock::now());
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  const double idleCpu = (cpuSeconds() - cpu0) / kIdles;
  std::printf("%dx idle, nothing changed:      %8.1f us CPU per call (%.1f us wall), %.3f %% of a core at 20 ms\n",
              scale, idleCpu * 1e6, busy / kIdles * 1e6, idleCpu / 0.020 * 100);

  // A full repaint: a value from the host, shown by the next idle call (tick, draw and swap).
  std::vector<double> repaint, repaintCpu;
  for (int i = 0; i < 100; ++i) {
    host.setParameter(2, float(i % 2) * 0.5f + 0.25f);
    const double c0 = cpuSeconds();
    const auto t0 = Clock::now();
    host.dispatch(effEditIdle);
    repaint.push_back(seconds(t0, Clock::now()));
    repaintCpu.push_back(cpuSeconds() - c0);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  std::printf("%dx full repaint (median):      %8.3f ms wall, %.3f ms CPU\n", scale, median(repaint) * 1e3,
              median(repaintCpu) * 1e3);
  host.dispatch(effEditClose);

  // Resident memory over open, paint and close cycles.
  long after100 = 0;
  for (int i = 1; i <= 1000; ++i) {
    host.dispatch(effEditOpen, 0, 0, parent);
    host.dispatch(effEditIdle);
    host.dispatch(effEditClose);
    if (i == 100) after100 = residentKb();
  }
  std::printf("%dx resident memory, open/close:%8ld kB after 100 cycles, %ld kB after 1000\n", scale, after100,
              residentKb());
  XDestroyWindow(display, window);
  XSync(display, False);
}

}  // namespace

int main() {
  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    std::fprintf(stderr, "editor_bench: no X display (set DISPLAY, or run it under xvfb-run)\n");
    return 1;
  }
  try {
    for (int scale : {1, 2}) {
      setDesktopDpi(display, 96 * scale);
      run(display, scale);
      textureMemory(display, scale);
    }
  } catch (const Host::LoadError& error) {
    std::fprintf(stderr, "editor_bench: %s\n", error.what());
  }
  XDeleteProperty(display, DefaultRootWindow(display), XA_RESOURCE_MANAGER);
  XCloseDisplay(display);
  return 0;
}
