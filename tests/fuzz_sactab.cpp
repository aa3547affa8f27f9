// libFuzzer target: any bytes, read as a SAC file in both byte orders, go
// through the header checks and both table loops, into memory, in the
// default format or (inputs of odd length) the precise one. A finished
// table of the file's own layout must be exactly what snprintf makes of the
// same data; a default table refused for repeated times must repeat one.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ascii/table.hpp"
#include "sac/sac_file.hpp"
#include "sac_builder.hpp"

using namespace sactab;

namespace {

std::vector<float> data_words(std::vector<std::uint8_t>& bytes, std::size_t count)
{
    std::vector<float> samples(count);
    std::FILE* input = fmemopen(bytes.data(), bytes.size(), "rb");
    std::fseek(input, static_cast<long>(headerBytes), SEEK_SET);
    std::uint64_t bytesRead = 0;
    if (read_samples(input, samples.data(), count, bytesRead) != count) std::abort();
    std::fclose(input);
    return samples;
}

// Which NaN a sum of two NaNs keeps depends on the order the compiler puts
// the operands in, so where B and DELTA are both NaN a time may print as
// "nan" in one program and "-nan" in another. The sample column has no sums.
std::string without_time_nan_signs(std::string table)
{
    for (std::size_t at = 0; (at = table.find("-nan\t", at)) != std::string::npos;) table.erase(at, 1);
    return table;
}

void convert(std::vector<std::uint8_t>& bytes, bool evenly, bool precise, std::uint64_t fileBytes)
{
    std::FILE* input = fmemopen(bytes.data(), bytes.size(), "rb");
    if (check_header(read_header(input), fileBytes) != HeaderCheck::usable) {
        std::fclose(input);
        return;
    }
    char* text = nullptr;
    std::size_t length = 0;
    std::FILE* output = open_memstream(&text, &length);
    const LoopEnd end = (evenly ? write_evenly_spaced(input, output, precise, nullptr) : write_unevenly_spaced(input, output, precise, UINT64_MAX, nullptr)).end;
    std::fclose(output);
    std::fclose(input);
    const bool complete = end == LoopEnd::complete;
    const bool ownLayout = evenly == !is_unevenly_spaced();
    // A known size was checked, so the data must all be there.
    if (fileBytes != UINT64_MAX && ownLayout && !complete && end != LoopEnd::times_repeat) std::abort();
    // The words the input holds: a pipe may end early, after a repeat was seen.
    const std::size_t words = std::min(static_cast<std::size_t>(SACNPTS) * (evenly ? 1 : 2), (bytes.size() - headerBytes) / wordBytes);
    const auto reference = [&] { return sactest::reference_table(DELTA, B, data_words(bytes, words), precise); };
    if (ownLayout && end == LoopEnd::times_repeat && !sactest::repeats_a_time(reference())) {
        std::fprintf(stderr, "refused for repeated times, but printf repeats none\n");
        std::abort();
    }
    if (ownLayout && complete) {
        const std::string difference =
            sactest::first_difference(without_time_nan_signs(std::string(text, length)), without_time_nan_signs(reference()));
        if (!difference.empty()) {
            std::fprintf(stderr, "table differs from printf's at %s", difference.c_str());
            std::abort();
        }
        const bool judged = evenly && std::isfinite(B) && std::isfinite(DELTA) && DELTA != 0;
        const bool judgedXs = !evenly && !precise;
        if ((judged && sactest::repeats_a_time(std::string(text, length))) ||
            (judgedXs && sactest::prints_different_xs_alike(data_words(bytes, words)))) {
            std::fprintf(stderr, "a table with a repeated time was not refused\n");
            std::abort();
        }
    }
    std::free(text);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) return 0; // fmemopen takes no empty buffer
    std::vector<std::uint8_t> bytes(data, data + size);
    const bool precise = (size & 1) != 0;
    for (std::int32_t byteOrderMode : {0, 1}) {
        set_byte_swap(byteOrderMode);
        for (bool evenly : {true, false}) {
            convert(bytes, evenly, precise, size);        // a regular file
            convert(bytes, evenly, precise, UINT64_MAX);  // a pipe
        }
    }
    return 0;
}
