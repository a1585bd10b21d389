// The editor object a plug-in hands the host's editor opcodes to.
#pragma once

#include "vst/aeffect.h"

class AudioEffect;

class AEffEditor {
 public:
  explicit AEffEditor(AudioEffect* effect = nullptr) : effect_(effect) {}
  virtual ~AEffEditor() = default;

  virtual bool getRect(ERect** rect) {
    *rect = nullptr;
    return false;
  }
  virtual bool open(void* parentWindow) {
    systemWindow_ = parentWindow;
    return false;
  }
  virtual void close() { systemWindow_ = nullptr; }
  virtual bool isOpen() const { return systemWindow_ != nullptr; }
  virtual void idle() {}
  virtual bool onKeyDown(int32_t /*key*/, intptr_t /*value*/, float /*opt*/) { return false; }
  virtual bool onKeyUp(int32_t /*key*/, intptr_t /*value*/, float /*opt*/) { return false; }
  virtual bool setKnobMode(intptr_t /*mode*/) { return false; }
  // The scale a host of our own asks the editor to draw at (window pixels per unit; 0 for none). False when the
  // editor takes no scale.
  virtual bool setHostScale(float /*scale*/) { return false; }

  AudioEffect* getEffect() const { return effect_; }

 protected:
  AudioEffect* effect_;
  void* systemWindow_ = nullptr;
};
