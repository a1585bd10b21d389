// Knobs and the switch against a recording plug-in: the drag law, wheel, right-click during a drag, double-click,
// learning cancelled by any press, the parameter menu, and the film-strip frame a value selects.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "fake_plug_data.h"
#include "gui/plug_knob.h"
#include "gui/plug_switch.h"
#include "plugcore/plug_types.h"

namespace EditorTest {
namespace {

using Lattice::kButtonLeft;
using Lattice::kButtonMiddle;
using Lattice::kButtonRight;
using Lattice::kModShift;

class Controls : public ::testing::Test {
 protected:
  void SetUp() override {
    LatticeTest::backendLog = &windowLog;
    root = new Lattice::Winwrapper(nullptr, &controller, 560, 110, makeMenuBackend);
    knob = new Lattice::PlugKnob(root, 8, &plug, "tuning", 1);  // centre (48, 63) in the window
    toggle = new Lattice::PlugSwitch(root, &plug);              // (460, 50), 80 x 24
  }
  void TearDown() override { root->destroyWindow(); }
  int count(const std::string& call) const { return int(std::count(plug.calls.begin(), plug.calls.end(), call)); }

  Log windowLog;
  LatticeTest::FakeController controller{windowLog};
  FakePlugData plug;
  Lattice::Winwrapper* root = nullptr;
  Lattice::PlugKnob* knob = nullptr;
  Lattice::PlugSwitch* toggle = nullptr;
};

TEST_F(Controls, DragFollowsFourHundredPixelsForTheRangeFortyWithShiftForOneHundredthAndClamps) {
  // A random walk of the pointer, with and without Shift, against the law it must follow.
  std::mt19937 random(7);
  for (int gesture = 0; gesture < 20; ++gesture) {
    plug.calls.clear();
    plug.values[1] = float(gesture) / 19.0f;
    int y = 63;
    root->onMouseDown(48, y, kButtonLeft, 0);
    EXPECT_TRUE(root->hasCapture(knob));
    double expected = plug.values[1];
    for (int step = 0; step < 60; ++step) {
      const int move = int(random() % 81) - 40, mods = random() % 3 == 0 ? kModShift : 0;
      y += move;
      expected = std::clamp(expected - move / (mods ? 4000.0 : 400.0), 0.0, 1.0);
      root->onMouseMove(48, y, mods);
      EXPECT_NEAR(plug.values[1], expected, 1e-4) << "gesture " << gesture << " step " << step;
    }
    root->onMouseUp(48, y, kButtonLeft, 0);
    EXPECT_EQ(count("begin 1"), 1);
    EXPECT_EQ(count("end 1"), 1);
    EXPECT_EQ(plug.calls.back(), "end 1");
    EXPECT_FALSE(knob->dragging);
  }
  // The edges of the law: 400 pixels up from 0 reach 1, and further stays 1; 40 pixels with Shift give 0.01.
  plug.values[1] = 0;
  root->onMouseDown(48, 63, kButtonLeft, 0);
  root->onMouseMove(48, 63 - 400, 0);
  EXPECT_FLOAT_EQ(plug.values[1], 1.0f);
  root->onMouseMove(48, 63 - 500, 0);
  EXPECT_FLOAT_EQ(plug.values[1], 1.0f);
  root->onMouseUp(48, 0, kButtonLeft, 0);
  plug.values[1] = 0;
  root->onMouseDown(48, 63, kButtonLeft, 0);
  root->onMouseMove(48, 23, kModShift);
  EXPECT_NEAR(plug.values[1], 0.01f, 1e-6);
  root->onMouseMove(48, 2000, 0);
  EXPECT_EQ(plug.values[1], 0.0f);
  root->onMouseUp(48, 2000, kButtonLeft, 0);
}

TEST_F(Controls, RightClickDuringADragSetsExactlyOneHalfAndEndsTheGestureOnce) {
  plug.values[1] = 0.9f;
  root->onMouseDown(48, 63, kButtonLeft, 0);
  root->onMouseMove(48, 83, 0);
  root->onMouseDown(48, 83, kButtonRight, 0);
  EXPECT_EQ(plug.values[1], 0.5f);
  EXPECT_FALSE(knob->dragging);
  EXPECT_EQ(root->captured, nullptr);
  // The left button's release and further moves belong to no gesture.
  root->onMouseMove(48, 10, 0);
  root->onMouseUp(48, 10, kButtonLeft, 0);
  EXPECT_EQ(plug.calls, (Log{"begin 1", "set 1 0.85", "set 1 0.5", "end 1"}));
  EXPECT_TRUE(lastMenuBackend->menus.empty());  // no menu came up
}

TEST_F(Controls, WheelMovesATwentiethOrWithShiftATwoHundredthAsOneGestureEach) {
  plug.values[1] = 0.5f;
  root->onWheel(48, 63, 1, 0);
  EXPECT_NEAR(plug.values[1], 0.55f, 1e-6);
  root->onWheel(48, 63, -2, kModShift);
  EXPECT_NEAR(plug.values[1], 0.54f, 1e-6);
  EXPECT_EQ(plug.calls, (Log{"begin 1", "set 1 0.55", "end 1", "begin 1", "set 1 0.54", "end 1"}));
  for (int i = 0; i < 30; ++i) root->onWheel(48, 63, 1, 0);
  EXPECT_EQ(plug.values[1], 1.0f);
  // While dragging, the wheel adds to the drag without gestures of its own.
  plug.calls.clear();
  root->onMouseDown(48, 63, kButtonLeft, 0);
  root->onWheel(48, 63, -4, 0);
  root->onMouseMove(48, 103, 0);
  root->onMouseUp(48, 103, kButtonLeft, 0);
  EXPECT_EQ(plug.calls, (Log{"begin 1", "set 1 0.8", "set 1 0.7", "end 1"}));
  // The switch toggles on a whole notch only.
  plug.calls.clear();
  plug.values[0] = 0;
  root->onWheel(470, 60, 0.25f, 0);
  EXPECT_TRUE(plug.calls.empty());
  root->onWheel(470, 60, -1, 0);
  EXPECT_EQ(plug.calls, (Log{"begin 0", "set 0 1", "end 0"}));
}

TEST_F(Controls, DoubleClickResetsTheKnobAndTogglesTheSwitchTwice) {
  plug.values[2] = 0.8f;
  auto* cutoff = new Lattice::PlugKnob(root, 86, &plug, "cutoff", 2);  // centre (126, 63)
  (void)cutoff;
  // The first click of a double-click is a drag without movement; the second press resets.
  root->onMouseDown(126, 63, kButtonLeft, 0);
  root->onMouseUp(126, 63, kButtonLeft, 0);
  root->onDoubleClick(126, 63, kButtonLeft, 0);
  root->onMouseUp(126, 63, kButtonLeft, 0);
  EXPECT_EQ(plug.calls, (Log{"begin 2", "end 2", "begin 2", "reset 2", "end 2"}));
  EXPECT_FLOAT_EQ(plug.values[2], 0.3f);
  plug.calls.clear();
  plug.values[0] = 0;
  root->onMouseDown(470, 60, kButtonLeft, 0);
  root->onMouseUp(470, 60, kButtonLeft, 0);
  root->onDoubleClick(470, 60, kButtonLeft, 0);
  EXPECT_EQ(plug.calls, (Log{"begin 0", "set 0 1", "end 0", "begin 0", "set 0 0", "end 0"}));
}

TEST_F(Controls, AnyPressOnALearningControlCancelsTheLearnFirst) {
  for (int button : {kButtonLeft, kButtonRight, kButtonMiddle}) {
    for (auto [index, x, y] : {std::tuple{1, 48, 63}, std::tuple{0, 470, 60}}) {
      plug.calls.clear();
      plug.learning = index;
      root->onMouseDown(x, y, button, 0);
      root->onMouseUp(x, y, button, 0);
      ASSERT_FALSE(plug.calls.empty());
      EXPECT_EQ(plug.calls.front(), "cancelLearn") << "button " << button << " parameter " << index;
      EXPECT_EQ(plug.learning, -1);
    }
  }
  // Learning of another parameter is left alone.
  plug.calls.clear();
  plug.learning = 3;
  root->onMouseDown(48, 63, kButtonLeft, 0);
  root->onMouseUp(48, 63, kButtonLeft, 0);
  EXPECT_EQ(plug.learning, 3);
  EXPECT_EQ(count("cancelLearn"), 0);
}

TEST_F(Controls, ParameterMenuNamesTheDefaultAndTheMappingAndSendsItsCommands) {
  root->onMouseDown(48, 63, kButtonRight, 0);
  ASSERT_EQ(lastMenuBackend->menus.size(), 1u);
  ShownMenu menu = lastMenuBackend->menus[0];
  ASSERT_EQ(menu.items.size(), 4u);
  EXPECT_EQ(menu.items[0].text, "&Reset to default (50 %)");
  EXPECT_TRUE(menu.items[0].enabled);
  EXPECT_EQ(menu.items[1].text, "-");
  EXPECT_EQ(menu.items[2].text, "MIDI &Learn");
  EXPECT_TRUE(menu.items[2].enabled);
  EXPECT_EQ(menu.items[3].text, "MIDI &Unlearn");
  EXPECT_FALSE(menu.items[3].enabled);
  EXPECT_EQ(menu.x, 0);
  EXPECT_EQ(menu.y, 80 - 12);
  EXPECT_EQ(menu.alignment, -1);
  root->onCommand(1);
  EXPECT_EQ(plug.learning, 1);

  // A mapping on channel 1, controller 74, as the core stores it; the switch's menu opens under its caption.
  plug.mapping[0] = PlugCore::controllerKeyFor(74);
  plug.defaults[0] = 1.0f;
  root->onMouseDown(470, 60, kButtonRight, 0);
  ASSERT_EQ(lastMenuBackend->menus.size(), 2u);
  menu = lastMenuBackend->menus[1];
  EXPECT_EQ(menu.items[0].text, "&Reset to default (100 %)");
  EXPECT_EQ(menu.items[3].text, "MIDI &Unlearn (chan:1, cc:74)");
  EXPECT_TRUE(menu.items[3].enabled);
  EXPECT_EQ(menu.y, 13);
  root->onCommand(2);
  EXPECT_EQ(plug.mapping[0], -1);
  plug.values[0] = 0;
  root->onMouseDown(470, 60, kButtonRight, 0);
  root->onCommand(0);
  EXPECT_EQ(plug.values[0], 1.0f);
  EXPECT_EQ(Log(plug.calls.end() - 3, plug.calls.end()), (Log{"begin 0", "reset 0", "end 0"}));
}

TEST(KnobFrame, ValueSelectsTheFrameAndTheWeightOfTheNext) {
  int frame = 0, weight = 0;
  Lattice::knobFrame(0.5f, frame, weight);
  EXPECT_EQ(frame, 47);
  EXPECT_EQ(weight, 127);
  Lattice::knobFrame(1.0f, frame, weight);
  EXPECT_EQ(frame, 95);
  EXPECT_EQ(weight, 0);
  // Over the whole range the pair never goes back and stays inside the strip.
  int lastPosition = -1;
  for (int n = 0; n <= 64000; ++n) {
    Lattice::knobFrame(float(n) / 64000.0f, frame, weight);
    ASSERT_GE(frame, 0);
    ASSERT_LE(frame, 95);
    ASSERT_GE(weight, 0);
    ASSERT_LE(weight, 255);
    const int position = frame * 256 + weight;
    ASSERT_GE(position, lastPosition) << n;
    lastPosition = position;
  }
}

}  // namespace
}  // namespace EditorTest
