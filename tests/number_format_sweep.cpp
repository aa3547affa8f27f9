// Every one of the 2^32 float bit patterns through the sample column, and
// widened through the time column and the precise format, against snprintf.
// Takes a while: run on demand (see the README), not with every build.
#include <bit>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

#include "ascii/number_format.hpp"

namespace {

std::uint64_t check_range(std::uint64_t first, std::uint64_t end)
{
    std::uint64_t mismatches = 0;
    char ours[64];
    char theirs[64];
    for (std::uint64_t bits = first; bits < end; ++bits) {
        const auto value = std::bit_cast<float>(static_cast<std::uint32_t>(bits));
        const auto wide = static_cast<double>(value);
        char* fixedEnd = sactab::format_fixed(ours, value);
        *fixedEnd = '\0';
        std::snprintf(theirs, sizeof theirs, "%f", wide);
        bool same = std::strcmp(ours, theirs) == 0;
        char* exponentEnd = sactab::format_exponent(ours, wide);
        *exponentEnd = '\0';
        std::snprintf(theirs, sizeof theirs, "%e", wide);
        same = same && std::strcmp(ours, theirs) == 0;
        char* preciseEnd = sactab::format_precise(ours, wide);
        *preciseEnd = '\0';
        std::snprintf(theirs, sizeof theirs, "%.8e", wide);
        same = same && std::strcmp(ours, theirs) == 0;
        if (!same && ++mismatches <= 10) std::printf("mismatch at float bits 0x%08" PRIx64 "\n", bits);
    }
    return mismatches;
}

} // namespace

int main()
{
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
