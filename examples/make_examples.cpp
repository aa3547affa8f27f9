// Writes the bundled example recordings: three seconds of a 5 Hz Ricker
// wavelet sampled at 100 samples/s, from B = -1 s, peaking at 0.5 s, little-endian
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

float ricker(double seconds, double peakHz)
{
    const double a = std::numbers::pi * peakHz * seconds;
    return static_cast<float>((1.0 - 2.0 * a * a) * std::exp(-a * a));
}

} // namespace

int main()
{
    constexpr int samples = 300;
    std::vector<float> wavelet;
    for (int i = 0; i < samples; ++i) wavelet.push_back(ricker(-1.0 + i * 0.01 - 0.5, 5.0));
    save("wavelet.sac", sactest::make_sac(0.01f, -1.0f, samples, wavelet, false));
    save("wavelet-be.sac", sactest::make_sac(0.01f, -1.0f, samples, wavelet, true));

    // Samples first, then the times at which they were taken.
    const std::vector<float> uneven{0.5f, -1.25f, 2.0f, 0.75f, 0.0f, 1.5f, 1.75f, 2.5f, 4.0f, 6.25f};
    save("uneven.sac", sactest::make_sac(-12345.0f, 0.0f, 5, uneven, false));
    return 0;
}
