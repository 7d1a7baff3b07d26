// Processor capability detection and the choice of routine implementations.
//
// The capability word keeps the historical bit layout (FPU, MMX, 3DNow!, SSE,
// CMOV, extended 3DNow!, extended MMX, vendor and family); the extensions
// today's routines use have bits of their own above those (kCpuSSE2 ...).
// On processors other than x86 nothing is detected and only the plain
// routines exist.
#pragma once

#include <cstdint>

namespace sorrel::decoder {

constexpr uint32_t kCpuFPU = 0x1;
constexpr uint32_t kCpuMMX = 0x2;
constexpr uint32_t kCpu3DNow = 0x4;
constexpr uint32_t kCpuSSE = 0x8;  // also sets kCpuEMMX
constexpr uint32_t kCpuCMOV = 0x10;
constexpr uint32_t kCpuE3DNow = 0x20;
constexpr uint32_t kCpuEMMX = 0x40;
constexpr uint32_t kCpuIntel = 0x100;
constexpr uint32_t kCpuAMD = 0x200;
constexpr uint32_t kCpuCyrix = 0x400;
constexpr uint32_t kCpuCentaur = 0x800;
constexpr uint32_t kCpuOtherVendor = 0x8000;
constexpr uint32_t kCpuFamily4 = 0x100000;
constexpr uint32_t kCpuFamily5 = 0x200000;
constexpr uint32_t kCpuFamily6 = 0x400000;  // family 6 or any other value
// Newer extensions (not part of the historical layout).
constexpr uint32_t kCpuSSE2 = 0x1000000;
constexpr uint32_t kCpuSSE3 = 0x2000000;
constexpr uint32_t kCpuAVX = 0x4000000;   // with operating-system support for the YMM state
constexpr uint32_t kCpuAVX2 = 0x8000000;  // likewise
constexpr uint32_t kCpuFMA = 0x10000000;  // likewise

// The bits the player's `UsingCpuCapabilities` set can switch off.
constexpr uint32_t kCpuExtensionBits = kCpuMMX | kCpu3DNow | kCpuSSE | kCpuCMOV | kCpuE3DNow | kCpuEMMX;

// The player's set of extensions it may use (`UsingCpuCapabilities`): set bit
// n stands for enumeration value n.
enum TMP3CpuCapability : int32_t { mccMMX = 0, mcc3DNow, mccKNI, mccE3DNow, mccCMOV, mccEMMX };
using TMP3CpuCapabilities = uint8_t;
constexpr TMP3CpuCapabilities kAllCpuCapabilities = 0x3F;

// Between the set and the bits of the capability word (mccMMX 0x2, mcc3DNow
// 0x4, mccKNI 0x8, mccE3DNow 0x20, mccCMOV 0x10, mccEMMX 0x40).
uint32_t CpuWordFromSet(TMP3CpuCapabilities set);
TMP3CpuCapabilities CpuSetFromWord(uint32_t caps);
// The word the player hands to SetCpuCapabilities: the detected word with the
// six extension bits replaced by the (detected-limited) set.
uint32_t CpuWordForPlayer(uint32_t detected, TMP3CpuCapabilities set);

// Raw CPUID results the word is computed from (so the decoding is testable
// with any processor's values).
struct TCpuIdInfo {
  bool hasCpuid = false;
  uint32_t maxLeaf = 0;    // leaf 0 EAX
  uint32_t vendorEcx = 0;  // leaf 0 ECX: last four characters of the vendor string
  uint32_t leaf1Eax = 0, leaf1Ecx = 0, leaf1Edx = 0;
  uint32_t maxExtLeaf = 0;  // leaf 0x80000000 EAX
  uint32_t ext1Edx = 0;     // leaf 0x80000001 EDX
  uint32_t leaf7Ebx = 0;    // leaf 7 subleaf 0 EBX
  uint64_t xcr0 = 0;        // XGETBV(0) when OSXSAVE is set
};

// The capability word for the given CPUID results (FPU assumed present).
uint32_t CpuCapabilitiesFrom(const TCpuIdInfo& id);

// Detects once per process and caches the word (a result of 0 is recomputed).
// The first detection that finds SSE sets the calling thread's SSE control
// register to 0x9F80 (exceptions masked, round to nearest, flush to zero).
uint32_t GetCpuCapabilities();

// Routine implementations of the slots.
enum class TMP3Kernel : int32_t { mkPlain = 0, mkSSE2 = 1, mkAVX2 = 2 };

struct TMP3RoutineChoice {
  TMP3Kernel aliasReduction = TMP3Kernel::mkPlain;
  TMP3Kernel synthWindow = TMP3Kernel::mkPlain;
  TMP3Kernel hybrid = TMP3Kernel::mkPlain;
  TMP3Kernel imdct = TMP3Kernel::mkPlain;  // the 18- and 6-point kernels of the mixed-to-mono path
};

// Extended 3DNow! without 3DNow! counts as neither.
uint32_t NormaliseCpuCapabilities(uint32_t caps);

// The selection for a capability word (what the decoder's SetCpuCapabilities
// applies). The historical processor-specific variants (3DNow!, Pentium,
// Pentium Pro) do not exist here, so the historical table always lands on
// the plain routine; a vector routine replaces it when the word holds SSE
// (the switch the player's set controls) together with the routine's own
// newer bits: SSE2 for the SSE2 routines, AVX2 and FMA for the AVX2 ones.
// Only routines compiled in for this processor family are chosen.
TMP3RoutineChoice ChooseRoutines(uint32_t caps);

// Word for a `--cpu` style name: "plain", "sse", "avx2" or "auto" (the
// detected word); "sse" and "avx2" are limited to what the processor has.
// Returns false for an unknown name.
bool CpuCapabilitiesForName(const char* name, uint32_t& caps);

const char* KernelName(TMP3Kernel k);

}  // namespace sorrel::decoder
