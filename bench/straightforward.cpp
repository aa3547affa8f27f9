// The plain way to do the conversion, kept as the yardstick for the
// benchmark: one fread per word and one fprintf per line. No checks: it is
// run only on the benchmark's own valid files. straightforward [-p] FILE [ORDER]
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

namespace {

bool swapWords = false;

std::uint32_t read_word(std::FILE* input)
{
    unsigned char bytes[4] = {};
    if (std::fread(bytes, 1, 4, input) != 4) std::exit(1);
    if (swapWords) {
        std::swap(bytes[0], bytes[3]);
        std::swap(bytes[1], bytes[2]);
    }
    std::uint32_t word = 0;
    std::memcpy(&word, bytes, 4);
    return word;
}

float read_float(std::FILE* input)
{
    const std::uint32_t word = read_word(input);
    float value = 0;
    std::memcpy(&value, &word, 4);
    return value;
}

} // namespace

int main(int argc, char* argv[])
{
    const bool precise = argc > 1 && std::strcmp(argv[1], "-p") == 0;
    argc -= precise ? 1 : 0;
    argv += precise ? 1 : 0;
    if (argc < 2) return 1;
    swapWords = argc == 3 && std::atoi(argv[2]) == 0;
    std::FILE* input = std::fopen(argv[1], "rb");
    if (input == nullptr) return 1;
    unsigned char skipped[312];
    const float delta = read_float(input);
    if (std::fread(skipped, 1, 16, input) != 16) return 1;
    const float begin = read_float(input);
    if (std::fread(skipped, 1, 292, input) != 292) return 1;
    const auto count = static_cast<std::int32_t>(read_word(input));
    if (std::fread(skipped, 1, 312, input) != 312) return 1;

    std::FILE* output = std::fopen((std::string(argv[1]) + ".asc").c_str(), "w");
    if (output == nullptr) return 1;
    if (delta != -12345.0f) {
        double time = static_cast<double>(begin);
        for (std::int32_t i = 0; i < count; ++i) {
            const auto sample = static_cast<double>(read_float(input));
            if (precise)
                std::fprintf(output, "%.8e\t%.8e\n", time, sample);
            else
                std::fprintf(output, "%e\t%f\n", time, sample);
            time += static_cast<double>(delta);
        }
    } else {
        auto* samples = static_cast<float*>(std::malloc(sizeof(float) * static_cast<std::size_t>(count)));
        for (std::int32_t i = 0; i < count; ++i) samples[i] = read_float(input);
        for (std::int32_t i = 0; i < count; ++i) {
            const auto x = static_cast<double>(read_float(input));
            if (precise)
                std::fprintf(output, "%.8e,\t%.8e\n", x, static_cast<double>(samples[i]));
            else
                std::fprintf(output, "%e,\t%f\n", x, static_cast<double>(samples[i]));
        }
        std::free(samples);
    }
    return std::fclose(output) == 0 ? 0 : 1;
}
