// Exact, locale-free replacements for printf's "%e" and "%f" (precision 6),
// and for "%.8e", which keeps every float and resolves long time axes.
// Each writes into the caller's buffer, adds no terminator and returns the
// end of what it wrote, so lines can be assembled in place. Digits are
// stored eight bytes at a time, so a few bytes past the returned end may be
// overwritten too: `out` needs room for the longest result below.
#pragma once

#include <cstddef>

namespace sactab {

// The layout of the numbers a line is made of: the one home of these
// figures, which the AVX2 kernel's byte shuffles, the loops' comparison of
// times and their refusals follow.
constexpr int exponentDigits = 7; // significant digits of "%e"
constexpr int preciseDigits = 9;  // of "%.8e"
constexpr int fixedDecimals = 6;  // decimals of "%f"
constexpr int maxSignificantDigits = 17; // what tells any two doubles apart
// Shortest finite results: "1.000000e+00", "1.00000000e+00", "0.000000";
// longest: "-1.797693e+308", "-1.79769313e+308", the 39 integer digits of
// the largest float with sign and six decimals, "-1.7976931348623157e+308".
constexpr std::size_t minExponentChars = exponentDigits + 5; // a point, "e", a sign, two digits
constexpr std::size_t maxExponentChars = minExponentChars + 2; // a minus, a third exponent digit
constexpr std::size_t minPreciseChars = preciseDigits + 5;
constexpr std::size_t maxPreciseChars = minPreciseChars + 2;
constexpr std::size_t minFixedChars = fixedDecimals + 2;
constexpr std::size_t maxFixedChars = 1 + 39 + 1 + fixedDecimals;
constexpr std::size_t maxScientificChars = maxSignificantDigits + 7;
static_assert(minExponentChars == 12 && maxPreciseChars == 16 && minFixedChars == 8 && maxFixedChars == 47);

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
