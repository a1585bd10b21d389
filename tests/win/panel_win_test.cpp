// Koralin.dll's panel under Wine, drawn through the Win32 window and WGL and read back: every knob shows the film
// strip's frame that the host's value selects, and the whole panel matches the Linux panel with the same values, at
// scale 1 and, with 200 % chosen from the frame menu's "Size" (the file beside the defaults), at scale 2.
#include <shlobj.h>
#include <gtest/gtest.h>
#include <windows.h>
#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include "host/lib/plugin_host.h"
#include "render/gl/image.h"
#include "tests/gui/film_strip_check.h"
#include "tests/win/pump_win.h"

namespace {

constexpr int kWidth = 560, kHeight = 110;

struct KnobPlace {
  int parameter, x;
};
// The six knobs, left to right: tuning, cutoff, resonance, env mod, decay, accent (each 80 x 80 at y 23).
constexpr KnobPlace kKnobs[] = {{1, 8}, {2, 86}, {3, 156}, {5, 242}, {4, 312}, {6, 390}};

// The editor's client area as 0xRRGGBB, top row first, read through a GL context of our own on its window. Wine
// draws a GL child window offscreen: the back buffer holds the last frame drawn, while the front buffer and GDI's
// copy of the window read black.
std::vector<uint32_t> readBack(HWND editor, int kWidth = ::kWidth, int kHeight = ::kHeight) {
  std::vector<uint32_t> pixels;
  HDC window = GetDC(editor);
  HGLRC own = wglCreateContext(window);
  if (own) {
    HDC previousDc = wglGetCurrentDC();
    HGLRC previous = wglGetCurrentContext();
    if (wglMakeCurrent(window, own)) {
      std::vector<uint8_t> rgba(size_t(kWidth) * kHeight * 4);
      glReadBuffer(GL_BACK);
      glPixelStorei(GL_PACK_ALIGNMENT, 1);
      glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
      if (glGetError() == GL_NO_ERROR) {
        pixels.resize(size_t(kWidth) * kHeight);
        for (int y = 0; y < kHeight; ++y) {
          for (int x = 0; x < kWidth; ++x) {
            const uint8_t* p = &rgba[(size_t(kHeight - 1 - y) * kWidth + size_t(x)) * 4];
            pixels[size_t(y) * kWidth + size_t(x)] = uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
          }
        }
      }
      wglMakeCurrent(previousDc, previous);
    }
    wglDeleteContext(own);
  }
  ReleaseDC(editor, window);
  return pixels;
}

// Whether this process can draw with OpenGL on the editor's window at all (32-bit Wine may come without a GL driver).
bool openGLHere(HWND editor) {
  HDC window = GetDC(editor);
  HGLRC probe = wglCreateContext(window);
  if (probe) wglDeleteContext(probe);
  ReleaseDC(editor, window);
  return probe != nullptr;
}

constexpr const char* kNoOpenGL =
    "skipped: this Wine has no OpenGL driver for programs of this width, so the editor cannot draw with WGL and there "
    "is no panel to read back";

// The share of the strip's opaque pixels in the 40 x 40 knob body at (left, top) of the panel that differ by more
// than a rounding from the frames of value, crossfaded and tinted (0xE0: no pointer over it) as the editor draws.
double wrongShare(const std::vector<uint32_t>& panel, int left, int top, float value) {
  int opaque = 0;
  const int wrong = StripCheck::knobMismatches(panel, kWidth, left, top, value, 0xE0, opaque);
  return opaque ? double(wrong) / opaque : 1.0;
}

TEST(WinPanel, EveryKnobShowsTheFilmStripFrameOfTheHostsValueAsOnLinux) {
  ASSERT_GE(StripCheck::strip().width, 320u);  // 96 frames of 40 x 40, eight a row
  ASSERT_GE(StripCheck::strip().height, 480u);
  HWND host = CreateWindowExA(0, "Static", "host", WS_POPUP | WS_VISIBLE, 300, 200, kWidth, kHeight, nullptr, nullptr,
                              nullptr, nullptr);
  if (!host) GTEST_SKIP() << "no window system (Wine needs a display for windows)";
  SetCursorPos(5, 5);  // away from the panel: no knob is lit
  Host::PluginHost plugin(KORALIN_DLL);
  plugin.start(44100.0f, 256);
  ASSERT_EQ(plugin.dispatch(effEditOpen, 0, 0, host), 1);
  HWND editor = FindWindowExA(host, nullptr, "LatticeWinwrapper", nullptr);
  ASSERT_NE(editor, nullptr);
  pumpFor(plugin, 100);
  if (!openGLHere(editor)) {
    plugin.dispatch(effEditClose);
    DestroyWindow(host);
    GTEST_SKIP() << kNoOpenGL << " (" << 8 * sizeof(void*) << "-bit)";
  }

  // Three rounds of values, each knob a different one, the last round the other way round.
  const float rounds[3][6] = {{0.0f, 0.2f, 0.5f, 0.73f, 0.95f, 1.0f},
                              {0.1f, 0.35f, 0.6f, 0.05f, 0.85f, 0.45f},
                              {1.0f, 0.95f, 0.73f, 0.5f, 0.2f, 0.0f}};
  for (const auto& round : rounds) {
    for (int k = 0; k < 6; ++k) plugin.setParameter(kKnobs[k].parameter, round[k]);
    pumpFor(plugin, 120);
    const std::vector<uint32_t> panel = readBack(editor);
    ASSERT_EQ(panel.size(), size_t(kWidth * kHeight)) << "the window's pixels could not be read";
    for (int k = 0; k < 6; ++k) {
      SCOPED_TRACE(kKnobs[k].parameter);
      const float shown = plugin.getParameter(kKnobs[k].parameter);
      const float other = shown < 0.5f ? shown + 0.4f : shown - 0.4f;
      const double right = wrongShare(panel, kKnobs[k].x + 20, 23 + 16, shown);
      const double wrong = wrongShare(panel, kKnobs[k].x + 20, 23 + 16, other);
      std::printf("knob %d at %.2f: %.4f of its pixels off the frame, %.4f off the frame of %.2f\n",
                  kKnobs[k].parameter, double(shown), right, wrong, double(other));
      EXPECT_LT(right, 0.02);
      EXPECT_GT(wrong, right + 0.03);
    }
  }
  plugin.dispatch(effEditClose);
  DestroyWindow(host);
}

// The Linux panel with the preview's values (parameters 0 to 6), as the Linux build captures it from its screen:
// the file KORALIN_LINUX_PANEL names (the test command makes it afresh), else the one kept in the docs.
constexpr float kPreviewValues[7] = {0.0f, 0.5f, 0.28f, 0.75f, 0.35f, 0.6f, 1.0f};

std::unique_ptr<Lattice::Image> linuxPanel() {
  const char* given = std::getenv("KORALIN_LINUX_PANEL");
  std::ifstream file(given && *given ? given : KORALIN_LINUX_PANEL, std::ios::binary);
  const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  try {
    return std::make_unique<Lattice::Image>(bytes.data(), bytes.size());
  } catch (const Lattice::Image::Exception&) {
    return nullptr;
  }
}

// The Linux panel at twice the size: KORALIN_LINUX_PANEL_2X, else the 2x preview in the docs.
std::unique_ptr<Lattice::Image> linuxPanel2x() {
  const char* given = std::getenv("KORALIN_LINUX_PANEL_2X");
  std::ifstream file(given && *given ? given : KORALIN_LINUX_PANEL_2X, std::ios::binary);
  const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  try {
    return std::make_unique<Lattice::Image>(bytes.data(), bytes.size());
  } catch (const Lattice::Image::Exception&) {
    return nullptr;
  }
}

// The person's choice of size, in the file beside the Wine user's defaults for as long as the object lives.
class ChosenSize {
 public:
  explicit ChosenSize(const char* text) {
    char folder[MAX_PATH] = {};
    if (SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, 0, folder) != S_OK) return;
    const std::string dir = std::string(folder) + "\\Quillmarsh";
    CreateDirectoryA(dir.c_str(), nullptr);
    path = dir + "\\Koralin.editor";
    std::ofstream(path, std::ios::binary) << text;
  }
  ~ChosenSize() {
    if (!path.empty()) DeleteFileA(path.c_str());
  }
  ChosenSize(const ChosenSize&) = delete;
  ChosenSize& operator=(const ChosenSize&) = delete;
  std::string path;
};

// The panel with the preview's values as the DLL draws it at the size the host's window has, read back; empty when
// this Wine cannot draw with OpenGL (drawn then false).
std::vector<uint32_t> windowsPanel(int width, int height, bool& drawn) {
  HWND host = CreateWindowExA(0, "Static", "host", WS_POPUP | WS_VISIBLE, 300, 200, width, height, nullptr, nullptr,
                              nullptr, nullptr);
  drawn = false;
  if (!host) return {};
  SetCursorPos(5, 5);
  Host::PluginHost plugin(KORALIN_DLL);
  plugin.start(44100.0f, 512);
  for (int i = 0; i < 7; ++i) plugin.setParameter(i, kPreviewValues[i]);
  ERect* rect = nullptr;
  plugin.dispatch(effEditGetRect, 0, 0, &rect);
  EXPECT_TRUE(rect && rect->right - rect->left == width && rect->bottom - rect->top == height);
  EXPECT_EQ(plugin.dispatch(effEditOpen, 0, 0, host), 1);
  HWND editor = FindWindowExA(host, nullptr, "LatticeWinwrapper", nullptr);
  EXPECT_NE(editor, nullptr);
  std::vector<uint32_t> panel;
  if (editor) {
    RECT client{};
    GetClientRect(editor, &client);
    EXPECT_EQ(client.right, width);
    EXPECT_EQ(client.bottom, height);
    pumpFor(plugin, 300);
    drawn = openGLHere(editor);
    if (drawn) panel = readBack(editor, width, height);
  }
  plugin.dispatch(effEditClose);
  DestroyWindow(host);
  return panel;
}

// Pixels of the Windows panel that no pixel of the Linux panel within one pixel of it matches within 16 levels a
// channel: text smoothed a little differently passes, a knob at another angle or another value's text does not.
int offPixels(const std::vector<uint32_t>& panel, const Lattice::Image& reference) {
  const int kWidth = int(reference.width), kHeight = int(reference.height);
  // A pixel is off when no pixel of the Linux panel within one pixel of it is within 16 levels a channel: text
  // smoothed a little differently passes, a knob at another angle or another value's text does not.
  auto distance = [](uint32_t a, uint32_t b) {
    int most = 0;
    for (int shift : {0, 8, 16}) most = std::max(most, std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)));
    return most;
  };
  int off = 0, differing = 0, largest = 0;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const uint32_t shown = panel[size_t(y) * size_t(kWidth) + size_t(x)];
      const int here = distance(shown, reference.pixels[size_t(y) * kWidth + size_t(x)]);
      largest = std::max(largest, here);
      differing += here > 16;
      int nearest = here;
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
          if (x + dx >= 0 && x + dx < kWidth && y + dy >= 0 && y + dy < kHeight)
            nearest = std::min(nearest, distance(shown, reference.pixels[size_t(y + dy) * kWidth + size_t(x + dx)]));
      off += nearest > 16;
    }
  }
  std::printf("of %d pixels %d differ from the Linux panel by more than 16 (largest %d), %d from all its neighbours\n",
              kWidth * kHeight, differing, largest, off);
  return off;
}

TEST(WinPanel, TheWholePanelMatchesTheLinuxPanelButForTextEdges) {
  const std::unique_ptr<Lattice::Image> reference = linuxPanel();
  ASSERT_NE(reference, nullptr) << "no Linux panel to compare with";
  ASSERT_EQ(reference->width, unsigned(kWidth));
  ASSERT_EQ(reference->height, unsigned(kHeight));
  bool drawn = false;
  const std::vector<uint32_t> panel = windowsPanel(kWidth, kHeight, drawn);
  if (!drawn) GTEST_SKIP() << kNoOpenGL << " (" << 8 * sizeof(void*) << "-bit)";
  ASSERT_EQ(panel.size(), size_t(kWidth * kHeight)) << "the window's pixels could not be read";
  EXPECT_LE(offPixels(panel, *reference), 8);
}

TEST(WinPanel, AtTwoHundredPercentThePanelMatchesTheLinuxPanelAtTwiceTheSizeAndShowsThe2xFrames) {
  const std::unique_ptr<Lattice::Image> reference = linuxPanel2x();
  ASSERT_NE(reference, nullptr) << "no Linux panel at twice the size to compare with";
  ASSERT_EQ(reference->width, unsigned(2 * kWidth));
  ASSERT_EQ(reference->height, unsigned(2 * kHeight));
  ChosenSize chosen("size 200\n");
  ASSERT_FALSE(chosen.path.empty()) << "no application-data folder";
  bool drawn = false;
  const std::vector<uint32_t> panel = windowsPanel(2 * kWidth, 2 * kHeight, drawn);
  if (!drawn) GTEST_SKIP() << kNoOpenGL << " (" << 8 * sizeof(void*) << "-bit)";
  ASSERT_EQ(panel.size(), size_t(4 * kWidth * kHeight)) << "the window's pixels could not be read";
  EXPECT_LE(offPixels(panel, *reference), 32);  // four times the pixels of the 1x panel's allowance
  for (const KnobPlace& knob : kKnobs) {
    int opaque = 0;
    const float shown = kPreviewValues[knob.parameter];
    const int wrong =
        StripCheck::knobMismatches(panel, size_t(2 * kWidth), 2 * (knob.x + 20), 2 * (23 + 16), shown, 0xE0, opaque, 2);
    EXPECT_LT(double(wrong) / std::max(opaque, 1), 0.02) << "knob " << knob.parameter;
    EXPECT_GT(opaque, 3000) << "the 2x frame is 80 x 80";
  }
}

}  // namespace
