// Frame header parsing, frame-length and bit-rate arithmetic, the first-frame
// search and free-format detection.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "decoder/MPEGHeader.h"
#include "tests/decoder/layer3_builder.h"

using namespace sorrel::decoder;

namespace {

using l3test::Header;

int32_t Length(const std::vector<uint8_t>& h, TMPEGHead* out = nullptr) {
  TMPEGHead head{};
  const int32_t l = HeadInfo(h.data(), 0, head);
  if (out) *out = head;
  return l;
}

TEST(Header, FrameLengthsOfEachLayerAndVersion) {
  // MPEG-1 Layer III 128 kbit/s 44100 Hz: 2880 x 128 div 882.
  TMPEGHead h{};
  EXPECT_EQ(Length(Header(1, 1, 1, 9, 0, 0), &h), 417);
  EXPECT_EQ(h.sync, 1);
  EXPECT_EQ(MPEGPaddedFrameBytes(h, 417), 417);
  EXPECT_EQ(Length(Header(1, 1, 1, 9, 0, 0, 1), &h), 417);
  EXPECT_EQ(MPEGPaddedFrameBytes(h, 417), 418);
  // MPEG-2 Layer III 64 kbit/s 22050 Hz, and MPEG-2.5 32 kbit/s 11025 Hz.
  EXPECT_EQ(Length(Header(0, 1, 1, 8, 0, 1)), 208);
  EXPECT_EQ(Length(Header(0, 2, 1, 4, 0, 1), &h), 208);
  EXPECT_EQ(h.sync, 2);
  EXPECT_EQ(MPEGSampleRate(h), 11025);
  EXPECT_EQ(MPEGSamplesPerFrame(h), 576);
  // Layer I 384 kbit/s 48000 Hz; padding counts four bytes there.
  EXPECT_EQ(Length(Header(1, 1, 3, 12, 1, 0, 1), &h), 384);
  EXPECT_EQ(MPEGPaddedFrameBytes(h, 384), 388);
  EXPECT_EQ(MPEGSamplesPerFrame(h), 384);
  // Layer II 192 kbit/s 48000 Hz: 144000 x 192 / 48000.
  EXPECT_EQ(Length(Header(1, 1, 2, 10, 1, 0)), 576);
}

TEST(Header, RefusedHeaders) {
  TMPEGHead h{};
  h.sync = 9;
  const std::vector<uint8_t> d3 = {0xFF, 0xD3, 0x90, 0x00};  // neither 0xFFF nor 0xFFE
  EXPECT_EQ(HeadInfo(d3.data(), 0, h), 0);
  EXPECT_EQ(h.sync, 0);
  const std::vector<uint8_t> e3 = {0xFF, 0xE3, 0x40, 0xC0};  // MPEG-2.5 is a header
  EXPECT_GT(HeadInfo(e3.data(), 0, h), 0);
  EXPECT_EQ(h.sync, 2);
  EXPECT_EQ(Length(Header(1, 1, 0, 9, 0, 0)), 0);   // layer code 0
  EXPECT_EQ(Length(Header(1, 1, 1, 15, 0, 0)), 0);  // bit-rate index 15
  EXPECT_LT(Length(Header(1, 1, 1, 9, 3, 0)), 1);   // reserved rate: not positive
  EXPECT_LT(Length(Header(1, 1, 1, 9, 3, 0)), 0);
  const std::vector<uint8_t> fe = {0xFE, 0xFB, 0x90, 0x00};
  EXPECT_EQ(HeadInfo(fe.data(), 0, h), 0);
  // Free format without the following bytes cannot be measured.
  EXPECT_EQ(Length(Header(1, 1, 1, 0, 0, 0)), 0);
}

TEST(Header, CompareAndAgree) {
  const auto a = Header(1, 1, 1, 9, 0, 0);
  auto b = Header(1, 1, 1, 9, 0, 3);  // other mode: bytes 0-1 still equal
  EXPECT_TRUE(CompareHeader(a.data(), b.data()));
  EXPECT_TRUE(HeaderAgrees(b.data(), a.data()));
  b = Header(1, 1, 1, 9, 0, 0, 0, /*prot=*/0);  // the CRC bit is ignored by the check
  EXPECT_FALSE(CompareHeader(a.data(), b.data()));
  EXPECT_TRUE(HeaderAgrees(b.data(), a.data()));
  b = Header(1, 1, 1, 11, 0, 0, 1);  // bit rate and padding may change
  EXPECT_TRUE(HeaderAgrees(b.data(), a.data()));
  b = Header(1, 1, 1, 9, 1, 0);  // the sampling rate may not
  EXPECT_FALSE(HeaderAgrees(b.data(), a.data()));
  b = Header(0, 1, 1, 9, 0, 0);  // nor the version
  EXPECT_FALSE(HeaderAgrees(b.data(), a.data()));
}

TEST(HeaderSearch, FindsTheFirstSyncAndItsBitRate) {
  std::vector<uint8_t> buf(300, 0x00);
  buf[10] = 0xFF;  // 0xFF followed by a byte without the sync nibble
  buf[11] = 0x12;
  const auto h = Header(1, 1, 1, 9, 0, 0);
  std::memcpy(&buf[40], h.data(), 4);
  TMPEGHead head{};
  int32_t bitrate = -1, offset = -1;
  EXPECT_EQ(HeadInfoSearch(buf.data(), static_cast<int32_t>(buf.size()), head, bitrate, offset), 417);
  EXPECT_EQ(offset, 40);
  EXPECT_EQ(bitrate, 128000);
  // No sync: 0, offset untouched, bit rate cleared.
  std::vector<uint8_t> none(100, 0x11);
  offset = 77;
  EXPECT_EQ(HeadInfoSearch(none.data(), 100, head, bitrate, offset), 0);
  EXPECT_EQ(offset, 77);
  EXPECT_EQ(bitrate, 0);
  // A sync in the last three bytes is not a header that can be read.
  std::vector<uint8_t> tail(20, 0x00);
  tail[18] = 0xFF;
  tail[19] = 0xFB;
  EXPECT_EQ(HeadInfoSearch(tail.data(), 20, head, bitrate, offset), 0);
}

// A free-format stream: identical headers every `len` bytes (one more after a
// padded frame), `count` frames.
std::vector<uint8_t> FreeStream(int len, int count, int first_pad = 0) {
  std::vector<uint8_t> s;
  for (int i = 0; i < count; ++i) {
    const int pad = i == 0 ? first_pad : 0;
    auto h = Header(1, 1, 1, 0, 0, 0, pad);
    std::vector<uint8_t> f(static_cast<size_t>(len + pad), 0x00);
    std::memcpy(f.data(), h.data(), 4);
    s.insert(s.end(), f.begin(), f.end());
  }
  return s;
}

TEST(FreeFormat, AcceptedWhenEveryHeaderInTheBufferChains) {
  const auto s = FreeStream(640, 10);
  TMPEGHead head{};
  int32_t bitrate = 0, offset = 0;
  EXPECT_EQ(HeadInfoSearch(s.data(), static_cast<int32_t>(s.size()), head, bitrate, offset), 640);
  EXPECT_EQ(head.br_index, 0);
  EXPECT_EQ(bitrate, 882 * 640 * 8 * 125 / 2880);
  // A padded first frame: the length excludes the padding byte.
  const auto p = FreeStream(640, 10, 1);
  EXPECT_EQ(HeadInfo(p.data(), static_cast<int32_t>(p.size()), head), 640);
}

TEST(FreeFormat, RefusedWithoutConfirmationOrWithABrokenChain) {
  TMPEGHead head{};
  // A single frame: no further header in the buffer.
  const auto one = FreeStream(640, 1);
  EXPECT_EQ(HeadInfo(one.data(), static_cast<int32_t>(one.size()), head), 0);
  // A header that does not chain before the end of the buffer.
  auto broken = FreeStream(640, 2);  // the chain wants a third header at 1280
  broken.resize(2000, 0x00);
  EXPECT_EQ(HeadInfo(broken.data(), static_cast<int32_t>(broken.size()), head), 0);
  // The second header never counts before byte 24...
  const auto tiny = FreeStream(20, 40);
  EXPECT_NE(HeadInfo(tiny.data(), static_cast<int32_t>(tiny.size()), head), 20);
  // ... and gives up once a failed candidate leaves it at 2000: frames of 2100
  // bytes are found only when no false candidate comes first.
  auto huge = FreeStream(2100, 4);
  EXPECT_EQ(HeadInfo(huge.data(), static_cast<int32_t>(huge.size()), head), 2100);
  std::memcpy(&huge[1999], huge.data(), 2);
  EXPECT_EQ(HeadInfo(huge.data(), static_cast<int32_t>(huge.size()), head), 0);
  std::memcpy(&huge[1990], huge.data(), 2);  // fails, and the search goes on below 2000
  std::memset(&huge[1999], 0, 2);
  EXPECT_EQ(HeadInfo(huge.data(), static_cast<int32_t>(huge.size()), head), 2100);
  // Negative counts do not send the search beyond the buffer.
  EXPECT_EQ(HeadInfo(one.data(), -5, head), 0);
}

}  // namespace
