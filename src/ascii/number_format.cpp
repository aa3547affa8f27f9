#include "ascii/number_format.hpp"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>

namespace sactab {

namespace {

__extension__ typedef unsigned __int128 uint128;

constexpr char digitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

char* write_text(char* out, const char* text)
{
    const std::size_t length = std::strlen(text);
    std::memcpy(out, text, length);
    return out + length;
}

// printf spells NaN and infinity the same way for "%e" and "%f".
char* write_special(char* out, bool negative, bool isNan)
{
    if (negative) *out++ = '-';
    return write_text(out, isNan ? "nan" : "inf");
}

char* write_two_digits(char* out, std::uint32_t value)
{
    std::memcpy(out, digitPairs + 2 * value, 2);
    return out + 2;
}

// Exactly six digits, leading zeros kept; value < 1000000.
char* write_six_digits(char* out, std::uint32_t value)
{
    out = write_two_digits(out, value / 10000);
    out = write_two_digits(out, value / 100 % 100);
    return write_two_digits(out, value % 100);
}

// Exactly `width` digits, leading zeros kept; value < 10^width.
char* write_padded(char* out, std::uint64_t value, int width)
{
    for (int i = width - 1; i >= 0; --i) {
        out[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    return out + width;
}

int decimal_digits(std::uint64_t value)
{
    int digits = 1;
    for (std::uint64_t limit = 10; value >= limit && digits < 20; limit *= 10) ++digits;
    return digits;
}

// Digits are written from the right, two at a time, straight into place.
char* write_unsigned(char* out, std::uint64_t value)
{
    char* end = out + decimal_digits(value);
    char* digit = end;
    while (value >= 100) {
        digit -= 2;
        write_two_digits(digit, static_cast<std::uint32_t>(value % 100));
        value /= 100;
    }
    if (value >= 10)
        write_two_digits(digit - 2, static_cast<std::uint32_t>(value));
    else
        digit[-1] = static_cast<char>('0' + value);
    return end;
}

char* write_unsigned(char* out, uint128 value)
{
    constexpr std::uint64_t nineteenDigits = 10'000'000'000'000'000'000u;
    if (value <= UINT64_MAX) return write_unsigned(out, static_cast<std::uint64_t>(value));
    out = write_unsigned(out, value / nineteenDigits);
    return write_padded(out, static_cast<std::uint64_t>(value % nineteenDigits), 19);
}

// Powers of ten as the compiler rounds their literals: correctly rounded,
// which the error bound in format_exponent relies on.
constexpr int smallestPower = -48;
constexpr double powersOfTen[] = {
    1e-48, 1e-47, 1e-46, 1e-45, 1e-44, 1e-43, 1e-42, 1e-41,
    1e-40, 1e-39, 1e-38, 1e-37, 1e-36, 1e-35, 1e-34, 1e-33,
    1e-32, 1e-31, 1e-30, 1e-29, 1e-28, 1e-27, 1e-26, 1e-25,
    1e-24, 1e-23, 1e-22, 1e-21, 1e-20, 1e-19, 1e-18, 1e-17,
    1e-16, 1e-15, 1e-14, 1e-13, 1e-12, 1e-11, 1e-10, 1e-9,
    1e-8, 1e-7, 1e-6, 1e-5, 1e-4, 1e-3, 1e-2, 1e-1,
    1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7,
    1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
    1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22, 1e23,
    1e24, 1e25, 1e26, 1e27, 1e28, 1e29, 1e30, 1e31,
    1e32, 1e33, 1e34, 1e35, 1e36, 1e37, 1e38, 1e39,
    1e40, 1e41, 1e42, 1e43, 1e44, 1e45, 1e46, 1e47,
    1e48, 1e49, 1e50, 1e51, 1e52,
};
constexpr int largestPower = smallestPower + static_cast<int>(std::size(powersOfTen)) - 1;

double power_of_ten(int exponent)
{
    return powersOfTen[exponent - smallestPower];
}

// floor(binaryExponent * log10(2)), within one below or above for the
// binary exponents of finite doubles.
int estimate_decimal_exponent(int binaryExponent)
{
    return (binaryExponent * 78913) >> 18;
}

char* write_exponent_form(char* out, std::uint32_t digits, int decimalExponent)
{
    *out++ = static_cast<char>('0' + digits / 1'000'000);
    *out++ = '.';
    out = write_six_digits(out, digits % 1'000'000);
    *out++ = 'e';
    *out++ = decimalExponent < 0 ? '-' : '+';
    const auto magnitude = static_cast<std::uint32_t>(decimalExponent < 0 ? -decimalExponent : decimalExponent);
    if (magnitude >= 100) *out++ = static_cast<char>('0' + magnitude / 100);
    return write_two_digits(out, magnitude % 100);
}

char* exponent_fallback(char* out, double value)
{
    return std::to_chars(out, out + maxExponentChars, value, std::chars_format::scientific, 6).ptr;
}

} // namespace

char* format_exponent(char* out, double value)
{
    const auto bits = std::bit_cast<std::uint64_t>(value);
    const bool negative = (bits >> 63) != 0;
    const auto biasedExponent = static_cast<int>(bits >> 52 & 0x7FF);
    const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
    if (biasedExponent == 0x7FF) return write_special(out, negative, fraction != 0);
    if (biasedExponent == 0 && fraction == 0) {
        if (negative) *out++ = '-';
        return write_text(out, "0.000000e+00");
    }
    int decimalExponent = estimate_decimal_exponent(biasedExponent - 1023);
    // Subnormal doubles and magnitudes beyond the table are rare: leave them
    // to the library.
    if (biasedExponent == 0 || decimalExponent - 1 < 6 - largestPower || decimalExponent + 1 > 6 - smallestPower)
        return exponent_fallback(out, value);

    // scaled = |value| * 10^(6 - E) lies in [10^6, 10^7) and is off by less
    // than 2.3e-9 (two roundings of 2^-53 each on a number below 10^7), so
    // rounding it to an integer gives printf's seven digits unless it lies
    // within that error of a tie.
    const double magnitude = std::fabs(value);
    double scaled = magnitude * power_of_ten(6 - decimalExponent);
    if (scaled >= 1e7) {
        ++decimalExponent;
        scaled = magnitude * power_of_ten(6 - decimalExponent);
    } else if (scaled < 1e6) {
        --decimalExponent;
        scaled = magnitude * power_of_ten(6 - decimalExponent);
    }
    auto digits = static_cast<std::uint32_t>(scaled);
    const double rest = scaled - digits;
    if (std::fabs(rest - 0.5) < 1e-6) return exponent_fallback(out, value);
    if (rest > 0.5) ++digits;
    if (digits == 10'000'000) {
        digits = 1'000'000;
        ++decimalExponent;
    }
    if (digits < 1'000'000 || digits >= 10'000'000) return exponent_fallback(out, value);
    if (negative) *out++ = '-';
    return write_exponent_form(out, digits, decimalExponent);
}

char* format_fixed(char* out, float value)
{
    const auto bits = std::bit_cast<std::uint32_t>(value);
    const bool negative = (bits >> 31) != 0;
    const auto biasedExponent = static_cast<int>(bits >> 23 & 0xFF);
    const std::uint32_t fraction = bits & 0x7FFFFF;
    if (biasedExponent == 0xFF) return write_special(out, negative, fraction != 0);
    if (negative) *out++ = '-';

    // |value| = mantissa * 2^exponent exactly.
    const std::uint32_t mantissa = biasedExponent == 0 ? fraction : fraction | 0x800000;
    const int exponent = (biasedExponent == 0 ? 1 : biasedExponent) - 150;
    if (exponent >= 0) {
        // A whole number of up to 128 bits.
        out = write_unsigned(out, uint128{mantissa} << exponent);
        return write_text(out, ".000000");
    }

    // Millionths: mantissa * 10^6 / 2^shift, rounded half to even. The
    // numerator is below 2^44, so from shift 46 on the result is below 1/4.
    const int shift = -exponent;
    std::uint64_t millionths = 0;
    if (shift <= 45) {
        const std::uint64_t numerator = std::uint64_t{mantissa} * 1'000'000;
        const std::uint64_t half = std::uint64_t{1} << (shift - 1);
        const std::uint64_t remainder = numerator & ((half << 1) - 1);
        millionths = numerator >> shift;
        if (remainder > half || (remainder == half && (millionths & 1) != 0)) ++millionths;
    }
    out = write_unsigned(out, millionths / 1'000'000);
    *out++ = '.';
    return write_six_digits(out, static_cast<std::uint32_t>(millionths % 1'000'000));
}

} // namespace sactab
