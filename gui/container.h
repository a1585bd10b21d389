// The container: a control that owns children, routes pointer events to them and forwards services to the root.
#pragma once

#include <vector>

#include "gui/control.h"

namespace Lattice {

class Menu;

class Container : public Control {
 public:
  Container(Container* parent, int x, int y, int w, int h);
  // Deletes the children, last to first.
  ~Container() override;

  void releaseGraphics() override;
  // Positional events go to the first active, visible child under the point; false when there is none.
  bool mouseMove(int x, int y, int mods) override;
  bool mouseDown(int x, int y, int button, int mods) override;
  bool mouseUp(int x, int y, int button, int mods) override;
  bool doubleClick(int x, int y, int button, int mods) override;
  bool mouseWheel(int x, int y, float delta, int mods) override;
  void mouseLeave() override;
  // Draws the visible children from last to first, so the first child lies on top.
  void draw(VexBlit::Context& context) override;

  // Window services: forwarded to the parent until they reach the root, which implements them.
  virtual void setCapture(Control* control);
  virtual bool hasCapture(Control* control);
  virtual void setFocus(Control* control);
  // A new popup menu whose command goes to listener; the caller deletes it. Null where no window exists.
  virtual Menu* newMenu(Control* listener);
  virtual bool isMenuOpenFor(Control* control);

  std::vector<Control*> children;  // owned, in order of insertion
  Control* hover = nullptr;        // the child that received the last routed pointer event; not owned

 protected:
  // The first child that is active, visible, contains the point and accepts it in its hitTest.
  Control* findTarget(int x, int y);
  // Steps 2 and 3 of routing: the old hover child leaves when the target differs; the target becomes hover.
  Control* routeTo(int x, int y);
  void deleteChildren();

 private:
  friend class Control;
};

}  // namespace Lattice
