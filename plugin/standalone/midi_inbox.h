// MidiInbox: MIDI that another thread receives (the ALSA sequencer's), handed to the audio thread without a lock.
//
// One producer thread pushes each message with the JACK frame time at which it arrived (jack_frame_time, JACK's
// estimate of the frame its hardware is at); the audio thread, at the start of each period, takes every message that
// arrived before the period began and places it one period after its arrival: a message that came during the last
// period lands in this one at the same distance from the start. The delay is a constant one period, and the timing
// between messages is kept to the frame instead of being rounded to periods. A message that came later than that
// (the audio thread was late) lands at frame 0; one that came during this period waits for the next.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "plugin/embed/midi_event_list.h"

namespace Standalone {

class MidiInbox {
 public:
  // Messages that may wait between two periods: a saturated MIDI cable brings about 1500 a second, under 200 in
  // the longest period JACK runs (8192 frames at 44.1 kHz).
  static constexpr uint32_t kCapacity = 1024;

  // Producer side (one thread at a time). A channel message of up to three bytes; false when the inbox is full
  // (the message is dropped and counted) or the message is longer.
  bool push(uint32_t arrivalFrame, const uint8_t* bytes, size_t size);

  // Audio side: every message that arrived before cycleStart goes into events, at its arrival plus frames minus
  // cycleStart (frame times wrap around at 2^32, as JACK's do).
  void deliver(Embed::MidiEventList& events, uint32_t cycleStart, uint32_t frames);
  // Audio side: drops what arrived before cycleStart (while nothing plays, a held note must not sound later).
  void discard(uint32_t cycleStart);

  int64_t dropped() const { return dropped_.load(std::memory_order_relaxed); }

 private:
  struct Message {
    uint32_t arrival;
    uint8_t size;
    uint8_t bytes[3];
  };
  static_assert((kCapacity & (kCapacity - 1)) == 0, "the ring's indexes wrap by mask");

  template <typename Take>
  void takeArrivedBefore(uint32_t cycleStart, Take&& take);

  Message ring_[kCapacity] = {};
  alignas(64) std::atomic<uint32_t> written_{0};  // messages pushed, by the producer
  alignas(64) std::atomic<uint32_t> read_{0};     // messages taken, by the audio side
  std::atomic<int64_t> dropped_{0};
};

}  // namespace Standalone
