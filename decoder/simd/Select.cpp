// Routine selection (see Select.h). Only routines compiled into this build
// are ever chosen; anything else falls back to the plain routine.
#include "decoder/simd/Select.h"

#include "decoder/simd/Simd.h"

namespace sorrel::decoder {

sorrel::decoder::TSynthWindowFn SynthWindowFor(TMP3Kernel k) {
#if defined(SORREL_HAVE_SIMD)
  if (k == TMP3Kernel::mkAVX2 && simd::HaveAVX2()) return simd::SynthWindowAVX2;
  if (k != TMP3Kernel::mkPlain && simd::HaveSSE2()) return simd::SynthWindowSSE2;
#endif
  (void)k;
  return sorrel::decoder::SynthWindowPlain;
}

sorrel::decoder::TSynthDctFn SynthDctFor(TMP3Kernel k) {
#if defined(SORREL_HAVE_SIMD)
  if (k == TMP3Kernel::mkAVX2 && simd::HaveAVX2()) return simd::SynthDctAVX2;
  if (k != TMP3Kernel::mkPlain && simd::HaveSSE2()) return simd::SynthDctSSE2;
#endif
  (void)k;
  return sorrel::decoder::SynthDctPlain;
}

sorrel::decoder::TSynthWindow2Fn SynthWindow2For(TMP3Kernel k) {
#if defined(SORREL_HAVE_SIMD)
  if (k == TMP3Kernel::mkAVX2 && simd::HaveAVX2()) return simd::SynthWindow2AVX2;
  if (k != TMP3Kernel::mkPlain && simd::HaveSSE2()) return simd::SynthWindow2SSE2;
#endif
  (void)k;
  return sorrel::decoder::SynthWindow2Plain;
}

void SelectSynthRoutines(sorrel::decoder::TSynth& synth, TMP3Kernel k) {
  static_assert(sorrel::decoder::TSynth::kSlots == 32, "the vector routines walk a ring of 32");
  synth.SetWindowRoutine(SynthWindowFor(k));
  synth.SetDctRoutine(SynthDctFor(k));
  synth.SetWindow2Routine(SynthWindow2For(k));
}

TL3Kernels L3KernelsFor(const TMP3RoutineChoice& c) {
  TL3Kernels k = L3PlainKernels();
#if defined(SORREL_HAVE_SIMD)
  auto pick = [](TMP3Kernel want, auto plain, auto sse2, auto avx2) {
    if (want == TMP3Kernel::mkAVX2 && simd::HaveAVX2()) return avx2;
    if (want != TMP3Kernel::mkPlain && simd::HaveSSE2()) return sse2;
    return plain;
  };
  k.antialias = pick(c.aliasReduction, k.antialias, &simd::L3AntialiasSSE2, &simd::L3AntialiasAVX2);
  k.hybrid = pick(c.hybrid, k.hybrid, &simd::L3HybridSSE2, &simd::L3HybridAVX2);
  k.imdct36 = pick(c.imdct, k.imdct36, &simd::L3Imdct36SSE2, &simd::L3Imdct36AVX2);
  k.imdct12 = pick(c.imdct, k.imdct12, &simd::L3Imdct12SSE2, &simd::L3Imdct12AVX2);
#else
  (void)c;
#endif
  return k;
}

}  // namespace sorrel::decoder
