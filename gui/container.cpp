// The container: hit testing and routing of pointer events, drawing order, services forwarded to the root.
#include "gui/container.h"

namespace Lattice {

Container::Container(Container* parent, int x, int y, int w, int h) : Control(parent, x, y, w, h) {}

Container::~Container() { deleteChildren(); }

void Container::deleteChildren() {
  hover = nullptr;
  // Out of the array before it goes, so nothing reaches a child that is being destroyed.
  while (!children.empty()) {
    Control* last = children.back();
    children.pop_back();
    delete last;
  }
}

void Container::releaseGraphics() {
  for (Control* child : children) child->releaseGraphics();
}

Control* Container::findTarget(int px, int py) {
  for (Control* child : children) {
    if (!child->active || !child->visible) continue;
    // Unsigned comparisons: points left of or above the child wrap to large values and never match.
    unsigned dx = unsigned(px - child->x), dy = unsigned(py - child->y);
    if (dx < unsigned(child->w) && dy < unsigned(child->h) && child->hitTest(int(dx), int(dy))) return child;
  }
  return nullptr;
}

Control* Container::routeTo(int px, int py) {
  Control* target = findTarget(px, py);
  if (hover && hover != target) hover->mouseLeave();
  hover = target;
  return target;
}

bool Container::mouseMove(int px, int py, int mods) {
  Control* target = routeTo(px, py);
  return target && target->mouseMove(px - target->x, py - target->y, mods);
}

bool Container::mouseDown(int px, int py, int button, int mods) {
  Control* target = routeTo(px, py);
  return target && target->mouseDown(px - target->x, py - target->y, button, mods);
}

bool Container::mouseUp(int px, int py, int button, int mods) {
  Control* target = routeTo(px, py);
  return target && target->mouseUp(px - target->x, py - target->y, button, mods);
}

bool Container::doubleClick(int px, int py, int button, int mods) {
  Control* target = routeTo(px, py);
  return target && target->doubleClick(px - target->x, py - target->y, button, mods);
}

bool Container::mouseWheel(int px, int py, float delta, int mods) {
  Control* target = routeTo(px, py);
  return target && target->mouseWheel(px - target->x, py - target->y, delta, mods);
}

void Container::mouseLeave() {
  if (!hover) return;
  Control* leaving = hover;
  hover = nullptr;
  leaving->mouseLeave();
}

void Container::draw(VexBlit::Context& context) {
  for (auto it = children.rbegin(); it != children.rend(); ++it)
    if ((*it)->visible) (*it)->draw(context);
}

void Container::setCapture(Control* control) {
  if (parent) parent->setCapture(control);
}

bool Container::hasCapture(Control* control) { return parent && parent->hasCapture(control); }

void Container::setFocus(Control* control) {
  if (parent) parent->setFocus(control);
}

Menu* Container::newMenu(Control* listener) { return parent ? parent->newMenu(listener) : nullptr; }

bool Container::isMenuOpenFor(Control* control) { return parent && parent->isMenuOpenFor(control); }

}  // namespace Lattice
