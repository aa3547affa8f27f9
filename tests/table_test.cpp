// The two sample loops, from an in-memory SAC file into an in-memory table.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <cstdlib>
#include <string>

#include "ascii/table.hpp"
#include "sac/sac_file.hpp"
#include "sac_builder.hpp"

using namespace sactab;

namespace {

struct Converted {
    LoopEnd end;
    std::string table;
};

Converted convert_in_memory(sactest::Bytes file, bool precise = false)
{
    set_byte_swap(1);
    std::FILE* input = fmemopen(file.data(), file.size(), "rb");
    char* text = nullptr;
    std::size_t length = 0;
    std::FILE* output = open_memstream(&text, &length);
    read_header(input);
    const LoopEnd end = (is_unevenly_spaced() ? write_unevenly_spaced(input, output, precise, UINT64_MAX, nullptr) : write_evenly_spaced(input, output, precise, nullptr)).end;
    std::fclose(output);
    std::fclose(input);
    Converted result{end, std::string(text, length)};
    std::free(text);
    return result;
}

} // namespace

TEST(Table, EvenlySpacedLinesCountTimeFromB)
{
    const auto converted = convert_in_memory(sactest::make_sac(0.5f, -1.5f, 2, {1, -2}, false));
    EXPECT_EQ(converted.end, LoopEnd::complete);
    EXPECT_EQ(converted.table, "-1.500000e+00\t1.000000\n-1.000000e+00\t-2.000000\n");
}

TEST(Table, UnevenlySpacedLinesPairTheSecondBlockWithTheFirst)
{
    const auto converted = convert_in_memory(sactest::make_sac(-12345.0f, 99, 2, {1, -2, 10, 20}, false));
    EXPECT_EQ(converted.end, LoopEnd::complete);
    EXPECT_EQ(converted.table, "1.000000e+01,\t1.000000\n2.000000e+01,\t-2.000000\n");
    // Past the first blocks of the loop, x values must stay with their samples.
    std::mt19937_64 random(40);
    const std::vector<float> data = sactest::random_floats(random, 80'000);
    const auto longer = convert_in_memory(sactest::make_sac(-12345.0f, 0, 40'000, data, false));
    EXPECT_EQ(sactest::first_difference(longer.table, sactest::reference_table(-12345.0f, 0, data)), "");
}

TEST(Table, TimeIsAccumulatedNotMultiplied)
{
    // From B = 3e7, B + i * 0.025 and repeated addition print differently
    // in nine digits from line 3 on; the table must show the sums.
    const std::vector<float> samples(1'000, 0.25f);
    const auto converted = convert_in_memory(sactest::make_sac(0.025f, 3e7f, 1'000, samples, false), true);
    EXPECT_EQ(sactest::first_difference(converted.table, sactest::reference_table(0.025f, 3e7f, samples, true)), "");
    const auto still = convert_in_memory(sactest::make_sac(0.0f, 7.0f, 3, {1, 2, 3}, false));
    EXPECT_EQ(still.table, "7.000000e+00\t1.000000\n7.000000e+00\t2.000000\n7.000000e+00\t3.000000\n");
}

TEST(Table, ShortInputStopsEitherLoop)
{
    auto even = sactest::make_sac(1, 0, 40'000, std::vector<float>(40'000, 1), false);
    even.resize(even.size() - 3);
    EXPECT_EQ(convert_in_memory(even).end, LoopEnd::short_input);
    auto uneven = sactest::make_sac(-12345.0f, 0, 40'000, std::vector<float>(80'000, 1), false);
    for (std::size_t cut : {4u * 40'000 + 4, 4u * 40'000 - 4, 4u}) {
        auto cutFile = uneven;
        cutFile.resize(cutFile.size() - cut);
        EXPECT_EQ(convert_in_memory(cutFile).end, LoopEnd::short_input) << "cut " << cut;
    }
}

TEST(Table, OutputNameIsTheInputPathWithAscAppended)
{
    ASSERT_TRUE(make_output_name("data/x.sac"));
    EXPECT_STREQ(ascFileName, "data/x.sac.asc");
    const std::string longPath(300, 'p');
    ASSERT_TRUE(make_output_name(longPath.c_str()));
    EXPECT_EQ(ascFileName, longPath + ".asc");
    EXPECT_FALSE(make_output_name(std::string(outputNameBytes - 4, 'p').c_str()));
}
