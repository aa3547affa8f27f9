// Writes the bundled example recordings: three seconds of a decaying 2 Hz
// wavelet in counts, sampled at 100 samples/s from B = 0, little-endian
// (wavelet.sac) and big-endian (wavelet-be.sac), and a short unevenly spaced
// record (uneven.sac). Run from this folder: make_examples
#include <cmath>
#include <fstream>
#include <numbers>
#include <vector>

#include "sac_builder.hpp"

namespace {

void save(const char* name, const sactest::Bytes& bytes)
{
    std::ofstream(name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
}

float wavelet_counts(double seconds)
{
    return static_cast<float>(1000.0 * std::sin(2.0 * std::numbers::pi * 2.0 * seconds) * std::exp(-seconds));
}

} // namespace

int main()
{
    constexpr int samples = 300;
    std::vector<float> wavelet;
    for (int i = 0; i < samples; ++i) wavelet.push_back(wavelet_counts(i * 0.01));
    save("wavelet.sac", sactest::make_sac(0.01f, 0.0f, samples, wavelet, false));
    save("wavelet-be.sac", sactest::make_sac(0.01f, 0.0f, samples, wavelet, true));

    // Samples first, then the times at which they were taken.
    const std::vector<float> uneven{0.5f, -1.25f, 2.0f, 0.75f, 0.0f, 1.5f, 1.75f, 2.5f, 4.0f, 6.25f};
    save("uneven.sac", sactest::make_sac(-12345.0f, 0.0f, 5, uneven, false));
    return 0;
}
