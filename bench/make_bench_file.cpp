// Writes a SAC file for the benchmark: make_bench_file PATH SAMPLES [uneven].
// Samples look like a broadband record in counts (normal, sigma 1000); an
// unevenly spaced file gets slowly jittered times.
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <vector>

#include "sac_builder.hpp"

int main(int argc, char* argv[])
{
    if (argc < 3) return 1;
    const auto count = static_cast<std::size_t>(std::atol(argv[2]));
    const bool uneven = argc > 3 && std::strcmp(argv[3], "uneven") == 0;
    std::mt19937_64 random(12345);
    std::normal_distribution<float> counts(0.0f, 1000.0f);
    // Steps from 15 to 25 ms: past 10,000 s the default's seven digits
    // still tell every x value from the one before.
    std::uniform_real_distribution<float> jitter(0.015f, 0.025f);
    std::vector<float> data;
    data.reserve(uneven ? 2 * count : count);
    for (std::size_t i = 0; i < count; ++i) data.push_back(counts(random));
    float time = 0;
    for (std::size_t i = 0; uneven && i < count; ++i) data.push_back(time += jitter(random));
    const auto bytes = sactest::make_sac(uneven ? -12345.0f : 0.01f, 0.0f, static_cast<std::int32_t>(count), data, false);
    std::ofstream(argv[1], std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                   static_cast<std::streamsize>(bytes.size()));
    return 0;
}
