// PlugFrame: the editor's top control: background, the instrument's controls, their view of the plug-in, the
// tick that shows new values, the visuals job and the frame menu.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "gui/container.h"
#include "gui/menu.h"
#include "gui/plug_data.h"
#include "platform/semaphore.h"
#include "render/gl/font.h"
#include "threads/thread_task.h"

namespace CoreLoom {
class IVisualsPool;
class VisualsPoolHolder;
}  // namespace CoreLoom

namespace Lattice {

class PlugEditVST;

// The maker's web site, opened by the last item of the frame menu; the item's text names its host part.
constexpr const char* kMakerWebAddress = "https://quillmarsh.example/koralin";

class PlugFrame : public Container, public IPlugData, public ITimerController, public CoreLoom::ThreadTask {
 public:
  PlugFrame(Container* parent, PlugEditVST* editor, int width, int height);
  // Waits for a visuals job that is still running, then lets go of the pool.
  ~PlugFrame() override;

  // Control
  void draw(VexBlit::Context& context) override;
  void releaseGraphics() override;
  bool mouseDown(int x, int y, int button, int mods) override;
  void menuCommand(int id) override;

  // IPlugData
  void setEditing(int index, bool begin) override;
  void setValue(int index, float value) override;
  void resetToDefault(int index) override;
  void defaultText(int index, char* text) override;
  void stepText(int index, int step, int steps, char* text) override;
  void learn(int index) override;
  void unlearn(int index) override;
  void cancelLearn() override;
  int midiMapping(int index) override;
  bool isLearning(int index) override;
  uint8_t* visualData(int offset) override;
  void refreshNow() override { tick(); }
  void addVisualTask(IVisualTask* task) override;
  float getValue(int index, char* text = nullptr) override;
  VexBlit::StaticTexture* commonTexture() override { return common.get(); }
  VexBlit::StaticTexture* knobTexture(VexBlit::Context& context) override;
  int artScale() override { return loadedArt; }
  VexBlit::Font* font(int which) override { return which == 1 ? largeFont.get() : smallFont.get(); }
  uint32_t labelColour() override;

  // ITimerController: shows what changed since the last tick.
  void tick() override;
  // ThreadTask: the visual tasks, on the pool's worker.
  void run() override;

  // The frame menu's item texts by id (0 to 6); 3 is "&Go to " and the host part of kMakerWebAddress, 4 to 6 the
  // "Size" submenu's items for the scales of kMenuScales.
  static std::string menuText(int id);
  static constexpr int kSizeItems = 4;
  static const float kMenuScales[3];
  // The confirmation asked before the menu's actions 0 to 2.
  static const char* const kConfirmations[3];

  PlugEditVST* editor;  // not owned
  bool showLogo = true;

 private:
  bool validParam(int index) const;
  void runVisualsJob();
  void pushParameters();
  void loadGraphics(VexBlit::Context& context);
  void releaseOwnGraphics();
  void drawBackground(VexBlit::Context& context);
  void openFrameMenu();

  std::unique_ptr<uint8_t[]> visualData_;  // the frame's copy of the snapshot; null when the size is 0
  std::vector<IVisualTask*> visualTasks;   // not owned
  uint32_t lastTick = 0;
  CoreLoom::VisualsPoolHolder* poolHolder;
  CoreLoom::IVisualsPool* pool = nullptr;  // while this frame holds a reference
  bool poolReleased = true;
  Platform::Semaphore jobSemaphore{1, 0x7FFFFFFF};
  bool jobInFlight = false;
  int shownLearning = -1;  // the parameter drawn as learning at the last tick
  // Made on the first frame, released by releaseGraphics while the device lives.
  // A frame drawn at another scale than the one they were made for makes them again.
  VexBlit::TexturePtr background;
  VexBlit::TexturePtr common;
  VexBlit::TexturePtr knobs;
  std::unique_ptr<VexBlit::Font> smallFont;
  std::unique_ptr<VexBlit::Font> largeFont;
  float loadedScale = 0;  // the pixel scale the textures and fonts above are for; 0 before the first frame
  int loadedArt = 1;      // 1 or 2: the pictures the textures were made from
};

}  // namespace Lattice
