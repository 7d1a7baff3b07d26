// SSE2 versions of the routine slots (see Simd.h).
#include "decoder/simd/Simd.h"

#if defined(__SSE2__)
#include <emmintrin.h>

namespace sorrel::decoder {

namespace simd {
namespace {

struct V4 {
  using T = __m128;
  static constexpr bool kSplitWindow = false;
  static constexpr int W = 4;
  static T Zero() { return _mm_setzero_ps(); }
  static T Set1(float f) { return _mm_set1_ps(f); }
  static T Load(const float* p) { return _mm_load_ps(p); }
  static T LoadU(const float* p) { return _mm_loadu_ps(p); }
  static void Store(float* p, T v) { _mm_store_ps(p, v); }
  static void StoreU(float* p, T v) { _mm_storeu_ps(p, v); }
  static T Add(T a, T b) { return _mm_add_ps(a, b); }
  static T Sub(T a, T b) { return _mm_sub_ps(a, b); }
  static void Transpose(T* r) { _MM_TRANSPOSE4_PS(r[0], r[1], r[2], r[3]); }
  static T Mul(T a, T b) { return _mm_mul_ps(a, b); }
  // Separate multiply and add: the same roundings as the plain code.
  static T MulAdd(T a, T b, T c) { return _mm_add_ps(c, _mm_mul_ps(a, b)); }
  static __m128i Pcm(T v) {
    // Clamp first (a NaN becomes the lower bound), then round to nearest.
    v = _mm_max_ps(v, _mm_set1_ps(-32768.0f));
    v = _mm_min_ps(v, _mm_set1_ps(32767.0f));
    return _mm_cvtps_epi32(v);
  }
  static void StorePcm32Pair(const T* a, const T* b, int16_t* out) {
    for (int q = 0; q < 8; q += 2) {
      const __m128i l = _mm_packs_epi32(Pcm(a[q]), Pcm(a[q + 1]));
      const __m128i r = _mm_packs_epi32(Pcm(b[q]), Pcm(b[q + 1]));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8 * q), _mm_unpacklo_epi16(l, r));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8 * q + 8), _mm_unpackhi_epi16(l, r));
    }
  }
  static void StorePcm32(const T* acc, int16_t* out) {
    for (int q = 0; q < 8; q += 2)
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * q),
                       _mm_packs_epi32(Pcm(acc[q]), Pcm(acc[q + 1])));
  }
};

#include "decoder/simd/DctImpl.h"
#include "decoder/simd/KernelsImpl.h"

inline __m128 Rev(__m128 v) { return _mm_shuffle_ps(v, v, _MM_SHUFFLE(0, 1, 2, 3)); }

}  // namespace

bool HaveSSE2() { return true; }

void SynthDctSSE2(const float* in, int sbStride, int slotStride, int nslots, const float* gains, float* v,
                  int pos, const float* dct) {
  DctImpl<V4>(in, sbStride, slotStride, nslots, gains, v, pos, dct);
}

void SynthWindowSSE2(const float* v, int pos, const float* win, int16_t* out, int outStride) {
  WindowImpl<V4>(v, pos, win, out, outStride);
}

void SynthWindow2SSE2(const float* v0, const float* v1, int pos0, int pos1, const float* win, int16_t* out) {
  Window2Impl<V4>(v0, v1, pos0, pos1, win, out);
}

void L3AntialiasSSE2(float* x, int nbound) {
  const TKernelTables& T = KernelTables();
  const __m128 cs0 = _mm_load_ps(T.cs), cs1 = _mm_load_ps(T.cs + 4);
  const __m128 ca0 = _mm_load_ps(T.ca), ca1 = _mm_load_ps(T.ca + 4);
  const __m128 csr0 = _mm_load_ps(T.csRev), csr1 = _mm_load_ps(T.csRev + 4);
  const __m128 car0 = _mm_load_ps(T.caRev), car1 = _mm_load_ps(T.caRev + 4);
  for (int s = 0; s < nbound; ++s) {
    float* a = x + 18 * s + 10;  // a[j] = line 17 - (7 - j) of subband s
    float* b = x + 18 * s + 18;  // b[i] = line i of subband s + 1
    const __m128 a0 = _mm_loadu_ps(a), a1 = _mm_loadu_ps(a + 4);
    const __m128 b0 = _mm_loadu_ps(b), b1 = _mm_loadu_ps(b + 4);
    // In butterfly order i = 0..7: A = reverse(a), and reverse(b) for the a side.
    const __m128 A0 = Rev(a1), A1 = Rev(a0);
    const __m128 Br0 = Rev(b1), Br1 = Rev(b0);
    _mm_storeu_ps(a, _mm_sub_ps(_mm_mul_ps(a0, csr0), _mm_mul_ps(Br0, car0)));
    _mm_storeu_ps(a + 4, _mm_sub_ps(_mm_mul_ps(a1, csr1), _mm_mul_ps(Br1, car1)));
    _mm_storeu_ps(b, _mm_add_ps(_mm_mul_ps(b0, cs0), _mm_mul_ps(A0, ca0)));
    _mm_storeu_ps(b + 4, _mm_add_ps(_mm_mul_ps(b1, cs1), _mm_mul_ps(A1, ca1)));
  }
}

int L3HybridSSE2(float* cur, float* prev, float* out, int block_type, int nlong, int ntotal, int nprev) {
  return HybridImpl<V4>(cur, prev, out, block_type, nlong, ntotal, nprev);
}

void L3Imdct36SSE2(const float* in, float* out) {
  alignas(32) float y[40];
  Imdct36Impl<V4>(KernelTables(), in, y);
  for (int i = 0; i < 36; ++i) out[i] = y[i];
}

void L3Imdct12SSE2(const float* in, float* out) {
  alignas(32) float y[16];
  Imdct12Impl<V4>(KernelTables(), in, y);
  for (int i = 0; i < 12; ++i) out[i] = y[i];
}

}  // namespace simd

#else  // no SSE2: the selection never picks these

namespace simd {
bool HaveSSE2() { return false; }
}  // namespace simd

#endif

}  // namespace sorrel::decoder
