// The control's base behaviour: services asked of the parent, default input answers, absolute position.
#include "gui/control.h"

#include "gui/container.h"

namespace Lattice {

Control::Control(Container* parent, int x, int y, int w, int h) : parent(parent), x(x), y(y), w(w), h(h) {
  if (parent) parent->children.push_back(this);
}

bool Control::ask(const char* caption, const char* text) { return parent && parent->ask(caption, text); }

void Control::invalidate() {
  if (visible && parent) parent->invalidate();
}

bool Control::hitTest(int, int) { return true; }
bool Control::mouseMove(int, int, int) { return true; }
bool Control::mouseDown(int, int, int, int) { return true; }
bool Control::mouseUp(int, int, int, int) { return true; }
bool Control::doubleClick(int x, int y, int button, int mods) { return mouseDown(x, y, button, mods); }
bool Control::mouseWheel(int, int, float, int) { return true; }
void Control::charTyped(const char*) {}
void Control::keyDown(int) {}
void Control::keyUp(int) {}
void Control::menuCommand(int) {}
void Control::draw(VexBlit::Context&) {}

int Control::absoluteX() const { return parent ? x + parent->absoluteX() : x; }
int Control::absoluteY() const { return parent ? y + parent->absoluteY() : y; }

}  // namespace Lattice
