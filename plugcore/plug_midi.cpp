// Plug's MIDI input: notes with the core's own sustain pedal, pitch bend and its RPN 0 range, program
// changes, the fixed controllers, and MIDI learn.
#include <cstring>

#include "plugcore/plug.h"

namespace PlugCore {
namespace {

// Controllers that are never routed or learnt: bank select and the LSBs of the 14-bit pairs (except data
// entry LSB), the NRPN/increment group, reset-all-controllers and local control.
bool ignoredController(int c) {
  return c == 0 || (c >= 32 && c <= 63 && c != 38) || (c >= 96 && c <= 99) || c == 121 || c == 122;
}

}  // namespace

void Plug::noteOn(int32_t, int32_t) {}
void Plug::noteOff(int32_t, int32_t) {}
void Plug::controlChange(int32_t, float) {}

// Only channel-voice messages reach here, with their data bytes cut to 7 bits (processEvents).
void Plug::handleEvent(const QueuedEvent& event) {
  const int d1 = event.data1;
  const int d2 = event.data2;
  switch (event.status & 0xF0) {
    case 0x80:
      if (sustainDown_) pendingRelease_[d1] = (int8_t)d2;
      else noteOff(d1, d2);
      break;
    case 0x90:
      if (d2 > 0) {
        noteOn(d1, d2);
        pendingRelease_[d1] = -1;
      } else if (sustainDown_) {
        pendingRelease_[d1] = 100;
      } else {
        noteOff(d1, 100);
      }
      break;
    case 0xB0: handleController(controllerKeyFor(d1), d2); break;
    case 0xC0:
      if (programCount() > 0) requestProgram(d1 % programCount());
      break;
    case 0xE0: {
      const double v = (d2 * 128 + d1) / 16383.0;
      const int32_t packed = bendRangePacked_;
      const double range = (packed >> 7) + (packed & 0x7F) * 0.01;
      bendSemitones_ = range * (2.0 * v - 1.0);
      break;
    }
    default: break;  // 0xA0 and 0xD0: pressure is not used
  }
}

void Plug::handleController(int32_t key, int32_t value) {
  const int c = key & 0x7F;
  // An NRPN select (99, 98) addresses another device's parameters: data entry means nothing to us until 101 or 100
  // select a registered parameter again. Neither is ever learnt or routed.
  if (c == 99 || c == 98) {
    rpnNumber_ = kNullRpn;
    return;
  }
  if (ignoredController(c)) return;
  switch (c) {
    case 100: rpnNumber_ = (rpnNumber_ & 0x3F80) | value; return;
    case 101: rpnNumber_ = (value << 7) | (rpnNumber_ & 0x7F); return;
    case 6:
      if (rpnNumber_ == 0) bendRangePacked_ = (value << 7) | (bendRangePacked_.load() & 0x7F);
      return;
    case 38:
      if (rpnNumber_ == 0) bendRangePacked_ = (bendRangePacked_.load() & 0x3F80) | value;
      return;
    case 64:
      if (value >= 64) {
        sustainDown_ = true;
      } else {
        if (sustainDown_)
          for (int note = 0; note < 128; ++note)
            if (pendingRelease_[note] >= 0) {
              const int velocity = pendingRelease_[note];
              pendingRelease_[note] = -1;
              noteOff(note, velocity);
            }
        sustainDown_ = false;
      }
      return;
    case 120: reset(); return;
    default: break;
  }
  if (c >= 123) {
    for (int note = 0; note < 128; ++note) noteOff(note, 100);
    sustainDown_ = false;
    std::memset(pendingRelease_, -1, sizeof(pendingRelease_));
    return;
  }
  // Any other controller: complete a waiting learn, then move the bound parameter or tell the engine.
  const int32_t target = learnTarget_.load();
  if (target != -1) {
    bind(key, target);
    if (IParamNotify* notify = notify_.load(std::memory_order_acquire)) notify->learnChanged(target);
    int32_t expected = target;
    learnTarget_.compare_exchange_strong(expected, -1);  // a newer choice made meanwhile stays
  }
  for (int32_t i = 0; i < params_.count(); ++i) {
    if (params_[i].controllerKey == key) {
      setFromController(i, value);
      cookPending_ = true;
      return;
    }
  }
  controlChange(key, (float)value / 127.0f);
}

void Plug::setFromController(int32_t index, int32_t m) {
  float v;
  if (params_[index].flags & kParamCentered) v = (float)(m > 63 ? m - 1 : m) * (1.0f / 126.0f);
  else v = (float)m * (1.0f / 127.0f);
  params_.setQuantized(index, quantize(v));
}

void Plug::bind(int32_t key, int32_t index) {
  for (int32_t i = 0; i < params_.count(); ++i)
    if (params_[i].controllerKey == key) params_[i].controllerKey = kNoController;
  if (params_.valid(index)) params_[index].controllerKey = key;
}

void Plug::startLearn(int32_t index) {
  if (index >= 0 && index < params_.count()) learnTarget_.store(index);
}

void Plug::forgetLearn(int32_t index) {
  if (params_.valid(index)) params_[index].controllerKey = kNoController;
  learnTarget_.store(-1);
}

int32_t Plug::controllerOf(int32_t index) const {
  return params_.valid(index) ? params_[index].controllerKey.load() : kNoController;
}

}  // namespace PlugCore
