// Capability word from CPUID values, and the routine choice made from it.
#include <gtest/gtest.h>

#include "decoder/MPCPUSpc.h"

using namespace sorrel::decoder;

namespace {

constexpr uint32_t kIntel = 0x6C65746E;  // "ntel"
constexpr uint32_t kAMD = 0x444D4163;    // "cAMD"

TCpuIdInfo ModernIntel() {
  TCpuIdInfo id;
  id.hasCpuid = true;
  id.maxLeaf = 0x16;
  id.vendorEcx = kIntel;
  id.leaf1Eax = 0x000906EA;  // family 6
  id.leaf1Edx = (1u << 23) | (1u << 15) | (1u << 25) | (1u << 26);
  id.leaf1Ecx = 1u | (1u << 12) | (1u << 27) | (1u << 28);
  id.maxExtLeaf = 0x80000008;
  id.ext1Edx = 0;
  id.leaf7Ebx = 1u << 5;
  id.xcr0 = 7;
  return id;
}

TEST(Cpu, ModernIntelWord) {
  const uint32_t w = CpuCapabilitiesFrom(ModernIntel());
  const uint32_t want = kCpuFPU | kCpuMMX | kCpuSSE | kCpuEMMX | kCpuCMOV | kCpuIntel | kCpuFamily6 |
                        kCpuSSE2 | kCpuSSE3 | kCpuAVX | kCpuAVX2 | kCpuFMA;
  EXPECT_EQ(w, want);
}

TEST(Cpu, YmmStateDisabledByTheSystemMeansNoAvx) {
  TCpuIdInfo id = ModernIntel();
  id.xcr0 = 3;  // XMM only
  const uint32_t w = CpuCapabilitiesFrom(id);
  EXPECT_FALSE(w & (kCpuAVX | kCpuAVX2 | kCpuFMA));
  EXPECT_TRUE(w & kCpuSSE2);
  id = ModernIntel();
  id.leaf1Ecx &= ~(1u << 27);  // no OSXSAVE
  EXPECT_FALSE(CpuCapabilitiesFrom(id) & kCpuAVX2);
  id = ModernIntel();
  id.maxLeaf = 6;  // leaf 7 absent: its bits are not trusted
  EXPECT_FALSE(CpuCapabilitiesFrom(id) & kCpuAVX2);
}

TEST(Cpu, OldAmdWithThreeDNow) {
  TCpuIdInfo id;
  id.hasCpuid = true;
  id.maxLeaf = 1;
  id.vendorEcx = kAMD;
  id.leaf1Eax = 0x00000580;  // family 5
  id.leaf1Edx = 1u << 23;
  id.maxExtLeaf = 0x80000001;
  id.ext1Edx = (1u << 31) | (1u << 30) | (1u << 22);
  EXPECT_EQ(CpuCapabilitiesFrom(id),
            kCpuFPU | kCpuAMD | kCpuFamily5 | kCpuMMX | kCpu3DNow | kCpuE3DNow | kCpuEMMX);
  id.maxExtLeaf = 0x80000000;  // no extended leaf 1: its register is not read
  EXPECT_EQ(CpuCapabilitiesFrom(id), kCpuFPU | kCpuAMD | kCpuFamily5 | kCpuMMX);
}

TEST(Cpu, VendorsAndFamilies) {
  TCpuIdInfo id = ModernIntel();
  id.leaf1Eax = 0x480;  // family 4: detection stops before the feature bits
  EXPECT_EQ(CpuCapabilitiesFrom(id), kCpuFPU | kCpuIntel | kCpuFamily4);
  id = ModernIntel();
  id.leaf1Eax = 0xF00;  // family 15 counts as "6 or other"
  EXPECT_TRUE(CpuCapabilitiesFrom(id) & kCpuFamily6);
  id.vendorEcx = 0x64616574;  // "tead" (CyrixInstead)
  EXPECT_TRUE(CpuCapabilitiesFrom(id) & kCpuCyrix);
  id.vendorEcx = 0x736C7561;  // "auls" (CentaurHauls)
  EXPECT_TRUE(CpuCapabilitiesFrom(id) & kCpuCentaur);
  id.vendorEcx = 0x12345678;
  EXPECT_TRUE(CpuCapabilitiesFrom(id) & kCpuOtherVendor);
  TCpuIdInfo none;
  EXPECT_EQ(CpuCapabilitiesFrom(none), kCpuFPU | kCpuIntel | kCpuFamily4);
}

TEST(Cpu, ExtendedThreeDNowWithoutThreeDNowIsNeither) {
  EXPECT_EQ(NormaliseCpuCapabilities(kCpuE3DNow | kCpuAMD), kCpuAMD);
  EXPECT_EQ(NormaliseCpuCapabilities(kCpuE3DNow | kCpu3DNow), kCpuE3DNow | kCpu3DNow);
  // Such a word selects exactly what the word without both bits selects.
  const uint32_t base = kCpuFPU | kCpuAMD | kCpuFamily6 | kCpuSSE | kCpuSSE2;
  const TMP3RoutineChoice a = ChooseRoutines(base | kCpuE3DNow), b = ChooseRoutines(base);
  EXPECT_EQ(a.synthWindow, b.synthWindow);
  EXPECT_EQ(a.hybrid, b.hybrid);
}

TEST(Cpu, Selection) {
  const uint32_t full = CpuCapabilitiesFrom(ModernIntel());
  auto all = [](const TMP3RoutineChoice& c, TMP3Kernel k) {
    return c.aliasReduction == k && c.synthWindow == k && c.hybrid == k && c.imdct == k;
  };
  // An empty set from the player: the extension bits cleared, only vendor and
  // family (and the newer bits) left: plain everywhere.
  EXPECT_TRUE(all(ChooseRoutines(full & ~kCpuExtensionBits), TMP3Kernel::mkPlain));
  EXPECT_TRUE(all(ChooseRoutines(0), TMP3Kernel::mkPlain));
#if defined(__x86_64__)
  EXPECT_TRUE(all(ChooseRoutines(full), TMP3Kernel::mkAVX2));
  EXPECT_TRUE(all(ChooseRoutines(full & ~kCpuFMA), TMP3Kernel::mkSSE2));
  EXPECT_TRUE(all(ChooseRoutines(full & ~kCpuAVX2), TMP3Kernel::mkSSE2));
  EXPECT_TRUE(all(ChooseRoutines(full & ~kCpuSSE2 & ~kCpuAVX2), TMP3Kernel::mkPlain));
#else
  EXPECT_TRUE(all(ChooseRoutines(full), TMP3Kernel::mkPlain));
#endif
}

TEST(Cpu, PlayerSetAndWord) {
  EXPECT_EQ(CpuWordFromSet(1u << mccMMX), kCpuMMX);
  EXPECT_EQ(CpuWordFromSet(1u << mccKNI), kCpuSSE);
  EXPECT_EQ(CpuWordFromSet(1u << mccE3DNow), kCpuE3DNow);
  EXPECT_EQ(CpuWordFromSet(1u << mccCMOV), kCpuCMOV);
  EXPECT_EQ(CpuWordFromSet(kAllCpuCapabilities), kCpuExtensionBits);
  EXPECT_EQ(CpuSetFromWord(CpuWordFromSet(0x2D)), 0x2D);
  const uint32_t detected = CpuCapabilitiesFrom(ModernIntel());
  // The set can only switch extensions off; vendor, family and newer bits stay.
  EXPECT_EQ(CpuWordForPlayer(detected, kAllCpuCapabilities), detected);
  const uint32_t none = CpuWordForPlayer(detected, 0);
  EXPECT_EQ(none & kCpuExtensionBits, 0u);
  EXPECT_TRUE(none & kCpuIntel);
  EXPECT_EQ(ChooseRoutines(none).synthWindow, TMP3Kernel::mkPlain);
  // 3DNow! asked for on a processor without it stays off.
  EXPECT_FALSE(CpuWordForPlayer(detected, 1u << mcc3DNow) & kCpu3DNow);
}

TEST(Cpu, DetectionIsCachedAndNamesMapToWords) {
  const uint32_t a = GetCpuCapabilities();
  EXPECT_EQ(a, GetCpuCapabilities());
#if defined(__x86_64__) || defined(__i386__)
  EXPECT_TRUE(a & kCpuFPU);
#if defined(__x86_64__)
  EXPECT_TRUE(a & kCpuSSE2);  // every x86-64 has it
#endif
#endif
  uint32_t w = 0;
  ASSERT_TRUE(CpuCapabilitiesForName("plain", w));
  EXPECT_EQ(ChooseRoutines(w).synthWindow, TMP3Kernel::mkPlain);
  ASSERT_TRUE(CpuCapabilitiesForName("sse", w));
  EXPECT_NE(ChooseRoutines(w).synthWindow, TMP3Kernel::mkAVX2);
  ASSERT_TRUE(CpuCapabilitiesForName("auto", w));
  EXPECT_EQ(w, a);
  EXPECT_FALSE(CpuCapabilitiesForName("mmx", w));
}

}  // namespace
