// GestureQueue: claiming cells by their sequence numbers.
#include "plugin/embed/gesture_queue.h"

namespace Embed {

GestureQueue::GestureQueue() {
  // Cell i is free for the push of round i.
  for (size_t i = 0; i < kCapacity; ++i) cells_[i].sequence.store(i, std::memory_order_relaxed);
}

bool GestureQueue::push(const Gesture& gesture, size_t keepFree) {
  size_t round = tail_.load(std::memory_order_relaxed);
  Cell* cell = nullptr;
  for (;;) {
    // The pop side may move on meanwhile, so this count of used cells errs on the full side; below 0 it is stale.
    const auto used = (intptr_t)(round - head_.load(std::memory_order_acquire));
    if (used > 0 && (size_t)used + keepFree >= kCapacity) return false;
    cell = &cells_[round & kMask];
    const size_t sequence = cell->sequence.load(std::memory_order_acquire);
    const auto lag = (intptr_t)(sequence - round);
    if (lag == 0) {
      if (tail_.compare_exchange_weak(round, round + 1, std::memory_order_relaxed)) break;
    } else if (lag < 0) {
      return false;  // the cell still holds the gesture of the previous lap: full
    } else {
      round = tail_.load(std::memory_order_relaxed);  // another thread took this round
    }
  }
  cell->gesture = gesture;
  cell->sequence.store(round + 1, std::memory_order_release);  // full for the pop of this round
  return true;
}

bool GestureQueue::pop(Gesture& gesture) {
  size_t round = head_.load(std::memory_order_relaxed);
  Cell* cell = nullptr;
  for (;;) {
    cell = &cells_[round & kMask];
    const size_t sequence = cell->sequence.load(std::memory_order_acquire);
    const auto lag = (intptr_t)(sequence - (round + 1));
    if (lag == 0) {
      if (head_.compare_exchange_weak(round, round + 1, std::memory_order_relaxed)) break;
    } else if (lag < 0) {
      return false;  // not pushed yet: empty
    } else {
      round = head_.load(std::memory_order_relaxed);
    }
  }
  gesture = cell->gesture;
  cell->sequence.store(round + kCapacity, std::memory_order_release);  // free for the push of the next lap
  return true;
}

}  // namespace Embed
