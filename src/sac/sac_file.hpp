// The SAC binary file, as far as this program reads it.
//
// A fixed header of 158 four-byte words (632 bytes), then the data words:
//
//   field    word  byte offset  type     kept in
//   DELTA       0            0  float    DELTA    increment between samples
//   B           5           20  float    B        first value of the time axis
//   STLA       31          124  float    facts    station latitude, degrees
//   STLO       32          128  float    facts    station longitude, degrees
//   STEL       33          132  float    facts    station elevation, metres
//   NZYEAR     70          280  int32    facts    reference time: year,
//   NZJDAY     71          284  int32    facts      day of the year,
//   NZHOUR     72          288  int32    facts      hour,
//   NZMIN      73          292  int32    facts      minute,
//   NZSEC      74          296  int32    facts      second,
//   NZMSEC     75          300  int32    facts      millisecond
//   NVHDR      76          304  int32    -        header version: 6, or 7 with
//                                                  a footer
//   NPTS       79          316  int32    SACNPTS  number of samples
//   IDEP       86          344  int32    facts    units: 5 unknown, 6 nm, 7 nm/s,
//                                                  8 nm/s^2, 50 volts
//   KSTNM     110          440  8 chars  facts    station
//   KHOLE     116          464  8 chars  facts    location
//   KCMPNM    150          600  8 chars  facts    channel
//   KNETWK    152          608  8 chars  facts    network
//   (every other header word is read past, never looked at; the words kept
//   in facts only for a table's comment lines, by read_recording_facts)
//
//   data, evenly spaced   (DELTA != -12345): NPTS sample words
//   data, unevenly spaced (DELTA == -12345): NPTS sample words, then NPTS
//                                             words of the independent variable
//
// Words are in the byte order chosen by set_byte_swap, or in the other one
// where the caller asks for the order the rule below accepts. The file does
// not say its order, but a SAC header says SAC: its version is 6 or 7, or,
// from writers that leave it unset, 0 with a plausible sample interval
// (DELTA from 1e-9 to 1e6 s, or -12345: undefined, unevenly spaced) and at
// least one sample. The header is judged in both orders, in this order:
//   1. a version known (6 or 7) only in the other order: the other order;
//   2. a version known in this order: convert when the file holds the data
//      NPTS declares, an evenly spaced DELTA is a positive finite number
//      and its B a finite one (or -12345, which counts from 0); otherwise
//      a negative count, a short file, a bad DELTA or a bad B;
//   3. no known version in either order, and the magic bytes of a
//      compressed file, of SEED or of macOS metadata: that file, named;
//   4. an unset version: convert when DELTA and NPTS are plausible and the
//      data fit (a bad B as in 2); the other order when they are so only
//      in that order;
//   5. otherwise text, or no SAC file at all (the version found).
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
constexpr std::size_t versionOffset = 304;
constexpr std::size_t sampleCountOffset = 316;

// SAC's value for an undefined header field; in DELTA it marks uneven spacing.
constexpr float undefinedValue = -12345.0f;

extern float DELTA;
extern float B;
extern std::int32_t SACNPTS;

// SAC's undefined integer and text field.
constexpr std::int32_t undefinedInteger = -12345;
constexpr std::size_t textFieldBytes = 8;

// The header words that say where and when a recording was made, as the
// file holds them (undefined or out of range, too): read only for a
// table's comment lines.
struct RecordingFacts {
    float STLA, STLO, STEL;
    std::int32_t NZYEAR, NZJDAY, NZHOUR, NZMIN, NZSEC, NZMSEC;
    std::int32_t IDEP;
    char KSTNM[textFieldBytes], KHOLE[textFieldBytes], KCMPNM[textFieldBytes], KNETWK[textFieldBytes];
};

// From the complete header read, in its byte order.
RecordingFacts read_recording_facts();


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

// Reverses byteSwapFlag and takes DELTA, B and SACNPTS again from the
// complete header read, for a file whose header says it is in the other
// byte order; the samples are then read in that order too.
void reread_header_in_other_byte_order();

bool is_unevenly_spaced();

enum class HeaderCheck {
    usable,            // the file holds every data word SACNPTS declares
    incomplete,        // fewer than 632 bytes
    negative_count,    // SACNPTS < 0, with a known header version
    too_short,         // the file lacks some of its data words, with a known header version
    invalid_interval,  // evenly spaced, with a known version, and DELTA is no positive finite number
    invalid_begin,     // evenly spaced, and B is NaN or infinite
    other_byte_order,  // the header makes sense only in the other byte order
    text,              // no binary SAC file: the header is printable text
    unknown_version,   // no binary SAC file: no known header version in either order
    // The usual neighbours of SAC files, known by their first bytes.
    gzip,
    bzip2,
    xz,
    zstd,
    miniseed,
    seed,
    apple_double,      // the metadata macOS writes beside a file it copies ("._x.sac")
};

// What the judgement of a complete header rests on, in the byte order read
// and in the other one.
struct HeaderFacts {
    bool versionKnown;      // 6 or 7
    bool versionKnownOther;
    bool versionUnset;      // 0, the same in both orders
    bool deltaSaysSac;      // a positive finite number, or -12345
    bool plausible;         // a plausible DELTA and at least one sample: what an unset version needs
    bool plausibleOther;
    bool beginUsable;       // finite, -12345, or not used (unevenly spaced)
    bool dataFit;
    bool dataFitOther;
    bool negativeCount;
    bool text;
    HeaderCheck neighbour; // usable when the first bytes are of no other format
};

// The rule above, on those facts.
HeaderCheck judge_header(const HeaderFacts& facts);

// Judges what read_header found against the size of the file (UINT64_MAX
// when it is not known in advance, as for a pipe).
HeaderCheck check_header(std::size_t headerBytesRead, std::uint64_t fileBytes);

// Size of a file holding exactly the header and the data SACNPTS declares
// (SACNPTS must not be negative).
std::uint64_t declared_file_bytes();

// The header's version word in the byte order read.
std::int32_t header_version();

// Reads up to `count` data words as floats; returns how many were read
// whole, and adds the bytes read (a last part of a word too) to bytesRead.
std::size_t read_samples(std::FILE* input, float* samples, std::size_t count, std::uint64_t& bytesRead);

} // namespace sactab
