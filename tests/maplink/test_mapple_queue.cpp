// The nine-slot command ring: the drop rule, the ring's wrap, the restart with "F", and
// a producer and a consumer thread exchanging a million letters (run under
// ThreadSanitizer in the tsan build).
#include "maplink/core/MappleQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace sorrel::maplink {
namespace {

std::string Drain(TMappleQueue& q) {
  std::string out;
  while (char c = q.Front()) {
    out += c;
    q.Pop();
  }
  return out;
}

TEST(MappleQueue, TheTenthCommandIsDropped) {
  TMappleQueue q;
  for (char c : std::string("EFGHIJKLM")) EXPECT_TRUE(q.Push(c)) << c;
  EXPECT_EQ(q.Count(), 9);
  EXPECT_FALSE(q.Push('N'));
  EXPECT_EQ(q.Front(), 'E');
  EXPECT_EQ(q.Behind(), 'F');
  // One slot freed by the consumer takes exactly one more.
  q.Pop();
  EXPECT_TRUE(q.Push('N'));
  EXPECT_FALSE(q.Push('H'));
  EXPECT_EQ(Drain(q), "FGHIJKLMN");
  EXPECT_EQ(q.Front(), 0);
  EXPECT_EQ(q.Behind(), 0);
}

TEST(MappleQueue, OrderHoldsAcrossTheWrap) {
  TMappleQueue q;
  std::string in, out;
  // Uneven batches take the indices round the ring many times.
  for (int round = 0; round < 50; ++round) {
    for (int i = 0; i < round % 9 + 1; ++i) {
      const char c = char('A' + (in.size() % 26));
      if (!q.Push(c)) {
        ASSERT_EQ(q.Count(), 9);
        break;
      }
      in += c;
    }
    for (int i = 0; i < round % 4 + 1 && q.Front(); ++i) {
      out += q.Front();
      q.Pop();
    }
  }
  out += Drain(q);
  EXPECT_EQ(out, in);
}

TEST(MappleQueue, RestartLeavesOnlyTheLetterAtTheReadIndex) {
  TMappleQueue q;
  for (char c : std::string("MNMNM")) q.Push(c);
  q.Pop();
  q.Pop();  // the read index is 2 now, the write index 5
  for (char c : std::string("HIJ")) q.Push(c);
  q.Clear();
  EXPECT_EQ(q.Count(), 0);
  q.RestartWith('F');
  EXPECT_EQ(q.Count(), 1);
  EXPECT_EQ(q.Front(), 'F');
  EXPECT_EQ(q.Behind(), 0);
  // And the ring goes on behind it with all nine slots.
  for (int i = 0; i < 8; ++i) EXPECT_TRUE(q.Push('L'));
  EXPECT_FALSE(q.Push('L'));
  EXPECT_EQ(Drain(q), "FLLLLLLLL");
}

TEST(MappleQueueStress, AMillionLettersNoneLostNoneTwice) {
  constexpr int kLetters = 1000000;
  TMappleQueue q;
  std::vector<char> accepted, received;
  accepted.reserve(kLetters);
  received.reserve(kLetters);
  std::atomic<bool> done{false};
  std::thread consumer([&] {
    for (;;) {
      const char c = q.Front();
      if (c == 0) {
        if (done.load(std::memory_order_acquire) && q.Front() == 0) break;
        std::this_thread::yield();
        continue;
      }
      received.push_back(c);
      q.Pop();
    }
  });
  int dropped = 0;
  for (int i = 0; i < kLetters; ++i) {
    const char c = char(1 + i % 120);
    if (q.Push(c)) {
      accepted.push_back(c);
    } else {
      ++dropped;
      std::this_thread::yield();
    }
  }
  done.store(true, std::memory_order_release);
  consumer.join();
  EXPECT_EQ(received.size(), accepted.size());
  EXPECT_TRUE(received == accepted) << "the consumer ran a letter out of order, twice or not at all";
  EXPECT_EQ(int(accepted.size()) + dropped, kLetters);
  std::printf("[ figures  ] %zu letters exchanged, %d dropped on a full ring\n", accepted.size(), dropped);
}

}  // namespace
}  // namespace sorrel::maplink
