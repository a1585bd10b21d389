// Popup menus, the timer receiver, the owner of the window, and the cursor shapes.
#pragma once

#include "gui/no_copy.h"

namespace Lattice {

// A context menu; made by the root's newMenu and deleted by the caller after popup.
class Menu : public NoCopy {
 public:
  virtual void addItem(const char* text, int id, bool enabled, bool checked) = 0;
  virtual void addSeparator() = 0;
  // Appends an item that opens a menu of its own to the side; that menu belongs to this one, and its items' commands
  // reach this menu's listener. Null when it cannot be made (the item is then left out).
  virtual Menu* addSubmenu(const char* text) = 0;
  // Shows the menu at a point relative to the listener control and returns when it has closed. alignment: -1 the
  // menu's left edge at the point, 1 its right edge, anything else centred. The chosen command reaches the
  // listener's menuCommand once, after the menu has closed. Zero when the menu could not be shown.
  virtual int popup(int x, int y, int alignment) = 0;
};

// Receives the root's 10 ms timer.
class ITimerController {
 public:
  virtual ~ITimerController() = default;
  virtual void tick() = 0;
};

// The owner of the root window (the editor object).
class IFrameController {
 public:
  virtual ~IFrameController() = default;
  // Asked when the window system asks the window to close; true lets it go.
  virtual bool canClose() = 0;
  // The window is gone and the root is being deleted with the whole tree: drop every pointer into it.
  virtual void windowDestroyed() = 0;
  // The desktop asks another scale of the window (it moved to another monitor): pixels per unit, unrounded.
  virtual void desktopScaleChanged(float) {}
};

// Cursor shapes by number.
constexpr int kCursorArrow = 0;
constexpr int kCursorHand = 1;
constexpr int kCursorResizeVertical = 2;
constexpr int kCursorResizeHorizontal = 3;
constexpr int kCursorCross = 4;
constexpr int kCursorNone = 5;  // no cursor shown; any other number is the arrow

// Sets the cursor of the window whose event is being handled (controls call it from mouseMove).
void cursor(int n);

}  // namespace Lattice
