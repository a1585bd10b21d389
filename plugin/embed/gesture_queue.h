// GestureQueue: the editor's gestures (begin, value, end) on their way to the audio thread, in fixed cells made once.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

namespace Embed {

struct Gesture {
  enum Kind : uint8_t { Begin, Value, End };
  Kind kind;
  int32_t index;  // the parameter
  float value;    // normalized, for Value
};

// A bounded queue that any number of threads push into and one side (the audio thread, or whoever stands in for it
// while processing is stopped) pops from, without a lock on either side: each cell carries a sequence number that
// says whether it is free for the push of a given round or full for its pop (release on publishing, acquire on
// reading), and the two ends are counters claimed by compare-exchange. Neither side ever waits for the other: a
// push into a full queue fails at once, a pop from an empty one too.
class GestureQueue {
 public:
  static constexpr size_t kCapacity = 1024;  // a power of two

  GestureQueue();
  GestureQueue(const GestureQueue&) = delete;
  GestureQueue& operator=(const GestureQueue&) = delete;

  // Fails when fewer than keepFree + 1 cells are free, so pushes of lower priority leave room for others.
  bool push(const Gesture& gesture, size_t keepFree = 0);
  bool pop(Gesture& gesture);

 private:
  struct Cell {
    std::atomic<size_t> sequence;
    Gesture gesture;
  };
  static constexpr size_t kMask = kCapacity - 1;
  static_assert((kCapacity & kMask) == 0);

  std::array<Cell, kCapacity> cells_;
  alignas(64) std::atomic<size_t> tail_{0};  // the next push's round
  alignas(64) std::atomic<size_t> head_{0};  // the next pop's round
};

}  // namespace Embed
