// Number reading and conversion shared by the point file, the screen reading and the
// position sentence.  Every conversion from floating point truncates toward zero, and
// none of them lets a value outside 32 bits reach an integer.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace sorrel::alarm {

// A decimal real: optional sign, digits with an optional point, an optional exponent,
// blanks (space, tab) around it allowed.  No "inf", "nan" or hexadecimal forms; a value
// beyond the range of a double is not a number either.
std::optional<double> ParseDecimal(std::string_view text);

// A decimal integer (optional sign, blanks around it allowed) that fits 32 bits.
std::optional<int32_t> ParseInteger(std::string_view text);

// Truncation toward zero, or nothing when the value is not finite or does not fit.
std::optional<int32_t> TruncToInt32(double value);

// Truncation toward zero, held within the 32-bit range (NaN gives 0).
int32_t SaturateToInt32(double value);

}  // namespace sorrel::alarm
