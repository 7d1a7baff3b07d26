// Header arithmetic tables (ISO/IEC 11172-3 and 13818-3), shared by the header code
// and the layer decoders.
#pragma once

#include <cstdint>

namespace sorrel::decoder {

namespace hdr_tables {

// Bit rates in kbit/s: [layer I, II, III][id][br_index].  The Layer III id-0 row also
// serves MPEG-2.5.
inline constexpr int32_t kBitRate[3][2][16] = {
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
     {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0}},
    {{0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0}},
    {{0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}},
};

// Sampling frequency in units of 50 Hz: [id][sr_index]; used for all length arithmetic.
inline constexpr int32_t kFreq50[2][4] = {{441, 480, 320, -999}, {882, 960, 640, -999}};

// Sampling frequency in Hz: [id][sr_index] (1 in the reserved slot).
inline constexpr int32_t kFreqHz[2][4] = {{22050, 24000, 16000, 1}, {44100, 48000, 32000, 1}};

}  // namespace hdr_tables

}  // namespace sorrel::decoder
