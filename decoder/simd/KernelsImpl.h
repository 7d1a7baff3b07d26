// Vector kernels written once over a vector type V (W floats wide), included
// by one source file per instruction set, each inside its own anonymous
// namespace. Deliberately uses nothing from the C++ library, so that a file
// compiled for a newer instruction set makes no shared inline copies.
//
// V provides: T, W, Zero(), Set1(f), Load(p), LoadU(p), Store(p, v),
// StoreU(p, v), Add, Sub, Mul, MulAdd(a, b, c) = a * b + c, Transpose(T* rows)
// of a W x W block, and
// StorePcm32(const T* acc, int16_t* out): 32 sums rounded to nearest and
// saturated to 16 bits.

template <class V>
inline void WindowAcc(const float* v, int pos, const float* win, typename V::T* acc) {
  constexpr int N = 32 / V::W;
  for (int q = 0; q < N; ++q) acc[q] = V::Zero();
  if constexpr (V::kSplitWindow) {
    // Even and odd rows in separate sums: half the dependency chain.
    typename V::T odd[N];
    for (int q = 0; q < N; ++q) odd[q] = V::Zero();
    for (int r = 0; r < 16; r += 2) {
      const float* row0 = v + ((pos + r) & 31) * 64;  // ring of 32 slots
      const float* row1 = v + ((pos + r + 1) & 31) * 64 + 32;
      const float* w = win + 32 * r;
      for (int q = 0; q < N; ++q) {
        acc[q] = V::MulAdd(V::LoadU(row0 + q * V::W), V::LoadU(w + q * V::W), acc[q]);
        odd[q] = V::MulAdd(V::LoadU(row1 + q * V::W), V::LoadU(w + 32 + q * V::W), odd[q]);
      }
    }
    for (int q = 0; q < N; ++q) acc[q] = V::Add(acc[q], odd[q]);
  } else {
    for (int r = 0; r < 16; ++r) {
      const float* row = v + ((pos + r) & 31) * 64 + (r & 1) * 32;  // ring of 32 slots
      const float* w = win + 32 * r;
      for (int q = 0; q < N; ++q)
        acc[q] = V::MulAdd(V::LoadU(row + q * V::W), V::LoadU(w + q * V::W), acc[q]);
    }
  }
}

template <class V>
inline void WindowImpl(const float* v, int pos, const float* win, int16_t* out, int outStride) {
  typename V::T acc[32 / V::W];
  WindowAcc<V>(v, pos, win, acc);
  if (outStride == 1) {
    V::StorePcm32(acc, out);
    return;
  }
  alignas(32) int16_t tmp[32];
  V::StorePcm32(acc, tmp);
  for (int j = 0; j < 32; ++j) out[j * outStride] = tmp[j];
}

// Both channels of a slot, written interleaved (64 samples).
template <class V>
inline void Window2Impl(const float* v0, const float* v1, int pos0, int pos1, const float* win,
                        int16_t* out) {
  typename V::T a0[32 / V::W], a1[32 / V::W];
  WindowAcc<V>(v0, pos0, win, a0);
  WindowAcc<V>(v1, pos1, win, a1);
  V::StorePcm32Pair(a0, a1, out);
}

// Matrixing of nslots slots (see TSynthDctFn), V::W slots at a time in the
// lanes; a remainder by the plain routine.
template <class V>
struct TSplat {
  typename V::T operator()(float f) const { return V::Set1(f); }
};

template <class V>
inline void DctImpl(const float* in, int sbStride, int slotStride, int nslots, const float* gains, float* v,
                    int pos, const float* dct) {
  using T = typename V::T;
  constexpr int W = V::W;
  int t = 0;
  for (; t + W <= nslots; t += W) {
    const float* p = in + t * slotStride;
    T x[32];
    if (sbStride == 1) {
      for (int s0 = 0; s0 < 32; s0 += W) {
        for (int l = 0; l < W; ++l) x[s0 + l] = V::LoadU(p + l * slotStride + s0);
        V::Transpose(x + s0);
      }
    } else {
      for (int s = 0; s < 32; ++s) {
        alignas(32) float g[W];
        for (int l = 0; l < W; ++l) g[l] = p[l * slotStride + s * sbStride];
        x[s] = V::Load(g);
      }
    }
    if (gains)
      for (int s = 0; s < 32; ++s) x[s] = V::Mul(x[s], V::Set1(gains[s]));
    T a[32], e[64];
    DctRec<32>(x, a, dct, TSplat<V>{}, V::Zero());
    ExpandSlot(a, e, V::Zero());
    for (int j0 = 0; j0 < 64; j0 += W) {
      V::Transpose(e + j0);
      for (int l = 0; l < W; ++l) V::StoreU(v + ((pos - t - l) & 31) * 64 + j0, e[j0 + l]);
    }
  }
  if (t < nslots)
    ::sorrel::decoder::SynthDctPlain(in + t * slotStride, sbStride, slotStride, nslots - t, gains, v, pos - t,
                                     dct);
}

// y[0..39] = the 36-point IMDCT of in[0..17] (y[36..39] = 0).
template <class V>
inline void Imdct36Impl(const sorrel::decoder::simd::TKernelTables& T, const float* in, float* y) {
  constexpr int N = 40 / V::W;
  typename V::T acc[N];
  for (int q = 0; q < N; ++q) acc[q] = V::Zero();
  for (int k = 0; k < 18; ++k) {
    const typename V::T x = V::Set1(in[k]);
    for (int q = 0; q < N; ++q) acc[q] = V::MulAdd(x, V::Load(T.m36[k] + q * V::W), acc[q]);
  }
  for (int q = 0; q < N; ++q) V::Store(y + q * V::W, acc[q]);
}

// y[0..15] = the 12-point IMDCT of in[0], in[3], ..., in[15] (y[12..15] = 0).
template <class V>
inline void Imdct12Impl(const sorrel::decoder::simd::TKernelTables& T, const float* in, float* y) {
  constexpr int N = 16 / V::W;
  typename V::T acc[N];
  for (int q = 0; q < N; ++q) acc[q] = V::Zero();
  for (int k = 0; k < 6; ++k) {
    const typename V::T x = V::Set1(in[3 * k]);
    for (int q = 0; q < N; ++q) acc[q] = V::MulAdd(x, V::Load(T.m12[k] + q * V::W), acc[q]);
  }
  for (int q = 0; q < N; ++q) V::Store(y + q * V::W, acc[q]);
}

// Lane-parallel hybrid transform: V::W consecutive subbands at once, one per
// lane, so that the time-major output is written a vector at a time. The
// sums run in the same order as the plain code's.
template <class V>
struct TLanes {
  using T = typename V::T;
  static constexpr int W = V::W;

  // cols[j], lane l = base[l * 18 + j] for j = 0..17.
  static void LoadCols(const float* base, T* cols) {
    for (int j = 0; j + W <= 16; j += W) {
      for (int l = 0; l < W; ++l) cols[j + l] = V::LoadU(base + 18 * l + j);
      V::Transpose(cols + j);
    }
    // Columns 16 and 17 from one more block that ends at column 17.
    T tail[W];
    for (int l = 0; l < W; ++l) tail[l] = V::LoadU(base + 18 * l + 18 - W);
    V::Transpose(tail);
    cols[16] = tail[W - 2];
    cols[17] = tail[W - 1];
  }
  static void StoreCols(float* base, T* cols) {  // cols are clobbered
    T tail[W];  // the block ending at column 17, stored last over its overlap
    for (int l = 0; l < W; ++l) tail[l] = cols[18 - W + l];
    for (int j = 0; j + W <= 16; j += W) {
      V::Transpose(cols + j);
      for (int l = 0; l < W; ++l) V::StoreU(base + 18 * l + j, cols[j + l]);
    }
    V::Transpose(tail);
    for (int l = 0; l < W; ++l) V::StoreU(base + 18 * l + 18 - W, tail[l]);
  }

  static void Long(const sorrel::decoder::simd::TKernelTables& Tb, float* cur, const float* prev, float* out,
                   const float* wl, int outStride = 32) {
    T x[18], p[18], d[18];
    LoadCols(cur, x);
    LoadCols(prev, p);
    Dct4(Tb, x, d);
    // The 36 outputs from the DCT-IV: y[i] = d[i + 9] (i < 9), -d[26 - i]
    // (i < 27), -d[i - 27].
    const T zero = V::Zero();
    for (int t = 0; t < 18; ++t) {
      const T y = t < 9 ? d[t + 9] : V::Sub(zero, d[26 - t]);
      V::StoreU(out + outStride * t, V::Add(p[t], V::Mul(y, V::Set1(wl[t]))));
    }
    T c[18];
    for (int t = 0; t < 18; ++t) {
      const int i = 18 + t;
      const T y = i < 27 ? V::Sub(zero, d[26 - i]) : V::Sub(zero, d[i - 27]);
      c[t] = V::Mul(y, V::Set1(wl[i]));
    }
    StoreCols(cur, c);
  }

  // 9-point DCT-II, X[m] = sum_n x[n] cos((2n + 1) m pi / 18), folded.
  static void Dct2_9(const sorrel::decoder::simd::TKernelTables& Tb, const T* x, T* X) {
    T e[4], o[4];
    for (int n = 0; n < 4; ++n) {
      e[n] = V::Add(x[n], x[8 - n]);
      o[n] = V::Sub(x[n], x[8 - n]);
    }
    for (int m = 0; m < 5; ++m) {
      // x[4] enters even outputs with cos(m pi) = (-1)^m (m here counts 2m).
      T acc = (m & 1) ? V::Sub(V::Zero(), x[4]) : x[4];
      for (int n = 0; n < 4; ++n) acc = V::MulAdd(e[n], V::Set1(Tb.q9even[m][n]), acc);
      X[2 * m] = acc;
    }
    for (int m = 0; m < 4; ++m) {
      T acc = V::Mul(o[0], V::Set1(Tb.q9odd[m][0]));
      for (int n = 1; n < 4; ++n) acc = V::MulAdd(o[n], V::Set1(Tb.q9odd[m][n]), acc);
      X[2 * m + 1] = acc;
    }
  }

  // 18-point DCT-IV, d[k] = sum_n x[n] cos((2n + 1)(2k + 1) pi / 72).
  static void Dct4(const sorrel::decoder::simd::TKernelTables& Tb, const T* x, T* d) {
    T z[18], g[9], h[9], G[9], H[10], C[19];
    for (int n = 0; n < 18; ++n) z[n] = V::Mul(x[n], V::Set1(Tb.s72[n]));
    for (int n = 0; n < 9; ++n) {
      g[n] = V::Add(z[n], z[17 - n]);
      h[n] = V::Mul(V::Sub(z[n], z[17 - n]), V::Set1(Tb.s36[n]));
    }
    Dct2_9(Tb, g, G);
    Dct2_9(Tb, h, H);
    H[9] = V::Zero();
    for (int m = 0; m < 9; ++m) {
      C[2 * m] = G[m];
      C[2 * m + 1] = V::Add(H[m], H[m + 1]);
    }
    C[18] = V::Zero();
    for (int k = 0; k < 18; ++k) d[k] = V::Add(C[k], C[k + 1]);
  }

  static void Short(const sorrel::decoder::simd::TKernelTables& Tb, float* cur, const float* prev, float* out,
                    const float* ws, int outStride = 32) {
    T x[18], p[18], z[36];
    LoadCols(cur, x);
    LoadCols(prev, p);
    for (int i = 0; i < 36; ++i) z[i] = V::Zero();
    const T zero = V::Zero();
    for (int w = 0; w < 3; ++w) {
      T u[6];
      for (int r = 0; r < 6; ++r) {
        T acc = V::Zero();
        for (int k = 0; k < 6; ++k) acc = V::MulAdd(x[w + 3 * k], V::Set1(Tb.u12[r][k]), acc);
        u[r] = acc;
      }
      for (int i = 0; i < 12; ++i) {
        const T y = i < 3 ? u[i] : i < 6 ? V::Sub(zero, u[5 - i]) : i < 9 ? u[i - 3] : u[14 - i];
        z[6 + 6 * w + i] = V::Add(z[6 + 6 * w + i], V::Mul(y, V::Set1(ws[i])));
      }
    }
    for (int t = 0; t < 18; ++t) V::StoreU(out + outStride * t, V::Add(p[t], z[t]));
    StoreCols(cur, z + 18);
  }
};

// A last, partial group: `real` subbands of the group's kind, then `pass`
// subbands of overlap pass-through (zero input gives exactly the plain
// pass-through: output = overlap, new overlap 0); nothing beyond is touched.
template <class V>
inline void PartialGroup(const sorrel::decoder::simd::TKernelTables& Tb, bool isLong, float* cur,
                         const float* prev, float* out, const float* win, int real, int pass) {
  constexpr int W = V::W;
  alignas(32) float c[W * 18], p[W * 18], o[18 * W];
  const int used = real + pass;
  for (int i = 0; i < W * 18; ++i) {
    c[i] = i < real * 18 ? cur[i] : 0.0f;
    p[i] = i < used * 18 ? prev[i] : 0.0f;
  }
  if (isLong)
    TLanes<V>::Long(Tb, c, p, o, win, W);
  else
    TLanes<V>::Short(Tb, c, p, o, win, W);
  for (int t = 0; t < 18; ++t)
    for (int l = 0; l < used; ++l) out[32 * t + l] = o[W * t + l];
  for (int i = 0; i < used * 18; ++i) cur[i] = c[i];
}

template <class V>
inline int HybridImpl(float* cur, float* prev, float* out, int block_type, int nlong, int ntotal, int nprev) {
  const sorrel::decoder::simd::TKernelTables& T = sorrel::decoder::simd::KernelTables();
  const float* wl = T.win[block_type == 2 ? 0 : block_type];
  const float* ws = T.win[2];
  alignas(32) float y[40];
  int sb = 0;
  for (; sb + V::W <= nlong; sb += V::W) TLanes<V>::Long(T, cur + 18 * sb, prev + 18 * sb, out + sb, wl);
  if (sb < nlong && (nlong - sb) * 2 >= V::W / 2) {
    const int real = nlong - sb;
    int pass = nlong == ntotal ? nprev - nlong : 0;
    if (pass > V::W - real) pass = V::W - real;
    if (pass < 0) pass = 0;
    PartialGroup<V>(T, true, cur + 18 * sb, prev + 18 * sb, out + sb, wl, real, pass);
    sb += real + pass;
    if (pass > 0) {  // the pass-through subbands were done with the group
      nlong = ntotal = sb;
    }
  }
  for (; sb < nlong; ++sb) {
    float* c = cur + 18 * sb;
    const float* p = prev + 18 * sb;
    Imdct36Impl<V>(T, c, y);
    for (int q = 0; q < 40 / V::W; ++q)
      V::Store(y + q * V::W, V::Mul(V::Load(y + q * V::W), V::Load(wl + q * V::W)));
    for (int t = 0; t < 18; ++t) out[t * 32 + sb] = p[t] + y[t];
    for (int t = 0; t < 18; ++t) c[t] = y[18 + t];
  }
  for (; sb + V::W <= ntotal; sb += V::W) TLanes<V>::Short(T, cur + 18 * sb, prev + 18 * sb, out + sb, ws);
  if (sb < ntotal && (ntotal - sb) * 2 >= V::W / 2) {
    const int real = ntotal - sb;
    int pass = nprev - ntotal;
    if (pass > V::W - real) pass = V::W - real;
    if (pass < 0) pass = 0;
    PartialGroup<V>(T, false, cur + 18 * sb, prev + 18 * sb, out + sb, ws, real, pass);
    sb += real + pass;
    ntotal = sb;
  }
  for (; sb < ntotal; ++sb) {
    float* c = cur + 18 * sb;
    const float* p = prev + 18 * sb;
    alignas(32) float z[40];
    for (int q = 0; q < 40 / V::W; ++q) V::Store(z + q * V::W, V::Zero());
    for (int w = 0; w < 3; ++w) {
      alignas(32) float s[16];
      Imdct12Impl<V>(T, c + w, s);
      float* zz = z + 6 + 6 * w;
      for (int q = 0; q < 16 / V::W; ++q)
        V::StoreU(zz + q * V::W,
                  V::Add(V::LoadU(zz + q * V::W), V::Mul(V::Load(s + q * V::W), V::Load(ws + q * V::W))));
    }
    for (int t = 0; t < 18; ++t) out[t * 32 + sb] = p[t] + z[t];
    for (int t = 0; t < 18; ++t) c[t] = z[18 + t];
  }
  for (; sb < nprev; ++sb) {
    float* c = cur + 18 * sb;
    const float* p = prev + 18 * sb;
    for (int t = 0; t < 18; ++t) out[t * 32 + sb] = p[t];
    for (int t = 0; t < 18; ++t) c[t] = 0.0f;
  }
  return sb;
}
