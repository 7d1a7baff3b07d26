#include "maplink/core/MappleQueue.h"

namespace sorrel::maplink {

bool TMappleQueue::Push(char letter) {
  const int w = write_.load(std::memory_order_relaxed);
  // Acquire: the consumer's clearing release makes its use of the slot happen before.
  if (slots_[w].load(std::memory_order_acquire) != 0) return false;
  slots_[w].store(letter, std::memory_order_release);
  write_.store((w + 1) % kSlots, std::memory_order_release);
  return true;
}

void TMappleQueue::Clear() {
  for (auto& s : slots_) s.store(0, std::memory_order_release);
}

void TMappleQueue::RestartWith(char letter) {
  const int r = read_.load(std::memory_order_acquire);
  slots_[r].store(letter, std::memory_order_release);
  write_.store((r + 1) % kSlots, std::memory_order_release);
}

char TMappleQueue::Front() const {
  return slots_[read_.load(std::memory_order_relaxed)].load(std::memory_order_acquire);
}

char TMappleQueue::Behind() const {
  return slots_[(read_.load(std::memory_order_relaxed) + 1) % kSlots].load(std::memory_order_acquire);
}

void TMappleQueue::Pop() {
  const int r = read_.load(std::memory_order_relaxed);
  slots_[r].store(0, std::memory_order_release);
  read_.store((r + 1) % kSlots, std::memory_order_release);
}

int TMappleQueue::Count() const {
  int n = 0;
  for (const auto& s : slots_) n += s.load(std::memory_order_acquire) != 0;
  return n;
}

}  // namespace sorrel::maplink
