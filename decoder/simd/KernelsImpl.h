// Vector kernels written once over a vector type V (W floats wide), included
// by one source file per instruction set, each inside its own anonymous
// namespace. Deliberately uses nothing from the C++ library, so that a file
// compiled for a newer instruction set makes no shared inline copies.
//
// V provides: T, W, Zero(), Set1(f), Load(p), LoadU(p), Store(p, v),
// StoreU(p, v), Add, Mul, MulAdd(a, b, c) = a * b + c, and
// StorePcm32(const T* acc, int16_t* out): 32 sums rounded to nearest and
// saturated to 16 bits.

template <class V> inline void WindowImpl(const float* v, int pos, const float* win, int16_t* out,
                                          int outStride) {
  constexpr int N = 32 / V::W;
  typename V::T acc[N];
  for (int q = 0; q < N; ++q)
    acc[q] = V::Zero();
  for (int r = 0; r < 16; ++r) {
    const float* row = v + ((pos + r) & 15) * 64 + (r & 1) * 32;
    const float* w = win + 32 * r;
    for (int q = 0; q < N; ++q)
      acc[q] = V::MulAdd(V::LoadU(row + q * V::W), V::LoadU(w + q * V::W), acc[q]);
  }
  if (outStride == 1) {
    V::StorePcm32(acc, out);
    return;
  }
  alignas(32) int16_t tmp[32];
  V::StorePcm32(acc, tmp);
  for (int j = 0; j < 32; ++j)
    out[j * outStride] = tmp[j];
}

// y[0..39] = the 36-point IMDCT of in[0..17] (y[36..39] = 0).
template <class V> inline void Imdct36Impl(const sorrel::decoder::simd::TKernelTables& T,
                                           const float* in, float* y) {
  constexpr int N = 40 / V::W;
  typename V::T acc[N];
  for (int q = 0; q < N; ++q)
    acc[q] = V::Zero();
  for (int k = 0; k < 18; ++k) {
    const typename V::T x = V::Set1(in[k]);
    for (int q = 0; q < N; ++q)
      acc[q] = V::MulAdd(x, V::Load(T.m36[k] + q * V::W), acc[q]);
  }
  for (int q = 0; q < N; ++q)
    V::Store(y + q * V::W, acc[q]);
}

// y[0..15] = the 12-point IMDCT of in[0], in[3], ..., in[15] (y[12..15] = 0).
template <class V> inline void Imdct12Impl(const sorrel::decoder::simd::TKernelTables& T,
                                           const float* in, float* y) {
  constexpr int N = 16 / V::W;
  typename V::T acc[N];
  for (int q = 0; q < N; ++q)
    acc[q] = V::Zero();
  for (int k = 0; k < 6; ++k) {
    const typename V::T x = V::Set1(in[3 * k]);
    for (int q = 0; q < N; ++q)
      acc[q] = V::MulAdd(x, V::Load(T.m12[k] + q * V::W), acc[q]);
  }
  for (int q = 0; q < N; ++q)
    V::Store(y + q * V::W, acc[q]);
}

template <class V> inline int HybridImpl(float* cur, float* prev, float* out, int block_type,
                                         int nlong, int ntotal, int nprev) {
  const sorrel::decoder::simd::TKernelTables& T = sorrel::decoder::simd::KernelTables();
  const float* wl = T.win[block_type == 2 ? 0 : block_type];
  const float* ws = T.win[2];
  alignas(32) float y[40];
  int sb = 0;
  for (; sb < nlong; ++sb) {
    float* c = cur + 18 * sb;
    const float* p = prev + 18 * sb;
    Imdct36Impl<V>(T, c, y);
    for (int q = 0; q < 40 / V::W; ++q)
      V::Store(y + q * V::W, V::Mul(V::Load(y + q * V::W), V::Load(wl + q * V::W)));
    for (int t = 0; t < 18; ++t)
      out[t * 32 + sb] = p[t] + y[t];
    for (int t = 0; t < 18; ++t)
      c[t] = y[18 + t];
  }
  for (; sb < ntotal; ++sb) {
    float* c = cur + 18 * sb;
    const float* p = prev + 18 * sb;
    alignas(32) float z[40];
    for (int q = 0; q < 40 / V::W; ++q)
      V::Store(z + q * V::W, V::Zero());
    for (int w = 0; w < 3; ++w) {
      alignas(32) float s[16];
      Imdct12Impl<V>(T, c + w, s);
      float* zz = z + 6 + 6 * w;
      for (int q = 0; q < 16 / V::W; ++q)
        V::StoreU(zz + q * V::W, V::Add(V::LoadU(zz + q * V::W),
                                        V::Mul(V::Load(s + q * V::W), V::Load(ws + q * V::W))));
    }
    for (int t = 0; t < 18; ++t)
      out[t * 32 + sb] = p[t] + z[t];
    for (int t = 0; t < 18; ++t)
      c[t] = z[18 + t];
  }
  for (; sb < nprev; ++sb) {
    float* c = cur + 18 * sb;
    const float* p = prev + 18 * sb;
    for (int t = 0; t < 18; ++t)
      out[t * 32 + sb] = p[t];
    for (int t = 0; t < 18; ++t)
      c[t] = 0.0f;
  }
  return sb;
}
