// The control tree without a window: hit and draw order, hidden and inactive children, hover, background clicks.
#include <gtest/gtest.h>

#include <random>

#include "tree_probe.h"

namespace LatticeTest {
namespace {

using Lattice::Container;

TEST(ControlTree, OverlappingChildrenFirstAddedIsHitAndDrawnOnTop) {
  Log log;
  Box root(nullptr, log, "root", 0, 0, 300, 100);
  auto* a = new Probe(&root, log, "a", 10, 10, 50, 50);
  auto* b = new Probe(&root, log, "b", 30, 30, 50, 50);  // overlaps a over (30..59, 30..59)
  auto* inner = new Box(&root, log, "inner", 200, 20, 80, 60);
  new Probe(inner, log, "c", 5, 5, 10, 10);

  EXPECT_TRUE(root.mouseDown(40, 40, 1, 0));       // in both: the first added wins
  EXPECT_TRUE(root.mouseUp(70, 70, 2, 0));         // only in b
  EXPECT_TRUE(root.doubleClick(12, 11, 1, 0));     // only in a, as a double-click
  EXPECT_TRUE(root.mouseWheel(206, 27, 1.0f, 0));  // through the inner container, relative at each level
  a->acceptsHits = false;                          // a declines: the point falls through to b
  EXPECT_TRUE(root.mouseMove(40, 40, 3));
  EXPECT_EQ(only(log, "a."), Log({"a.down(30,30,1)", "a.leave", "a.double(2,1,1)", "a.leave"}));
  EXPECT_EQ(only(log, "b."), Log({"b.up(40,40,2)", "b.leave", "b.move(10,10,3)"}));
  EXPECT_EQ(only(log, "c."), Log({"c.wheel(1,2,1)", "c.leave"}));

  log.clear();
  drawOnce(root);
  EXPECT_EQ(log, Log({"c.draw", "b.draw", "a.draw"}));  // last to first: the first child is painted last
  EXPECT_EQ(b->absoluteX(), 30);
  EXPECT_EQ(root.children.back()->absoluteY(), 20);
}

TEST(ControlTree, HiddenChildIsNeitherDrawnNorHitInactiveChildIsDrawnButNotHit) {
  Log log;
  Box root(nullptr, log, "root", 0, 0, 100, 100);
  auto* hidden = new Probe(&root, log, "hidden", 0, 0, 100, 100);
  auto* inactive = new Probe(&root, log, "inactive", 0, 0, 100, 50);
  new Probe(&root, log, "under", 0, 0, 100, 100);
  hidden->visible = false;
  inactive->active = false;
  EXPECT_TRUE(root.mouseDown(5, 5, 1, 0));
  EXPECT_TRUE(root.mouseDown(5, 95, 1, 0));
  drawOnce(root);
  EXPECT_EQ(log, Log({"under.down(5,5,1)", "under.down(5,95,1)", "under.draw", "inactive.draw"}));
}

TEST(ControlTree, HoverLeavesBeforeTheNextChildIsEnteredAndBackgroundClicksAreUnhandled) {
  Log log;
  Box root(nullptr, log, "root", 0, 0, 200, 100);
  new Probe(&root, log, "a", 0, 0, 50, 50);
  auto* inner = new Box(&root, log, "inner", 100, 0, 100, 100);
  new Probe(inner, log, "b", 10, 10, 20, 20);

  EXPECT_TRUE(root.mouseMove(10, 10, 0));
  EXPECT_TRUE(root.mouseMove(115, 15, 0));     // a to b: a leaves first
  EXPECT_FALSE(root.mouseMove(150, 80, 0));    // inner's background: b leaves, nothing takes it
  EXPECT_FALSE(root.mouseDown(75, 75, 1, 0));  // outside every child
  EXPECT_TRUE(root.mouseMove(115, 15, 0));
  root.mouseLeave();  // leaving the window clears hover all the way down
  root.mouseLeave();  // and a second leave has nobody to tell
  EXPECT_EQ(log, Log({"a.move(10,10,0)", "a.leave", "b.move(5,5,0)", "b.leave", "b.move(5,5,0)", "b.leave"}));
  EXPECT_EQ(root.hover, nullptr);
  EXPECT_EQ(inner->hover, nullptr);
}

// Over random layouts, routing picks exactly the first child that is active, visible, contains the point
// (edges: left/top inclusive, right/bottom exclusive) and accepts it; no other child hears of the click.
TEST(ControlTree, RoutingMatchesTheFirstEligibleChildOverRandomLayouts) {
  std::mt19937 random(7);
  for (int layout = 0; layout < 60; ++layout) {
    Log log;
    Box root(nullptr, log, "root", 0, 0, 64, 64);
    std::vector<Probe*> probes;
    for (int i = 0; i < 6; ++i) {
      auto* p = new Probe(&root, log, std::to_string(i), int(random() % 70) - 10, int(random() % 70) - 10,
                          int(random() % 30), int(random() % 30));
      p->active = random() % 5 != 0;
      p->visible = random() % 5 != 0;
      p->acceptsHits = random() % 4 != 0;
      probes.push_back(p);
    }
    for (int y = -12; y < 70; y += 3) {
      for (int x = -12; x < 70; x += 3) {
        Probe* expected = nullptr;
        for (Probe* p : probes) {
          if (p->active && p->visible && p->acceptsHits && x >= p->x && x < p->x + p->w && y >= p->y &&
              y < p->y + p->h) {
            expected = p;
            break;
          }
        }
        log.clear();
        bool handled = root.mouseDown(x, y, 1, 0);
        ASSERT_EQ(handled, expected != nullptr) << "layout " << layout << " at " << x << "," << y;
        Log downs = only(log, "");
        std::erase_if(downs, [](const std::string& e) { return e.find(".down") == std::string::npos; });
        if (expected)
          ASSERT_EQ(downs, Log({expected->name + ".down(" + std::to_string(x - expected->x) + "," +
                                std::to_string(y - expected->y) + ",1)"}));
        else ASSERT_TRUE(downs.empty());
      }
    }
  }
}

}  // namespace
}  // namespace LatticeTest
