#include "sac/sac_file.hpp"

namespace sactab {

float DELTA = 0.0f;
float B = 0.0f;
std::int32_t SACNPTS = 0;
std::uint64_t inputBytesRead = 0;

namespace {

unsigned char header[headerBytes];

std::uint64_t data_bytes(std::int32_t sampleCount, float delta)
{
    const std::uint64_t blocks = delta == undefinedValue ? 2 : 1;
    return headerBytes + blocks * wordBytes * static_cast<std::uint64_t>(sampleCount);
}

std::uint32_t reversed(std::uint32_t word)
{
    auto bytes = std::bit_cast<std::array<unsigned char, wordBytes>>(word);
    swap_bytes(bytes.data(), 1, wordBytes);
    return std::bit_cast<std::uint32_t>(bytes);
}

} // namespace

std::size_t read_header(std::FILE* input)
{
    const std::size_t got = std::fread(header, 1, headerBytes, input);
    inputBytesRead += got;
    if (got < headerBytes) return got;
    DELTA = std::bit_cast<float>(read_word(header + deltaOffset));
    B = std::bit_cast<float>(read_word(header + beginOffset));
    SACNPTS = std::bit_cast<std::int32_t>(read_word(header + sampleCountOffset));
    return got;
}

bool is_unevenly_spaced()
{
    return DELTA == undefinedValue;
}

HeaderCheck check_header(std::size_t headerBytesRead, std::uint64_t fileBytes)
{
    if (headerBytesRead < headerBytes) return HeaderCheck::incomplete;
    if (SACNPTS < 0) return HeaderCheck::negative_count;
    if (declared_file_bytes() > fileBytes) return HeaderCheck::too_short;
    return HeaderCheck::usable;
}

std::uint64_t declared_file_bytes()
{
    return data_bytes(SACNPTS, DELTA);
}

bool fits_other_byte_order(std::uint64_t fileBytes)
{
    const auto delta = std::bit_cast<float>(reversed(read_word(header + deltaOffset)));
    const auto count = std::bit_cast<std::int32_t>(reversed(read_word(header + sampleCountOffset)));
    return count >= 0 && data_bytes(count, delta) <= fileBytes;
}

std::size_t read_samples(std::FILE* input, float* samples, std::size_t count)
{
    // Read in place: each word is turned into a float where its bytes arrived.
    auto* bytes = reinterpret_cast<unsigned char*>(samples);
    const std::size_t got = std::fread(bytes, 1, count * wordBytes, input);
    inputBytesRead += got;
    const std::size_t whole = got / wordBytes;
    for (std::size_t i = 0; i < whole; ++i)
        samples[i] = std::bit_cast<float>(read_word(bytes + i * wordBytes));
    return whole;
}

} // namespace sactab
