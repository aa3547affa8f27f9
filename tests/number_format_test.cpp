#include "ascii/number_format.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <tuple>

using sactab::format_exponent;
using sactab::format_fixed;
using sactab::format_precise;

namespace {

std::string exponent_text(double value)
{
    char text[64];
    return {text, format_exponent(text, value)};
}

std::string precise_text(double value)
{
    char text[64];
    return {text, format_precise(text, value)};
}

std::string fixed_text(float value)
{
    char text[64];
    return {text, format_fixed(text, value)};
}

std::string printf_exponent(double value, bool precise = false)
{
    char text[512];
    if (precise)
        std::snprintf(text, sizeof text, "%.8e", value);
    else
        std::snprintf(text, sizeof text, "%e", value);
    return text;
}

std::string printf_fixed(double value)
{
    char text[512];
    std::snprintf(text, sizeof text, "%f", value);
    return text;
}

// One value against printf, naming its bits when they differ. Used as
// ASSERT_TRUE(...), so a loop of a million cases stops at the first fault.
::testing::AssertionResult like_printf(const std::string& ours, const std::string& theirs, std::uint64_t bits)
{
    if (ours == theirs) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << ours << " instead of " << theirs << " for bits 0x" << std::hex << bits;
}

// Both exponent formats: "%e" of the default columns and "%.8e" of -p.
::testing::AssertionResult exponent_like_printf(double value)
{
    const auto bits = std::bit_cast<std::uint64_t>(value);
    const auto seven = like_printf(exponent_text(value), printf_exponent(value), bits);
    return seven ? like_printf(precise_text(value), printf_exponent(value, true), bits) : seven;
}

::testing::AssertionResult fixed_like_printf(float value)
{
    return like_printf(fixed_text(value), printf_fixed(static_cast<double>(value)), std::bit_cast<std::uint32_t>(value));
}

constexpr int randomCases = 1'000'000;

} // namespace

// Random bit patterns reach every exponent; most of them lie outside the
// formatter's own range and go to the library, so one in eight is drawn
// from everywhere and the rest from that range. The other two draw from
// where times and samples really lie.
TEST(AgainstPrintf, ExponentOfRandomDoubleBits)
{
    std::mt19937_64 random(20261208);
    std::uniform_int_distribution<std::uint64_t> ownRange(1023 - 152, 1023 + 179);
    for (int i = 0; i < randomCases; ++i) {
        const std::uint64_t bits = random();
        ASSERT_TRUE(exponent_like_printf(std::bit_cast<double>(i % 8 == 0 ? bits : (bits & 0x800FFFFFFFFFFFFFu) | ownRange(random) << 52)));
    }
}

TEST(AgainstPrintf, ExponentOfDoublesAcrossTheFastRange)
{
    std::mt19937_64 random(42);
    std::uniform_int_distribution<std::uint64_t> exponent(1023 - 170, 1023 + 190);
    for (int i = 0; i < randomCases; ++i) {
        const std::uint64_t bits = (random() & 0x800FFFFFFFFFFFFFu) | exponent(random) << 52;
        ASSERT_TRUE(exponent_like_printf(std::bit_cast<double>(bits)));
    }
}

TEST(AgainstPrintf, ExponentOfWidenedFloatsAndAccumulatedTimes)
{
    std::mt19937_64 random(7);
    for (int i = 0; i < randomCases; ++i)
        ASSERT_TRUE(exponent_like_printf(static_cast<double>(std::bit_cast<float>(static_cast<std::uint32_t>(random())))));
    // Times as the evenly spaced loop makes them: common rates, long runs.
    for (float delta : {0.01f, 0.025f, 0.05f, 0.1f, 1.0f / 3.0f, 0.077f}) {
        double time = -3600.5;
        for (int i = 0; i < 200'000; ++i, time += static_cast<double>(delta)) ASSERT_TRUE(exponent_like_printf(time));
    }
}

TEST(AgainstPrintf, FixedOfRandomFloatBits)
{
    std::mt19937_64 random(1);
    for (int i = 0; i < randomCases; ++i)
        ASSERT_TRUE(fixed_like_printf(std::bit_cast<float>(static_cast<std::uint32_t>(random()))));
    // Small magnitudes, where the rounding of the sixth decimal happens.
    std::uniform_int_distribution<std::uint32_t> smallBits(0x30000000u, 0x4B800000u);
    for (int i = 0; i < randomCases; ++i) {
        const auto sign = static_cast<std::uint32_t>(random() & 1) << 31;
        ASSERT_TRUE(fixed_like_printf(std::bit_cast<float>(smallBits(random) | sign)));
    }
    // Whole numbers next to each power of ten, where the integer part gains
    // a digit (and, from 10^8 on, a second group of eight).
    for (int exponent = 0; exponent <= 38; ++exponent) {
        float value = static_cast<float>(std::pow(10.0, exponent));
        for (int step = 0; step < 3; ++step) value = std::nextafter(value, 0.0f);
        for (int step = 0; step < 6; ++step, value = std::nextafter(value, 1e38f)) {
            ASSERT_TRUE(fixed_like_printf(std::nearbyint(value)));
            ASSERT_TRUE(fixed_like_printf(-std::nearbyint(value)));
        }
    }
}

TEST(Carrying, RoundsUpIntoTheNextPowerOfTen)
{
    EXPECT_EQ(exponent_text(9.9999996), "1.000000e+01");
    EXPECT_EQ(exponent_text(999999.96), "1.000000e+06");
    EXPECT_EQ(exponent_text(-9.9999999e-5), "-1.000000e-04");
    EXPECT_EQ(fixed_text(0.9999996f), "1.000000");
    EXPECT_EQ(fixed_text(-1.9999996f), "-2.000000");
}

TEST(RoundToEven, ExactTiesGoToTheEvenDigit)
{
    EXPECT_EQ(exponent_text(12345675.0), "1.234568e+07");
    EXPECT_EQ(exponent_text(12345665.0), "1.234566e+07");
    EXPECT_EQ(exponent_text(1234568.5), "1.234568e+06");
    EXPECT_EQ(fixed_text(0x1p-21f), "0.000000");  // 0.000000476... just below the tie
    ASSERT_TRUE(fixed_like_printf(0.0000005f));
    for (auto [tie, text] : {std::pair{0.0078125f, "0.007812"}, {0.0234375f, "0.023438"}, {-1.0078125f, "-1.007812"},
                             {1000.0546875f, "1000.054688"}})
        EXPECT_EQ(fixed_text(tie), text);
    // k / 2^7 with k odd ends in ...5 at the seventh decimal: an exact tie
    // at the sixth, in every magnitude a float keeps it.
    for (std::uint32_t k = 1; k < (1u << 24); k += 4094) {
        ASSERT_TRUE(fixed_like_printf(std::ldexp(static_cast<float>(k | 1), -7)));
        ASSERT_TRUE(fixed_like_printf(-std::ldexp(static_cast<float>(k | 1), -7)));
    }
}

// Doubles a few steps from a tie between two seven-digit decimals: times can
// land there, widened floats cannot. The nearest double to the tie is off it
// by less than the formatter's own error, so only exact checks decide.
TEST(RoundToEven, DoublesNextToADecimalTie)
{
    ASSERT_TRUE(exponent_like_printf(715309850000.0));
    std::mt19937_64 random(11);
    std::uniform_int_distribution<std::uint32_t> digits(1'000'000, 9'999'999);
    std::uniform_int_distribution<int> exponent(-40, 40);
    for (int i = 0; i < 100'000; ++i) {
        double value = (digits(random) + 0.5) * std::pow(10.0, exponent(random) - 6);
        for (int step = 0; step < 3; ++step) value = std::nextafter(value, 0.0);
        for (int step = 0; step < 7; ++step, value = std::nextafter(value, 1e300)) ASSERT_TRUE(exponent_like_printf(value));
    }
}

TEST(Exponents, CrossingTwoAndThreeDigitExponents)
{
    for (double value : {1e-10, 9.99999e-10, 1e10, 1e99, 1e100, 1e-99, 1e-100, 1e-300, 1e300})
        ASSERT_TRUE(exponent_like_printf(value));
}

TEST(MinMax, ExtremesOfBothTypes)
{
    const float floatMax = std::numeric_limits<float>::max();
    const float floatTiny = std::numeric_limits<float>::denorm_min();
    EXPECT_EQ(fixed_text(floatMax), "340282346638528859811704183484516925440.000000");
    EXPECT_EQ(fixed_text(-floatMax), "-340282346638528859811704183484516925440.000000");
    EXPECT_EQ(fixed_text(floatTiny), "0.000000");
    EXPECT_EQ(fixed_text(-floatTiny), "-0.000000");
    EXPECT_EQ(fixed_text(16777216.0f), "16777216.000000");
    EXPECT_EQ(exponent_text(static_cast<double>(floatMax)), "3.402823e+38");
    EXPECT_EQ(exponent_text(static_cast<double>(floatTiny)), "1.401298e-45");
    for (double value : {std::numeric_limits<double>::max(), std::numeric_limits<double>::min(),
                         std::numeric_limits<double>::denorm_min(), -std::numeric_limits<double>::denorm_min()})
        ASSERT_TRUE(exponent_like_printf(value));
}

TEST(Special, NanInfinityAndZeroWithBothSigns)
{
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (auto [value, exponent, fixed] :
         {std::tuple{inf, "inf", "inf"}, {-inf, "-inf", "-inf"}, {nan, "nan", "nan"}, {-nan, "-nan", "-nan"},
          {0.0, "0.000000e+00", "0.000000"}, {-0.0, "-0.000000e+00", "-0.000000"}}) {
        EXPECT_EQ(exponent_text(value), exponent);
        EXPECT_EQ(fixed_text(static_cast<float>(value)), fixed);
        ASSERT_TRUE(exponent_like_printf(value));
    }
    EXPECT_EQ(fixed_text(std::bit_cast<float>(0xFF800001u)), "-nan"); // signalling, negative
    EXPECT_EQ(fixed_text(-0.0000004f), "-0.000000");
}
