// PlugEditVST: the editor object the host sees; owns the editor's copy of the values behind its spin lock.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "gui/editor_desc.h"
#include "gui/menu.h"
#include "gui/window_backend.h"
#include "plugcore/plug.h"
#include "plugcore/plug_types.h"
#include "vst/aeff_editor.h"

namespace Lattice {

class IEditBuilder;
class PlugFrame;
class Winwrapper;

// Threads: open, close, idle and everything the window does run on the editor's thread (the host's
// user-interface thread, or on Linux a thread of its own). learnChanged and postVisuals may come from any thread
// and never wait: they try the lock once. The editor's thread spins on the lock (yielding, or serving sent
// messages on Windows); no thread holds it for longer than a copy. The scale and everything about it (getRect,
// setHostScale, the person's choice, the desktop's changes) belong to the editor's thread too.
//
// Scale: the panel is laid out in its own units (the description's size) and drawn at a scale of window pixels per
// unit: the person's choice from the frame menu, else the host's, else the desktop's, else 1, in quarters from 1 to
// 2 (gui/desktop_scale.h). getRect answers the size times the scale. A new scale while the editor is open asks the
// host with audioMasterSizeWindow; a host that refuses gets it at the next open.
class PlugEditVST : public AEffEditor, public IFrameController, public PlugCore::IParamNotify {
 public:
  // Registers itself as the plug-in's editor (which sets the has-editor flag) and its notify receiver.
  PlugEditVST(PlugCore::Plug* plugin, IEditBuilder* builder, const EditorDesc* desc);
  ~PlugEditVST() override;

  // AEffEditor
  bool getRect(ERect** rect) override;
  bool open(void* parentWindow) override;
  void close() override;
  bool isOpen() const override { return frame.load() != nullptr; }
  // Lets the window handle what is pending (on X11 that is every event, the 10 ms timer and painting).
  void idle() override;
  // The host's scale (0 for none), before the editor opens or while it is open.
  bool setHostScale(float scale) override;

  // IFrameController
  bool canClose() override { return true; }
  void windowDestroyed() override;
  void desktopScaleChanged(float scale) override;

  // IParamNotify
  bool paramChanged(int32_t index, float value) override;
  bool postVisuals(const void* data) override;
  void learnChanged(int32_t index) override;

  // For the frame (editor thread).
  PlugCore::Plug* plugin() const { return plug; }
  const EditorDesc& description() const { return *desc; }
  float value(int32_t index) const;
  void setValue(int32_t index, float value);
  // Copies a snapshot the frame has not taken yet into out; false when there is none.
  bool takeVisuals(uint8_t* out);
  PlugFrame* openFrame() const { return frame.load(); }
  Winwrapper* root() const;
  // The scale getRect answers for (the open window's, or the next open's as known now).
  float scale() const { return rectScale; }
  // The person's choice from the frame menu (1, 1.5 or 2): kept in the editor's settings file and taken at once
  // where the host lets the window grow.
  void choosePersonScale(float scale);

  // Makes the native window of the next open (tests put a window without a system here).
  std::unique_ptr<WindowBackend> (*makeBackend)(Winwrapper& root, void* parentWindow, int width,
                                                int height) = &createWindowBackend;

 private:
  bool tryLock() { return lock.exchange(1, std::memory_order_acquire) == 0; }
  void spinLock();
  void unlock() { lock.store(0, std::memory_order_release); }
  PlugFrame* createFrame(void* parentWindow, float scale);
  // Reads the person's choice and the desktop's scale again (for a window in parentWindow).
  void refreshSources(void* parentWindow);
  float chosenScale() const;
  void answerRect(float scale);
  // Takes the chosen scale: the rectangle, and the open window where the host lets it grow.
  void applyScale();

  PlugCore::Plug* plug;  // not owned; owns this editor
  const EditorDesc* desc;
  IEditBuilder* builder;
  std::atomic<PlugFrame*> frame{nullptr};  // the open frame; null while closed
  std::atomic<int32_t> lock{0};            // 0 free, 1 held
  bool visualConsumed = false;
  std::unique_ptr<uint8_t[]> visualSnapshot;  // null when the visual data size is 0
  ERect rect;
  std::unique_ptr<std::atomic<float>[]> values;  // the editor's copy of the normalized values
  // The scale's sources, 0 where one says nothing; read again at every open and at the first getRect while closed.
  float personScale = 0, hostScale = 0, desktopScale = 0;
  bool sourcesFresh = false;
  float rectScale = 1;  // the scale rect is answered for
};

}  // namespace Lattice
