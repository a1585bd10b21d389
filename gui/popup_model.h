// A drawn popup menu's model: items and access letters, rows, keyboard movement and on-screen placement.
#pragma once

#include <string>
#include <vector>

namespace Lattice {

struct PopupItem {
  std::string label;  // the text without its '&' marks ("&&" gives one '&')
  int mnemonic = -1;  // index in label of the letter after a single '&', or -1
  int id = 0;
  bool enabled = true;
  bool checked = false;
  bool separator = false;
  int submenu = -1;         // index of the menu this item opens to the side, or -1
  int top = 0, height = 0;  // row inside the menu, units
};

class PopupModel {
 public:
  static constexpr int kRowHeight = 18;
  static constexpr int kSeparatorHeight = 7;
  static constexpr int kBorder = 1;
  static constexpr int kMarkColumn = 18;  // left margin that holds the check mark
  static constexpr int kRightMargin = 14;

  void addItem(const char* text, int id, bool enabled, bool checked);
  void addSeparator();
  // Rows from the top and the menu's size, given the widest label in pixels.
  void layout(int widestLabel);

  // The item under a point in menu coordinates that can be chosen, or -1.
  int choosableAt(int x, int y) const;
  // Moves the highlight to the next (step 1) or previous (step -1) choosable item, wrapping; stays put when
  // there is none.
  void moveHighlight(int step);
  // The first choosable item whose mnemonic is this letter (either case), or -1.
  int itemForLetter(char letter) const;
  bool choosable(int index) const;

  std::vector<PopupItem> items;
  int highlighted = -1;
  int width = 0, height = 0;
};

// The top-left corner of a w by h menu for the anchor point (ax, ay): alignment -1 puts the menu's left edge
// at the point, 1 its right edge, anything else centres it; the menu opens downwards. Where it would leave the
// screen it flips to the other side of the point, and it is finally clamped inside the screen.
void placePopup(int ax, int ay, int alignment, int w, int h, int screenW, int screenH, int& left, int& top);

}  // namespace Lattice
