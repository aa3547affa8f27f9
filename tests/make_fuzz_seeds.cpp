// Writes the fuzzer's starting corpus into the folder given: small SAC files
// of both byte orders, evenly and unevenly spaced, whole and cut short.
#include <fstream>
#include <string>

#include "sac_builder.hpp"

int main(int argc, char* argv[])
{
    if (argc != 2) return 1;
    const std::string folder = argv[1];
    int number = 0;
    const auto save = [&](const sactest::Bytes& bytes) {
        std::ofstream(folder + "/seed" + std::to_string(number++), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    };
    for (bool bigEndian : {false, true}) {
        save(sactest::make_sac(0.01f, -1.0f, 4, {1.5f, -2.25f, 1e-7f, 3e38f}, bigEndian));
        save(sactest::make_sac(-12345.0f, 0.0f, 3, {1, -2, 3, 0.5f, 0.75f, 1.25f}, bigEndian));
        save(sactest::make_sac(0.5f, 0.0f, 0, {}, bigEndian));
        auto cut = sactest::make_sac(0.25f, 10.0f, 5, {1, 2, 3, 4, 5}, bigEndian);
        cut.resize(cut.size() - 6);
        save(cut);
    }
    return 0;
}
