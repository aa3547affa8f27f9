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
// float, with sign and six decimals; shortest: "1.000000e+00" of a finite
// value and "0.000000".
constexpr std::size_t minExponentChars = 12;
constexpr std::size_t maxExponentChars = 14;
constexpr std::size_t minFixedChars = 8;
constexpr std::size_t maxFixedChars = 47;
constexpr std::size_t maxPreciseChars = 16; // "-1.79769313e+308"
constexpr std::size_t maxSignificantDigits = 17; // tell any two doubles apart
constexpr std::size_t maxScientificChars = 24; // "-1.7976931348623157e+308"

// printf("%e", value), byte for byte.
char* format_exponent(char* out, double value);

// printf("%.8e", value), byte for byte.
char* format_precise(char* out, double value);

// printf("%.*e", significantDigits - 1, value), byte for byte, for 1 to 17
// significant digits (the library's exact conversion: for the rare tables
// that need more than nine).
char* format_scientific(char* out, double value, int significantDigits);

// printf("%f", (double)value), byte for byte.
char* format_fixed(char* out, float value);

// One line "x SEPARATOR sample\n" for each of `count` pairs: "%e" and "%f",
// or "%.8e" for both when `precise`; the bytes the functions above give,
// made four lines at a time on processors with AVX2. The separator is one
// or two characters (its second is read either way); `out` needs room for
// count lines of the longest results, and 16 bytes more. Where each line
// starts goes to lineStarts[0 to count - 1], unless it is null.
char* format_lines(char* out, const double* xs, const float* samples, std::size_t count, const char* separator,
                   std::size_t separatorLength, bool precise, const char** lineStarts);

} // namespace sactab
