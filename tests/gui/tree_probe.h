// Test doubles for the toolkit: logging controls, a logging window backend and a logging device without a display.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "gui/container.h"
#include "gui/winwrapper.h"
#include "render/gl/drawing.h"
#include "render/gl/null_device.h"

namespace LatticeTest {

using Log = std::vector<std::string>;

// A control that appends "name.event(args)" to a shared log for everything it receives.
class Probe : public Lattice::Control {
 public:
  Probe(Lattice::Container* parent, Log& log, std::string name, int x, int y, int w, int h);
  ~Probe() override;
  bool hitTest(int x, int y) override;
  bool mouseMove(int x, int y, int mods) override;
  bool mouseDown(int x, int y, int button, int mods) override;
  bool mouseUp(int x, int y, int button, int mods) override;
  bool doubleClick(int x, int y, int button, int mods) override;
  bool mouseWheel(int x, int y, float delta, int mods) override;
  void mouseLeave() override;
  void captureLost() override;
  void focusLost() override;
  void charTyped(const char* text) override;
  void keyDown(int key) override;
  void keyUp(int key) override;
  void menuCommand(int id) override;
  void releaseGraphics() override;
  void draw(VexBlit::Context& context) override;

  Log& log;
  std::string name;
  bool acceptsHits = true;
};

// A container that logs its own destruction and graphics release, routing like any container.
class Box : public Lattice::Container {
 public:
  Box(Lattice::Container* parent, Log& log, std::string name, int x, int y, int w, int h);
  ~Box() override;
  void releaseGraphics() override;
  Log& log;
  std::string name;
};

// A window backend without a window system: logs the requests and answers from settable state.
class FakeBackend : public Lattice::WindowBackend {
 public:
  FakeBackend(Lattice::Winwrapper& root, Log& log) : root(root), log(log) {}
  ~FakeBackend() override;
  bool valid() const override { return windowExists; }
  uintptr_t handle() const override { return windowExists ? 0x1234 : 0; }
  void destroy() override;
  void setCapture() override;
  void releaseCapture() override;
  bool hasCapture() const override { return systemCapture; }
  void setFocus() override { log.push_back("native.setFocus"); }
  bool ask(const char*, const char*) override { return askAnswer; }
  void invalidate() override { log.push_back("native.invalidate"); }
  bool startTimer() override;
  void stopTimer() override { log.push_back("native.stopTimer"); }
  Lattice::Menu* newMenu(Lattice::Control*) override { return nullptr; }
  void setCursor(int n) override { log.push_back("native.cursor(" + std::to_string(n) + ")"); }
  void screenOrigin(int& x, int& y) const override { x = 100, y = 200; }
  void idle() override {}
  VexBlit::DevicePtr createDevice() override;
  void paintFallback() override { log.push_back("native.black"); }
  void resize(int width, int height) override {
    log.push_back("native.resize(" + std::to_string(width) + "," + std::to_string(height) + ")");
  }

  Lattice::Winwrapper& root;
  Log& log;
  bool windowExists = true;
  bool systemCapture = false;
  bool timerWorks = true;
  bool deviceFails = false;
  bool askAnswer = false;
};

// The null device, logging its frames and its release.
class FakeDevice : public VexBlit::NullDevice {
 public:
  explicit FakeDevice(Log& log) : log(log) {}
  void release() override;
  void renderScene(VexBlit::Scene& scene) override;
  Log& log;
};

// Makes roots on a FakeBackend; the backend made last is reachable through lastBackend.
extern FakeBackend* lastBackend;
extern Log* backendLog;
std::unique_ptr<Lattice::WindowBackend> makeFakeBackend(Lattice::Winwrapper& root, void*, int, int);

// The owner of a root: logs the two controller calls.
struct FakeController : Lattice::IFrameController {
  explicit FakeController(Log& log) : log(log) {}
  bool canClose() override {
    log.push_back("controller.canClose");
    return allowClose;
  }
  void windowDestroyed() override { log.push_back("controller.windowDestroyed"); }
  Log& log;
  bool allowClose = true;
};

// Draws scene once on a null device of its own.
void drawOnce(VexBlit::Scene& scene);

// Copies the entries of log that start with prefix (to compare one participant's story).
Log only(const Log& log, const std::string& prefix);

}  // namespace LatticeTest
