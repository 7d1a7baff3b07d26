// Processor capability detection (see MPCPUSpc.h).
#include "decoder/MPCPUSpc.h"

#include <atomic>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <xmmintrin.h>
#define SORREL_X86 1
#endif

namespace sorrel::decoder {

namespace {

constexpr uint32_t Vendor(const char (&s)[5]) {
  return uint32_t(uint8_t(s[0])) | uint32_t(uint8_t(s[1])) << 8 | uint32_t(uint8_t(s[2])) << 16 |
         uint32_t(uint8_t(s[3])) << 24;
}

#ifdef SORREL_X86
TCpuIdInfo ReadCpuId() {
  TCpuIdInfo id;
  unsigned a, b, c, d;
  if (__get_cpuid_max(0, nullptr) == 0) return id;
  id.hasCpuid = true;
  __cpuid(0, a, b, c, d);
  id.maxLeaf = a;
  id.vendorEcx = c;
  if (id.maxLeaf >= 1) {
    __cpuid(1, a, b, c, d);
    id.leaf1Eax = a;
    id.leaf1Ecx = c;
    id.leaf1Edx = d;
  }
  if (id.maxLeaf >= 7) {
    __cpuid_count(7, 0, a, b, c, d);
    id.leaf7Ebx = b;
  }
  __cpuid(0x80000000u, a, b, c, d);
  id.maxExtLeaf = a;
  if (id.maxExtLeaf >= 0x80000001u) {
    __cpuid(0x80000001u, a, b, c, d);
    id.ext1Edx = d;
  }
  if (id.leaf1Ecx & (1u << 27)) {  // OSXSAVE: XGETBV is usable
    uint32_t lo, hi;
    __asm__ volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
    id.xcr0 = (uint64_t(hi) << 32) | lo;
  }
  return id;
}
#endif

std::atomic<uint32_t> gCaps{0};

}  // namespace

uint32_t CpuCapabilitiesFrom(const TCpuIdInfo& id) {
  uint32_t w = kCpuFPU;
  if (!id.hasCpuid)  // a processor without CPUID (never an x86-64); no Cyrix test here
    return w | kCpuIntel | kCpuFamily4;
  switch (id.vendorEcx) {
    case Vendor("ntel"):
      w |= kCpuIntel;
      break;
    case Vendor("cAMD"):
      w |= kCpuAMD;
      break;
    case Vendor("tead"):
      w |= kCpuCyrix;
      break;
    case Vendor("auls"):
      w |= kCpuCentaur;
      break;
    default:
      w |= kCpuOtherVendor;
      break;
  }
  const uint32_t family = (id.leaf1Eax >> 8) & 0xFF;
  if (family == 4) return w | kCpuFamily4;
  w |= family == 5 ? kCpuFamily5 : kCpuFamily6;
  if (id.maxExtLeaf >= 0x80000001u) {
    if (id.ext1Edx & (1u << 31)) w |= kCpu3DNow;
    if (id.ext1Edx & (1u << 15)) w |= kCpuCMOV;
    if (id.ext1Edx & (1u << 30)) w |= kCpuE3DNow;
    if (id.ext1Edx & (1u << 22)) w |= kCpuEMMX;
  }
  if (id.leaf1Edx & (1u << 23)) w |= kCpuMMX;
  if (id.leaf1Edx & (1u << 15)) w |= kCpuCMOV;
  if (id.leaf1Edx & (1u << 25)) w |= kCpuEMMX | kCpuSSE;
  if (id.leaf1Edx & (1u << 26)) w |= kCpuSSE2;
  if (id.leaf1Ecx & 1u) w |= kCpuSSE3;
  // AVX state (XMM and YMM) must be enabled by the operating system.
  const bool ymm = (id.leaf1Ecx & (1u << 27)) && (id.xcr0 & 6) == 6;
  if (ymm) {
    if (id.leaf1Ecx & (1u << 28)) w |= kCpuAVX;
    if (id.leaf1Ecx & (1u << 12)) w |= kCpuFMA;
    if (id.maxLeaf >= 7 && (id.leaf7Ebx & (1u << 5))) w |= kCpuAVX2;
  }
  return w;
}

uint32_t GetCpuCapabilities() {
  uint32_t w = gCaps.load(std::memory_order_acquire);
  if (w != 0) return w;
#ifdef SORREL_X86
  w = CpuCapabilitiesFrom(ReadCpuId());
  uint32_t expected = 0;
  if (gCaps.compare_exchange_strong(expected, w, std::memory_order_acq_rel) && (w & kCpuSSE))
    _mm_setcsr(0x9F80);
#else
  w = 0;  // no extensions to detect; the plain routines are the whole story
#endif
  return w;
}

namespace {
constexpr uint32_t kSetBits[6] = {kCpuMMX, kCpu3DNow, kCpuSSE, kCpuE3DNow, kCpuCMOV, kCpuEMMX};
}

uint32_t CpuWordFromSet(TMP3CpuCapabilities set) {
  uint32_t w = 0;
  for (int i = 0; i < 6; ++i)
    if (set & (1u << i)) w |= kSetBits[i];
  return w;
}

TMP3CpuCapabilities CpuSetFromWord(uint32_t caps) {
  TMP3CpuCapabilities set = 0;
  for (int i = 0; i < 6; ++i)
    if (caps & kSetBits[i]) set = static_cast<TMP3CpuCapabilities>(set | (1u << i));
  return set;
}

uint32_t CpuWordForPlayer(uint32_t detected, TMP3CpuCapabilities set) {
  return (detected & ~kCpuExtensionBits) | (CpuWordFromSet(set) & detected);
}

uint32_t NormaliseCpuCapabilities(uint32_t caps) {
  if (!(caps & kCpu3DNow)) caps &= ~kCpuE3DNow;
  return caps;
}

TMP3RoutineChoice ChooseRoutines(uint32_t caps) {
  caps = NormaliseCpuCapabilities(caps);
  TMP3Kernel k = TMP3Kernel::mkPlain;
#ifdef SORREL_X86
  if ((caps & kCpuSSE) && (caps & kCpuSSE2)) k = TMP3Kernel::mkSSE2;
#if defined(__x86_64__)
  if ((caps & kCpuSSE) && (caps & kCpuAVX2) && (caps & kCpuFMA)) k = TMP3Kernel::mkAVX2;
#endif
#endif
  TMP3RoutineChoice c;
  c.aliasReduction = c.synthWindow = c.hybrid = c.imdct = k;
  return c;
}

bool CpuCapabilitiesForName(const char* name, uint32_t& caps) {
  const uint32_t detected = GetCpuCapabilities();
  if (std::strcmp(name, "auto") == 0)
    caps = detected;
  else if (std::strcmp(name, "plain") == 0)
    caps = detected & ~kCpuExtensionBits;
  else if (std::strcmp(name, "sse") == 0)
    caps = detected & ~(kCpuAVX | kCpuAVX2 | kCpuFMA);
  else if (std::strcmp(name, "avx2") == 0)
    caps = detected;
  else
    return false;
  return true;
}

const char* KernelName(TMP3Kernel k) {
  switch (k) {
    case TMP3Kernel::mkSSE2:
      return "sse2";
    case TMP3Kernel::mkAVX2:
      return "avx2";
    default:
      return "plain";
  }
}

}  // namespace sorrel::decoder
