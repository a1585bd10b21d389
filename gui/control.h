// The control: a rectangle of the editor that draws itself, takes input and asks its parent for services.
#pragma once

#include "gui/no_copy.h"
#include "render/gl/drawing.h"

namespace Lattice {

class Container;

// Modifier bits passed with pointer events.
constexpr int kModShift = 1;
constexpr int kModCtrl = 2;
// Mouse buttons as controls see them.
constexpr int kButtonLeft = 1;
constexpr int kButtonRight = 2;
constexpr int kButtonMiddle = 3;

class Control : public NoCopy, public VexBlit::Scene {
 public:
  // Appends itself to parent's children when parent is set; the parent owns it from then on.
  Control(Container* parent, int x, int y, int w, int h);
  ~Control() override = default;

  // OK/Cancel question through the window; true for OK.
  virtual bool ask(const char* caption, const char* text);
  // Asks for a repaint of the whole window; does nothing while hidden.
  virtual void invalidate();
  // Releases textures and fonts while the device still exists.
  virtual void releaseGraphics() {}
  // Points are relative to the control's top-left corner.
  virtual bool hitTest(int x, int y);
  virtual bool mouseMove(int x, int y, int mods);
  virtual bool mouseDown(int x, int y, int button, int mods);
  virtual bool mouseUp(int x, int y, int button, int mods);
  virtual bool doubleClick(int x, int y, int button, int mods);
  // delta: wheel notches, positive away from the user.
  virtual bool mouseWheel(int x, int y, float delta, int mods);
  virtual void mouseLeave() {}
  virtual void captureLost() {}
  virtual void focusLost() {}
  virtual void charTyped(const char* text);
  // key: the virtual key codes of gui/keys.h.
  virtual void keyDown(int key);
  virtual void keyUp(int key);
  virtual void menuCommand(int id);

  // Draws nothing; controls that show something override it and draw in window coordinates.
  void draw(VexBlit::Context& context) override;

  // Position in window coordinates: the sum of the offsets of this control and all its ancestors.
  int absoluteX() const;
  int absoluteY() const;

  Container* parent;  // null only for the root; not owned
  int x, y;           // relative to the parent
  int w, h;
  bool active = true;   // takes part in hit testing
  bool visible = true;  // drawn, hit and allowed to ask for repaints
};

}  // namespace Lattice
