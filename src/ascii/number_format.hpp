// Exact, locale-free replacements for printf's "%e" and "%f" (precision 6),
// and for "%.8e", which keeps every float and resolves long time axes.
// Each writes into the caller's buffer, adds no terminator and returns the
// end of what it wrote, so lines can be assembled in place. Digits are
// stored eight bytes at a time, so a few bytes past the returned end may be
// overwritten too: `out` needs room for the longest result below.
#pragma once

#include <cstddef>

namespace sactab {

// Longest results: "-1.797693e+308" and the 39 integer digits of the largest
// float, with sign and six decimals.
constexpr std::size_t maxExponentChars = 14;
constexpr std::size_t maxFixedChars = 47;
constexpr std::size_t maxPreciseChars = 16; // "-1.79769313e+308"

// printf("%e", value), byte for byte.
char* format_exponent(char* out, double value);

// printf("%.8e", value), byte for byte.
char* format_precise(char* out, double value);

// printf("%f", (double)value), byte for byte.
char* format_fixed(char* out, float value);

} // namespace sactab
