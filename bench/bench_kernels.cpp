// Decoder kernels and whole-stream decoding per routine selection.
//   sorrel-bench-kernels [--benchmark_filter=REGEX]
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "decoder/Layer3.h"
#include "decoder/MP3Decoder.h"
#include "decoder/MPCPUSpc.h"
#include "decoder/MPEGHeader.h"
#include "decoder/MPEGWalker.h"
#include "decoder/Synth.h"
#include "decoder/simd/Select.h"

using namespace sorrel::decoder;

namespace {

using sorrel::decoder::TSynth;

std::vector<float> Noise(int n, float amp, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> d(-amp, amp);
  std::vector<float> v(n);
  for (auto& x : v) x = d(rng);
  return v;
}

TMP3RoutineChoice Choice(int64_t k) {
  TMP3RoutineChoice c;
  c.aliasReduction = c.synthWindow = c.hybrid = c.imdct = static_cast<TMP3Kernel>(k);
  return c;
}

bool Usable(benchmark::State& state, TMP3Kernel k) {
  uint32_t caps = 0;
  CpuCapabilitiesForName("auto", caps);
  const TMP3Kernel best = ChooseRoutines(caps).synthWindow;
  if (static_cast<int>(k) > static_cast<int>(best)) {
    state.SkipWithError("not available on this processor");
    return false;
  }
  state.SetLabel(KernelName(k));
  return true;
}

// One granule of one channel: 18 slots of matrixing + windowing.
void BM_SynthGranule(benchmark::State& state) {
  const TMP3Kernel k = static_cast<TMP3Kernel>(state.range(0));
  if (!Usable(state, k)) return;
  TSynth s;
  SelectSynthRoutines(s, k);
  const auto in = Noise(576, 3000.0f, 1);
  int16_t out[576];
  for (auto _ : state) {
    s.SynthSlots(0, in.data(), 18, 1, 18, out, 1);
    benchmark::DoNotOptimize(out);
  }
  state.SetItemsProcessed(state.iterations() * 576);
}

void BM_SynthWindow(benchmark::State& state) {
  const TMP3Kernel k = static_cast<TMP3Kernel>(state.range(0));
  if (!Usable(state, k)) return;
  const auto fn = SynthWindowFor(k);
  const auto v = Noise(32 * 64, 3000.0f, 2);
  int16_t out[32];
  int pos = 0;
  for (auto _ : state) {
    fn(v.data(), pos, TSynth::IsoWindow(), out, 1);
    pos = (pos + 1) & 31;
    benchmark::DoNotOptimize(out);
  }
}

// Matrixing alone, a batch of 8 slots as Layer III hands them over.
void BM_SynthDct8(benchmark::State& state) {
  const TMP3Kernel k = static_cast<TMP3Kernel>(state.range(0));
  if (!Usable(state, k)) return;
  const auto fn = SynthDctFor(k);
  const auto in = Noise(256, 3000.0f, 9);
  std::vector<float> v(32 * 64);
  for (auto _ : state) {
    fn(in.data(), 1, 32, 8, nullptr, v.data(), 7, TSynth::DctFactors());
    benchmark::DoNotOptimize(v.data());
  }
}

void BM_Dct32(benchmark::State& state) {
  const auto in = Noise(32, 3000.0f, 3);
  float out[32];
  for (auto _ : state) {
    sorrel::decoder::Dct32(in.data(), out);
    benchmark::DoNotOptimize(out);
  }
}

void BM_Antialias(benchmark::State& state) {
  const TMP3Kernel k = static_cast<TMP3Kernel>(state.range(0));
  if (!Usable(state, k)) return;
  const TL3Kernels kern = L3KernelsFor(Choice(state.range(0)));
  auto x = Noise(576, 100.0f, 4);
  for (auto _ : state) {
    kern.antialias(x.data(), 31);
    benchmark::DoNotOptimize(x.data());
  }
}

void BM_HybridLong(benchmark::State& state) {
  const TMP3Kernel k = static_cast<TMP3Kernel>(state.range(0));
  if (!Usable(state, k)) return;
  const TL3Kernels kern = L3KernelsFor(Choice(state.range(0)));
  const auto src = Noise(576, 100.0f, 5);
  auto cur = src, prev = Noise(576, 100.0f, 6);
  std::vector<float> out(576);
  for (auto _ : state) {
    cur = src;
    kern.hybrid(cur.data(), prev.data(), out.data(), 0, 32, 32, 32);
    benchmark::DoNotOptimize(out.data());
  }
}

void BM_HybridShort(benchmark::State& state) {
  const TMP3Kernel k = static_cast<TMP3Kernel>(state.range(0));
  if (!Usable(state, k)) return;
  const TL3Kernels kern = L3KernelsFor(Choice(state.range(0)));
  const auto src = Noise(576, 100.0f, 7);
  auto cur = src, prev = Noise(576, 100.0f, 8);
  std::vector<float> out(576);
  for (auto _ : state) {
    cur = src;
    kern.hybrid(cur.data(), prev.data(), out.data(), 2, 0, 32, 32);
    benchmark::DoNotOptimize(out.data());
  }
}

// Whole conformance streams through the decoder object.
void BM_DecodeStream(benchmark::State& state, const char* name) {
  const TMP3Kernel k = static_cast<TMP3Kernel>(state.range(0));
  if (!Usable(state, k)) return;
  std::ifstream f(std::string(SORREL_TEST_DATA) + "/vectors/" + name + ".bit", std::ios::binary);
  const std::vector<uint8_t> data((std::istreambuf_iterator<char>(f)), {});
  // The frames as the player finds them.
  TMPEGWalker walker;
  TMPEGMemorySource src(data.data(), int64_t(data.size()));
  TMPEGData span{0, int64_t(data.size())};
  std::vector<std::pair<int64_t, int32_t>> frames;
  if (walker.Open(src, span)) {
    int skipped = 0;
    TMPEGFrame f;
    while (walker.Next(src, span.End(), skipped, f) && src.Need(f.length)) {
      frames.emplace_back(src.Position(), f.length);
      skipped = 0;
      src.Skip(f.length);
    }
  }
  uint32_t caps = 0;
  CpuCapabilitiesForName(k == TMP3Kernel::mkPlain ? "plain" : k == TMP3Kernel::mkSSE2 ? "sse" : "avx2", caps);
  TMP3Decoder dec;
  dec.SetCpuCapabilities(caps);
  std::vector<int16_t> out(4608);
  int64_t samples = 0;
  for (auto _ : state) {
    if (frames.empty() ||
        !dec.AudioDecodeInit(walker.First().head, walker.First().rawLength, 0, 0, 0, 24000)) {
      state.SkipWithError("stream not decodable");
      return;
    }
    for (const auto& [at, length] : frames)
      samples += dec.AudioDecode(data.data() + at, length, out.data()).out_bytes / 2;
  }
  state.SetItemsProcessed(samples);
}

#define KERNELS ->Arg(0)->Arg(1)->Arg(2)
BENCHMARK(BM_SynthGranule) KERNELS;
BENCHMARK(BM_SynthWindow) KERNELS;
BENCHMARK(BM_SynthDct8) KERNELS;
BENCHMARK(BM_Dct32);
BENCHMARK(BM_Antialias) KERNELS;
BENCHMARK(BM_HybridLong) KERNELS;
BENCHMARK(BM_HybridShort) KERNELS;
BENCHMARK_CAPTURE(BM_DecodeStream, l2_fl16, "l2-fl16") KERNELS;
BENCHMARK_CAPTURE(BM_DecodeStream, l3_compl, "l3-compl") KERNELS;
BENCHMARK_CAPTURE(BM_DecodeStream, l3_test45, "l3-test45") KERNELS;

}  // namespace

BENCHMARK_MAIN();
