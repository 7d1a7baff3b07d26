// sorrel-decode end to end: what it skips (an ID3v2 tag, a Xing frame, junk between
// frames), what it writes (WAV or raw, the same samples as the decoder object), and
// its exit status for unusable input.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "tests/decoder/layer3_test_util.h"

namespace {

const std::string kTool = std::string(SORREL_BUILD_DIR) + "/tools/decode/sorrel-decode";

std::string TempPath(const char* name) {
  const char* dir = std::getenv("TMPDIR");
  return std::string(dir && *dir ? dir : "/tmp") + "/sorrel-decode-test-" + std::to_string(::getpid()) + "-" +
         name;
}

void Write(const std::string& path, const std::vector<uint8_t>& d) {
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fwrite(d.data(), 1, d.size(), f);
  std::fclose(f);
}

int RunTool(const std::string& args) {
  const std::string cmd = kTool + " " + args + " 2>/dev/null";
  const int rc = std::system(cmd.c_str());
  return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

uint32_t Le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

TEST(DecodeTool, SkipsTagXingFrameAndJunkAndWritesTheDecodersSamples) {
  const auto stream = l3test::ReadBytes(std::string(SORREL_TEST_DATA) + "/vectors/l3-si.bit");
  ASSERT_FALSE(stream.empty());
  const l3test::Decoded ref = l3test::DecodeStream(stream, false);
  ASSERT_GT(ref.frames, 10);
  // First frame length of the stream, to build a Xing frame like it.
  TMPEGHead h{};
  const int32_t len = HeadInfo(stream.data(), 0, h);
  const int32_t flen = MPEGPaddedFrameBytes(h, len);
  ASSERT_EQ(h.mode, 3);  // one channel: the tag goes at offset 4 + 17
  std::vector<uint8_t> file = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 100};
  file.resize(110, 0xFF);  // a tag full of false syncs
  ASSERT_GT(flen, 40);
  std::vector<uint8_t> xing(stream.begin(), stream.begin() + flen);
  std::fill(xing.begin() + 4, xing.end(), 0);
  const char tag[] = "Xing";
  std::copy(tag, tag + 4, xing.begin() + 21);
  file.insert(file.end(), xing.begin(), xing.end());
  // Junk between the fifth and sixth frames.
  size_t pos = 0;
  for (int f = 0; f < 5; ++f) {
    TMPEGHead fh{};
    pos += static_cast<size_t>(MPEGPaddedFrameBytes(fh, HeadInfo(stream.data() + pos, 0, fh)));
  }
  file.insert(file.end(), stream.begin(), stream.begin() + static_cast<long>(pos));
  file.insert(file.end(), 333, 0x5A);
  file.insert(file.end(), stream.begin() + static_cast<long>(pos), stream.end());

  const std::string in = TempPath("in.mp3"), wav = TempPath("out.wav"), raw = TempPath("out.pcm");
  Write(in, file);
  ASSERT_EQ(RunTool("--cpu plain " + in + " " + wav), 0);  // the plain routines, as ref
  ASSERT_EQ(RunTool("--cpu plain --raw " + in + " " + raw), 0);
  const auto w = l3test::ReadBytes(wav);
  const auto r = l3test::ReadBytes(raw);
  std::remove(in.c_str());
  std::remove(wav.c_str());
  std::remove(raw.c_str());
  ASSERT_GE(w.size(), 44u);
  EXPECT_EQ(std::memcmp(w.data(), "RIFF", 4), 0);
  EXPECT_EQ(std::memcmp(w.data() + 8, "WAVEfmt ", 8), 0);
  EXPECT_EQ(w[22], 1);  // channels
  EXPECT_EQ(Le32(w.data() + 24), static_cast<uint32_t>(ref.samprate));
  EXPECT_EQ(Le32(w.data() + 40), w.size() - 44);  // data size
  EXPECT_EQ(Le32(w.data() + 4), w.size() - 8);    // RIFF size
  ASSERT_EQ(r.size(), ref.pcm.size() * 2);
  EXPECT_EQ(std::memcmp(r.data(), w.data() + 44, r.size()), 0);
  for (size_t i = 0; i < ref.pcm.size(); ++i)
    ASSERT_EQ(static_cast<int16_t>(r[2 * i] | r[2 * i + 1] << 8), ref.pcm[i]) << i;
}

TEST(DecodeTool, RefusesWhatIsNotMpegAudio) {
  const std::string in = TempPath("junk.bin"), out = TempPath("junk.wav");
  Write(in, std::vector<uint8_t>(5000, 0x11));
  EXPECT_EQ(RunTool(in + " " + out), 1);
  FILE* f = std::fopen(out.c_str(), "rb");
  EXPECT_EQ(f, nullptr) << "no output file is left behind";
  if (f) std::fclose(f);
  std::remove(in.c_str());
  EXPECT_EQ(RunTool(TempPath("missing.mp3") + " " + out), 2);
  EXPECT_EQ(RunTool("--bogus " + in + " " + out), 2);
  EXPECT_EQ(RunTool(in), 2);
}

}  // namespace
