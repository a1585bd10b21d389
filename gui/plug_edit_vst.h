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
// messages on Windows); no thread holds it for longer than a copy.
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

  // IFrameController
  bool canClose() override { return true; }
  void windowDestroyed() override;

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

  // Makes the native window of the next open (tests put a window without a system here).
  std::unique_ptr<WindowBackend> (*makeBackend)(Winwrapper& root, void* parentWindow, int width,
                                                int height) = &createWindowBackend;

 private:
  bool tryLock() { return lock.exchange(1, std::memory_order_acquire) == 0; }
  void spinLock();
  void unlock() { lock.store(0, std::memory_order_release); }
  PlugFrame* createFrame(void* parentWindow);

  PlugCore::Plug* plug;  // not owned; owns this editor
  const EditorDesc* desc;
  IEditBuilder* builder;
  std::atomic<PlugFrame*> frame{nullptr};  // the open frame; null while closed
  std::atomic<int32_t> lock{0};            // 0 free, 1 held
  bool visualConsumed = false;
  std::unique_ptr<uint8_t[]> visualSnapshot;  // null when the visual data size is 0
  ERect rect;
  std::unique_ptr<std::atomic<float>[]> values;  // the editor's copy of the normalized values
};

}  // namespace Lattice
