// AVX2 + FMA versions of the routine slots (see Simd.h). This file is built
// with -mavx2 -mfma; it is only called after detection found both.
#include "decoder/simd/Simd.h"

#if defined(__AVX2__) && defined(__FMA__)
#include <immintrin.h>

namespace sorrel::decoder {

namespace simd {
namespace {

struct V8 {
  using T = __m256;
  static constexpr bool kSplitWindow = true;
  static constexpr int W = 8;
  static T Zero() { return _mm256_setzero_ps(); }
  static T Set1(float f) { return _mm256_set1_ps(f); }
  static T Load(const float* p) { return _mm256_load_ps(p); }
  static T LoadU(const float* p) { return _mm256_loadu_ps(p); }
  static void Store(float* p, T v) { _mm256_store_ps(p, v); }
  static void StoreU(float* p, T v) { _mm256_storeu_ps(p, v); }
  static T Add(T a, T b) { return _mm256_add_ps(a, b); }
  static T Sub(T a, T b) { return _mm256_sub_ps(a, b); }
  static void Transpose(T* r) {
    const __m256 t0 = _mm256_unpacklo_ps(r[0], r[1]), t1 = _mm256_unpackhi_ps(r[0], r[1]);
    const __m256 t2 = _mm256_unpacklo_ps(r[2], r[3]), t3 = _mm256_unpackhi_ps(r[2], r[3]);
    const __m256 t4 = _mm256_unpacklo_ps(r[4], r[5]), t5 = _mm256_unpackhi_ps(r[4], r[5]);
    const __m256 t6 = _mm256_unpacklo_ps(r[6], r[7]), t7 = _mm256_unpackhi_ps(r[6], r[7]);
    const __m256 s0 = _mm256_shuffle_ps(t0, t2, _MM_SHUFFLE(1, 0, 1, 0));
    const __m256 s1 = _mm256_shuffle_ps(t0, t2, _MM_SHUFFLE(3, 2, 3, 2));
    const __m256 s2 = _mm256_shuffle_ps(t1, t3, _MM_SHUFFLE(1, 0, 1, 0));
    const __m256 s3 = _mm256_shuffle_ps(t1, t3, _MM_SHUFFLE(3, 2, 3, 2));
    const __m256 s4 = _mm256_shuffle_ps(t4, t6, _MM_SHUFFLE(1, 0, 1, 0));
    const __m256 s5 = _mm256_shuffle_ps(t4, t6, _MM_SHUFFLE(3, 2, 3, 2));
    const __m256 s6 = _mm256_shuffle_ps(t5, t7, _MM_SHUFFLE(1, 0, 1, 0));
    const __m256 s7 = _mm256_shuffle_ps(t5, t7, _MM_SHUFFLE(3, 2, 3, 2));
    r[0] = _mm256_permute2f128_ps(s0, s4, 0x20);
    r[1] = _mm256_permute2f128_ps(s1, s5, 0x20);
    r[2] = _mm256_permute2f128_ps(s2, s6, 0x20);
    r[3] = _mm256_permute2f128_ps(s3, s7, 0x20);
    r[4] = _mm256_permute2f128_ps(s0, s4, 0x31);
    r[5] = _mm256_permute2f128_ps(s1, s5, 0x31);
    r[6] = _mm256_permute2f128_ps(s2, s6, 0x31);
    r[7] = _mm256_permute2f128_ps(s3, s7, 0x31);
  }
  static T Mul(T a, T b) { return _mm256_mul_ps(a, b); }
  static T MulAdd(T a, T b, T c) { return _mm256_fmadd_ps(a, b, c); }
  static __m256i Pcm(T v) {
    v = _mm256_max_ps(v, _mm256_set1_ps(-32768.0f));
    v = _mm256_min_ps(v, _mm256_set1_ps(32767.0f));
    return _mm256_cvtps_epi32(v);
  }
  // 16 samples of 32-bit sums in order, as 16-bit values.
  static __m256i Pcm16(T lo, T hi) {
    return _mm256_permute4x64_epi64(_mm256_packs_epi32(Pcm(lo), Pcm(hi)), _MM_SHUFFLE(3, 1, 2, 0));
  }
  static void StorePcm32Pair(const T* a, const T* b, int16_t* out) {
    for (int q = 0; q < 4; q += 2) {
      const __m256i l = Pcm16(a[q], a[q + 1]), r = Pcm16(b[q], b[q + 1]);
      const __m256i lo = _mm256_unpacklo_epi16(l, r), hi = _mm256_unpackhi_epi16(l, r);
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 16 * q), _mm256_permute2x128_si256(lo, hi, 0x20));
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 16 * q + 16),
                          _mm256_permute2x128_si256(lo, hi, 0x31));
    }
  }
  static void StorePcm32(const T* acc, int16_t* out) {
    for (int q = 0; q < 4; q += 2) {
      // packs works per 128-bit lane; restore the order of the 16 samples.
      const __m256i p = _mm256_packs_epi32(Pcm(acc[q]), Pcm(acc[q + 1]));
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 8 * q),
                          _mm256_permute4x64_epi64(p, _MM_SHUFFLE(3, 1, 2, 0)));
    }
  }
};

#include "decoder/simd/DctImpl.h"
#include "decoder/simd/KernelsImpl.h"

}  // namespace

bool HaveAVX2() { return true; }

void SynthDctAVX2(const float* in, int sbStride, int slotStride, int nslots, const float* gains, float* v,
                  int pos, const float* dct) {
  DctImpl<V8>(in, sbStride, slotStride, nslots, gains, v, pos, dct);
}

void SynthWindowAVX2(const float* v, int pos, const float* win, int16_t* out, int outStride) {
  WindowImpl<V8>(v, pos, win, out, outStride);
}

void SynthWindow2AVX2(const float* v0, const float* v1, int pos0, int pos1, const float* win, int16_t* out) {
  Window2Impl<V8>(v0, v1, pos0, pos1, win, out);
}

void L3AntialiasAVX2(float* x, int nbound) {
  const TKernelTables& T = KernelTables();
  const __m256 cs = _mm256_load_ps(T.cs), ca = _mm256_load_ps(T.ca);
  const __m256 csr = _mm256_load_ps(T.csRev), car = _mm256_load_ps(T.caRev);
  const __m256i rev = _mm256_set_epi32(0, 1, 2, 3, 4, 5, 6, 7);
  for (int s = 0; s < nbound; ++s) {
    float* a = x + 18 * s + 10;
    float* b = x + 18 * s + 18;
    const __m256 av = _mm256_loadu_ps(a), bv = _mm256_loadu_ps(b);
    const __m256 A = _mm256_permutevar8x32_ps(av, rev), Br = _mm256_permutevar8x32_ps(bv, rev);
    _mm256_storeu_ps(a, _mm256_fnmadd_ps(Br, car, _mm256_mul_ps(av, csr)));
    _mm256_storeu_ps(b, _mm256_fmadd_ps(A, ca, _mm256_mul_ps(bv, cs)));
  }
}

int L3HybridAVX2(float* cur, float* prev, float* out, int block_type, int nlong, int ntotal, int nprev) {
  return HybridImpl<V8>(cur, prev, out, block_type, nlong, ntotal, nprev);
}

void L3Imdct36AVX2(const float* in, float* out) {
  alignas(32) float y[40];
  Imdct36Impl<V8>(KernelTables(), in, y);
  for (int i = 0; i < 36; ++i) out[i] = y[i];
}

void L3Imdct12AVX2(const float* in, float* out) {
  alignas(32) float y[16];
  Imdct12Impl<V8>(KernelTables(), in, y);
  for (int i = 0; i < 12; ++i) out[i] = y[i];
}

}  // namespace simd

#else

namespace simd {
bool HaveAVX2() { return false; }
}  // namespace simd

#endif

}  // namespace sorrel::decoder
