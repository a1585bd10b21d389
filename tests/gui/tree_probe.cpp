// Test doubles for the toolkit: logging controls, a logging window backend and a logging device without a display.
#include "tree_probe.h"

namespace LatticeTest {

namespace {

std::string point(int x, int y) { return std::to_string(x) + "," + std::to_string(y); }

}  // namespace

void FakeDevice::release() {
  log.push_back("device.release");
  NullDevice::release();
}

void FakeDevice::renderScene(VexBlit::Scene& scene) {
  log.push_back("device.frame");
  NullDevice::renderScene(scene);
}

Probe::Probe(Lattice::Container* parent, Log& log, std::string name, int x, int y, int w, int h)
    : Control(parent, x, y, w, h), log(log), name(std::move(name)) {}
Probe::~Probe() { log.push_back(name + ".deleted"); }
bool Probe::hitTest(int, int) { return acceptsHits; }
bool Probe::mouseMove(int x, int y, int mods) {
  log.push_back(name + ".move(" + point(x, y) + "," + std::to_string(mods) + ")");
  return true;
}
bool Probe::mouseDown(int x, int y, int button, int) {
  log.push_back(name + ".down(" + point(x, y) + "," + std::to_string(button) + ")");
  return true;
}
bool Probe::mouseUp(int x, int y, int button, int) {
  log.push_back(name + ".up(" + point(x, y) + "," + std::to_string(button) + ")");
  return true;
}
bool Probe::doubleClick(int x, int y, int button, int) {
  log.push_back(name + ".double(" + point(x, y) + "," + std::to_string(button) + ")");
  return true;
}
bool Probe::mouseWheel(int x, int y, float delta, int) {
  log.push_back(name + ".wheel(" + point(x, y) + "," + std::to_string(int(delta)) + ")");
  return true;
}
void Probe::mouseLeave() { log.push_back(name + ".leave"); }
void Probe::captureLost() { log.push_back(name + ".captureLost"); }
void Probe::focusLost() { log.push_back(name + ".focusLost"); }
void Probe::charTyped(const char* text) { log.push_back(name + ".char(" + text + ")"); }
void Probe::keyDown(int key) { log.push_back(name + ".keyDown(" + std::to_string(key) + ")"); }
void Probe::keyUp(int key) { log.push_back(name + ".keyUp(" + std::to_string(key) + ")"); }
void Probe::menuCommand(int id) { log.push_back(name + ".command(" + std::to_string(id) + ")"); }
void Probe::releaseGraphics() { log.push_back(name + ".releaseGraphics"); }
void Probe::draw(VexBlit::Context&) { log.push_back(name + ".draw"); }

Box::Box(Lattice::Container* parent, Log& log, std::string name, int x, int y, int w, int h)
    : Container(parent, x, y, w, h), log(log), name(std::move(name)) {}
Box::~Box() {
  log.push_back(name + ".deleting");
  deleteChildren();
  log.push_back(name + ".deleted");
}
void Box::releaseGraphics() {
  log.push_back(name + ".releaseGraphics");
  Container::releaseGraphics();
}

FakeBackend* lastBackend = nullptr;
Log* backendLog = nullptr;

std::unique_ptr<Lattice::WindowBackend> makeFakeBackend(Lattice::Winwrapper& root, void*, int, int) {
  auto backend = std::make_unique<FakeBackend>(root, *backendLog);
  lastBackend = backend.get();
  return backend;
}

FakeBackend::~FakeBackend() {
  log.push_back("native.deleted");
  if (lastBackend == this) lastBackend = nullptr;
}

void FakeBackend::destroy() {
  // As a window system does: the destroy message while the window exists, then the final one.
  log.push_back("native.destroy");
  root.onDestroy();
  windowExists = false;
  root.onNcDestroy();
}

void FakeBackend::setCapture() {
  log.push_back("native.setCapture");
  systemCapture = true;
}

void FakeBackend::releaseCapture() {
  log.push_back("native.releaseCapture");
  systemCapture = false;
}

bool FakeBackend::startTimer() {
  log.push_back(timerWorks ? "native.startTimer" : "native.startTimer refused");
  return timerWorks;
}

VexBlit::DevicePtr FakeBackend::createDevice() {
  log.push_back("native.createDevice");
  if (deviceFails) throw VexBlit::Exception();
  return VexBlit::DevicePtr(new FakeDevice(log));
}

void drawOnce(VexBlit::Scene& scene) {
  Log unused;
  FakeDevice device(unused);
  device.renderScene(scene);
}

Log only(const Log& log, const std::string& prefix) {
  Log picked;
  for (const std::string& entry : log)
    if (entry.compare(0, prefix.size(), prefix) == 0) picked.push_back(entry);
  return picked;
}

}  // namespace LatticeTest
