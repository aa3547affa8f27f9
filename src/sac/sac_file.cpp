#include "sac/sac_file.hpp"

#include <cctype>
#include <cmath>
#include <string_view>

namespace sactab {

float DELTA = 0.0f;
float B = 0.0f;
std::int32_t SACNPTS = 0;

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

bool delta_says_sac(float delta)
{
    return (delta > 0 && std::isfinite(delta)) || delta == undefinedValue;
}

// What a header without a version must show to pass for SAC: any bytes give
// some positive DELTA in one order or the other (Python bytecode, SciPy
// files), but few a sample interval from a nanosecond to eleven days and
// some samples.
bool plausible_recording(float delta, std::int32_t count)
{
    return ((delta >= 1e-9f && delta <= 1e6f) || delta == undefinedValue) && count >= 1;
}

std::uint32_t reversed(std::uint32_t word)
{
    auto bytes = std::bit_cast<std::array<unsigned char, wordBytes>>(word);
    swap_bytes(bytes.data(), 1, wordBytes);
    return std::bit_cast<std::uint32_t>(bytes);
}

std::uint32_t other_order_word(std::size_t offset)
{
    return reversed(read_word(header + offset));
}

// Printable ASCII and line breaks only: SAC's alphanumeric format, a table,
// or some other text.
bool is_text(const unsigned char* bytes, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i)
        if ((bytes[i] < 0x20 || bytes[i] > 0x7E) && bytes[i] != '\n' && bytes[i] != '\r' && bytes[i] != '\t') return false;
    return true;
}

bool starts_with(const unsigned char* bytes, std::size_t count, std::string_view magic)
{
    return count >= magic.size() && std::memcmp(bytes, magic.data(), magic.size()) == 0;
}

// A SEED fixed header: a six-character sequence number of digits or blanks,
// then the record type.
bool is_seed_record(const unsigned char* bytes, std::size_t count, std::string_view types)
{
    if (count < 8) return false;
    for (std::size_t i = 0; i < 6; ++i)
        if (!std::isdigit(bytes[i]) && bytes[i] != ' ') return false;
    return types.find(static_cast<char>(bytes[6])) != std::string_view::npos;
}

HeaderCheck neighbour_format(const unsigned char* bytes, std::size_t count)
{
    using namespace std::string_view_literals;
    if (starts_with(bytes, count, "\x1F\x8B"sv)) return HeaderCheck::gzip;
    if (starts_with(bytes, count, "BZh"sv) && count > 3 && bytes[3] >= '1' && bytes[3] <= '9') return HeaderCheck::bzip2;
    if (starts_with(bytes, count, "\xFD" "7zXZ\x00"sv)) return HeaderCheck::xz;
    if (starts_with(bytes, count, "\x28\xB5\x2F\xFD"sv)) return HeaderCheck::zstd;
    if (starts_with(bytes, count, "\x00\x05\x16\x07"sv)) return HeaderCheck::apple_double;
    if (starts_with(bytes, count, "MS\x03"sv) || is_seed_record(bytes, count, "DRQM")) return HeaderCheck::miniseed;
    if (is_seed_record(bytes, count, "V")) return HeaderCheck::seed;
    return HeaderCheck::usable;
}

} // namespace

HeaderCheck judge_header(const HeaderFacts& facts)
{
    if (facts.versionKnownOther && !facts.versionKnown) return HeaderCheck::other_byte_order;
    const HeaderCheck sacFile = facts.beginUsable ? HeaderCheck::usable : HeaderCheck::invalid_begin;
    if (facts.versionKnown) {
        if (!facts.dataFit) return facts.negativeCount ? HeaderCheck::negative_count : HeaderCheck::too_short;
        return facts.deltaSaysSac ? sacFile : HeaderCheck::invalid_interval;
    }
    if (facts.neighbour != HeaderCheck::usable) return facts.neighbour;
    if (facts.versionUnset && facts.plausible && facts.dataFit) return sacFile;
    if (facts.versionUnset && facts.plausibleOther && facts.dataFitOther) return HeaderCheck::other_byte_order;
    return facts.text ? HeaderCheck::text : HeaderCheck::unknown_version;
}

namespace {

void take_header_values()
{
    DELTA = std::bit_cast<float>(read_word(header + deltaOffset));
    B = std::bit_cast<float>(read_word(header + beginOffset));
    SACNPTS = std::bit_cast<std::int32_t>(read_word(header + sampleCountOffset));
}

} // namespace

std::size_t read_header(std::FILE* input)
{
    const std::size_t got = std::fread(header, 1, headerBytes, input);
    if (got == headerBytes) take_header_values();
    return got;
}

void reread_header_in_other_byte_order()
{
    byteSwapFlag = byteSwapFlag == 1 ? 0 : 1;
    take_header_values();
}

bool is_unevenly_spaced()
{
    return DELTA == undefinedValue;
}

std::uint64_t declared_file_bytes()
{
    return data_bytes(SACNPTS, DELTA);
}

RecordingFacts read_recording_facts()
{
    const auto real = [](std::size_t word) { return std::bit_cast<float>(read_word(header + wordBytes * word)); };
    const auto integer = [](std::size_t word) { return std::bit_cast<std::int32_t>(read_word(header + wordBytes * word)); };
    RecordingFacts facts{real(31), real(32), real(33), integer(70), integer(71), integer(72), integer(73), integer(74),
                         integer(75), integer(86), {}, {}, {}, {}};
    std::memcpy(facts.KSTNM, header + 440, textFieldBytes);
    std::memcpy(facts.KHOLE, header + 464, textFieldBytes);
    std::memcpy(facts.KCMPNM, header + 600, textFieldBytes);
    std::memcpy(facts.KNETWK, header + 608, textFieldBytes);
    return facts;
}

std::int32_t header_version()
{
    return std::bit_cast<std::int32_t>(read_word(header + versionOffset));
}

HeaderCheck check_header(std::size_t headerBytesRead, std::uint64_t fileBytes)
{
    const HeaderCheck neighbour = neighbour_format(header, headerBytesRead);
    if (headerBytesRead < headerBytes) {
        if (neighbour != HeaderCheck::usable) return neighbour;
        return headerBytesRead > 0 && is_text(header, headerBytesRead) ? HeaderCheck::text : HeaderCheck::incomplete;
    }
    const auto countOther = std::bit_cast<std::int32_t>(other_order_word(sampleCountOffset));
    const auto deltaOther = std::bit_cast<float>(other_order_word(deltaOffset));
    return judge_header({
        .versionKnown = is_known_version(header_version()),
        .versionKnownOther = is_known_version(std::bit_cast<std::int32_t>(other_order_word(versionOffset))),
        .versionUnset = header_version() == 0,
        .deltaSaysSac = delta_says_sac(DELTA),
        .plausible = plausible_recording(DELTA, SACNPTS),
        .plausibleOther = plausible_recording(deltaOther, countOther),
        .beginUsable = std::isfinite(B) || is_unevenly_spaced(),
        .dataFit = data_fit(SACNPTS, DELTA, fileBytes),
        .dataFitOther = data_fit(countOther, deltaOther, fileBytes),
        .negativeCount = SACNPTS < 0,
        .text = is_text(header, headerBytes),
        .neighbour = neighbour,
    });
}

std::size_t read_samples(std::FILE* input, float* samples, std::size_t count, std::uint64_t& bytesRead)
{
    // Read in place: each word is turned into a float where its bytes arrived.
    auto* bytes = reinterpret_cast<unsigned char*>(samples);
    const std::size_t got = std::fread(bytes, 1, count * wordBytes, input);
    bytesRead += got;
    const std::size_t whole = got / wordBytes;
    for (std::size_t i = 0; i < whole; ++i)
        samples[i] = std::bit_cast<float>(read_word(bytes + i * wordBytes));
    return whole;
}

} // namespace sactab
