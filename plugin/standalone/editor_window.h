// EditorWindow: the instrument's editor in a top-level X11 window of its own, titled with the current program.
// Page Down and Page Up step through the programs (grabbed on the window, so they reach us while the editor's panel
// has the keyboard); the window manager's close button asks koralin to end. When the person picks another size in
// the panel's menu the window takes it. Main thread only: the window is the instance's editor side and its listener,
// and the editor does its work (and calls the listener) in idle().
#pragma once

#include <string>

#include "plugin/embed/instance.h"

struct _XDisplay;

namespace Standalone {

class EditorWindow final : public Embed::Listener {
 public:
  explicit EditorWindow(Embed::Instance& instance) : instance_(instance) {}
  ~EditorWindow() { close(); }
  EditorWindow(const EditorWindow&) = delete;
  EditorWindow& operator=(const EditorWindow&) = delete;

  // Connects to the X display and makes the window (not yet shown); false with the reason.
  bool open(std::string& reason);
  void close();

  // Maps the window and opens the editor in it; hiding closes the editor and unmaps the window.
  void show();
  void hide();
  bool shown() const { return shown_; }
  void setTitle(const std::string& title);

  struct Input {
    bool closeAsked = false;  // the window manager's close button
    int programStep = 0;      // +1 for each Page Down, -1 for each Page Up
  };
  // Handles what arrived for the window, then lets the editor do its work (events, timer, painting).
  Input idle();

  // The listener: only a new size matters to a window of our own (values and programs are read when needed).
  void automated(int32_t, float) override {}
  void editBegun(int32_t) override {}
  void editEnded(int32_t) override {}
  bool editorResized(int32_t width, int32_t height) override;
  void displayChanged() override {}

 private:
  Embed::Instance& instance_;
  _XDisplay* display_ = nullptr;
  unsigned long window_ = 0;
  unsigned long deleteWindow_ = 0, protocols_ = 0;  // the window manager's atoms
  bool shown_ = false;
};

}  // namespace Standalone
