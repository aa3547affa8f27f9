// Every one of the 2^32 float bit patterns through the sample column, and
// widened through the time column and the precise format, against snprintf.
// Takes a while: run on demand (see the README), not with every build.
// With --random N it compares N seeded random doubles and times instead, in
// seconds: the check of a cross build under qemu, against the target's own
// printf, with the flags a user's build gets.
#include <algorithm>
#include <bit>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "ascii/number_format.hpp"

namespace {

// Ours, ending at `end`, against printf's text.
bool same_text(char* ours, char* end, const char* theirs)
{
    *end = '\0';
    return std::strcmp(ours, theirs) == 0;
}

// Pairs gathered as they are checked one value at a time, then made into
// lines by format_lines in both layouts and compared with printf's columns
// joined: the four-at-a-time path where the processor has it.
constexpr std::size_t batchLines = 1024;
struct Lines {
    double xs[batchLines];
    float samples[batchLines];
    std::size_t count = 0;
    std::string expected[2]; // "%e\t%f\n", "%.8e,\t%.8e\n"
};

// columns: printf's "%e" and "%.8e" of x, "%f" and "%.8e" of the sample.
using Columns = char[4][64];

std::uint64_t add_line(Lines& lines, double x, float sample, const Columns& columns)
{
    lines.xs[lines.count] = x;
    lines.samples[lines.count++] = sample;
    lines.expected[0] += std::string(columns[0]) + "\t" + columns[2] + "\n";
    lines.expected[1] += std::string(columns[1]) + ",\t" + columns[3] + "\n";
    if (lines.count < batchLines) return 0;
    static thread_local char ours[batchLines * 64 + 16];
    static thread_local int reported = 0;
    std::uint64_t mismatches = 0;
    for (const bool precise : {false, true}) {
        const char* end = sactab::format_lines(ours, lines.xs, lines.samples, lines.count, precise ? ",\t" : "\t", precise ? 2 : 1, precise, nullptr);
        const std::string& expected = lines.expected[precise];
        const std::string made(static_cast<const char*>(ours), end);
        if (made == expected) continue;
        ++mismatches;
        const auto at = static_cast<std::size_t>(std::mismatch(made.begin(), made.end(), expected.begin(), expected.end()).first - made.begin());
        if (reported++ < 10) std::printf("lines differ: %.40s instead of %.40s\n", made.c_str() + at, expected.c_str() + at);
    }
    lines.count = 0;
    lines.expected[0].clear();
    lines.expected[1].clear();
    return mismatches;
}

// Random bit patterns, the same mostly within the formatter's fast range,
// and times accumulated as the evenly spaced loop makes them; as lines, the
// last two kinds with samples below 2^27, each kind apart.
int check_random(long count)
{
    std::mt19937_64 random(20261209);
    std::uniform_int_distribution<std::uint64_t> fastExponent(1023 - 170, 1023 + 190);
    std::uniform_int_distribution<std::uint32_t> sampleExponent(127 - 40, 127 + 26);
    std::uint64_t mismatches = 0;
    char ours[64];
    double time = -3600.5;
    Lines lines[3];
    for (long i = 0; i < count; ++i) {
        const std::uint64_t bits = random();
        const double values[] = {std::bit_cast<double>(bits),
                                 std::bit_cast<double>((bits & 0x800FFFFFFFFFFFFFu) | fastExponent(random) << 52),
                                 time += static_cast<double>(0.01f)};
        const auto sample = std::bit_cast<float>(static_cast<std::uint32_t>(bits));
        const auto smallSample = std::bit_cast<float>((static_cast<std::uint32_t>(bits >> 32) & 0x807F'FFFFu) | sampleExponent(random) << 23);
        for (int kind = 0; kind < 3; ++kind) {
            const double value = values[kind];
            const float paired = kind == 0 ? sample : smallSample;
            Columns columns;
            std::snprintf(columns[0], 64, "%e", value);
            std::snprintf(columns[1], 64, "%.8e", value);
            std::snprintf(columns[2], 64, "%f", static_cast<double>(paired));
            std::snprintf(columns[3], 64, "%.8e", static_cast<double>(paired));
            const bool same = same_text(ours, sactab::format_exponent(ours, value), columns[0]) &&
                              same_text(ours, sactab::format_precise(ours, value), columns[1]);
            if (!same && ++mismatches <= 10) std::printf("mismatch at double bits 0x%016" PRIx64 "\n", std::bit_cast<std::uint64_t>(value));
            if (kind == 0 && !same_text(ours, sactab::format_fixed(ours, sample), columns[2]) && ++mismatches <= 10)
                std::printf("mismatch at float bits 0x%08" PRIx32 "\n", std::bit_cast<std::uint32_t>(sample));
            mismatches += add_line(lines[kind], value, paired, columns);
        }
    }
    std::printf("%" PRIu64 " of %ld random values differ from snprintf\n", mismatches, 4 * count);
    return mismatches == 0 ? 0 : 1;
}

std::uint64_t check_range(std::uint64_t first, std::uint64_t end)
{
    std::uint64_t mismatches = 0;
    char ours[64];
    Columns theirs; // the same value in both columns
    Lines lines;
    for (std::uint64_t bits = first; bits < end; ++bits) {
        const auto value = std::bit_cast<float>(static_cast<std::uint32_t>(bits));
        const auto wide = static_cast<double>(value);
        std::snprintf(theirs[0], 64, "%e", wide);
        std::snprintf(theirs[1], 64, "%.8e", wide);
        std::snprintf(theirs[2], 64, "%f", wide);
        std::memcpy(theirs[3], theirs[1], 64);
        const bool same = same_text(ours, sactab::format_exponent(ours, wide), theirs[0]) &&
                          same_text(ours, sactab::format_precise(ours, wide), theirs[1]) &&
                          same_text(ours, sactab::format_fixed(ours, value), theirs[2]);
        if (!same && ++mismatches <= 10) std::printf("mismatch at float bits 0x%08" PRIx64 "\n", bits);
        mismatches += add_line(lines, wide, value, theirs);
    }
    return mismatches;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc == 3 && std::strcmp(argv[1], "--random") == 0) return check_random(std::atol(argv[2]));
    const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
    const std::uint64_t total = std::uint64_t{1} << 32;
    std::vector<std::uint64_t> mismatches(threads);
    std::vector<std::thread> workers;
    for (unsigned t = 0; t < threads; ++t)
        workers.emplace_back([&, t] { mismatches[t] = check_range(total * t / threads, total * (t + 1) / threads); });
    std::uint64_t sum = 0;
    for (unsigned t = 0; t < threads; ++t) {
        workers[t].join();
        sum += mismatches[t];
    }
    std::printf("%" PRIu64 " of %" PRIu64 " float bit patterns differ from snprintf\n", sum, total);
    return sum == 0 ? 0 : 1;
}
