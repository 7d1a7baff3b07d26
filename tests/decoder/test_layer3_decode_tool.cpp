// sorrel-decode end to end: what it skips (an ID3v2 tag, a Xing frame, junk between
// frames), what it writes (WAV or raw, the same samples as the decoder object), its exit
// status for unusable input, and what it never does to paths it did not create.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/stat.h>
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

int Sh(const std::string& cmd) {
  const int rc = std::system(cmd.c_str());
  if (WIFEXITED(rc)) return WEXITSTATUS(rc);
  return WIFSIGNALED(rc) ? 128 + WTERMSIG(rc) : -1;
}

int RunTool(const std::string& args) { return Sh(kTool + " " + args + " 2>/dev/null"); }

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

TEST(DecodeTool, NeverRemovesOrTruncatesWhatItDidNotCreate) {
  namespace fs = std::filesystem;
  const fs::path dir = TempPath("paths");
  fs::create_directories(dir);
  const std::string junk = (dir / "junk.bin").string(), song = (dir / "song.mp3").string();
  Write(junk, std::vector<uint8_t>(5000, 0x11));
  Write(song, l3test::ReadBytes(std::string(SORREL_TEST_DATA) + "/vectors/l3-si.bit"));
  // A file that was there survives a failed run, whatever the reason.
  const std::string kept = (dir / "kept.wav").string();
  Write(kept, {'o', 'l', 'd'});
  EXPECT_EQ(RunTool(junk + " " + kept), 1);
  EXPECT_EQ(RunTool((dir / "missing.mp3").string() + " " + kept), 2);
  EXPECT_EQ(l3test::ReadBytes(kept), (std::vector<uint8_t>{'o', 'l', 'd'}));
  // A link to a device (as /dev/null is one) is written through, never removed.
  const std::string link = (dir / "null.wav").string();
  fs::create_symlink("/dev/null", link);
  EXPECT_EQ(RunTool(junk + " " + link), 1);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(RunTool(song + " " + link), 0);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_TRUE(fs::is_character_file(link));
  // A FIFO is not even opened for a failed run (that would wait for a reader); for a
  // good one it gets the WAV stream and stays a FIFO.
  const std::string fifo = (dir / "pipe.wav").string(), caught = (dir / "caught.wav").string();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(Sh("timeout -k 2 20 " + kTool + " " + junk + " " + fifo + " 2>/dev/null"), 1);
  EXPECT_EQ(Sh("cat " + fifo + " >" + caught + " & timeout -k 2 20 " + kTool + " " + song + " " + fifo +
               " 2>/dev/null; rc=$?; wait; exit $rc"),
            0);
  EXPECT_TRUE(fs::is_fifo(fifo));
  const auto w = l3test::ReadBytes(caught);
  ASSERT_GT(w.size(), 44u);
  EXPECT_EQ(Le32(w.data() + 40), 0xFFFFFFFFu) << "a stream's length is not known up front";
  // A good run replaces a file that was there, whole.
  EXPECT_EQ(RunTool(song + " " + kept), 0);
  EXPECT_GT(l3test::ReadBytes(kept).size(), 44u);
  EXPECT_EQ(Le32(l3test::ReadBytes(kept).data() + 40), l3test::ReadBytes(kept).size() - 44);
  std::error_code ec;
  fs::remove_all(dir, ec);
}

TEST(DecodeTool, ADeviceAsInputEndsWithAMessageInBoundedMemory) {
  // /dev/zero never ends; with 1 GiB of address space a reader that holds its input
  // would fail, and one that never gives up would be stopped by the time-out.
  const std::string err = TempPath("zero.txt");
  EXPECT_EQ(
      Sh("ulimit -v 1048576; timeout -k 2 30 " + kTool + " /dev/zero " + TempPath("zero.wav") + " 2>" + err),
      2);
  const auto msg = l3test::ReadBytes(err);
  EXPECT_NE(std::string(msg.begin(), msg.end()).find("Not a regular file"), std::string::npos);
  std::remove(err.c_str());
  FILE* f = std::fopen(TempPath("zero.wav").c_str(), "rb");
  EXPECT_EQ(f, nullptr);
  if (f) std::fclose(f);
}

TEST(DecodeTool, HelpVersionAndTheErrorStyle) {
  EXPECT_EQ(Sh(kTool + " --help >/dev/null"), 0);
  EXPECT_EQ(Sh(kTool + " --version | grep -q 'sorrel-decode (Tarn'\\''s MP3Player)'"), 0);
  EXPECT_EQ(Sh(kTool + " --cpu nonsense a b 2>&1 | grep -q '^sorrel-decode: --cpu'"), 0);
  EXPECT_EQ(RunTool("--cpu nonsense a b"), 2);
}

}  // namespace
