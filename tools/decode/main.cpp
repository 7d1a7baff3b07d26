// sorrel-decode: decodes an MPEG audio file to WAV or raw 16-bit PCM the way the player
// does: the audio start from the tag reader, the frames from the frame walker (the same
// first frame, the same skipped VBR header frame, the same resynchronisation), silence
// for a frame the decoder refuses.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "base/CommandLine.h"
#include "base/FileIO.h"
#include "base/WavHeader.h"
#include "decoder/MP3Decoder.h"
#include "decoder/MPCPUSpc.h"
#include "decoder/MPEGWalker.h"
#include "engine/MP3Info.h"
#include "engine/MPStream.h"
#include "engine/MPStreamReader.h"

using namespace sorrel::decoder;
using namespace sorrel::engine;
namespace base = sorrel::base;

namespace {

const char kUsage[] =
    "usage: sorrel-decode [--raw] [--full-band] [--cpu plain|sse|avx2|auto] IN OUT\n"
    "  Decodes the MPEG audio file IN (Layer I, II or III) to OUT, a WAV file\n"
    "  (or raw signed 16-bit little-endian PCM with --raw); OUT may be - for\n"
    "  standard output.  IN must be a regular file.  A regular OUT is replaced only\n"
    "  when decoding succeeds; a device or FIFO is written in place.\n"
    "  --raw        write raw PCM without a WAV header\n"
    "  --full-band  decode all 32 subbands and all 576 Layer III lines instead of\n"
    "               stopping at the player's 24000 Hz limit\n"
    "  --cpu NAME   routine selection: plain (portable code only), sse (SSE2),\n"
    "               avx2 (AVX2 with FMA, where the processor has them) or auto\n"
    "               (the best the processor offers; the default)\n"
    "  --help       show this text; --version: the program's version\n"
    "  A summary line (frames, rate, channels, seconds, decoding time) goes to\n"
    "  standard error.  Exit status 0 on success, 1 when IN holds no MPEG audio,\n"
    "  2 for bad arguments or unreadable/unwritable files.\n";

// The player's ring: the input is read through it, never held whole.
constexpr int64_t kRingSize = 327680;

bool WriteAll(int fd, const uint8_t* p, size_t n) {
  while (n > 0) {
    const ssize_t w = ::write(fd, p, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += w;
    n -= size_t(w);
  }
  return true;
}

// Where the samples go.  A regular file or a new path is written to a temporary file
// beside it and renamed over it at the end, so a failed run leaves what was there;
// standard output ("-") and whatever exists and is not a regular file (a device, a
// FIFO) are written in place and never removed or truncated.
class TOutput {
 public:
  explicit TOutput(std::string path) : path_(std::move(path)) {}
  ~TOutput() {
    if (fd_ > 1) ::close(fd_);
  }

  bool Open(std::string& error) {
    if (path_ == "-") {
      fd_ = 1;
      return true;
    }
    struct stat st {};
    if (::stat(path_.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
      fd_ = ::open(path_.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
      if (fd_ < 0) error = path_ + ": " + std::strerror(errno);
      return fd_ >= 0;
    }
    replaced_ = true;
    return file_.Open(path_, &error);
  }
  // Whether bytes written can be rewritten at the end (the WAV sizes).
  bool Replaced() const { return replaced_; }

  bool Write(const uint8_t* p, size_t n) {
    buf_.insert(buf_.end(), p, p + n);
    return buf_.size() < kBuffer || Flush();
  }

  // Puts `header` at the start (when the output allows it) and finishes the file.
  bool Finish(const uint8_t* header, size_t n, std::string& error) {
    bool ok = Flush();
    if (replaced_) {
      if (ok && n > 0) ok = file_.WriteAt(0, header, n);
      return file_.Commit(&error) && ok;
    }
    if (!ok) error = path_ + ": " + std::strerror(errno);
    return ok;
  }

 private:
  static constexpr size_t kBuffer = 65536;

  bool Flush() {
    const bool ok =
        replaced_ ? file_.Write(buf_.data(), buf_.size()) : WriteAll(fd_, buf_.data(), buf_.size());
    buf_.clear();
    return ok;
  }

  std::string path_;
  bool replaced_ = false;
  base::TAtomicFileWriter file_;
  int fd_ = -1;
  std::vector<uint8_t> buf_;
};

int Decode(const std::string& in, const std::string& outPath, bool raw, bool fullBand, uint32_t caps) {
  const auto t0 = std::chrono::steady_clock::now();
  TMPFileStream stream(in);
  TMPStreamReader reader(kRingSize);
  reader.Open(&stream, true);
  // The audio start and length as the player finds them.
  TMP3Info info;
  info.SetReader(&reader);
  info.AnalyzeHead();
  info.AnalyzeTail();
  reader.Seek(info.AudioStart(), 0);
  TMPEGData data{info.AudioStart(),
                 info.AudioLength() == kMPMaxInt ? kMPEGUnknownLength : info.AudioLength()};

  TMPEGWalker walker;
  TMP3Decoder dec;
  dec.SetFullBand(fullBand);
  dec.SetCpuCapabilities(caps);
  TDecInfo di{};
  if (!walker.Open(reader, data) ||
      dec.AudioDecodeInit(walker.First().head, walker.First().rawLength, 0, 0, 0, 24000) != 1 ||
      (dec.AudioDecodeInfo(di), di.samprate < 1 || di.channels < 1 || di.channels > 2 || di.outvalues < 1)) {
    std::fprintf(stderr, "sorrel-decode: %s: unknown MPEG Audio format.\n", in.c_str());
    return 1;
  }

  TOutput out(outPath);
  std::string error;
  if (!out.Open(error)) {
    std::fprintf(stderr, "sorrel-decode: cannot write %s\n", error.c_str());
    return 2;
  }
  const base::TWavFormat format{uint32_t(di.samprate), uint16_t(di.channels), 16};
  // Sizes not known yet: "to the end" unless the output can be rewritten at the end.
  auto header = base::WavHeader(format, out.Replaced() ? 0 : UINT64_MAX);
  bool ok = raw || out.Write(header.data(), header.size());

  std::vector<int16_t> pcm(size_t(di.outvalues));
  std::vector<uint8_t> bytes(pcm.size() * 2);
  int64_t frames = 0;
  int skipped = 0;
  TMPEGFrame f;
  while (ok && reader.Position() - data.start < data.length) {
    if (!walker.Next(reader, data.End(), skipped, f) || !reader.Need(f.length)) break;
    const TInOut r = dec.AudioDecode(reader.Peek(), f.length, pcm.data());
    reader.Skip(f.length);
    skipped = 0;
    if (r.in_bytes < 1) std::fill(pcm.begin(), pcm.end(), 0);
    if constexpr (std::endian::native == std::endian::little) {
      std::memcpy(bytes.data(), pcm.data(), bytes.size());
    } else {
      for (size_t i = 0; i < pcm.size(); ++i) {
        bytes[2 * i] = uint8_t(pcm[i]);
        bytes[2 * i + 1] = uint8_t(uint16_t(pcm[i]) >> 8);
      }
    }
    ok = out.Write(bytes.data(), bytes.size());
    ++frames;
  }
  const uint64_t dataBytes = uint64_t(frames) * bytes.size();
  header = base::WavHeader(format, dataBytes);
  if (!out.Finish(raw ? nullptr : header.data(), raw ? 0 : header.size(), error) || !ok) {
    std::fprintf(stderr, "sorrel-decode: cannot write %s\n", error.empty() ? outPath.c_str() : error.c_str());
    return 2;
  }
  const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  const double audioSecs = double(frames) * double(pcm.size()) / di.channels / di.samprate;
  std::fprintf(stderr, "%lld frames, %d Hz, %d channel%s, %.2f s of audio, decoded in %.3f s\n",
               static_cast<long long>(frames), di.samprate, di.channels, di.channels == 1 ? "" : "s",
               audioSecs, secs);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  bool raw = false, fullBand = false;
  std::string cpu = "auto";
  base::TCommandLine cl("sorrel-decode", kUsage);
  cl.Flag("--raw", &raw);
  cl.Flag("--full-band", &fullBand);
  cl.Option("--cpu", &cpu);
  if (cl.Parse(argc, argv) == base::TCommandLine::TResult::kExit) return cl.ExitCode();
  if (cl.Positional().size() != 2) return cl.Fail("wants an input file and an output file");
  // Detection also gives this thread the floating-point control the routines expect.
  uint32_t caps = GetCpuCapabilities();
  if (!CpuCapabilitiesForName(cpu.c_str(), caps)) return cl.Fail("--cpu wants plain, sse, avx2 or auto");
  try {
    return Decode(cl.Positional()[0], cl.Positional()[1], raw, fullBand, caps);
  } catch (const std::exception& e) {
    // The input could not be opened or read.
    std::fprintf(stderr, "sorrel-decode: %s\n", e.what());
    return 2;
  }
}
