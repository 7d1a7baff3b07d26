// The stream reader's ring: whole-ring and straddling Need, Skip and Seek rules.
#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "engine/MPStreamReader.h"

using namespace sorrel::engine;

namespace {

std::vector<uint8_t> Bytes(size_t n) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = uint8_t(i * 7 + (i >> 8));
  return v;
}

// Counts reads and hands out at most `limit` bytes a call, like a pipe.
struct CountingStream : TMPMemoryStream {
  using TMPMemoryStream::TMPMemoryStream;
  int reads = 0;
  int64_t biggest = 0;
  int64_t limit = INT64_MAX;
  int64_t Read(void* b, int64_t n) override {
    ++reads;
    biggest = std::max(biggest, n);
    return TMPMemoryStream::Read(b, std::min(n, limit));
  }
};

}  // namespace

TEST(StreamReader, NeedOfTheWholeRingOnAFreshRing) {
  auto data = Bytes(5000);
  CountingStream s(data.data(), int64_t(data.size()));
  TMPStreamReader r(1000);
  r.Open(&s, true);
  ASSERT_TRUE(r.Need(1000));
  EXPECT_EQ(r.Available(), 1000);
  EXPECT_EQ(std::vector<uint8_t>(r.Peek(), r.Peek() + 1000),
            std::vector<uint8_t>(data.begin(), data.begin() + 1000));
  EXPECT_FALSE(r.Need(1001));   // more than the ring is a refused request
  EXPECT_FALSE(r.ReadAhead());  // the ring is full: nothing is read
}

TEST(StreamReader, AStraddlingNeedComesBackInOrderAndContiguous) {
  auto data = Bytes(100000);
  TMPMemoryStream s(data.data(), int64_t(data.size()));
  TMPStreamReader r(1000);
  r.Open(&s, true);
  ASSERT_TRUE(r.Need(900));
  ASSERT_TRUE(r.Skip(700));  // start at 700: the next 600 bytes wrap the ring
  ASSERT_TRUE(r.Need(600));
  EXPECT_EQ(r.Position(), 700);
  EXPECT_EQ(std::vector<uint8_t>(r.Peek(), r.Peek() + 600),
            std::vector<uint8_t>(data.begin() + 700, data.begin() + 1300));
  // And it goes on correctly after the rotation.
  ASSERT_TRUE(r.Skip(600));
  ASSERT_TRUE(r.Need(999));
  EXPECT_EQ(r.Peek()[0], data[1300]);
  EXPECT_EQ(r.Peek()[998], data[2298]);
}

TEST(StreamReader, ReadsInChunksOfAtMost81920AndNeverWrapsInsideOneRead) {
  auto data = Bytes(400000);
  CountingStream s(data.data(), int64_t(data.size()));
  TMPStreamReader r(327680);
  r.Open(&s, true);
  ASSERT_TRUE(r.Need(10));
  EXPECT_EQ(s.biggest, 81920);  // a small request reads a full chunk ahead
  EXPECT_EQ(r.Available(), 81920);
  int readsBefore = s.reads;
  for (int i = 0; i < 100; ++i) {
    ASSERT_TRUE(r.Need(400));
    ASSERT_TRUE(r.Skip(400));
  }
  EXPECT_EQ(s.reads, readsBefore);  // served from the ring
  while (r.ReadAhead()) {
    if (r.Available() == r.RingSize()) break;
  }
  EXPECT_EQ(r.Available(), r.RingSize());
  EXPECT_FALSE(r.ReadAhead());
  // Everything read so far arrives intact through the wrap.
  int64_t pos = r.Position();
  ASSERT_TRUE(r.Skip(300000));
  ASSERT_TRUE(r.Need(50000));
  EXPECT_EQ(r.Peek()[0], data[size_t(pos + 300000)]);
  EXPECT_EQ(r.Peek()[49999], data[size_t(pos + 349999)]);
}

TEST(StreamReader, SkipPastTheEndOfASeekableStream) {
  auto data = Bytes(3000);
  TMPMemoryStream s(data.data(), int64_t(data.size()));
  TMPStreamReader r(1000);
  r.Open(&s, true);
  ASSERT_TRUE(r.Need(10));
  EXPECT_TRUE(r.Skip(2500));  // beyond the ring, inside the stream: a seek
  EXPECT_EQ(r.Position(), 2500);
  ASSERT_TRUE(r.Need(1));
  EXPECT_EQ(r.Peek()[0], data[2500]);
  EXPECT_FALSE(r.Skip(1000));
  EXPECT_EQ(r.Position(), 3000);
  EXPECT_EQ(r.Available(), 0);
  EXPECT_FALSE(r.Need(1));
}

TEST(StreamReader, SkipOnAStreamThatCannotSeekReadsThrough) {
  auto data = Bytes(5000);
  CountingStream s(data.data(), int64_t(data.size()));
  s.limit = 333;  // short reads, as from a pipe
  TMPStreamReader r(1000);
  r.Open(&s, false);
  EXPECT_EQ(r.Size(), 0);
  ASSERT_TRUE(r.Need(4));
  ASSERT_TRUE(r.Skip(3200));
  EXPECT_EQ(r.Position(), 3200);
  ASSERT_TRUE(r.Need(4));
  EXPECT_EQ(r.Peek()[0], data[3200]);
  EXPECT_FALSE(r.Skip(5000));
  EXPECT_EQ(r.Position(), 5000);
}

TEST(StreamReader, SeekFromTheLogicalPositionEmptiesTheRing) {
  auto data = Bytes(5000);
  TMPMemoryStream s(data.data(), int64_t(data.size()));
  TMPStreamReader r(1000);
  r.Open(&s, true);
  ASSERT_TRUE(r.Need(800));
  ASSERT_TRUE(r.Skip(100));  // logical 100, stream at 800
  EXPECT_EQ(r.Seek(50, 1), 150);
  EXPECT_EQ(r.Available(), 0);
  ASSERT_TRUE(r.Need(1));
  EXPECT_EQ(r.Peek()[0], data[150]);
  EXPECT_EQ(r.Seek(-10, 2), 4990);
  EXPECT_EQ(r.Seek(7, 0), 7);
  ASSERT_TRUE(r.Need(1));
  EXPECT_EQ(r.Peek()[0], data[7]);
}

TEST(StreamReader, ClosedReaderRefusesAndReopenStartsOver) {
  auto data = Bytes(100);
  TMPMemoryStream s(data.data(), 100);
  TMPStreamReader r(64);
  EXPECT_FALSE(r.Need(1));
  r.Open(&s, true);
  ASSERT_TRUE(r.Need(64));
  r.Close();
  EXPECT_FALSE(r.Opened());
  EXPECT_FALSE(r.Need(1));
  s.Seek(0, 0);
  r.Open(&s, true);
  EXPECT_EQ(r.Position(), 0);
  EXPECT_EQ(r.Size(), 100);
  ASSERT_TRUE(r.Need(1));
  EXPECT_EQ(r.Peek()[0], data[0]);
}
