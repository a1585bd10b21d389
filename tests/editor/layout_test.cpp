// Koralin's panel on a window without a system: where its controls stand and which one a point reaches, what each
// knob draws for its value on the null device, the frame menu in the corner and its confirmations, and the tick that
// shows new values and redraws only then.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>

#include "fake_plug_data.h"
#include "gui/plug_edit_vst.h"
#include "gui/plug_frame.h"
#include "gui/plug_knob.h"
#include "gui/plug_switch.h"
#include "instrument/koralin.h"
#include "render/gl/null_device.h"

namespace EditorTest {
namespace {

class Panel : public ::testing::Test {
 protected:
  void SetUp() override {
    LatticeTest::backendLog = &windowLog;
    editor = static_cast<Lattice::PlugEditVST*>(koralin.getEditor());
    ASSERT_NE(editor, nullptr);
    editor->makeBackend = makeMenuBackend;
    ERect* rect = nullptr;
    ASSERT_TRUE(editor->getRect(&rect));
    EXPECT_EQ(rect->right, 560);
    EXPECT_EQ(rect->bottom, 110);
    ASSERT_TRUE(editor->open(nullptr));
    ASSERT_TRUE(editor->open(nullptr));  // a second open changes nothing
    frame = editor->openFrame();
    root = editor->root();
    ASSERT_NE(frame, nullptr);
  }
  void TearDown() override {
    editor->close();
    EXPECT_FALSE(editor->isOpen());
    editor->close();  // closed already: nothing
  }
  int invalidations() const { return int(std::count(windowLog.begin(), windowLog.end(), "native.invalidate")); }

  Koralin koralin{nullptr};
  Lattice::PlugEditVST* editor = nullptr;
  Log windowLog;
  Lattice::Winwrapper* root = nullptr;
  Lattice::PlugFrame* frame = nullptr;
};

struct Place {
  int parameter, x, y, w, h;
  const char* caption;
};
constexpr Place kLayout[] = {
    {1, 8, 23, 80, 80, "tuning"},     {2, 86, 23, 80, 80, "cutoff"}, {3, 156, 23, 80, 80, "resonance"},
    {5, 242, 23, 80, 80, "env mod"},  {4, 312, 23, 80, 80, "decay"}, {6, 390, 23, 80, 80, "accent"},
    {0, 460, 50, 80, 24, "waveform"},
};

TEST_F(Panel, ControlsStandWhereTheLayoutPutsThemAndEachPointReachesAtMostTheRightOne) {
  EXPECT_FALSE(frame->showLogo);
  ASSERT_EQ(frame->children.size(), 7u);
  for (size_t i = 0; i < 7; ++i) {
    Lattice::Control* c = frame->children[i];
    const Place& p = kLayout[i];
    EXPECT_EQ(c->x, p.x) << i;
    EXPECT_EQ(c->y, p.y) << i;
    EXPECT_EQ(c->w, p.w) << i;
    EXPECT_EQ(c->h, p.h) << i;
    if (i < 6) {
      auto* knob = dynamic_cast<Lattice::PlugKnob*>(c);
      ASSERT_NE(knob, nullptr);
      EXPECT_EQ(knob->index, p.parameter);
      EXPECT_STREQ(knob->label, p.caption);
    } else {
      auto* toggle = dynamic_cast<Lattice::PlugSwitch*>(c);
      ASSERT_NE(toggle, nullptr);
      EXPECT_EQ(toggle->index, 0);
      EXPECT_STREQ(toggle->label, "waveform");
    }
  }
  // Every pixel of the panel: a knob takes it inside its circle of radius 32, the switch inside its rectangle
  // where no knob circle reaches (the accent knob wins columns 460 and 461), and nothing takes the rest.
  for (int y = 0; y < 110; ++y) {
    for (int x = 0; x < 560; ++x) {
      Lattice::Control* expected = nullptr;
      for (size_t i = 0; i < 6 && !expected; ++i) {
        const int dx = x - (kLayout[i].x + 40), dy = y - (kLayout[i].y + 40);
        if (dx * dx + dy * dy < 1024) expected = frame->children[i];
      }
      if (!expected && x >= 460 && x < 540 && y >= 50 && y < 74) expected = frame->children[6];
      frame->mouseMove(x, y, 0);
      ASSERT_EQ(frame->hover, expected) << x << ", " << y;
    }
  }
  frame->mouseMove(460, 63, 0);
  EXPECT_EQ(frame->hover, frame->children[5]);
  frame->mouseMove(462, 63, 0);
  EXPECT_EQ(frame->hover, frame->children[6]);
}

TEST_F(Panel, EachKnobDrawsItsRingAndTheTwoFilmStripFramesOfItsValueWhereItStands) {
  root->onPaint();  // the first frame makes the device and the textures
  auto* device = dynamic_cast<VexBlit::NullDevice*>(root->device.get());
  ASSERT_NE(device, nullptr);
  std::mt19937 random(3);
  for (int round = 0; round < 40; ++round) {
    // Both ends, the last step of the strip, then anywhere.
    const float fixed[3] = {0.0f, 1.0f, 0.995f};
    for (int p = 0; p < 7; ++p) koralin.setParameter(p, round < 3 ? fixed[round] : float(random() % 1001) / 1000);
    frame->tick();
    device->draws.clear();
    root->onPaint();
    ASSERT_FALSE(device->draws.empty());
    // The background first, over the whole panel.
    const VexBlit::NullDevice::Draw& back = device->draws.front();
    EXPECT_EQ(back.blend, VexBlit::Blend::Off);
    EXPECT_EQ(back.quad.x0, 0);
    EXPECT_EQ(back.quad.y0, 0);
    EXPECT_EQ(back.quad.x1, 560);
    EXPECT_EQ(back.quad.y1, 110);
    // Two crossfaded quads a knob and no others: the scale ring, then the film strip at the knob's middle.
    std::vector<VexBlit::NullDevice::Draw> crossfades;
    for (const VexBlit::NullDevice::Draw& d : device->draws)
      if (d.combine == VexBlit::Combine::Crossfade) crossfades.push_back(d);
    ASSERT_EQ(crossfades.size(), 12u) << "round " << round;
    for (size_t i = 0; i < 6; ++i) {
      const Place& place = kLayout[i];
      // Drawn last to first: the first knob's quads come last.
      const VexBlit::NullDevice::Draw& ring = crossfades[2 * (5 - i)];
      const VexBlit::NullDevice::Draw& strip = crossfades[2 * (5 - i) + 1];
      EXPECT_EQ(ring.blend, VexBlit::Blend::PremultipliedOver);
      EXPECT_EQ(ring.quad.x0, float(place.x));
      EXPECT_EQ(ring.quad.y0, float(place.y - 4));
      EXPECT_EQ(ring.quad.x1 - ring.quad.x0, 80);
      EXPECT_EQ(ring.quad.colour, 0xFFFFFFFFu);
      EXPECT_EQ(ring.texture0, ring.texture1);
      int n = 0, weight = 0;
      Lattice::knobFrame(editor->value(place.parameter), n, weight);
      const int next = std::min(n + 1, 95);
      EXPECT_EQ(strip.blend, VexBlit::Blend::PremultipliedOver);
      EXPECT_EQ(strip.texture0, strip.texture1);
      EXPECT_NE(strip.texture0, ring.texture0);
      EXPECT_EQ(strip.quad.x0, float(place.x + 20)) << "knob " << i;
      EXPECT_EQ(strip.quad.y0, float(place.y + 16));
      EXPECT_EQ(strip.quad.x1 - strip.quad.x0, 40);
      EXPECT_EQ(strip.quad.y1 - strip.quad.y0, 40);
      // Frame n of the 8-wide strip of 40-pixel frames, the next one weighted by the colour's alpha.
      EXPECT_EQ(strip.quad.u0, float(40 * (n % 8))) << "knob " << i << " round " << round;
      EXPECT_EQ(strip.quad.v0, float(40 * (n / 8)));
      EXPECT_EQ(strip.quad.s0, float(40 * (next % 8)));
      EXPECT_EQ(strip.quad.t0, float(40 * (next / 8)));
      EXPECT_EQ(strip.quad.colour, uint32_t(weight) << 24 | 0xE0E0E0u);  // not hovered: a little dimmer
    }
  }
  EXPECT_EQ(device->frames, 41u);
}

TEST_F(Panel, FrameMenuOpensFromTheCornerWithAnyButtonAndItsActionsWaitForOk) {
  for (int button : {Lattice::kButtonLeft, Lattice::kButtonRight, Lattice::kButtonMiddle}) {
    root->onMouseDown(555, 105, button, 0);
    root->onMouseUp(555, 105, button, 0);
  }
  root->onMouseDown(470, 79, Lattice::kButtonRight, 0);  // outside the corner, where no control is: nothing
  ASSERT_EQ(lastMenuBackend->menus.size(), 3u);
  for (const ShownMenu& menu : lastMenuBackend->menus) {
    ASSERT_EQ(menu.items.size(), 9u);
    EXPECT_EQ(menu.items[0].text, "&Save defaults...");
    EXPECT_EQ(menu.items[1].text, "&Load defaults...");
    EXPECT_EQ(menu.items[2].text, "Load &factory defaults...");
    EXPECT_EQ(menu.items[3].text, "-");
    EXPECT_EQ(menu.items[4].text, "&Go to quillmarsh.example");
    EXPECT_EQ(menu.items[4].id, 3);
    // After them the panel's size, the one it has now checked.
    EXPECT_EQ(menu.items[5].text, "-");
    const char* const sizes[3] = {"Size>100 %", "Size>150 %", "Size>200 %"};
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(menu.items[size_t(6 + i)].text, sizes[i]);
      EXPECT_EQ(menu.items[size_t(6 + i)].id, 4 + i);
      EXPECT_EQ(menu.items[size_t(6 + i)].checked, i == 0);
    }
    EXPECT_EQ(menu.x, 560);
    EXPECT_EQ(menu.y, 110);
    EXPECT_EQ(menu.alignment, 1);
  }
  EXPECT_STREQ(Lattice::PlugFrame::kConfirmations[2], "Loading factory default settings and presets.");
  // The web item hands the address, as one argument and without a question, to the desktop's opener.
  const std::string folder = ::testing::TempDir() + "koralin-opener";
  std::filesystem::create_directories(folder);
  const std::string opened = folder + "/opened.txt";
  std::filesystem::remove(opened);
  {
    std::ofstream script(folder + "/xdg-open");
    script << "#!/bin/sh\nprintf '%s|%s' \"$#\" \"$1\" > \"" << opened << ".part\" && mv \"" << opened << ".part\" \""
           << opened << "\"\n";
  }
  std::filesystem::permissions(folder + "/xdg-open", std::filesystem::perms::owner_all);
  const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
  setenv("PATH", (folder + ":" + path).c_str(), 1);
  lastMenuBackend->askAnswer = false;
  root->menuListener = frame;
  root->onCommand(3);
  setenv("PATH", path.c_str(), 1);
  for (int i = 0; i < 200 && !std::filesystem::exists(opened); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  std::ifstream in(opened);
  std::string arguments((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(arguments, std::string("1|") + Lattice::kMakerWebAddress);
  // Cancel changes nothing; OK loads the factory settings.
  const float factoryCutoff = koralin.getParameter(kCutoff);
  koralin.setParameter(kCutoff, 0.125f);
  lastMenuBackend->askAnswer = false;
  root->menuListener = frame;
  root->onCommand(2);
  EXPECT_EQ(koralin.getParameter(kCutoff), 0.125f);
  lastMenuBackend->askAnswer = true;
  root->menuListener = frame;
  root->onCommand(2);
  EXPECT_EQ(koralin.getParameter(kCutoff), factoryCutoff);
}

TEST_F(Panel, TickShowsWhatChangedAndRedrawsOnlyThen) {
  // The first tick pushes every value; a quiet tick asks for nothing.
  frame->tick();
  frame->tick();
  windowLog.clear();
  frame->tick();
  EXPECT_EQ(invalidations(), 0);
  // A value from the host reaches the editor's copy on the next tick, with one redraw.
  koralin.setParameter(kReso, 0.25f);
  EXPECT_NE(editor->value(kReso), koralin.getParameter(kReso));
  frame->tick();
  EXPECT_EQ(editor->value(kReso), koralin.getParameter(kReso));
  EXPECT_EQ(invalidations(), 1);
  frame->tick();
  EXPECT_EQ(invalidations(), 1);
  // Learning that ends elsewhere (a controller on the audio thread) redraws the control that showed it.
  frame->learn(kDecay);
  frame->tick();
  EXPECT_EQ(invalidations(), 2);
  koralin.cancelLearn();
  frame->tick();
  EXPECT_EQ(invalidations(), 3);
  // The texts the controls show come from the core.
  char text[Lattice::kParamTextSize];
  frame->getValue(kWave, text);
  EXPECT_STREQ(text, koralin.getParameter(kWave) > 0.5f ? "square" : "saw");
  frame->defaultText(kReso, text);
  EXPECT_NE(std::strstr(text, "%"), nullptr);
}

}  // namespace
}  // namespace EditorTest
