// The factorised 32-point DCT of the synthesis matrixing, written once for a
// scalar or a vector element type (one slot per lane), and the expansion of
// its 32 outputs into the 64 values a slot of the history holds. Uses
// nothing from the C++ library (see KernelsImpl.h).
//
// DctRec<N>: X[n] = sum_k x[k] cos((2k + 1) n pi / 2N) by recursive halving:
// the even outputs are the DCT of the folded sums, the odd outputs pairwise
// sums of the DCT of the scaled folded differences. c holds the factors
// 0.5 / cos((2k + 1) pi / 4n) of the stages n = 16, 8, 4, 2, 1 (stage n at
// offset 32 - 2n); splat(f) turns a factor into an element.

template <int N, class T, class S>
inline void DctRec(const T* x, T* X, const float* c, S splat, T zero) {
  if constexpr (N == 1) {
    X[0] = x[0];
  } else {
    constexpr int H = N / 2;
    T g[H], h[H], G[H], Hh[H + 1];
    const float* cn = c + (32 - N);
    for (int k = 0; k < H; ++k) {
      g[k] = x[k] + x[N - 1 - k];
      h[k] = (x[k] - x[N - 1 - k]) * splat(cn[k]);
    }
    DctRec<H>(g, G, c, splat, zero);
    DctRec<H>(h, Hh, c, splat, zero);
    Hh[H] = zero;
    for (int n = 0; n < H; ++n) {
      X[2 * n] = G[n];
      X[2 * n + 1] = Hh[n] + Hh[n + 1];
    }
  }
}

// v[0..63] of a slot from the DCT outputs a[0..31] (v[16] = 0 by symmetry).
template <class T>
inline void ExpandSlot(const T* a, T* v, T zero) {
  for (int j = 0; j < 16; ++j) v[j] = a[16 + j];
  v[16] = zero;
  for (int j = 17; j < 32; ++j) v[j] = zero - a[48 - j];
  v[32] = zero - a[16];
  for (int j = 1; j < 16; ++j) v[32 + j] = zero - a[16 - j];
  v[48] = zero - a[0];
  for (int j = 17; j < 32; ++j) v[32 + j] = zero - a[j - 16];
}
