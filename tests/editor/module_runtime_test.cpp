// The module with its own C++ runtime inside, in one host process: two instances playing on two threads, an
// exception thrown and caught inside the module (an editor on a screen without GL paints its fallback), an editor
// with its pool's threads, then a complete unload and a reload that plays the same notes the same way.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "editor_x11_host.h"
#include "host/lib/plugin_host.h"
#include "x11_host.h"

namespace EditorTest {
namespace {

constexpr int kPanelW = 560, kPanelH = 110;
constexpr int kCutoffX = 86;  // the cutoff knob's left edge on the panel

// One second of a short line at 44.1 kHz in blocks of 256, from a fresh instance.
std::vector<float> playLine(Host::PluginHost& host) {
  host.start(44100.0f, 256);
  std::vector<float> out, left, right;
  for (int block = 0; block < 172; ++block) {
    if (block % 16 == 0) host.sendMidi({{10, 0x90, uint8_t(36 + block / 16), 100}, {200, 0x80, 0, 0}});
    host.renderFloat(left, right, 256);
    out.insert(out.end(), left.begin(), left.end());
  }
  return out;
}

bool audible(const std::vector<float>& samples) {
  float peak = 0.0f;
  for (float x : samples) {
    if (!std::isfinite(x)) return false;
    peak = std::max(peak, std::fabs(x));
  }
  return peak > 0.01f && peak < 4.0f;
}

// Opens the instance's editor in a host window at (x, y) on a thread of its own, idles it and closes it there;
// returns the panel's pixels as the screen showed them before the close.
std::vector<uint32_t> editorOnItsThread(XDisplay* display, Host::PluginHost& host, int x, int y) {
  const unsigned long window = makeHostWindow(display, x, y, kPanelW, kPanelH);
  std::vector<uint32_t> shown;
  std::thread([&] {
    EXPECT_EQ(host.dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(window)), 1);
    for (int i = 0; i < 10; ++i) {
      host.dispatch(effEditIdle);
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    shown = screenRect(display, x, y, kPanelW, kPanelH);
    host.dispatch(effEditClose);
  }).join();
  destroyHostWindow(display, window);
  return shown;
}

std::vector<uint32_t> knobBody(const std::vector<uint32_t>& panel, int knobX) {
  std::vector<uint32_t> body;
  for (int row = 23 + 16; row < 23 + 16 + 40; ++row)
    for (int column = knobX + 20; column < knobX + 60; ++column) body.push_back(panel[size_t(row * kPanelW + column)]);
  return body;
}

// A second virtual X server, without the GLX extension, for as long as the object lives; name() is empty when it
// could not be started.
class ScreenWithoutGl {
 public:
  ScreenWithoutGl() {
    int ready[2];
    if (pipe(ready) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(ready[0]);
      const int quiet = open("/dev/null", O_WRONLY);
      dup2(quiet, 1);
      dup2(quiet, 2);
      const std::string fd = std::to_string(ready[1]);
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "800x600x24", "-extension", "GLX", "-nolisten",
             "tcp", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(ready[1]);
    // The server writes its display number once it accepts connections.
    char digits[16] = {};
    ssize_t got = 0;
    for (ssize_t n;
         got < ssize_t(sizeof digits - 1) && (n = read(ready[0], digits + got, 1)) == 1 && digits[got] != '\n';)
      got += n;
    close(ready[0]);
    if (got > 0) name_.assign(1, ':').append(digits, size_t(got));
  }
  ~ScreenWithoutGl() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
  const std::string& name() const { return name_; }

 private:
  pid_t pid_ = -1;
  std::string name_;
};

bool moduleLoaded() {
  void* handle = dlopen(KORALIN_MODULE, RTLD_NOW | RTLD_NOLOAD);
  if (handle) dlclose(handle);
  return handle != nullptr;
}

TEST(ModuleRuntime, TwoInstancesAnExceptionInsideEditorThreadsThenAFullUnloadAndTheSameSoundAfterAReload) {
  XDisplay* display = LatticeTest::openTestDisplay();
  if (!display) GTEST_SKIP() << "no X display";
  keepGlDriverLoaded();  // the leak checker's suppressions name its libraries
  ASSERT_FALSE(moduleLoaded());
  std::vector<float> first, second;
  {
    Host::PluginHost a(KORALIN_MODULE), b(KORALIN_MODULE);
    std::thread other([&] { second = playLine(b); });
    first = playLine(a);
    other.join();
    EXPECT_TRUE(audible(first));
    EXPECT_EQ(first, second);

    // On a screen without GLX the device cannot be made: the module throws inside its paint and catches it there,
    // painting the window black. The editor's thread opens a connection of its own, to $DISPLAY.
    {
      ScreenWithoutGl plain;
      ASSERT_FALSE(plain.name().empty()) << "Xvfb could not be started";
      const std::string ours = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
      setenv("DISPLAY", plain.name().c_str(), 1);
      XDisplay* other = LatticeTest::openTestDisplay();
      ASSERT_NE(other, nullptr);
      const std::vector<uint32_t> fallback = editorOnItsThread(other, a, 50, 60);
      setenv("DISPLAY", ours.c_str(), 1);
      LatticeTest::closeTestDisplay(other);
      ASSERT_EQ(fallback.size(), size_t(kPanelW * kPanelH));
      size_t black = 0;
      for (uint32_t pixel : fallback) black += pixel == 0;
      EXPECT_EQ(black, fallback.size()) << "the editor without GL did not paint its fallback";
    }

    b.setParameter(2, 0.75f);
    const std::vector<uint32_t> panel = editorOnItsThread(display, b, 50, 300);
    ASSERT_EQ(panel.size(), size_t(kPanelW * kPanelH));
    int opaque = 0;
    const int wrong = knobMismatches(knobBody(panel, kCutoffX), 0.75f, 0xE0, opaque);
    EXPECT_GT(opaque, 0);
    EXPECT_LT(double(wrong) / std::max(opaque, 1), 0.02) << "the editor with GL did not show the cutoff's value";
  }
  // Its threads have ended and nothing of its runtime is visible outside: nothing pins the module any more.
  EXPECT_FALSE(moduleLoaded()) << "the module stayed loaded after its last instance was closed";
  Host::PluginHost again(KORALIN_MODULE);
  EXPECT_EQ(playLine(again), first);
  LatticeTest::closeTestDisplay(display);
}

}  // namespace
}  // namespace EditorTest
