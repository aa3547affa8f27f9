// The four-lines-at-a-time AVX2 kernel against the one-value path and
// snprintf. Each edge value makes a whole group of four (it, its negative
// and its two neighbours), so that groups take the kernel, not the one-value
// fallback that a single odd value sends its group to.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "ascii/line_kernels.hpp"
#include "ascii/number_format.hpp"
#include "sac_builder.hpp"

#if SACTAB_AVX2_LINES

namespace {

struct Columns {
    std::vector<double> xs;
    std::vector<float> samples;
};

void add_group(Columns& columns, double x, float sample)
{
    const double inf = std::numeric_limits<double>::infinity();
    for (double value : {x, -x, std::nextafter(x, inf), std::nextafter(x, -inf)}) columns.xs.push_back(value);
    for (float value : {sample, -sample, std::nextafter(sample, 1e38f), std::nextafter(sample, -1e38f)}) columns.samples.push_back(value);
}

Columns edge_suites()
{
    Columns columns;
    // Every power of ten, and values that round up into it in 7 and 9 digits.
    for (int exponent = -44; exponent <= 38; ++exponent)
        for (double factor : {1.0, 0.99999996, 0.9999999996, 1.0000005}) {
            const double value = factor * std::pow(10.0, exponent);
            add_group(columns, value, static_cast<float>(value));
        }
    // The fixed format's fast range ends at 10^8; its rounding carries into the whole part.
    for (float sample : {1e8f, 99999992.0f, 0.99999994f, 2.9999998f, 0.9999996f, 1.9999996f, 9.9999995e-7f})
        add_group(columns, 1234.5 + static_cast<double>(sample), sample);
    // Exact ties and their neighbours: "%e" (8 digits ending in 5), "%.8e"
    // (10), "%f" (k / 2^7 with k odd), and a float next to a "%.8e" tie.
    for (double tie : {12345675.0, 12345665.0, 1234568.5, 715309850000.0, 1234567875.0, 0x1p-14})
        add_group(columns, tie, static_cast<float>(tie));
    for (int k = 1; k < 400; k += 2) add_group(columns, 3600.0 + k, std::ldexp(static_cast<float>(k), -7));
    add_group(columns, 2.38902715e-07, 2.38902715e-07f);
    // Every binary exponent of a float.
    for (int exponent = -149; exponent <= 127; ++exponent)
        add_group(columns, std::ldexp(1.3, exponent), std::ldexp(1.3f, exponent));
    // Times from a B that is not 0, and random samples.
    std::mt19937_64 random(31);
    double time = -1234.5;
    for (int i = 0; i < 40'000; ++i, time += 0.01) {
        columns.xs.push_back(i % 2 == 0 ? time : static_cast<double>(std::bit_cast<float>(static_cast<std::uint32_t>(random()))));
        columns.samples.push_back(std::bit_cast<float>(static_cast<std::uint32_t>(random())));
    }
    return columns;
}

} // namespace

TEST(Avx2Lines, AgreeWithTheOneValuePathAndPrintf)
{
    if (!sactab::processor_has_avx2()) GTEST_SKIP() << "this processor has no AVX2: the kernel cannot run here";
    const Columns columns = edge_suites();
    const std::size_t count = columns.xs.size();
    std::vector<char> kernel(count * 64 + 16);
    std::vector<char> oneByOne(count * 64 + 16);
    std::vector<const char*> kernelStarts(count);
    std::vector<const char*> oneByOneStarts(count);
    for (const bool precise : {false, true})
        for (const std::string separator : {"\t", ",\t"}) {
            SCOPED_TRACE((precise ? "-p, separator of " : "separator of ") + std::to_string(separator.size()));
            char* const kernelEnd = sactab::format_lines_avx2(kernel.data(), columns.xs.data(), columns.samples.data(), count, separator.c_str(),
                                                              separator.size(), precise, kernelStarts.data());
            char* const oneByOneEnd = sactab::format_lines_one_at_a_time(oneByOne.data(), columns.xs.data(), columns.samples.data(), count,
                                                                         separator.c_str(), separator.size(), precise, oneByOneStarts.data());
            std::string expected;
            for (std::size_t i = 0; i < count; ++i) expected += sactest::printf_line(separator.size() == 2, columns.xs[i], columns.samples[i], precise);
            const std::string kernelText(kernel.data(), kernelEnd);
            EXPECT_EQ(sactest::first_difference(kernelText, expected), "");
            EXPECT_EQ(sactest::first_difference(std::string(oneByOne.data(), oneByOneEnd), expected), "");
            for (std::size_t i = 0; i < count; ++i)
                ASSERT_EQ(kernelStarts[i] - kernel.data(), oneByOneStarts[i] - oneByOne.data()) << "line " << i + 1;
        }
}

#else

TEST(Avx2Lines, AgreeWithTheOneValuePathAndPrintf)
{
    GTEST_SKIP() << "built without the AVX2 path (SACTAB_AVX2=OFF, or not x86-64)";
}

#endif
