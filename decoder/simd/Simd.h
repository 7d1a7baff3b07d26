// Vector implementations of the routine slots (x86 only). Each computes the
// same function as its plain counterpart in Synth.cpp / Layer3.cpp; they
// differ in instruction choice and summation order, so results may differ in
// the last bits before rounding to 16-bit samples.
#pragma once

#include <cstdint>

namespace sorrel::decoder {

// The plain matrixing (Synth.cpp), for the slots left over after whole vector batches.
void SynthDctPlain(const float* in, int sbStride, int slotStride, int nslots, const float* gains, float* v,
                   int pos, const float* dct);

namespace simd {

// True when the vector routines of that kind were compiled into this build.
bool HaveSSE2();
bool HaveAVX2();

void SynthDctSSE2(const float* in, int sbStride, int slotStride, int nslots, const float* gains, float* v,
                  int pos, const float* dct);
void SynthDctAVX2(const float* in, int sbStride, int slotStride, int nslots, const float* gains, float* v,
                  int pos, const float* dct);
void SynthWindow2SSE2(const float* v0, const float* v1, int pos0, int pos1, const float* win, int16_t* out);
void SynthWindow2AVX2(const float* v0, const float* v1, int pos0, int pos1, const float* win, int16_t* out);
void SynthWindowSSE2(const float* v, int pos, const float* win, int16_t* out, int outStride);
void SynthWindowAVX2(const float* v, int pos, const float* win, int16_t* out, int outStride);

void L3AntialiasSSE2(float* x, int nbound);
void L3AntialiasAVX2(float* x, int nbound);
int L3HybridSSE2(float* cur, float* prev, float* out, int block_type, int nlong, int ntotal, int nprev);
int L3HybridAVX2(float* cur, float* prev, float* out, int block_type, int nlong, int ntotal, int nprev);
void L3Imdct36SSE2(const float* in, float* out);
void L3Imdct36AVX2(const float* in, float* out);
void L3Imdct12SSE2(const float* in, float* out);
void L3Imdct12AVX2(const float* in, float* out);

// Constant tables the vector kernels walk, built once per process (by plain
// code, so that no processor-specific copy of a library function is made).
struct TKernelTables {
  // 36-point IMDCT as a 36 x 18 matrix stored by input line: m36[k][i] is the
  // weight of input k in output i (outputs padded to 40).
  alignas(32) float m36[18][40];
  // 12-point IMDCT, by input line, outputs padded to 16.
  alignas(32) float m12[6][16];
  // Windows by block type, padded to 40.
  alignas(32) float win[4][40];
  // The 18 distinct rows of the 36-point IMDCT (rows 0-8 give outputs 0-8,
  // rows 9-17 outputs 18-26) and the 6 of the 12-point one (outputs 0-2,
  // 6-8), by [row][input]: the lane-parallel hybrid broadcasts them.
  float u36[18][18];
  float u12[6][6];
  // The fast 36-point IMDCT (an 18-point DCT-IV, as an 18-point DCT-II of
  // scaled inputs, halved once into two 9-point DCT-IIs): input scales
  // 1 / (2 cos((2n + 1) pi / 72)), halving factors 1 / (2 cos((2n + 1) pi / 36)),
  // and the 9-point DCT-II folded by symmetry: even outputs m = 0, 2, .., 8 from
  // the 4 folded sums, odd outputs from the 4 folded differences.
  float s72[18], s36[9];
  float q9even[5][4], q9odd[4][4];
  // Alias-reduction butterflies, for i = 0..7 and in reversed order.
  alignas(32) float cs[8], ca[8], csRev[8], caRev[8];
};
const TKernelTables& KernelTables();

}  // namespace simd

}  // namespace sorrel::decoder
