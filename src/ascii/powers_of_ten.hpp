// The powers of ten both exponent formatters scale by, one value or four
// at a time.
#pragma once

#include <cstdint>
#include <iterator>

namespace sactab {

// Powers of ten as the compiler rounds their literals: correctly rounded,
// which the error bound in format_exponent relies on.
inline constexpr int smallestPower = -48;
inline constexpr double powersOfTen[] = {
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
inline constexpr int largestPower = smallestPower + static_cast<int>(std::size(powersOfTen)) - 1;

constexpr double power_of_ten_constant(int exponent)
{
    double power = 1;
    for (int i = 0; i < exponent; ++i) power *= 10;
    return power;
}

// How far from a decimal tie a scaled value must lie for its rounding to be
// trusted (see write_scientific); nearer ties go to the library.
inline constexpr double tieMargin = 1e-6;

// A value of at most 24 significant bits (every float) times 10^0 to
// 10^12 is exact in double: 10^k is 2^k times 5^k, and 5^12 has 28 bits.
// Its rounding to an integer is then printf's, ties included (to even).
inline constexpr std::uint64_t beyondFloatBits = (std::uint64_t{1} << 29) - 1; // of a double's 52 fraction bits
inline constexpr int largestExactScale = 12;
static_assert(244'140'625 < (1 << 28), "5^12 has 28 bits, which with 24 fit a double's 53");

} // namespace sactab
