// format_lines four lines at a time, for x86-64 processors with AVX2 (the
// program checks at run time). A chunk of 64 lines goes through three
// passes: each group of four values' digits and exponents, as numbers;
// their text, in 16-byte records, one a value; then one byte shuffle and
// one store a text, which puts a record into printf's layout.
// Ranges and error bounds are the one-value formatters' (the same products
// and roundings, so the same digits):
//   "%e" and "%.8e": decimal exponents whose two powers of ten are in the
//     table (-46 to 53 for "%e", -44 to 55 for "%.8e"); the scaled value
//     is within 10^(P+1) x 2^-52 of the exact product, so only lanes within
//     10^-6 of a tie need the library.
//   "%f": magnitudes below 10^8, exact.
// A group with any value outside them (zero, subnormal, infinity and NaN
// among them) is made one value at a time instead.
#include "ascii/line_kernels.hpp"

#if SACTAB_AVX2_LINES

#include <immintrin.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include "ascii/number_format.hpp"
#include "ascii/powers_of_ten.hpp"

// Small helpers are always inlined: a call would pass their vectors through memory.
#define SACTAB_AVX2 __attribute__((target("avx2"), always_inline)) inline
#define SACTAB_AVX2_ENTRY __attribute__((target("avx2")))

namespace sactab {

namespace {

constexpr std::size_t groupLines = 4;
constexpr std::size_t chunkLines = 64; // records of a chunk stay in the first-level cache

using Record = char[16];

// A constant the compiler cannot see: it would otherwise turn each
// multiplication by a small constant into a longer chain of shifts and adds.
SACTAB_AVX2 __m256i opaque(__m256i constant)
{
    __asm__("" : "+x"(constant));
    return constant;
}

// The eight decimal digits of each lane's value < 10^8, most significant in
// the lowest byte, each as a number 0-9: halves of four digits, pairs, then
// digits, with multiplications that stay within their lanes.
SACTAB_AVX2 __m256i eight_digits(__m256i value)
{
    const __m256i high = _mm256_srli_epi64(_mm256_mul_epu32(value, _mm256_set1_epi64x(0xD1B71759)), 45); // x / 10^4
    const __m256i low = _mm256_sub_epi32(value, _mm256_mul_epu32(high, _mm256_set1_epi64x(10'000)));
    const __m256i halves = _mm256_or_si256(high, _mm256_slli_epi64(low, 32));
    const __m256i hundreds = _mm256_srli_epi16(_mm256_mulhi_epu16(halves, _mm256_set1_epi16(5243)), 3); // x / 100 for x < 10^4
    const __m256i pairs = _mm256_or_si256(hundreds, _mm256_slli_epi32(_mm256_sub_epi16(halves, _mm256_mullo_epi16(hundreds, opaque(_mm256_set1_epi16(100)))), 16));
    const __m256i tens = _mm256_mulhi_epu16(pairs, _mm256_set1_epi16(6554)); // x / 10 for x < 100
    return _mm256_or_si256(tens, _mm256_slli_epi16(_mm256_sub_epi16(pairs, _mm256_mullo_epi16(tens, opaque(_mm256_set1_epi16(10)))), 8));
}

// Record i of four holds lane i of `head` in its first eight bytes and lane
// i of `tail` in its last eight.
SACTAB_AVX2 void store_records(__m256i head, __m256i tail, Record* records)
{
    const __m256i even = _mm256_unpacklo_epi64(head, tail); // records 0 and 2
    const __m256i odd = _mm256_unpackhi_epi64(head, tail);  // records 1 and 3
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(records[0]), _mm256_permute2x128_si256(even, odd, 0x20));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(records[2]), _mm256_permute2x128_si256(even, odd, 0x31));
}

SACTAB_AVX2 __m256d magnitude_of(__m256d value)
{
    return _mm256_and_pd(value, _mm256_castsi256_pd(_mm256_set1_epi64x(0x7FFF'FFFF'FFFF'FFFF)));
}

// "e-46" to "e+56" of each lane's decimal exponent (in its low 32 bits), as
// the four bytes a store puts in place, in the low half of the lane.
SACTAB_AVX2 __m256i exponent_suffixes(__m256i exponent)
{
    const __m256i magnitude = _mm256_abs_epi32(exponent);
    const __m256i tens = _mm256_mulhi_epu16(magnitude, _mm256_set1_epi16(6554)); // x / 10 for x < 100
    const __m256i ones = _mm256_sub_epi16(magnitude, _mm256_mullo_epi16(tens, opaque(_mm256_set1_epi16(10))));
    const __m256i digits = _mm256_slli_epi32(_mm256_or_si256(tens, _mm256_slli_epi32(ones, 8)), 16);
    const __m256i minus = _mm256_and_si256(_mm256_srai_epi32(exponent, 31), _mm256_set1_epi32(('-' - '+') << 8));
    const __m256i suffix = _mm256_add_epi32(_mm256_or_si256(digits, minus), _mm256_set1_epi32(0x3030'2B65)); // 'e', sign, '0' + tens, '0' + ones
    return _mm256_and_si256(suffix, _mm256_set1_epi64x(0xFFFF'FFFF));
}

// Each group's numbers are worked out first and their text made in a
// second pass over the chunk: shorter chains of dependent instructions,
// which lets the processor overlap more groups.
using Words = std::uint64_t[chunkLines];

SACTAB_AVX2 void store_words(std::uint64_t* words, __m256i lanes)
{
    _mm256_store_si256(reinterpret_cast<__m256i*>(words), lanes);
}

SACTAB_AVX2 __m256i load_words(const std::uint64_t* words)
{
    return _mm256_load_si256(reinterpret_cast<const __m256i*>(words));
}

// The significant digits and decimal exponent of printf("%.*e",
// significantDigits - 1, value) for four values, exactly as
// write_scientific works them out; returns the lanes it could do, all ones
// (the others go to the library there). Gathers both powers for each lane;
// a column whose values mostly share their exponent (times) loads them
// once for all four lanes instead.
template <int significantDigits, bool sharedExponentLikely>
SACTAB_AVX2 __m256i scientific_numbers(__m256d value, std::uint64_t* digitWords, std::uint64_t* exponentWords)
{
    constexpr int precision = significantDigits - 1;
    constexpr auto lowest = static_cast<std::int64_t>(power_of_ten_constant(precision));
    constexpr auto highest = static_cast<std::int64_t>(power_of_ten_constant(significantDigits));
    constexpr int powers = largestPower - smallestPower + 1;

    const __m256d magnitude = magnitude_of(value);
    const __m256i biasedExponent = _mm256_srli_epi64(_mm256_castpd_si256(magnitude), 52);
    // The decimal exponent's estimate in each lane's low 32 bits (the high
    // ones stay 0 here): floor(binary exponent * log10(2)).
    __m256i exponent = _mm256_srai_epi32(_mm256_mullo_epi32(_mm256_sub_epi32(biasedExponent, _mm256_set1_epi64x(1023)), _mm256_set1_epi64x(78913)), 18);
    // Index of 10^(P - E - 1): within [0, powers - 2] where both it and the
    // next power are in the table (a negative index reads as 2^32 and more).
    const __m256i stepUpIndex = _mm256_sub_epi32(_mm256_set1_epi64x(precision - smallestPower - 1), exponent);
    __m256i done = _mm256_cmpgt_epi64(_mm256_set1_epi64x(powers - 1), stepUpIndex);
    const __m256d one = _mm256_set1_pd(1.0);
    const __m256d inTable = _mm256_castsi256_pd(done);
    __m256d power;
    __m256d stepUpPower;
    const auto firstIndex = static_cast<std::uint32_t>(_mm256_cvtsi256_si32(stepUpIndex));
    if (sharedExponentLikely && firstIndex < powers - 1 &&
        _mm256_movemask_epi8(_mm256_cmpeq_epi64(stepUpIndex, _mm256_set1_epi64x(firstIndex))) == -1) {
        power = _mm256_broadcast_sd(powersOfTen + 1 + firstIndex);
        stepUpPower = _mm256_broadcast_sd(powersOfTen + firstIndex);
    } else {
        power = _mm256_mask_i64gather_pd(one, powersOfTen + 1, stepUpIndex, inTable, 8);
        stepUpPower = _mm256_mask_i64gather_pd(one, powersOfTen, stepUpIndex, inTable, 8);
    }

    const __m256d estimated = _mm256_mul_pd(magnitude, power);
    const __m256d stepUp = _mm256_cmp_pd(estimated, _mm256_set1_pd(static_cast<double>(highest)), _CMP_GE_OQ);
    const __m256d scaled = _mm256_blendv_pd(estimated, _mm256_mul_pd(magnitude, stepUpPower), stepUp);
    exponent = _mm256_sub_epi32(exponent, _mm256_castpd_si256(stepUp));
    const __m256d bias = _mm256_set1_pd(0x1p52);
    const __m256d shifted = _mm256_add_pd(scaled, bias);
    const __m256d rest = _mm256_sub_pd(scaled, _mm256_sub_pd(shifted, bias));
    const __m256d nearTie = _mm256_cmp_pd(magnitude_of(rest), _mm256_set1_pd(0.5 - tieMargin), _CMP_GT_OQ);
    // The power used, 10^(P - E), by its index; an exact product may lie near a tie.
    const __m256i powerIndex = _mm256_add_epi64(_mm256_add_epi64(stepUpIndex, _mm256_set1_epi64x(1)), _mm256_castpd_si256(stepUp));
    const __m256i exactScale = _mm256_and_si256(_mm256_cmpgt_epi64(powerIndex, _mm256_set1_epi64x(-smallestPower - 1)),
                                                _mm256_cmpgt_epi64(_mm256_set1_epi64x(largestExactScale - smallestPower + 1), powerIndex));
    const __m256i floatBits = _mm256_cmpeq_epi64(_mm256_and_si256(_mm256_castpd_si256(value), _mm256_set1_epi64x(beyondFloatBits)), _mm256_setzero_si256());
    const __m256i exact = _mm256_and_si256(exactScale, floatBits);
    done = _mm256_andnot_si256(_mm256_andnot_si256(exact, _mm256_castpd_si256(nearTie)), done);

    __m256i digits = _mm256_and_si256(_mm256_castpd_si256(shifted), _mm256_set1_epi64x(0xFFFF'FFFF));
    const __m256i carried = _mm256_cmpeq_epi64(digits, _mm256_set1_epi64x(highest));
    digits = _mm256_blendv_epi8(digits, _mm256_set1_epi64x(lowest), carried);
    store_words(digitWords, digits);
    store_words(exponentWords, _mm256_sub_epi32(exponent, carried));
    return done;
}

// Records of the text of scientific_numbers' results:
//   7 digits: ".d234567" "e+XX" "-,\t"  shown as d.234567e+XX, with "-" first when negative,
//                                        then the separator and the sample's minus
//   9 digits: "23456789" "d." "e+XX" "-\n"
template <int significantDigits>
SACTAB_AVX2 void scientific_records(const std::uint64_t* digitWords, const std::uint64_t* exponentWords, Record* records)
{
    const __m256i digits = load_words(digitWords);
    const __m256i suffix = exponent_suffixes(load_words(exponentWords));
    if constexpr (significantDigits == 7) {
        const __m256i head = _mm256_add_epi8(eight_digits(digits), _mm256_set1_epi64x(0x3030'3030'3030'302E)); // its leading 0 becomes "."
        store_records(head, _mm256_or_si256(suffix, _mm256_set1_epi64x(0x0009'2C2D'0000'0000)), records);
    } else {
        const __m256i first = _mm256_srli_epi64(_mm256_mul_epu32(digits, _mm256_set1_epi64x(720'575'941)), 56); // x / 10^8 for x < 10^9
        const __m256i others = _mm256_sub_epi32(digits, _mm256_mul_epu32(first, _mm256_set1_epi64x(100'000'000)));
        const __m256i head = _mm256_add_epi8(eight_digits(others), _mm256_set1_epi64x(0x3030'3030'3030'3030));
        const __m256i tail = _mm256_or_si256(_mm256_or_si256(first, _mm256_slli_epi64(suffix, 16)), _mm256_set1_epi64x(0x0A2D'0000'0000'2E30)); // d, ".", e+XX, "-", "\n"
        store_records(head, tail, records);
    }
}

// The whole part and millionths of printf("%f", value) for four floats
// below 10^8 in magnitude, the lanes it could do. |value| * 10^6 is the
// whole part times 10^6 plus the fraction times 10^6; both are exact in
// double (the fraction has at most 24 significant bits, 10^6 14), and
// adding 2^52 rounds the second half to even, as printf rounds the exact
// value (the first part is even). A carry never makes the whole part 10^8:
// floats of 2^23 and more have no fraction.
SACTAB_AVX2 __m256i fixed_numbers(__m128 value, std::uint64_t* wholeWords, std::uint64_t* millionthWords)
{
    const __m256d magnitude = magnitude_of(_mm256_cvtps_pd(value));
    const __m256d done = _mm256_cmp_pd(magnitude, _mm256_set1_pd(1e8), _CMP_LT_OQ); // NaN and infinity too
    const __m256d whole = _mm256_round_pd(magnitude, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
    const __m256d bias = _mm256_set1_pd(0x1p52);
    const __m256i lowBits = _mm256_set1_epi64x((std::int64_t{1} << 52) - 1);
    const __m256i millionths = _mm256_and_si256(_mm256_castpd_si256(_mm256_add_pd(_mm256_mul_pd(_mm256_sub_pd(magnitude, whole), _mm256_set1_pd(1e6)), bias)), lowBits);
    const __m256i wholeDigits = _mm256_and_si256(_mm256_castpd_si256(_mm256_add_pd(whole, bias)), lowBits);
    const __m256i carried = _mm256_cmpeq_epi64(millionths, _mm256_set1_epi64x(1'000'000));
    store_words(wholeWords, _mm256_sub_epi64(wholeDigits, carried));
    store_words(millionthWords, _mm256_andnot_si256(carried, millionths));
    return _mm256_castpd_si256(done);
}

// Records of the text of fixed_numbers' results: "wwwwwwww" ".\nmmmmmm",
// the whole part's eight digits, then the point, the line's end and the six
// decimals (the minus comes with the line's time).
SACTAB_AVX2 void fixed_records(const std::uint64_t* wholeWords, const std::uint64_t* millionthWords, Record* records)
{
    const __m256i head = _mm256_add_epi8(eight_digits(load_words(wholeWords)), _mm256_set1_epi64x(0x3030'3030'3030'3030));
    const __m256i tail = _mm256_add_epi8(eight_digits(load_words(millionthWords)), _mm256_set1_epi64x(0x3030'3030'3030'0A2E)); // its two leading 0s become ".\n"
    store_records(head, tail, records);
}

// Shuffles from a record to the text: index i takes byte `from[i]`.
using Shuffle = std::array<unsigned char, 16>;

constexpr Shuffle shuffle_of(std::initializer_list<int> from)
{
    Shuffle shuffle{};
    shuffle.fill(0x80); // a zero byte, written past the text's end
    std::size_t i = 0;
    for (int byte : from) shuffle[i++] = static_cast<unsigned char>(byte);
    return shuffle;
}

// A time's: [separator is ",\t"][sample negative][time negative].
alignas(16) constexpr auto timeShuffles = [] {
    std::array<std::array<Shuffle, 4>, 2> shuffles{};
    for (int comma = 0; comma < 2; ++comma)
        for (int signs = 0; signs < 4; ++signs) {
            Shuffle& shuffle = shuffles[static_cast<std::size_t>(comma)][static_cast<std::size_t>(signs)];
            shuffle.fill(0x80);
            std::size_t i = 0;
            if ((signs & 1) != 0) shuffle[i++] = 12;
            for (int byte : {1, 0, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}) shuffle[i++] = static_cast<unsigned char>(byte);
            if (comma == 1) shuffle[i++] = 13;
            shuffle[i++] = 14;
            if ((signs & 2) != 0) shuffle[i++] = 12;
        }
    return shuffles;
}();

// A sample's: [leading zeros of the whole part, 0-7].
alignas(16) constexpr auto fixedShuffles = [] {
    std::array<Shuffle, 8> shuffles{};
    for (int zeros = 0; zeros < 8; ++zeros) {
        Shuffle& shuffle = shuffles[static_cast<std::size_t>(zeros)];
        std::size_t i = 0;
        for (int byte = zeros; byte < 8; ++byte) shuffle[i++] = static_cast<unsigned char>(byte);
        for (int byte : {8, 10, 11, 12, 13, 14, 15, 9}) shuffle[i++] = static_cast<unsigned char>(byte);
        while (i < 16) shuffle[i++] = 0x80; // a zero byte, written past the text's end
    }
    return shuffles;
}();

// -p's, for either column: [negative][with the line's end].
alignas(16) constexpr Shuffle nineDigitShuffles[2][2] = {
    {shuffle_of({8, 9, 0, 1, 2, 3, 4, 5, 6, 7, 10, 11, 12, 13}), shuffle_of({8, 9, 0, 1, 2, 3, 4, 5, 6, 7, 10, 11, 12, 13, 15})},
    {shuffle_of({14, 8, 9, 0, 1, 2, 3, 4, 5, 6, 7, 10, 11, 12, 13}), shuffle_of({14, 8, 9, 0, 1, 2, 3, 4, 5, 6, 7, 10, 11, 12, 13, 15})}};

// The shuffles against the layout: each takes as many bytes as its text has.
constexpr std::size_t used_bytes(const Shuffle& shuffle)
{
    std::size_t used = 0;
    for (unsigned char byte : shuffle) used += byte != 0x80;
    return used;
}

// The whole part's digits in a "%f" record, of which all but the last may be
// leading zeros the shuffle leaves out.
constexpr std::size_t fixedRecordDigits = 8;

static_assert([] {
    for (std::size_t comma = 0; comma < 2; ++comma)
        for (std::size_t signs = 0; signs < 4; ++signs)
            if (used_bytes(timeShuffles[comma][signs]) != minExponentChars + comma + 1 + (signs & 1) + (signs >> 1)) return false;
    for (std::size_t zeros = 0; zeros < fixedRecordDigits; ++zeros)
        // The whole part's digits, then the point, the decimals and the line's
        // end, as many as minFixedChars counts with its one whole digit.
        if (used_bytes(fixedShuffles[zeros]) != fixedRecordDigits - zeros + minFixedChars) return false;
    for (std::size_t negative = 0; negative < 2; ++negative)
        for (std::size_t end = 0; end < 2; ++end)
            if (used_bytes(nineDigitShuffles[negative][end]) != minPreciseChars + negative + end) return false;
    return true;
}(), "each shuffle places a text of the layout's length");

SACTAB_AVX2 char* place(char* out, const Record& record, const unsigned char* shuffle, std::uint64_t length)
{
    const __m128i text = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(record)),
                                          _mm_load_si128(reinterpret_cast<const __m128i*>(shuffle)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), text);
    return out + length;
}

// The whole part's leading zeros in its eight digits, all but the last:
// the powers of ten above it.
SACTAB_AVX2 __m256i leading_zeros(__m256i whole)
{
    __m256i zeros = _mm256_setzero_si256();
    std::int64_t power = 10;
    for (std::size_t digits = 1; digits < fixedRecordDigits; ++digits, power *= 10)
        zeros = _mm256_sub_epi64(zeros, _mm256_cmpgt_epi64(_mm256_set1_epi64x(power), whole));
    return zeros;
}

// Where each of a group's texts comes from in its record, as byte offsets
// into the shuffle tables, and how long it is.
struct Placements {
    Words xShuffles, xLengths, sampleShuffles, sampleLengths;
};

template <bool precise>
SACTAB_AVX2 void place_group(Placements& placements, std::size_t g, const double* xs, const float* samples, std::size_t separatorLength,
                             const std::uint64_t* wholeWords)
{
    const __m256i xNegative = _mm256_srli_epi64(_mm256_castpd_si256(_mm256_loadu_pd(xs)), 63);
    const __m256i sampleNegative = _mm256_srli_epi64(_mm256_cvtepi32_epi64(_mm_loadu_si128(reinterpret_cast<const __m128i*>(samples))), 63);
    // Offsets into the tables: [negative][with the line's end] of 16-byte
    // shuffles for -p, [sample negative][time negative] for the default.
    constexpr int shuffleShift = 4;
    if (precise) {
        constexpr auto length = static_cast<std::int64_t>(minPreciseChars);
        store_words(placements.xShuffles + g, _mm256_slli_epi64(xNegative, shuffleShift + 1));
        store_words(placements.xLengths + g, _mm256_add_epi64(xNegative, _mm256_set1_epi64x(length)));
        store_words(placements.sampleShuffles + g, _mm256_add_epi64(_mm256_slli_epi64(sampleNegative, shuffleShift + 1), _mm256_set1_epi64x(1 << shuffleShift)));
        store_words(placements.sampleLengths + g, _mm256_add_epi64(sampleNegative, _mm256_set1_epi64x(length + 1)));
    } else {
        const auto timeLength = static_cast<std::int64_t>(minExponentChars + separatorLength);
        store_words(placements.xShuffles + g, _mm256_slli_epi64(_mm256_or_si256(xNegative, _mm256_slli_epi64(sampleNegative, 1)), shuffleShift));
        store_words(placements.xLengths + g, _mm256_add_epi64(_mm256_add_epi64(xNegative, sampleNegative), _mm256_set1_epi64x(timeLength)));
        const __m256i zeros = leading_zeros(load_words(wholeWords));
        store_words(placements.sampleShuffles + g, _mm256_slli_epi64(zeros, shuffleShift));
        store_words(placements.sampleLengths + g, _mm256_sub_epi64(_mm256_set1_epi64x(fixedRecordDigits + minFixedChars), zeros));
    }
}

template <bool precise, bool recordStarts> // recordStarts: lineStarts is not null
SACTAB_AVX2_ENTRY char* lines_of_groups(char* out, const double* xs, const float* samples, std::size_t count, const char* separator,
                                        std::size_t separatorLength, const char** lineStarts)
{
    std::uint16_t separatorBytes = 0; // held in a register: a store through `out` could change the separator's bytes
    std::memcpy(&separatorBytes, separator, 2);
    constexpr int xDigits = precise ? 9 : 7;
    alignas(32) Words xHigh, xLow, sampleHigh, sampleLow; // digits and exponent, or whole part and millionths
    alignas(32) Record xRecords[chunkLines];
    alignas(32) Record sampleRecords[chunkLines];
    alignas(32) Placements placements;
    bool groupDone[chunkLines / groupLines];
    const auto* xTable = reinterpret_cast<const unsigned char*>(precise ? nineDigitShuffles[0] : timeShuffles[separatorLength - 1].data());
    const auto* sampleTable = reinterpret_cast<const unsigned char*>(precise ? nineDigitShuffles[0] : fixedShuffles.data());
    for (std::size_t first = 0; first < count; first += chunkLines) {
        const std::size_t lines = std::min(chunkLines, count - first);
        for (std::size_t g = 0; g < lines; g += groupLines) {
            const __m256i xDone = scientific_numbers<xDigits, true>(_mm256_loadu_pd(xs + first + g), xHigh + g, xLow + g);
            const __m128 group = _mm_loadu_ps(samples + first + g);
            const __m256i sampleDone = precise ? scientific_numbers<9, false>(_mm256_cvtps_pd(group), sampleHigh + g, sampleLow + g)
                                               : fixed_numbers(group, sampleHigh + g, sampleLow + g);
            groupDone[g / groupLines] = _mm256_movemask_pd(_mm256_castsi256_pd(_mm256_and_si256(xDone, sampleDone))) == 0xF;
        }
        for (std::size_t g = 0; g < lines; g += groupLines) {
            scientific_records<xDigits>(xHigh + g, xLow + g, xRecords + g);
            if (precise)
                scientific_records<9>(sampleHigh + g, sampleLow + g, sampleRecords + g);
            else
                fixed_records(sampleHigh + g, sampleLow + g, sampleRecords + g);
            place_group<precise>(placements, g, xs + first + g, samples + first + g, separatorLength, sampleHigh + g);
        }
        for (std::size_t g = 0; g < lines; g += groupLines) {
            if (!groupDone[g / groupLines]) {
                out = format_lines_one_at_a_time(out, xs + first + g, samples + first + g, groupLines, separator, separatorLength, precise,
                                                 recordStarts ? lineStarts + first + g : nullptr);
                continue;
            }
            for (std::size_t i = g; i < g + groupLines; ++i) {
                if (recordStarts) lineStarts[first + i] = out;
                out = place(out, xRecords[i], xTable + placements.xShuffles[i], placements.xLengths[i]);
                if (precise) {
                    std::memcpy(out, &separatorBytes, 2);
                    out += separatorLength;
                }
                out = place(out, sampleRecords[i], sampleTable + placements.sampleShuffles[i], placements.sampleLengths[i]);
            }
        }
    }
    return out;
}

} // namespace

char* format_lines_avx2(char* out, const double* xs, const float* samples, std::size_t count, const char* separator,
                        std::size_t separatorLength, bool precise, const char** lineStarts)
{
    const std::size_t grouped = count / groupLines * groupLines;
    if (lineStarts != nullptr)
        out = precise ? lines_of_groups<true, true>(out, xs, samples, grouped, separator, separatorLength, lineStarts)
                      : lines_of_groups<false, true>(out, xs, samples, grouped, separator, separatorLength, lineStarts);
    else
        out = precise ? lines_of_groups<true, false>(out, xs, samples, grouped, separator, separatorLength, lineStarts)
                      : lines_of_groups<false, false>(out, xs, samples, grouped, separator, separatorLength, lineStarts);
    return format_lines_one_at_a_time(out, xs + grouped, samples + grouped, count - grouped, separator, separatorLength, precise,
                                      lineStarts == nullptr ? nullptr : lineStarts + grouped);
}

} // namespace sactab

#endif
