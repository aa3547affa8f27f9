// The SAC binary file, as far as this program reads it.
//
// A fixed header of 158 four-byte words (632 bytes), then the data words:
//
//   field    word  byte offset  type     kept in
//   DELTA       0            0  float    DELTA    increment between samples
//   B           5           20  float    B        first value of the time axis
//   NPTS       79          316  int32    SACNPTS  number of samples
//   (every other header word is read past, never looked at)
//
//   data, evenly spaced   (DELTA != -12345): NPTS sample words
//   data, unevenly spaced (DELTA == -12345): NPTS sample words, then NPTS
//                                             words of the independent variable
//
// Words are in the byte order chosen by set_byte_swap.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "sac/byte_order.hpp"

namespace sactab {

constexpr std::size_t wordBytes = 4;
constexpr std::size_t headerBytes = 632;
constexpr std::size_t deltaOffset = 0;
constexpr std::size_t beginOffset = 20;
constexpr std::size_t sampleCountOffset = 316;

// SAC's value for an undefined header field; in DELTA it marks uneven spacing.
constexpr float undefinedValue = -12345.0f;

extern float DELTA;
extern float B;
extern std::int32_t SACNPTS;

// Bytes taken from the input so far, header included.
extern std::uint64_t inputBytesRead;

// The one place where four file bytes become a host-order word.
inline std::uint32_t read_word(const unsigned char* bytes)
{
    unsigned char word[wordBytes];
    std::memcpy(word, bytes, wordBytes);
    if (byteSwapFlag == 1) swap_bytes(word, 1, wordBytes);
    return std::bit_cast<std::uint32_t>(word);
}

// Reads the 632-byte header and, when it is complete, sets DELTA, B and
// SACNPTS. Returns the number of header bytes read.
std::size_t read_header(std::FILE* input);

bool is_unevenly_spaced();

enum class HeaderCheck {
    usable,
    incomplete,      // fewer than 632 bytes
    negative_count,  // SACNPTS < 0
    too_short,       // the file lacks some of the data words SACNPTS declares
};

// Checks what read_header found against the size of the file (UINT64_MAX
// when it is not known in advance, as for a pipe).
HeaderCheck check_header(std::size_t headerBytesRead, std::uint64_t fileBytes);

// Size of a file holding exactly the header and the data SACNPTS declares
// (SACNPTS must not be negative).
std::uint64_t declared_file_bytes();

// Whether the header, read in the other byte order, declares a sample count
// that is not negative and whose data fit in `fileBytes`.
bool fits_other_byte_order(std::uint64_t fileBytes);

// Reads up to `count` data words as floats; returns how many were read whole.
std::size_t read_samples(std::FILE* input, float* samples, std::size_t count);

} // namespace sactab
