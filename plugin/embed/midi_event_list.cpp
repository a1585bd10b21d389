// MidiEventList: adding events, the stable merge sort by frame in the list's own storage, and the reset's events.
#include "plugin/embed/midi_event_list.h"

#include <algorithm>
#include <cstring>

namespace Embed {
namespace {

void fill(VstMidiEvent& e, int32_t frame, uint8_t status, uint8_t data1, uint8_t data2) {
  e = VstMidiEvent{};
  e.type = kVstMidiType;
  e.byteSize = sizeof(VstMidiEvent);
  e.deltaFrames = frame;
  e.midiData[0] = (char)status;
  e.midiData[1] = (char)(data1 & 0x7F);
  e.midiData[2] = (char)(data2 & 0x7F);
}

int32_t frameOf(const VstEvent* e) { return e->deltaFrames; }

}  // namespace

MidiEventList::MidiEventList() {
  fill(midi_[kCapacity], 0, 0xB0, 123, 0);      // all notes off: releases held and pedalled notes
  fill(midi_[kCapacity + 1], 0, 0xB0, 120, 0);  // reset: the voice and filters at rest
}

bool MidiEventList::add(int32_t frame, uint8_t status, uint8_t data1, uint8_t data2) {
  if (status < 0x80 || status > 0xEF) return true;  // not a channel message: nothing the instrument reads
  if (count_ == kCapacity) {
    dropped_.fetch_add(1, std::memory_order_relaxed);
    return false;
  }
  frame = std::max(frame, 0);
  fill(midi_[count_], frame, status, data1, data2);
  block_.events[count_] = reinterpret_cast<VstEvent*>(&midi_[count_]);
  if (frame < lastFrame_) sorted_ = false;
  lastFrame_ = std::max(lastFrame_, frame);
  ++count_;
  return true;
}

bool MidiEventList::addBytes(int32_t frame, const uint8_t* bytes, size_t size) {
  if (!bytes || size == 0 || bytes[0] < 0x80 || bytes[0] > 0xEF) return true;
  const int kind = bytes[0] & 0xF0;
  const size_t needed = (kind == 0xC0 || kind == 0xD0) ? 2 : 3;
  if (size < needed) return true;
  return add(frame, bytes[0], bytes[1], needed == 3 ? bytes[2] : 0);
}

// Bottom-up merge sort of the pointers: stable, no allocation, n log n even for a list sent backwards.
void MidiEventList::sortByFrame() {
  VstEvent** a = block_.events;
  VstEvent** b = scratch_;
  const int32_t n = count_;
  for (int32_t width = 1; width < n; width *= 2) {
    for (int32_t lo = 0; lo < n; lo += 2 * width) {
      const int32_t mid = std::min(lo + width, n), hi = std::min(lo + 2 * width, n);
      int32_t i = lo, j = mid, k = lo;
      while (i < mid && j < hi) b[k++] = frameOf(a[j]) < frameOf(a[i]) ? a[j++] : a[i++];
      while (i < mid) b[k++] = a[i++];
      while (j < hi) b[k++] = a[j++];
    }
    std::swap(a, b);
  }
  if (a != block_.events) std::memcpy(block_.events, a, sizeof(VstEvent*) * (size_t)n);
}

VstEvents* MidiEventList::prepare(bool resetFirst) {
  if (!sorted_) sortByFrame();
  sorted_ = true;
  int32_t n = count_;
  if (resetFirst) {
    std::memmove(block_.events + 2, block_.events, sizeof(VstEvent*) * (size_t)n);
    block_.events[0] = reinterpret_cast<VstEvent*>(&midi_[kCapacity]);
    block_.events[1] = reinterpret_cast<VstEvent*>(&midi_[kCapacity + 1]);
    n += 2;
  }
  block_.numEvents = n;
  return reinterpret_cast<VstEvents*>(&block_);
}

void MidiEventList::clear() {
  count_ = 0;
  lastFrame_ = 0;
  sorted_ = true;
  block_.numEvents = 0;
}

}  // namespace Embed
