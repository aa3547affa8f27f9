// Builds SAC files in memory for the tests, the fuzzer's seeds and the
// bundled examples, and the table printf itself would make of them.
#pragma once

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace sactest {

using Bytes = std::vector<unsigned char>;

inline void put_word(Bytes& file, std::size_t offset, std::uint32_t word, bool bigEndian)
{
    for (int i = 0; i < 4; ++i) {
        const int shift = bigEndian ? 24 - 8 * i : 8 * i;
        file[offset + static_cast<std::size_t>(i)] = static_cast<unsigned char>(word >> shift);
    }
}

// A header with DELTA, B and NPTS set, the version word (76) 6 as SAC
// writes it, and every other word holding `filler` (SAC writes -12345.0
// there), followed by `data` (one or two blocks).
inline Bytes make_sac(float delta, float begin, std::int32_t count, const std::vector<float>& data, bool bigEndian,
                      std::uint32_t filler = std::bit_cast<std::uint32_t>(-12345.0f))
{
    Bytes file(632 + 4 * data.size());
    for (std::size_t word = 0; word < 158; ++word) put_word(file, 4 * word, filler, bigEndian);
    put_word(file, 0, std::bit_cast<std::uint32_t>(delta), bigEndian);
    put_word(file, 20, std::bit_cast<std::uint32_t>(begin), bigEndian);
    put_word(file, 304, 6, bigEndian);
    put_word(file, 316, std::bit_cast<std::uint32_t>(count), bigEndian);
    for (std::size_t i = 0; i < data.size(); ++i) put_word(file, 632 + 4 * i, std::bit_cast<std::uint32_t>(data[i]), bigEndian);
    return file;
}

inline std::string printf_line(bool uneven, double x, float sample, bool precise, int timeDigits = 9)
{
    char line[128];
    if (precise)
        std::snprintf(line, sizeof line, uneven ? "%.*e,\t%.8e\n" : "%.*e\t%.8e\n", timeDigits - 1, x, static_cast<double>(sample));
    else if (uneven)
        std::snprintf(line, sizeof line, "%e,\t%f\n", x, static_cast<double>(sample));
    else
        std::snprintf(line, sizeof line, "%e\t%f\n", x, static_cast<double>(sample));
    return line;
}

// The time column of an evenly spaced -p table: nine significant digits,
// or the fewest up to seventeen that exceed one unit of the last digit of
// the largest time reached (over-estimated by a millionth, as the program
// does) by the step.
inline int precise_time_digits(double first, double step, std::size_t count)
{
    if (!std::isfinite(first) || !std::isfinite(step) || step == 0) return 9;
    const double reach = (std::max(std::fabs(first), std::fabs(first + static_cast<double>(count) * step)) + std::fabs(step)) * 1.000001;
    int digits = 9;
    for (; digits < 17; ++digits) {
        double unit = std::pow(10.0, std::floor(std::log10(reach)) - (digits - 1));
        if (reach >= unit * std::pow(10.0, digits)) unit *= 10;
        if (std::fabs(step) > unit * 1.000001) break;
    }
    return digits;
}

// The table as the plain design computes it, with snprintf; `precise`: as -p.
inline std::string reference_table(float delta, float begin, const std::vector<float>& data, bool precise = false)
{
    std::string table;
    if (delta == -12345.0f) {
        const std::size_t count = data.size() / 2;
        for (std::size_t i = 0; i < count; ++i)
            table += printf_line(true, static_cast<double>(data[count + i]), data[i], precise);
        return table;
    }
    double time = begin == -12345.0f ? 0.0 : static_cast<double>(begin); // undefined: from 0
    const int digits = precise ? precise_time_digits(time, static_cast<double>(delta), data.size()) : 9;
    for (float sample : data) {
        table += printf_line(false, time, sample, precise, digits);
        time += static_cast<double>(delta);
    }
    return table;
}

// Whether two lines in a row of a table show the same first column.
inline bool repeats_a_time(const std::string& table)
{
    std::string previous;
    for (std::size_t start = 0, end; (end = table.find('\n', start)) != std::string::npos; start = end + 1) {
        std::string time = table.substr(start, table.find('\t', start) - start);
        if (time == previous) return true;
        previous = std::move(time);
    }
    return false;
}

// Whether two finite x values in a row of an unevenly spaced file (samples,
// then x values) differ but print alike in the default table.
inline bool prints_different_xs_alike(const std::vector<float>& data)
{
    for (std::size_t i = data.size() / 2 + 1; i < data.size(); ++i)
        if (std::isfinite(data[i]) && std::isfinite(data[i - 1]) && data[i] != data[i - 1] &&
            printf_line(true, static_cast<double>(data[i]), 0, false) == printf_line(true, static_cast<double>(data[i - 1]), 0, false))
            return true;
    return false;
}

// The first line where a table differs from the expected one, so that a
// failure prints two lines, not two whole tables; empty when they agree.
inline std::string first_difference(const std::string& table, const std::string& expected)
{
    std::size_t start = 0;
    for (int line = 1; start < std::max(table.size(), expected.size()); ++line) {
        const std::size_t end = expected.find('\n', start);
        const std::size_t length = end == std::string::npos ? std::string::npos : end - start + 1;
        if (table.compare(start, length, expected, start, length) != 0)
            return "line " + std::to_string(line) + ": " + table.substr(start, std::min<std::size_t>(length, 200)) +
                   " instead of " + expected.substr(start, std::min<std::size_t>(length, 200));
        start += length;
    }
    return "";
}

inline std::vector<float> random_floats(std::mt19937_64& random, std::size_t count)
{
    std::vector<float> values(count);
    for (float& value : values) value = std::bit_cast<float>(static_cast<std::uint32_t>(random()));
    return values;
}

} // namespace sactest
