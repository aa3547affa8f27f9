#include "ascii/number_format.hpp"
#include "ascii/line_kernels.hpp"
#include "ascii/powers_of_ten.hpp"

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <algorithm>
#include <iterator>

#if SACTAB_AVX2_LINES
#include <cpuid.h>
#endif

namespace sactab {

namespace {

constexpr char digitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

constexpr std::uint64_t asciiZeros = 0x3030303030303030u;

char* write_text(char* out, const char* text)
{
    const std::size_t length = std::strlen(text);
    std::memcpy(out, text, length);
    return out + length;
}

// Samples are as often negative as not, so the sign costs no branch.
char* write_sign(char* out, bool negative)
{
    *out = '-';
    return out + (negative ? 1 : 0);
}

// printf spells NaN and infinity the same way for "%e" and "%f".
char* write_special(char* out, bool negative, bool isNan)
{
    return write_text(write_sign(out, negative), isNan ? "nan" : "inf");
}

char* write_two_digits(char* out, std::uint32_t value)
{
    std::memcpy(out, digitPairs + 2 * value, 2);
    return out + 2;
}

// The eight decimal digits of value < 10^8, most significant in the lowest
// byte, each as a number 0-9: two halves of four, four pairs, eight digits,
// split with multiplications that stay within their lanes (a few cycles
// instead of a chain of divisions).
std::uint64_t eight_digits(std::uint32_t value)
{
    const std::uint64_t halves = value / 10000 | std::uint64_t{value % 10000} << 32;
    const std::uint64_t hundreds = (halves * 10486 >> 20) & 0x0000007F0000007Fu; // x / 100 for x < 10^4
    const std::uint64_t pairs = hundreds | (halves - hundreds * 100) << 16;
    const std::uint64_t tens = (pairs * 103 >> 10) & 0x000F000F000F000Fu; // x / 10 for x < 100
    return tens | (pairs - tens * 10) << 8;
}

// Stores the eight bytes of `word`, its lowest byte first, whatever the host.
void store_bytes(char* out, std::uint64_t word)
{
    if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
    std::memcpy(out, &word, 8);
}

// value < 10^8 without leading zeros; stores eight bytes.
char* write_short_unsigned(char* out, std::uint32_t value)
{
    const std::uint64_t digits = eight_digits(value);
    const int leadingZeros = value == 0 ? 7 : std::countr_zero(digits) / 8;
    store_bytes(out, (digits | asciiZeros) >> (8 * leadingZeros));
    return out + 8 - leadingZeros;
}

// Any 64-bit value, eight digits at a time from the right (at most three
// rounds); stores eight bytes at a time.
char* write_unsigned(char* out, std::uint64_t value)
{
    constexpr std::uint32_t eightDigits = 100'000'000;
    if (value < eightDigits) return write_short_unsigned(out, static_cast<std::uint32_t>(value));
    out = write_unsigned(out, value / eightDigits);
    store_bytes(out, eight_digits(static_cast<std::uint32_t>(value % eightDigits)) | asciiZeros);
    return out + 8;
}

// "." and six digits of value < 10^6, in one store of eight bytes: the
// eight digits of value begin with two zeros, the first of which is dropped
// and the second replaced by the point.
char* write_point_six_digits(char* out, std::uint32_t value)
{
    const std::uint64_t digits = eight_digits(value) | asciiZeros;
    store_bytes(out, (digits >> 8 & ~std::uint64_t{0xFF}) | '.');
    return out + 7;
}

double power_of_ten(int exponent)
{
    return powersOfTen[exponent - smallestPower];
}

// floor(binaryExponent * log10(2)), exact for every binary exponent of a
// finite double: the decimal exponent is this or one more.
int estimate_decimal_exponent(int binaryExponent)
{
    return (binaryExponent * 78913) >> 18;
}

// "e-99" to "e+99", each as the four bytes a store puts in place.
constexpr auto exponentSuffixes = [] {
    std::array<std::uint32_t, 199> suffixes{};
    for (int exponent = -99; exponent <= 99; ++exponent) {
        const auto magnitude = static_cast<std::uint32_t>(exponent < 0 ? -exponent : exponent);
        const char text[4] = {'e', exponent < 0 ? '-' : '+', static_cast<char>('0' + magnitude / 10), static_cast<char>('0' + magnitude % 10)};
        for (int i = 0; i < 4; ++i) suffixes[static_cast<std::size_t>(exponent + 99)] |= std::uint32_t{static_cast<unsigned char>(text[i])} << (8 * i);
    }
    return suffixes;
}();

char* write_exponent_suffix(char* out, int decimalExponent)
{
    if (decimalExponent > -100 && decimalExponent < 100) {
        std::uint32_t suffix = exponentSuffixes[static_cast<std::size_t>(decimalExponent + 99)];
        if constexpr (std::endian::native == std::endian::big) suffix = __builtin_bswap32(suffix);
        std::memcpy(out, &suffix, 4);
        return out + 4;
    }
    *out++ = 'e';
    *out++ = decimalExponent < 0 ? '-' : '+';
    const auto magnitude = static_cast<std::uint32_t>(decimalExponent < 0 ? -decimalExponent : decimalExponent);
    *out++ = static_cast<char>('0' + magnitude / 100);
    return write_two_digits(out, magnitude % 100);
}

// The first digit, the point and the rest of `digits` (which has exactly
// `significantDigits` digits), then the exponent in printf's form. Seven
// digits are one store: the first of their eight, a zero, gives way to the
// first digit and the point.
template <int significantDigits>
char* write_exponent_form(char* out, std::uint32_t digits, int decimalExponent)
{
    if constexpr (significantDigits == 7) {
        const std::uint64_t eight = eight_digits(digits) | asciiZeros;
        store_bytes(out, (eight & ~std::uint64_t{0xFFFF}) | (eight >> 8 & 0xFF) | std::uint64_t{'.'} << 8);
        out += 8;
    } else {
        out[0] = static_cast<char>('0' + digits / 100'000'000);
        out[1] = '.';
        store_bytes(out + 2, eight_digits(digits % 100'000'000) | asciiZeros);
        out += 10;
    }
    return write_exponent_suffix(out, decimalExponent);
}

char* exponent_fallback(char* out, double value, int precision)
{
    return std::to_chars(out, out + maxPreciseChars, value, std::chars_format::scientific, precision).ptr;
}

char* fixed_fallback(char* out, float value)
{
    return std::to_chars(out, out + maxFixedChars, static_cast<double>(value), std::chars_format::fixed, 6).ptr;
}

// printf("%.*e", significantDigits - 1, value). |value| * 10^(P - E), with
// P = significantDigits - 1 and E the decimal exponent, lies in [10^P,
// 10^(P+1)) and is off by less than 10^(P+1) * 2^-52 (two roundings to
// double of 2^-53 each: the correctly rounded power and the product; the
// proof assumes every operation rounds to double and none is contracted
// into a fused multiply-add). Rounding it to an integer therefore gives
// printf's digits unless it lies within `tieMargin` of a tie, where the
// library decides, or the product is exact (a float's bits times 10^0 to
// 10^12), which rounds ties to even as printf does. The table's powers
// serve binary exponents -152 to 179 (decimal exponents -46 to 54); the
// rest, subnormals included, are rare and left to the library too. The estimate of E is never too large (even
// the smallest double of each binary exponent scales to 10^P or more), so
// only a step up is ever needed.
template <int significantDigits>
char* write_scientific(char* out, double value)
{
    constexpr int precision = significantDigits - 1;
    constexpr double lowest = power_of_ten_constant(precision);
    constexpr double highest = power_of_ten_constant(significantDigits);
    static_assert(highest * 0x1p-52 < tieMargin, "the scaled value's error must stay within the tie margin");
    static_assert(highest < 0x1p32, "the digits must fit 32 bits");

    const auto bits = std::bit_cast<std::uint64_t>(value);
    const bool negative = (bits >> 63) != 0;
    const auto biasedExponent = static_cast<int>(bits >> 52 & 0x7FF);
    const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
    if (biasedExponent == 0x7FF) return write_special(out, negative, fraction != 0);
    if (biasedExponent == 0 && fraction == 0) {
        out = write_sign(out, negative);
        return write_text(out, significantDigits == 7 ? "0.000000e+00" : "0.00000000e+00");
    }
    int decimalExponent = estimate_decimal_exponent(biasedExponent - 1023);
    if (decimalExponent < precision - largestPower || decimalExponent + 1 > precision - smallestPower)
        return exponent_fallback(out, value, precision);

    const double magnitude = std::fabs(value);
    double scaled = magnitude * power_of_ten(precision - decimalExponent);
    if (scaled >= highest) {
        ++decimalExponent;
        scaled = magnitude * power_of_ten(precision - decimalExponent);
    }
    // Adding 2^52 rounds scaled to an integer, held in the low bits, without
    // a branch on which way it went; near a tie the library decides.
    const double shifted = scaled + 0x1p52;
    const double rest = scaled - (shifted - 0x1p52);
    const int scale = precision - decimalExponent;
    const bool exact = (bits & beyondFloatBits) == 0 && scale >= 0 && scale <= largestExactScale;
    if (std::fabs(rest) > 0.5 - tieMargin && !exact) return exponent_fallback(out, value, precision);
    auto digits = static_cast<std::uint32_t>(std::bit_cast<std::uint64_t>(shifted));
    if (digits == static_cast<std::uint32_t>(highest)) {
        digits = static_cast<std::uint32_t>(lowest);
        ++decimalExponent;
    }
    return write_exponent_form<significantDigits>(write_sign(out, negative), digits, decimalExponent);
}

} // namespace

char* format_exponent(char* out, double value)
{
    return write_scientific<7>(out, value);
}

char* format_precise(char* out, double value)
{
    return write_scientific<9>(out, value);
}

char* format_scientific(char* out, double value, int significantDigits)
{
    return std::to_chars(out, out + maxScientificChars, value, std::chars_format::scientific, significantDigits - 1).ptr;
}

char* format_fixed(char* out, float value)
{
    const auto bits = std::bit_cast<std::uint32_t>(value);
    const bool negative = (bits >> 31) != 0;
    const auto biasedExponent = static_cast<int>(bits >> 23 & 0xFF);
    const std::uint32_t fraction = bits & 0x7FFFFF;
    if (biasedExponent == 0xFF) return write_special(out, negative, fraction != 0);
    // |value| = mantissa * 2^exponent exactly.
    const std::uint32_t mantissa = biasedExponent == 0 ? fraction : fraction | 0x800000;
    const int exponent = (biasedExponent == 0 ? 1 : biasedExponent) - 150;
    // Whole numbers of 2^64 and more (beyond 1.8e19, hardly a sample) are
    // left to the library, which prints them exactly too.
    if (exponent > 40) return fixed_fallback(out, value);
    out = write_sign(out, negative);
    if (exponent >= 0) {
        out = write_unsigned(out, std::uint64_t{mantissa} << exponent);
        return write_text(out, ".000000");
    }

    // |value| * 10^6 = mantissa * 10^6 / 2^shift, below 2^44 before the
    // shift, as one integer rounded half to even: adding half - 1 and the
    // lowest bit of the quotient rounds up exactly the remainders above half,
    // and half itself when the quotient is odd. The whole part, below 2^23,
    // has at most seven digits; from shift 63 on the value is 0 (the shift
    // stops there, where the numerator is far below half).
    const int shift = std::min(-exponent, 63);
    const std::uint64_t numerator = std::uint64_t{mantissa} * 1'000'000;
    const std::uint64_t half = std::uint64_t{1} << (shift - 1);
    const std::uint64_t total = (numerator + (half - 1) + (numerator >> shift & 1)) >> shift;
    const auto whole = static_cast<std::uint32_t>(total / 1'000'000);
    const auto millionths = static_cast<std::uint32_t>(total - std::uint64_t{whole} * 1'000'000);
    return write_point_six_digits(write_short_unsigned(out, whole), millionths);
}

char* format_lines_one_at_a_time(char* out, const double* xs, const float* samples, std::size_t count, const char* separator,
                                 std::size_t separatorLength, bool precise, const char** lineStarts)
{
    for (std::size_t i = 0; i < count; ++i) {
        if (lineStarts != nullptr) *lineStarts++ = out;
        out = precise ? format_precise(out, xs[i]) : format_exponent(out, xs[i]);
        std::memcpy(out, separator, separatorLength);
        out += separatorLength;
        out = precise ? format_precise(out, static_cast<double>(samples[i])) : format_fixed(out, samples[i]);
        *out++ = '\n';
    }
    return out;
}

#if SACTAB_AVX2_LINES
bool processor_has_avx2()
{
    unsigned eax = 0;
    unsigned ebx = 0;
    unsigned ecx = 0;
    unsigned edx = 0;
    // AVX, and a system that saves the vector registers (OSXSAVE, then the
    // SSE and AVX state bits of XCR0), before AVX2 itself.
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0 || (ecx & bit_OSXSAVE) == 0 || (ecx & bit_AVX) == 0) return false;
    unsigned xcr0 = 0;
    unsigned xcr0High = 0;
    __asm__("xgetbv" : "=a"(xcr0), "=d"(xcr0High) : "c"(0));
    if ((xcr0 & 6) != 6) return false;
    return __get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx) != 0 && (ebx & bit_AVX2) != 0;
}
#endif

char* format_lines(char* out, const double* xs, const float* samples, std::size_t count, const char* separator,
                   std::size_t separatorLength, bool precise, const char** lineStarts)
{
#if SACTAB_AVX2_LINES
    static const bool hasAvx2 = processor_has_avx2();
    if (hasAvx2) return format_lines_avx2(out, xs, samples, count, separator, separatorLength, precise, lineStarts);
#endif
    return format_lines_one_at_a_time(out, xs, samples, count, separator, separatorLength, precise, lineStarts);
}

} // namespace sactab
