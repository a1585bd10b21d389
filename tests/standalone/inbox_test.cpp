// The ALSA thread's inbox: messages pushed on one thread while the audio side takes them on another, across the
// frame counter's wrap, over periods of changing length.
#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <thread>

#include "plugin/standalone/midi_inbox.h"

namespace {

constexpr uint32_t kMessages = 12000;
constexpr uint32_t kFirstArrival = 0xFFFFFFFFu - 40000;  // the counter wraps early on

// Message n arrives at a frame of its own, 0 to 14 frames after the one before; its number rides in the data bytes.
uint32_t arrivalOf(uint32_t n) { return kFirstArrival + 7 * n + (n * 2654435761u >> 29); }

TEST(MidiInbox, EveryMessageLandsOnePeriodAfterItsArrivalInOrderWhileAnotherThreadPushes) {
  Standalone::MidiInbox inbox;
  Embed::MidiEventList events;
  std::atomic<uint32_t> clock{kFirstArrival};  // the frame the "hardware" is at; the audio side advances it
  std::atomic<uint32_t> pushed{0};
  std::thread producer([&] {
    for (uint32_t n = 0; n < kMessages; ++n) {
      while ((int32_t)(clock.load() - arrivalOf(n)) < 0) std::this_thread::yield();  // it has not arrived yet
      const uint8_t bytes[3] = {0x90, (uint8_t)(n & 0x7F), (uint8_t)((n >> 7) & 0x7F)};
      inbox.push(arrivalOf(n), bytes, 3);  // a drop shows in dropped()
      pushed.store(n + 1);
    }
  });
  struct Joined {  // on a failed assertion too: the producer is let run to its end
    std::thread& thread;
    std::atomic<uint32_t>& clock;
    ~Joined() {
      if (!thread.joinable()) return;
      clock.store(arrivalOf(kMessages));
      thread.join();
    }
  } joined{producer, clock};
  // The audio side runs no further ahead of the producer than 512 frames, as real time keeps it: the producer's
  // messages of the last periods come while the audio side takes the earlier ones, and some come late.
  auto producerLags = [&](uint32_t frame) {
    const uint32_t n = pushed.load();
    return n < kMessages && (int32_t)(frame - 512 - arrivalOf(n)) > 0;
  };
  std::mt19937 random(7);
  uint32_t expected = 0;
  for (int period = 0; expected < kMessages && period < 200000; ++period) {
    const uint32_t cycleStart = clock.load(), frames = 32u << (random() % 5);  // 32 to 512 frames
    while (producerLags(cycleStart)) std::this_thread::yield();
    inbox.deliver(events, cycleStart, frames);
    VstEvents* list = events.prepare(false);
    for (int32_t i = 0; i < list->numEvents; ++i) {
      const auto* e = reinterpret_cast<const VstMidiEvent*>(list->events[i]);
      const uint32_t n = (uint32_t)e->midiData[1] | (uint32_t)e->midiData[2] << 7;
      ASSERT_EQ(n, expected & 0x3FFF) << "message " << expected << " came out of order or was lost";
      const int64_t due = (int64_t)frames + (int32_t)(arrivalOf(expected) - cycleStart);
      ASSERT_LT((int32_t)(arrivalOf(expected) - cycleStart), 0) << "taken before it arrived";
      ASSERT_EQ(e->deltaFrames, due < 0 ? 0 : due) << "message " << expected;
      ++expected;
    }
    events.clear();
    clock.store(cycleStart + frames);
  }
  producer.join();
  EXPECT_EQ(expected, kMessages);
  EXPECT_EQ(inbox.dropped(), 0);

  // A full inbox drops and counts; what it holds still comes out.
  for (uint32_t n = 0; n <= Standalone::MidiInbox::kCapacity; ++n) {
    const uint8_t bytes[2] = {0xC0, 1};
    EXPECT_EQ(inbox.push(100, bytes, 2), n < Standalone::MidiInbox::kCapacity);
  }
  EXPECT_EQ(inbox.dropped(), 1);
  inbox.discard(101);
  const uint8_t bytes[2] = {0xC0, 2};
  EXPECT_TRUE(inbox.push(200, bytes, 2));
}

}  // namespace
