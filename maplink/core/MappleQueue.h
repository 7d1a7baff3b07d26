// The map link's command queue: nine one-letter slots (0 = empty) in a ring, filled by
// one producer (the user-interface thread) and emptied by one consumer (the worker).
//
// A slot is written before the write index moves on and cleared by the consumer only
// after its command has run, so a full ring (the slot at the write index still
// occupied) drops new letters.  The slots and indices are atomics: a letter is stored
// with release and read with acquire, so the worker sees every letter the moment its slot
// is seen occupied, and the producer reuses a slot only after the worker is done with it.
#pragma once

#include <array>
#include <atomic>

namespace sorrel::maplink {

class TMappleQueue {
 public:
  static constexpr int kSlots = 9;

  // Producer.  False when the ring is full (the letter is dropped).
  bool Push(char letter);
  // Producer: empties every slot; a command the consumer is running still finishes.
  void Clear();
  // Producer, only while the consumer is idle: the ring restarts at the read index
  // holding just `letter`.
  void RestartWith(char letter);

  // Consumer: the letter at the read index (0: none) and the one queued behind it.
  char Front() const;
  char Behind() const;
  // Consumer: clears the slot at the read index and moves on.
  void Pop();

  // Either side, for tests and the busy rules: the letters waiting.
  int Count() const;

 private:
  std::array<std::atomic<char>, kSlots> slots_{};
  std::atomic<int> write_{0};  // written by the producer
  std::atomic<int> read_{0};   // written by the consumer
};

}  // namespace sorrel::maplink
