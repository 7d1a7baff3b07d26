// sorrel-decode: decodes an MPEG audio file to WAV or raw 16-bit PCM, finding and
// checking frames the way the player does.
#include <bit>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "decoder/MP3Decoder.h"
#include "decoder/MPCPUSpc.h"
#include "decoder/MPEGHeader.h"

using namespace sorrel::decoder;

namespace {

const char kUsage[] =
    "usage: sorrel-decode [--raw] [--full-band] [--cpu plain|sse|avx2|auto] IN OUT\n"
    "  Decodes the MPEG audio file IN (Layer I, II or III) to OUT, a WAV file\n"
    "  (or raw signed 16-bit little-endian PCM with --raw); OUT may be - for\n"
    "  standard output.\n"
    "  --raw        write raw PCM without a WAV header\n"
    "  --full-band  decode all 32 subbands and all 576 Layer III lines instead of\n"
    "               stopping at the player's 24000 Hz limit\n"
    "  --cpu NAME   routine selection: plain (portable code only), sse (SSE2),\n"
    "               avx2 (AVX2 with FMA, where the processor has them) or auto\n"
    "               (the best the processor offers; the default)\n"
    "  A summary line (frames, rate, channels, seconds, decoding time) goes to\n"
    "  standard error.  Exit status 0 on success, 1 when IN holds no MPEG audio,\n"
    "  2 for bad arguments or unreadable/unwritable files.\n";

bool ReadFile(const char* path, std::vector<uint8_t>& data) {
  FILE* f = std::fopen(path, "rb");
  if (!f) return false;
  // Size the buffer once when the file can tell its size; grow otherwise.
  if (std::fseek(f, 0, SEEK_END) == 0) {
    const long size = std::ftell(f);
    if (size > 0) data.reserve(static_cast<size_t>(size));
    std::rewind(f);
  }
  uint8_t buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) data.insert(data.end(), buf, buf + n);
  const bool ok = !std::ferror(f);
  std::fclose(f);
  return ok;
}

void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
void Put16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

void WavHeader(uint8_t* h, int rate, int channels, uint32_t data_bytes) {
  std::memcpy(h, "RIFF", 4);
  Put32(h + 4, data_bytes > 0xFFFFFFFFu - 36 ? 0xFFFFFFFFu : data_bytes + 36);
  std::memcpy(h + 8, "WAVEfmt ", 8);
  Put32(h + 16, 16);
  Put16(h + 20, 1);
  Put16(h + 22, static_cast<uint16_t>(channels));
  Put32(h + 24, static_cast<uint32_t>(rate));
  Put32(h + 28, static_cast<uint32_t>(rate * channels * 2));
  Put16(h + 32, static_cast<uint16_t>(channels * 2));
  Put16(h + 34, 16);
  std::memcpy(h + 36, "data", 4);
  Put32(h + 40, data_bytes);
}

// Start of the audio data: past an ID3v2 tag at the beginning of the file.
size_t AudioStart(const std::vector<uint8_t>& d) {
  if (d.size() >= 10 && d[0] == 'I' && d[1] == 'D' && d[2] == '3' && d[3] != 0xFF && d[4] != 0xFF &&
      !((d[6] | d[7] | d[8] | d[9]) & 0x80)) {
    size_t size = (size_t{d[6]} << 21) | (size_t{d[7]} << 14) | (size_t{d[8]} << 7) | d[9];
    size += 10;
    if (d[5] & 0x10) size += 10;  // footer
    return size < d.size() ? size : d.size();
  }
  return 0;
}

int32_t Be32(const uint8_t* p) {
  return static_cast<int32_t>(uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3]);
}

}  // namespace

int main(int argc, char** argv) {
  bool raw = false, full_band = false;
  uint32_t cpu_caps = GetCpuCapabilities();
  std::vector<const char*> files;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--raw"))
      raw = true;
    else if (!std::strcmp(argv[i], "--full-band"))
      full_band = true;
    else if (!std::strcmp(argv[i], "--cpu")) {
      if (i + 1 >= argc || !CpuCapabilitiesForName(argv[i + 1], cpu_caps)) {
        std::fprintf(stderr, "sorrel-decode: --cpu wants plain, sse, avx2 or auto\n%s", kUsage);
        return 2;
      }
      ++i;
    } else if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (argv[i][0] == '-' && argv[i][1] != 0) {
      std::fprintf(stderr, "sorrel-decode: unknown option %s\n%s", argv[i], kUsage);
      return 2;
    } else
      files.push_back(argv[i]);
  }
  if (files.size() != 2) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  std::vector<uint8_t> data;
  if (!ReadFile(files[0], data)) {
    std::fprintf(stderr, "sorrel-decode: cannot read %s: %s\n", files[0], std::strerror(errno));
    return 2;
  }
  const bool to_stdout = !std::strcmp(files[1], "-");
  FILE* out = to_stdout ? stdout : std::fopen(files[1], "wb");
  if (!out) {
    std::fprintf(stderr, "sorrel-decode: cannot write %s: %s\n", files[1], std::strerror(errno));
    return 2;
  }

  const auto t0 = std::chrono::steady_clock::now();
  const size_t start = AudioStart(data);
  const uint8_t* buf = data.data() + start;
  const int64_t size = static_cast<int64_t>(data.size() - start);

  TMPEGHead head{};
  int32_t bitrate = 0, offset = 0;
  const int32_t search_n = static_cast<int32_t>(size < 4096 ? size : 4096);
  const int32_t first_len = HeadInfoSearch(buf, search_n, head, bitrate, offset);
  if (first_len < 1 || head.option < 1) {
    std::fprintf(stderr, "sorrel-decode: %s: unknown MPEG Audio format.\n", files[0]);
    if (!to_stdout) {
      std::fclose(out);
      std::remove(files[1]);
    }
    return 1;
  }
  int64_t pos = offset;
  uint8_t ref[4];
  std::memcpy(ref, buf + pos, 4);
  const bool free_format = head.br_index == 0;

  TMP3Decoder dec;
  dec.SetFullBand(full_band);
  dec.SetCpuCapabilities(cpu_caps);
  if (!dec.AudioDecodeInit(head, first_len, 0, 0, 0, 24000)) {
    std::fprintf(stderr, "sorrel-decode: %s: unknown MPEG Audio format.\n", files[0]);
    if (!to_stdout) {
      std::fclose(out);
      std::remove(files[1]);
    }
    return 1;
  }
  TDecInfo info{};
  dec.AudioDecodeInfo(info);

  // A Xing or VBRI header frame carries no audio: skip it.
  {
    int side = head.id == 1 ? (head.mode == 3 ? 21 : 36) : (head.mode == 3 ? 13 : 21);
    if (head.prot == 0) side += 2;
    const int64_t len = MPEGPaddedFrameBytes(head, first_len);
    if (head.option == 1 && pos + side + 4 <= size && pos + len <= size &&
        (!std::memcmp(buf + pos + side, "Xing", 4) || !std::memcmp(buf + pos + side, "VBRI", 4)))
      pos += len;
  }
  (void)Be32;

  uint8_t wav[44];
  if (!raw) {
    WavHeader(wav, info.samprate, info.channels, to_stdout ? 0xFFFFFFFFu : 0);
    std::fwrite(wav, 1, 44, out);
  }
  std::vector<int16_t> pcm(static_cast<size_t>(info.outvalues));
  std::vector<uint8_t> bytes(pcm.size() * 2);
  int64_t frames = 0, samples = 0, skipped = 0;
  bool write_failed = false;
  while (pos + 4 <= size) {
    TMPEGHead h{};
    int32_t len = HeadInfo(buf + pos, 0, h);
    if (free_format && h.sync != 0 && h.br_index == 0 && h.option == head.option) len = first_len;
    if (len < 1 || h.option < 1 || !HeaderAgrees(buf + pos, ref)) {
      ++pos;
      if (++skipped >= 4096) break;
      continue;
    }
    skipped = 0;
    const int64_t flen = MPEGPaddedFrameBytes(h, len);
    if (pos + flen > size) break;
    const int64_t avail = size - pos;
    const TInOut r =
        dec.AudioDecode(buf + pos, static_cast<int32_t>(avail > 0x7FFFFFFF ? 0x7FFFFFFF : avail), pcm.data());
    if (r.in_bytes < 1) std::fill(pcm.begin(), pcm.end(), 0);
    if constexpr (std::endian::native == std::endian::little)
      std::memcpy(bytes.data(), pcm.data(), bytes.size());
    else
      for (size_t i = 0; i < pcm.size(); ++i) Put16(&bytes[2 * i], static_cast<uint16_t>(pcm[i]));
    if (std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size()) {
      write_failed = true;
      break;
    }
    ++frames;
    samples += info.outvalues;
    pos += flen;
  }
  const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  const uint64_t data_bytes = static_cast<uint64_t>(samples) * 2;
  if (!raw && !to_stdout && !write_failed) {
    WavHeader(wav, info.samprate, info.channels,
              data_bytes > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(data_bytes));
    if (std::fseek(out, 0, SEEK_SET) == 0) std::fwrite(wav, 1, 44, out);
  }
  if (to_stdout ? std::fflush(out) != 0 : std::fclose(out) != 0) write_failed = true;
  if (write_failed) {
    std::fprintf(stderr, "sorrel-decode: cannot write %s\n", files[1]);
    return 2;
  }
  const double audio_secs = info.samprate > 0 && info.channels > 0
                                ? static_cast<double>(samples) / info.channels / info.samprate
                                : 0.0;
  std::fprintf(stderr, "%lld frames, %d Hz, %d channel%s, %.2f s of audio, decoded in %.3f s\n",
               static_cast<long long>(frames), info.samprate, info.channels, info.channels == 1 ? "" : "s",
               audio_secs, secs);
  return 0;
}
