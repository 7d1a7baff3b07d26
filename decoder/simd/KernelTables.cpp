// Tables of the vector kernels (see Simd.h).
#include "decoder/simd/Simd.h"

#include <cmath>
#include <cstring>

#include "decoder/Layer3.h"

namespace sorrel::decoder {

namespace simd {

namespace {
struct TBuilt : TKernelTables {
  TBuilt() {
    std::memset(static_cast<TKernelTables*>(this), 0, sizeof(TKernelTables));
    for (int k = 0; k < 18; ++k)
      for (int i = 0; i < 36; ++i)
        m36[k][i] = static_cast<float>(std::cos(M_PI / 72.0 * (2 * i + 19) * (2 * k + 1)));
    for (int k = 0; k < 6; ++k)
      for (int i = 0; i < 12; ++i)
        m12[k][i] = static_cast<float>(std::cos(M_PI / 24.0 * (2 * i + 7) * (2 * k + 1)));
    constexpr double kPi = 3.14159265358979323846;
    for (int r = 0; r < 18; ++r) {
      const int i = r < 9 ? r : r + 9;
      for (int k = 0; k < 18; ++k)
        u36[r][k] = static_cast<float>(std::cos(kPi / 72 * (2 * i + 19) * (2 * k + 1)));
    }
    for (int r = 0; r < 6; ++r) {
      const int i = r < 3 ? r : r + 3;
      for (int k = 0; k < 6; ++k)
        u12[r][k] = static_cast<float>(std::cos(kPi / 24 * (2 * i + 7) * (2 * k + 1)));
    }
    for (int n = 0; n < 18; ++n) s72[n] = static_cast<float>(1.0 / (2.0 * std::cos((2 * n + 1) * kPi / 72)));
    for (int n = 0; n < 9; ++n) s36[n] = static_cast<float>(1.0 / (2.0 * std::cos((2 * n + 1) * kPi / 36)));
    for (int m = 0; m < 5; ++m)
      for (int n = 0; n < 4; ++n)
        q9even[m][n] = static_cast<float>(std::cos((2 * n + 1) * (2 * m) * kPi / 18));
    for (int m = 0; m < 4; ++m)
      for (int n = 0; n < 4; ++n)
        q9odd[m][n] = static_cast<float>(std::cos((2 * n + 1) * (2 * m + 1) * kPi / 18));
    const float(*w)[36] = L3ImdctWindows();
    for (int b = 0; b < 4; ++b)
      for (int i = 0; i < 36; ++i) win[b][i] = w[b][i];
    static const double c[8] = {-0.6, -0.535, -0.33, -0.185, -0.095, -0.041, -0.0142, -0.0037};
    for (int i = 0; i < 8; ++i) {
      const double sq = std::sqrt(1.0 + c[i] * c[i]);
      cs[i] = csRev[7 - i] = static_cast<float>(1.0 / sq);
      ca[i] = caRev[7 - i] = static_cast<float>(c[i] / sq);
    }
  }
};
}  // namespace

const TKernelTables& KernelTables() {
  static const TBuilt t;
  return t;
}

}  // namespace simd

}  // namespace sorrel::decoder
