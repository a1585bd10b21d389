// MidiEventList: the MIDI of the next block, in fixed storage made once, handed to the instrument as its VST 2.4
// event list.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "vst/aeffect.h"

namespace Embed {

// Capacity: kCapacity events a block. A block's first kCapacity channel messages are kept; any later one is dropped
// and counted (dropped()). A saturated MIDI cable carries about 1500 messages a second, under 600 in the longest block
// hosts ask for at 44.1 kHz (16384 frames), so only a runaway source reaches it; what it drops is the latest.
// Frames below 0 count as 0; frames at or past the block's end reach the instrument as they are, and the core
// handles them after the block's last sample as the VST 2.4 path does. Events added out of order are sorted by frame
// before the block, stably: events at one frame keep the order they were added in.
class MidiEventList {
 public:
  static constexpr int32_t kCapacity = 2048;

  MidiEventList();
  MidiEventList(const MidiEventList&) = delete;
  MidiEventList& operator=(const MidiEventList&) = delete;

  // A channel message (status 0x80 to 0xEF with its data bytes); false when the list is full and it was dropped.
  bool add(int32_t frame, uint8_t status, uint8_t data1, uint8_t data2);
  // Raw bytes as formats carry them: a channel message of 2 or 3 bytes is added; system messages, SysEx, running
  // status and fragments are not the instrument's and are skipped (true). false only when the list was full.
  bool addBytes(int32_t frame, const uint8_t* bytes, size_t size);

  int32_t size() const { return count_; }
  // Messages dropped because a block's list was full, since the list was made.
  int64_t dropped() const { return dropped_.load(std::memory_order_relaxed); }

  // The list for the instrument, sorted by frame; with resetFirst, all notes off and reset (controllers 123 and 120)
  // come before everything else at frame 0. Valid until clear().
  VstEvents* prepare(bool resetFirst);
  void clear();

 private:
  void sortByFrame();

  // Laid out as VstEvents with room for every event and the two of a reset.
  struct Block {
    int32_t numEvents;
    intptr_t reserved;
    VstEvent* events[kCapacity + 2];
  };
  static_assert(offsetof(Block, events) == offsetof(VstEvents, events));

  Block block_{};
  VstMidiEvent midi_[kCapacity + 2] = {};  // the events themselves; the last two hold a reset
  VstEvent* scratch_[kCapacity + 2] = {};  // the merge sort's second half
  int32_t count_ = 0;
  int32_t lastFrame_ = 0;
  bool sorted_ = true;
  std::atomic<int64_t> dropped_{0};  // written by the audio side, read by anyone
};

}  // namespace Embed
