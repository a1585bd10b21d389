// The drawn popup menu's model: access letters, keyboard movement, rows, and placement that stays on screen.
#include <gtest/gtest.h>

#include <random>

#include "gui/popup_model.h"

namespace LatticeTest {
namespace {

using Lattice::PopupModel;

TEST(PopupModel, LettersRowsAndKeyboardSkipSeparatorsAndDisabledItems) {
  PopupModel menu;
  menu.addItem("&Reset to default", 0, true, false);
  menu.addSeparator();
  menu.addItem("&Unlearn", 2, false, false);
  menu.addItem("MIDI &learn", 1, true, true);
  menu.addItem("Rock && roll", 5, true, false);
  EXPECT_EQ(menu.items[0].label, "Reset to default");
  EXPECT_EQ(menu.items[0].mnemonic, 0);
  EXPECT_EQ(menu.items[3].label, "MIDI learn");
  EXPECT_EQ(menu.items[3].mnemonic, 5);
  EXPECT_EQ(menu.items[4].label, "Rock & roll");
  EXPECT_EQ(menu.items[4].mnemonic, -1);

  EXPECT_EQ(menu.itemForLetter('L'), 3);
  EXPECT_EQ(menu.itemForLetter('r'), 0);
  EXPECT_EQ(menu.itemForLetter('u'), -1);  // disabled: cannot be chosen by its letter either
  EXPECT_EQ(menu.itemForLetter('x'), -1);

  std::vector<int> path;
  for (int i = 0; i < 4; ++i) {
    menu.moveHighlight(1);
    path.push_back(menu.highlighted);
  }
  menu.moveHighlight(-1);
  path.push_back(menu.highlighted);
  EXPECT_EQ(path, std::vector<int>({0, 3, 4, 0, 4}));

  menu.layout(100);
  EXPECT_EQ(menu.height, menu.items.back().top + menu.items.back().height + 2 + PopupModel::kBorder);
  for (size_t i = 0; i < menu.items.size(); ++i) {
    const auto& item = menu.items[i];
    int expected = menu.choosable(int(i)) ? int(i) : -1;
    EXPECT_EQ(menu.choosableAt(20, item.top), expected);
    EXPECT_EQ(menu.choosableAt(20, item.top + item.height - 1), expected);
  }
  EXPECT_EQ(menu.choosableAt(0, menu.items[0].top), -1);  // on the border
  EXPECT_EQ(menu.choosableAt(20, 0), -1);

  PopupModel nothing;
  nothing.addItem("&Off", 1, false, false);
  nothing.addSeparator();
  nothing.moveHighlight(1);
  EXPECT_EQ(nothing.highlighted, -1);
}

TEST(PopupModel, PlacementStaysOnScreenAndFlipsOnlyWhenTheRequestedSideHasNoRoom) {
  const int screenW = 1280, screenH = 1024;
  std::mt19937 random(3);
  for (int i = 0; i < 20000; ++i) {
    int ax = int(random() % screenW), ay = int(random() % screenH);
    int w = 40 + int(random() % 300), h = 20 + int(random() % 300);
    int alignment = int(random() % 3) - 1;
    int left = 0, top = 0;
    Lattice::placePopup(ax, ay, alignment, w, h, screenW, screenH, left, top);
    ASSERT_GE(left, 0);
    ASSERT_GE(top, 0);
    ASSERT_LE(left + w, screenW);
    ASSERT_LE(top + h, screenH);
    if (ay + h <= screenH) {
      ASSERT_EQ(top, ay);  // room below: opens downwards from the point
    } else if (ay - h >= 0) {
      ASSERT_EQ(top + h, ay);  // flipped: ends at the point
    }
    if (alignment == -1 && ax + w <= screenW) {
      ASSERT_EQ(left, ax);
    } else if (alignment == -1 && ax - w >= 0) {
      ASSERT_EQ(left + w, ax);
    }
    if (alignment == 1 && ax - w >= 0) {
      ASSERT_EQ(left + w, ax);
    } else if (alignment == 1 && ax + w <= screenW) {
      ASSERT_EQ(left, ax);
    }
  }
}

}  // namespace
}  // namespace LatticeTest
