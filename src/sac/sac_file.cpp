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

// Whether a file of `fileBytes` holds the data that `count` and `delta` declare.
bool data_fit(std::int32_t count, float delta, std::uint64_t fileBytes)
{
    return count >= 0 && data_bytes(count, delta) <= fileBytes;
}

bool is_known_version(std::int32_t version)
{
    return version == 6 || version == 7;
}

std::uint32_t reversed(std::uint32_t word)
{
    auto bytes = std::bit_cast<std::array<unsigned char, wordBytes>>(word);
    swap_bytes(bytes.data(), 1, wordBytes);
    return std::bit_cast<std::uint32_t>(bytes);
}

// Read in the other byte order, the header has a known version, or declares
// data that the file holds.
bool makes_sense_in_other_order(std::uint64_t fileBytes)
{
    const auto version = std::bit_cast<std::int32_t>(reversed(read_word(header + versionOffset)));
    const auto delta = std::bit_cast<float>(reversed(read_word(header + deltaOffset)));
    const auto count = std::bit_cast<std::int32_t>(reversed(read_word(header + sampleCountOffset)));
    return is_known_version(version) || data_fit(count, delta, fileBytes);
}

// Printable ASCII and line breaks only: SAC's alphanumeric format, a table,
// or some other text.
bool is_text(const unsigned char* bytes, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i)
        if ((bytes[i] < 0x20 || bytes[i] > 0x7E) && bytes[i] != '\n' && bytes[i] != '\r' && bytes[i] != '\t') return false;
    return true;
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

std::uint64_t declared_file_bytes()
{
    return data_bytes(SACNPTS, DELTA);
}

std::int32_t header_version()
{
    return std::bit_cast<std::int32_t>(read_word(header + versionOffset));
}

HeaderCheck check_header(std::size_t headerBytesRead, std::uint64_t fileBytes)
{
    if (headerBytesRead < headerBytes)
        return headerBytesRead > 0 && is_text(header, headerBytesRead) ? HeaderCheck::text : HeaderCheck::incomplete;
    if (data_fit(SACNPTS, DELTA, fileBytes)) return HeaderCheck::usable;
    if (is_known_version(header_version())) return SACNPTS < 0 ? HeaderCheck::negative_count : HeaderCheck::too_short;
    if (makes_sense_in_other_order(fileBytes)) return HeaderCheck::other_byte_order;
    return is_text(header, headerBytes) ? HeaderCheck::text : HeaderCheck::unknown_version;
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
