// Byte order, word reading and the header, through in-memory streams.
#include <gtest/gtest.h>

#include <bit>
#include <cstdio>
#include <limits>

#include "sac/byte_order.hpp"
#include "sac/sac_file.hpp"
#include "sac_builder.hpp"

using namespace sactab;

namespace {

// Reads a header from bytes as the converter would with the given mode.
std::size_t read_header_of(sactest::Bytes bytes, std::int32_t byteOrderMode)
{
    set_byte_swap(byteOrderMode);
    std::FILE* stream = fmemopen(bytes.data(), bytes.size(), "rb");
    const std::size_t got = read_header(stream);
    std::fclose(stream);
    return got;
}

} // namespace

TEST(ByteOrder, SwapBytesReversesTwoAndFourByteItemsOnly)
{
    unsigned char shorts[] = {1, 2, 3, 4, 5, 6, 7};
    swap_bytes(shorts, 3, 2);
    EXPECT_EQ(std::vector<unsigned char>(shorts, shorts + 7), (std::vector<unsigned char>{2, 1, 4, 3, 6, 5, 7}));
    unsigned char words[] = {1, 2, 3, 4, 5, 6, 7, 8};
    swap_bytes(words, 2, 4);
    EXPECT_EQ(std::vector<unsigned char>(words, words + 8), (std::vector<unsigned char>{4, 3, 2, 1, 8, 7, 6, 5}));
    for (auto [count, size] : {std::pair{1, 8}, {0, 4}, {-1, 4}, {2, -4}, {-2, -4}}) {
        unsigned char untouched[] = {1, 2, 3, 4, 5, 6, 7, 8};
        swap_bytes(untouched + 4, count, size);
        EXPECT_EQ(std::vector<unsigned char>(untouched, untouched + 8), (std::vector<unsigned char>{1, 2, 3, 4, 5, 6, 7, 8}))
            << "count " << count << ", size " << size;
    }
}

TEST(ByteOrder, ModeChoosesTheFileOrderOnALittleEndianHost)
{
    if (endian_check() == 1) GTEST_SKIP() << "a big-endian host reads every file big-endian";
    const unsigned char little[] = {0x00, 0x00, 0x80, 0x3F};
    const unsigned char big[] = {0x3F, 0x80, 0x00, 0x00};
    set_byte_swap(1);
    EXPECT_EQ(byteSwapFlag, 0);
    EXPECT_EQ(std::bit_cast<float>(read_word(little)), 1.0f);
    set_byte_swap(0);
    EXPECT_EQ(byteSwapFlag, 1);
    EXPECT_EQ(std::bit_cast<float>(read_word(big)), 1.0f);
}

TEST(Header, BothByteOrdersGiveTheSameValues)
{
    for (bool bigEndian : {false, true}) {
        // The skipped words hold garbage, which must not matter.
        const auto file = sactest::make_sac(0.01f, -3.5f, 1234, {}, bigEndian, 0xDEADBEEF);
        ASSERT_EQ(read_header_of(file, bigEndian ? 0 : 1), headerBytes);
        EXPECT_EQ(DELTA, 0.01f);
        EXPECT_EQ(B, -3.5f);
        EXPECT_EQ(SACNPTS, 1234);
        EXPECT_EQ(declared_file_bytes(), 632u + 4 * 1234);
        EXPECT_FALSE(is_unevenly_spaced());
    }
}

TEST(Header, OnlyExactlyMinus12345MarksUnevenSpacing)
{
    read_header_of(sactest::make_sac(-12345.0f, 0, 10, {}, false), 1);
    EXPECT_TRUE(is_unevenly_spaced());
    EXPECT_EQ(declared_file_bytes(), 632u + 8 * 10);
    read_header_of(sactest::make_sac(std::nextafter(-12345.0f, 0.0f), 0, 10, {}, false), 1);
    EXPECT_FALSE(is_unevenly_spaced());
    read_header_of(sactest::make_sac(std::numeric_limits<float>::quiet_NaN(), 0, 10, {}, false), 1);
    EXPECT_FALSE(is_unevenly_spaced());
}

TEST(Header, ShortHeaderReportsTheBytesItHad)
{
    auto file = sactest::make_sac(1, 0, 0, {}, false);
    file.resize(631);
    EXPECT_EQ(read_header_of(file, 1), 631u);
}

TEST(Header, RecognisesAFileReadInTheWrongByteOrder)
{
    const auto file = sactest::make_sac(0.5f, 0, 100, std::vector<float>(100), true);
    read_header_of(file, 1);
    EXPECT_EQ(check_header(headerBytes, file.size()), HeaderCheck::other_byte_order);
    read_header_of(file, 0);
    EXPECT_EQ(check_header(headerBytes, file.size()), HeaderCheck::usable);
    EXPECT_EQ(check_header(headerBytes, file.size() - 1), HeaderCheck::too_short);
}

// One row per rule of the judgement, each a SAC header changed in one way.
TEST(Header, JudgedByVersionThenNeighbourThenData)
{
    const HeaderFacts sac{.versionKnown = true, .versionKnownOther = false, .versionUnset = false, .deltaSaysSac = true,
                          .plausible = true, .plausibleOther = false, .beginUsable = true, .dataFit = true,
                          .dataFitOther = false, .negativeCount = false, .text = false, .neighbour = HeaderCheck::usable};
    const auto unset = [&](bool plausible, bool dataFit, bool otherFits) {
        HeaderFacts facts = sac;
        facts.versionKnown = false;
        facts.versionUnset = true;
        facts.plausible = plausible;
        facts.dataFit = dataFit;
        facts.plausibleOther = facts.dataFitOther = otherFits;
        return facts;
    };
    const auto changed = [](HeaderFacts facts, auto change) { change(facts); return facts; };
    const std::pair<HeaderFacts, HeaderCheck> rows[] = {
        {sac, HeaderCheck::usable},
        {changed(sac, [](auto& f) { f.neighbour = HeaderCheck::gzip; }), HeaderCheck::usable},
        {changed(sac, [](auto& f) { f.versionKnown = false, f.versionKnownOther = true; }), HeaderCheck::other_byte_order},
        {changed(sac, [](auto& f) { f.dataFit = false, f.negativeCount = true; }), HeaderCheck::negative_count},
        {changed(sac, [](auto& f) { f.dataFit = false, f.dataFitOther = true; }), HeaderCheck::too_short},
        {changed(sac, [](auto& f) { f.deltaSaysSac = false; }), HeaderCheck::invalid_interval},
        {changed(sac, [](auto& f) { f.beginUsable = false; }), HeaderCheck::invalid_begin},
        {changed(unset(true, true, false), [](auto& f) { f.beginUsable = false; }), HeaderCheck::invalid_begin},
        {changed(unset(true, true, false), [](auto& f) { f.neighbour = HeaderCheck::apple_double; }), HeaderCheck::apple_double},
        {unset(true, true, false), HeaderCheck::usable},
        {changed(unset(true, true, false), [](auto& f) { f.neighbour = HeaderCheck::miniseed; }), HeaderCheck::miniseed},
        {unset(false, true, false), HeaderCheck::unknown_version}, // zero-filled, or a DELTA of 1e-33 (Python bytecode)
        {unset(true, false, true), HeaderCheck::other_byte_order},
        {changed(unset(false, false, true), [](auto& f) { f.versionUnset = false; }), HeaderCheck::unknown_version}, // an ar archive
        {changed(unset(false, false, false), [](auto& f) { f.text = true; }), HeaderCheck::text},
    };
    for (std::size_t row = 0; row < std::size(rows); ++row)
        EXPECT_EQ(judge_header(rows[row].first), rows[row].second) << "row " << row;
}
