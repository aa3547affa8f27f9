// libFuzzer target: any bytes, read as a SAC file in both byte orders, go
// through the header checks and both table loops, into memory. A finished
// table must be exactly what snprintf makes of the same data.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ascii/table.hpp"
#include "sac/sac_file.hpp"

using namespace sactab;

namespace {

std::string printf_table(const std::vector<float>& samples)
{
    std::string table;
    char line[128];
    double time = static_cast<double>(B);
    for (float sample : samples) {
        std::snprintf(line, sizeof line, "%e\t%f\n", time, static_cast<double>(sample));
        table += line;
        time += static_cast<double>(DELTA);
    }
    return table;
}

std::vector<float> data_words(std::vector<std::uint8_t>& bytes, std::size_t count)
{
    std::vector<float> samples(count);
    std::FILE* input = fmemopen(bytes.data(), bytes.size(), "rb");
    std::fseek(input, static_cast<long>(headerBytes), SEEK_SET);
    if (read_samples(input, samples.data(), count) != count) std::abort();
    std::fclose(input);
    return samples;
}

void convert(std::vector<std::uint8_t>& bytes, bool evenly, std::uint64_t fileBytes)
{
    std::FILE* input = fmemopen(bytes.data(), bytes.size(), "rb");
    inputBytesRead = 0;
    if (check_header(read_header(input), fileBytes) != HeaderCheck::usable) {
        std::fclose(input);
        return;
    }
    char* text = nullptr;
    std::size_t length = 0;
    std::FILE* output = open_memstream(&text, &length);
    const LoopEnd end = evenly ? write_evenly_spaced(input, output) : write_unevenly_spaced(input, output);
    std::fclose(output);
    std::fclose(input);
    const bool complete = end == LoopEnd::complete;
    // A known size was checked, so the data must all be there.
    if (fileBytes != UINT64_MAX && evenly == !is_unevenly_spaced() && !complete) std::abort();
    if (evenly && complete && std::string(text, length) != printf_table(data_words(bytes, static_cast<std::size_t>(SACNPTS))))
        std::abort();
    std::free(text);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) return 0; // fmemopen takes no empty buffer
    std::vector<std::uint8_t> bytes(data, data + size);
    for (std::int32_t byteOrderMode : {0, 1}) {
        set_byte_swap(byteOrderMode);
        for (bool evenly : {true, false}) {
            convert(bytes, evenly, size);        // a regular file
            convert(bytes, evenly, UINT64_MAX);  // a pipe
        }
    }
    return 0;
}
