// MidiInbox: a single-producer, single-consumer ring of stamped messages.
#include "plugin/standalone/midi_inbox.h"

#include <cstring>

namespace Standalone {

bool MidiInbox::push(uint32_t arrivalFrame, const uint8_t* bytes, size_t size) {
  if (size == 0 || size > 3) return false;
  const uint32_t written = written_.load(std::memory_order_relaxed);
  if (written - read_.load(std::memory_order_acquire) >= kCapacity) {
    dropped_.fetch_add(1, std::memory_order_relaxed);
    return false;
  }
  Message& m = ring_[written & (kCapacity - 1)];
  m.arrival = arrivalFrame;
  m.size = (uint8_t)size;
  std::memcpy(m.bytes, bytes, size);
  written_.store(written + 1, std::memory_order_release);
  return true;
}

template <typename Take>
void MidiInbox::takeArrivedBefore(uint32_t cycleStart, Take&& take) {
  uint32_t read = read_.load(std::memory_order_relaxed);
  const uint32_t written = written_.load(std::memory_order_acquire);
  for (; read != written; ++read) {
    const Message& m = ring_[read & (kCapacity - 1)];
    const int32_t age = (int32_t)(m.arrival - cycleStart);  // negative: it came before this period began
    if (age >= 0) break;
    take(m, age);
  }
  read_.store(read, std::memory_order_release);
}

void MidiInbox::deliver(Embed::MidiEventList& events, uint32_t cycleStart, uint32_t frames) {
  takeArrivedBefore(cycleStart, [&](const Message& m, int32_t age) {
    const int64_t frame = (int64_t)frames + age;
    events.addBytes(frame < 0 ? 0 : (int32_t)frame, m.bytes, m.size);
  });
}

void MidiInbox::discard(uint32_t cycleStart) {
  takeArrivedBefore(cycleStart, [](const Message&, int32_t) {});
}

}  // namespace Standalone
