// Koralin's panel at every scale it is drawn at, on a window without a system and the null device: the window's size,
// the pictures each knob draws from for its value, which control every window pixel reaches, the drag law, and the
// size chosen from the frame menu: kept beside the defaults, taken at once where the host lets the window grow and
// at the next open where it does not.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <unistd.h>

#include <utility>
#include <vector>

#include "fake_plug_data.h"
#include "gui/desktop_scale.h"
#include "gui/editor_settings.h"
#include "gui/plug_edit_vst.h"
#include "gui/plug_frame.h"
#include "gui/plug_knob.h"
#include "instrument/koralin.h"
#include "plugcore/embedder.h"
#include "render/gl/null_device.h"

namespace EditorTest {
namespace {

constexpr float kScales[] = {1.0f, 1.25f, 1.5f, 1.75f, 2.0f};
constexpr int kKnobX[6] = {8, 86, 156, 242, 312, 390};
constexpr int kKnobParam[6] = {1, 2, 3, 5, 4, 6};

// The host's side: every size the editor asks for, granted or refused as the test says.
std::vector<std::pair<int, int>> asked;
bool grants = false;
intptr_t VSTCALLBACK sizingHost(AEffect*, int32_t opcode, int32_t index, intptr_t value, void*, float) {
  if (opcode == audioMasterVersion) return kVstVersion;
  if (opcode != audioMasterSizeWindow) return 0;
  asked.emplace_back(index, int(value));
  return grants ? 1 : 0;
}

// The control of the panel's layout that a point in units reaches: the first knob whose circle of radius 32 holds
// it, else the switch's rectangle; -1 for none.
int controlAt(int x, int y) {
  for (int i = 0; i < 6; ++i) {
    const int dx = x - (kKnobX[i] + 40), dy = y - (23 + 40);
    if (x >= kKnobX[i] && x < kKnobX[i] + 80 && y >= 23 && y < 103 && dx * dx + dy * dy < 1024) return i;
  }
  return x >= 460 && x < 540 && y >= 50 && y < 74 ? 6 : -1;
}

class Scaled : public ::testing::Test {
 protected:
  void SetUp() override {
    config = ::testing::TempDir() + "koralin-scale-" + std::to_string(::getpid());
    std::filesystem::remove_all(config);
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    asked.clear();
    grants = false;
    LatticeTest::backendLog = &windowLog;
    koralin = std::make_unique<Koralin>(sizingHost);
    editor = static_cast<Lattice::PlugEditVST*>(koralin->getEditor());
    editor->makeBackend = makeMenuBackend;
  }
  void TearDown() override {
    editor->close();
    koralin.reset();
    std::filesystem::remove_all(config);
  }
  intptr_t hostScale(float scale) {
    return koralin->dispatcher(effVendorSpecific, PlugCore::kEmbedderQuestion, PlugCore::kEditorScale, nullptr, scale);
  }
  std::pair<int, int> rect() {
    ERect* r = nullptr;
    editor->getRect(&r);
    return {r->right - r->left, r->bottom - r->top};
  }
  Lattice::Winwrapper* open() {
    editor->open(nullptr);
    return editor->root();
  }
  VexBlit::NullDevice* paint() {
    editor->root()->onPaint();
    return dynamic_cast<VexBlit::NullDevice*>(editor->root()->device.get());
  }
  std::string settingsFile() { return config + "/Quillmarsh/Koralin.editor"; }

  std::string config;
  Log windowLog;
  std::unique_ptr<Koralin> koralin;
  Lattice::PlugEditVST* editor = nullptr;
};

TEST_F(Scaled, AtEveryScaleTheKnobsShowTheirValuesFramesFromTheirOwnArtAndEachPixelReachesWhatItsUnitDoes) {
  std::mt19937 random(21);
  for (float s : kScales) {
    SCOPED_TRACE(s);
    ASSERT_EQ(hostScale(s), 1);
    const int width = int(std::floor(560 * s + 1e-3f)), height = int(std::floor(110 * s + 1e-3f));
    EXPECT_EQ(rect(), std::make_pair(width, height));
    Lattice::Winwrapper* root = open();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->pixelWidth(), width);
    EXPECT_EQ(root->pixelHeight(), height);
    Lattice::PlugFrame* frame = editor->openFrame();
    VexBlit::NullDevice* device = paint();
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->pixelScale(), s);
    const int art = s == 1.0f ? 1 : 2;  // between 1 and 2 the 2x pictures, filtered
    for (int round = 0; round < 12; ++round) {
      for (int p = 0; p < 7; ++p) koralin->setParameter(p, round == 0 ? 1.0f : float(random() % 1001) / 1000);
      frame->tick();
      device->draws.clear();
      paint();
      const auto& back = device->draws.front();
      ASSERT_NE(back.texture0, nullptr);
      EXPECT_EQ(static_cast<VexBlit::NullTexture*>(back.texture0)->width, 560u * art);
      EXPECT_EQ(back.quad.x1, 560.0f);  // the panel's units, whatever the window's pixels
      EXPECT_EQ(back.quad.y1, 110.0f);
      std::vector<VexBlit::NullDevice::Draw> fades;
      for (const auto& d : device->draws)
        if (d.combine == VexBlit::Combine::Crossfade) fades.push_back(d);
      ASSERT_EQ(fades.size(), 12u);
      for (int i = 0; i < 6; ++i) {
        const auto& ring = fades[size_t(2 * (5 - i))];
        const auto& strip = fades[size_t(2 * (5 - i) + 1)];
        EXPECT_EQ(ring.quad.u1 - ring.quad.u0, 80.0f * art);
        const auto* film = static_cast<VexBlit::NullTexture*>(strip.texture0);
        ASSERT_NE(film, nullptr);
        EXPECT_EQ(film->width, 321u * art);
        EXPECT_EQ(film->height, 480u * art);
        EXPECT_EQ(strip.quad.x0, float(kKnobX[i] + 20));
        EXPECT_EQ(strip.quad.y0, 39.0f);
        EXPECT_EQ(strip.quad.x1 - strip.quad.x0, 40.0f);
        int n = 0, weight = 0;
        Lattice::knobFrame(koralin->getParameter(kKnobParam[i]), n, weight);
        const int next = std::min(n + 1, 95);
        EXPECT_EQ(strip.quad.u0, float(40 * art * (n % 8))) << "knob " << i;
        EXPECT_EQ(strip.quad.v0, float(40 * art * (n / 8)));
        EXPECT_EQ(strip.quad.u1 - strip.quad.u0, float(40 * art));
        EXPECT_EQ(strip.quad.s0, float(40 * art * (next % 8)));
        EXPECT_EQ(strip.quad.t0, float(40 * art * (next / 8)));
        EXPECT_EQ(strip.quad.colour >> 24, uint32_t(weight));
      }
      // Every glyph's quad starts on a whole window pixel row: text is rasterised at the scale's size.
      for (const auto& d : device->draws)
        if (d.combine == VexBlit::Combine::Texture && d.blend == VexBlit::Blend::PremultipliedOver) {
          const float row = d.quad.y0 * s;
          EXPECT_NEAR(row, std::round(row), 1e-3f);
        }
    }
    // Which control each window pixel reaches: the one its unit reaches in the layout.
    for (int probe = 0; probe < 3000; ++probe) {
      const int px = int(random() % unsigned(width)), py = int(random() % unsigned(height));
      root->onMouseMove(px, py, 0);
      const int expected = controlAt(root->units(px), root->units(py));
      const Lattice::Control* hit = frame->hover;
      ASSERT_EQ(hit, expected < 0 ? nullptr : frame->children[size_t(expected)]) << px << ", " << py;
    }
    // A drag of 200 units (200 x scale pixels) up from the bottom moves the cutoff knob half its range, 400 all.
    koralin->setParameter(2, 0.0f);
    frame->tick();
    const int cx = int((86 + 40) * s), cy = int(63 * s);
    root->onMouseDown(cx, cy, Lattice::kButtonLeft, 0);
    const int half = int(std::lround(200 * s));
    for (int y = cy; y >= cy - half; y -= 7) root->onMouseMove(cx, y, 0);
    root->onMouseMove(cx, cy - half, 0);
    EXPECT_NEAR(koralin->getParameter(2), 0.5f, 1.0f / 400 + 1.0f / 64000);
    root->onMouseMove(cx, cy - 2 * half - 3, 0);
    EXPECT_EQ(koralin->getParameter(2), 1.0f);
    root->onMouseUp(cx, cy - 2 * half - 3, Lattice::kButtonLeft, 0);
    // The corner menu opens from the corner's last pixel, at the panel's corner in units.
    lastMenuBackend->menus.clear();
    root->onMouseDown(width - 1, height - 1, Lattice::kButtonRight, 0);
    ASSERT_EQ(lastMenuBackend->menus.size(), 1u);
    EXPECT_EQ(lastMenuBackend->menus[0].x, 560);
    EXPECT_EQ(lastMenuBackend->menus[0].y, 110);
    editor->close();
  }
  EXPECT_TRUE(asked.empty()) << "nothing asks the host while the editor is closed";
}

TEST_F(Scaled, ASizeFromTheMenuIsKeptBesideTheDefaultsAndTakenWhereTheHostLetsTheWindowGrowElseAtTheNextOpen) {
  Lattice::Winwrapper* root = open();
  EXPECT_EQ(rect(), std::make_pair(560, 110));
  // A host that cannot resize the open editor: the window stays, the choice is kept for the next open.
  root->menuListener = editor->openFrame();
  root->onCommand(6);  // "200 %"
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0], std::make_pair(1120, 220));
  EXPECT_EQ(root->scale(), 1.0f);
  EXPECT_EQ(rect(), std::make_pair(560, 110));
  std::ifstream kept(settingsFile());
  std::string text((std::istreambuf_iterator<char>(kept)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, "size 200\n");
  EXPECT_FALSE(std::filesystem::exists(config + "/Quillmarsh/Koralin.defaults")) << "the defaults file is untouched";
  editor->close();
  EXPECT_EQ(rect(), std::make_pair(1120, 220));
  root = open();
  EXPECT_EQ(root->scale(), 2.0f);
  // A host that resizes: the window follows at once, and the menu checks the size it has.
  grants = true;
  windowLog.clear();
  root->menuListener = editor->openFrame();
  root->onCommand(5);  // "150 %"
  EXPECT_EQ(asked.back(), std::make_pair(840, 165));
  EXPECT_EQ(root->scale(), 1.5f);
  EXPECT_EQ(rect(), std::make_pair(840, 165));
  EXPECT_EQ(std::count(windowLog.begin(), windowLog.end(), "native.resize(840,165)"), 1);
  EXPECT_EQ(paint()->pixelScale(), 1.5f);
  lastMenuBackend->menus.clear();
  root->onMouseDown(839, 164, Lattice::kButtonLeft, 0);
  ASSERT_EQ(lastMenuBackend->menus.size(), 1u);
  for (const MenuItem& item : lastMenuBackend->menus[0].items) {
    if (item.text.rfind("Size>", 0) == 0) {
      EXPECT_EQ(item.checked, item.text == "Size>150 %") << item.text;
    }
  }
  // The person's choice stands over the host's scale; another instance opens at it too.
  EXPECT_EQ(hostScale(1.25f), 1);
  EXPECT_EQ(root->scale(), 1.5f);
  Koralin other(sizingHost);
  ERect* r = nullptr;
  other.getEditor()->getRect(&r);
  EXPECT_EQ(r->right, 840);
  // What the file may hold: a size in percent from 100 to 200 on a line of its own; anything else is no choice.
  const std::pair<const char*, float> texts[] = {
      {"size 150\n", 1.5f}, {"size 100", 1.0f}, {"x 1\nsize 200\r\n", 2.0f}, {"size 250\n", 0.0f}, {"size 1.5\n", 0.0f},
      {"size\n", 0.0f},     {"", 0.0f},         {"size -100", 0.0f}};
  for (const auto& [content, scale] : texts) EXPECT_EQ(Lattice::parseChosenScale(content), scale) << content;
}

TEST(ScaleSources, ThePersonThenTheHostThenTheDesktopInQuartersFromOneToTwo) {
  EXPECT_EQ(Lattice::chooseScale(0, 0, 0), 1.0f);
  EXPECT_EQ(Lattice::chooseScale(0, 0, 192.0f / 96), 2.0f);
  EXPECT_EQ(Lattice::chooseScale(0, 1.5f, 2.0f), 1.5f);
  EXPECT_EQ(Lattice::chooseScale(1.0f, 1.5f, 2.0f), 1.0f);
  // Between the steps to the nearest quarter; past the ends to the ends; nonsense to 1.
  const std::pair<float, float> steps[] = {{120.0f / 96, 1.25f}, {144.0f / 96, 1.5f}, {1.1f, 1.0f},  {1.13f, 1.25f},
                                           {3.0f, 2.0f},         {0.5f, 1.0f},        {-2.0f, 1.0f}, {NAN, 1.0f}};
  for (const auto& [in, out] : steps) EXPECT_EQ(Lattice::quantizeScale(in), out) << in;
  EXPECT_EQ(Lattice::scaleFromXResources("Xft.antialias:\t1\nXft.dpi:\t192\n"), 2.0f);
  EXPECT_EQ(Lattice::scaleFromXResources("Xft.rgba:\trgb\n"), 0.0f);
  EXPECT_EQ(Lattice::scaleFromXResources(""), 0.0f);
}

}  // namespace
}  // namespace EditorTest
