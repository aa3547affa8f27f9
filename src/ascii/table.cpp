#include "ascii/table.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "ascii/number_format.hpp"
#include "sac/sac_file.hpp"

namespace sactab {

char ascFileName[outputNameBytes];

namespace {

// Samples are read and lines written a block at a time; a block of text
// (up to 1 MiB) is one write. A short recording goes through small blocks
// instead, so that it touches few pages of the buffers: on some virtual
// machines a first touch of a page costs more than a thousand lines.
constexpr std::size_t blockSamples = 16384;
constexpr std::size_t shortBlockSamples = 512;
constexpr std::size_t shortRecordingSamples = 16 * shortBlockSamples;
constexpr std::size_t maxLineChars = maxExponentChars + 2 + maxFixedChars + 1;
static_assert(2 * maxPreciseChars + 3 <= maxLineChars, "a precise line fits where a default one does");
static_assert(maxLineChars >= 32, "the 16 bytes format_lines may store past a line fit in the next line's room");

float sampleBlock[blockSamples];
double xBlock[blockSamples]; // the x column of a block, as format_lines takes it
const char* lineStarts[blockSamples]; // of a block whose times are compared
char textBlock[blockSamples * maxLineChars];

// The comment lines, if asked for, of a table whose first x value is `firstX`.
bool write_header(std::FILE* output, const TableHeader* header, double firstX)
{
    if (header == nullptr) return true;
    const std::string lines = table_header_lines(*header, firstX);
    return std::fwrite(lines.data(), 1, lines.size(), output) == lines.size();
}

bool write_text_block(std::FILE* output, const char* end)
{
    const auto length = static_cast<std::size_t>(end - textBlock);
    return std::fwrite(textBlock, 1, length, output) == length;
}

std::uint64_t load_eight(const char* text)
{
    std::uint64_t word = 0;
    std::memcpy(&word, text, 8);
    return word;
}

// The length of a default line's finite time (or x value), which ends at
// `separator`: 12 characters, with one more for a minus and one for a
// three-digit exponent.
std::size_t time_length(const char* line, char separator)
{
    const bool longer = line[minExponentChars] != separator;
    return minExponentChars + longer + (longer && line[minExponentChars + 1] != separator);
}

// A finite time's text is 12 to 14 characters: its first and last eight
// and its length tell it apart from the line before without a memcmp.
struct TimeText {
    std::uint64_t head;
    std::uint64_t tail;
    std::size_t length;
    bool operator==(const TimeText&) const = default;
};

TimeText time_text(const char* start, const char* end)
{
    return {load_eight(start), load_eight(end - 8), static_cast<std::size_t>(end - start)};
}

// What a loop learns of its input and its lines, one after the other: the
// bytes read, the first pair of lines in a row that print (or hold) the
// same time, and the largest sample.
struct Judgement {
    std::uint64_t bytesRead = 0; // of the data blocks
    bool timesRepeat = false;
    double repeatedTime = 0;
    double repeatedStep = 0;
    std::uint32_t largest = 0;
    bool writeFailed = false;  // the comment lines before the first block
    bool havePrevious = false; // a finite value on the line before
    double previousValue = 0;
    TimeText previous{};

    // The value of a line and, for a default line, its text: a repeat
    // where the text is the one before (but for equal x values, which are
    // the file's own), or, without a text, where the values are the same.
    void judge(double value, const char* line, char separator)
    {
        if (!std::isfinite(value)) {
            havePrevious = false;
            return;
        }
        const TimeText current = line != nullptr ? time_text(line, line + time_length(line, separator)) : TimeText{};
        const bool same = line == nullptr ? value == previousValue : current == previous && (separator == '\t' || value != previousValue);
        if (havePrevious && same) note_repeat(value, value - previousValue);
        havePrevious = true;
        previousValue = value;
        previous = current;
    }

    // The same for the evenly spaced default lines, whose times are finite
    // and never equal in the file: only their texts are compared.
    void judge_time_text(double value, const char* line)
    {
        const TimeText current = time_text(line, line + time_length(line, '\t'));
        if (current == previous) note_repeat(value, 0);
        previous = current;
    }

    void note_repeat(double value, double step)
    {
        if (timesRepeat) return;
        timesRepeat = true;
        repeatedTime = value;
        repeatedStep = step;
    }

    TableResult result(LoopEnd end) const
    {
        return {end, repeatedTime, repeatedStep, std::bit_cast<float>(largest), headerBytes + bytesRead};
    }
};

// Reads the whole first data block of an unevenly spaced file into a store
// that grows with the data actually read, so a header that claims more
// samples than the input holds never makes us allocate for them.
LoopEnd read_sample_store(std::FILE* input, std::size_t count, float*& store, std::uint64_t memoryBytes, std::uint64_t& bytesRead)
{
    // In 64 bits: on a 32-bit host count * 4 could wrap.
    if (std::uint64_t{count} * wordBytes > std::min<std::uint64_t>(memoryBytes, SIZE_MAX))
        return LoopEnd::no_memory;
    std::size_t capacity = 0;
    std::size_t stored = 0;
    while (stored < count) {
        if (stored == capacity) {
            capacity = std::min(count, std::max(blockSamples, capacity * 2));
            void* grown = std::realloc(store, capacity * sizeof(float));
            if (grown == nullptr) return LoopEnd::no_memory;
            store = static_cast<float*>(grown);
        }
        const std::size_t want = capacity - stored;
        const std::size_t got = read_samples(input, store + stored, want, bytesRead);
        stored += got;
        if (got < want) return LoopEnd::short_input;
    }
    return LoopEnd::complete;
}

// Reads `count` data words a block at a time and writes one line for each;
// make_lines(out, first, words, count) writes the lines of `count` words,
// the first of them the first-th, and returns their end. Once make_lines
// has found a repeated time, the loop ends after that block.
template <typename MakeLines>
LoopEnd write_lines(std::FILE* input, std::FILE* output, std::size_t count, Judgement& judgement, MakeLines make_lines)
{
    for (std::size_t done = 0; done < count;) {
        const std::size_t block = done < shortRecordingSamples ? shortBlockSamples : blockSamples;
        const std::size_t want = std::min(block, count - done);
        const std::size_t got = read_samples(input, sampleBlock, want, judgement.bytesRead);
        if (!write_text_block(output, make_lines(textBlock, done, static_cast<const float*>(sampleBlock), got)))
            return LoopEnd::write_failed;
        if (judgement.timesRepeat) return LoopEnd::times_repeat;
        if (got < want) return LoopEnd::short_input;
        done += got;
    }
    return LoopEnd::complete;
}

// The largest magnitude's bits (which order finite floats as their values
// do; NaN and infinity count as 0), in signed 32-bit lanes, which SSE2 and
// NEON compare a vector at a time: sixteen lanes, four vectors that need
// not wait for each other.
std::int32_t magnitude_bits(float value)
{
    const std::int32_t magnitude = std::bit_cast<std::int32_t>(value) & 0x7FFF'FFFF;
    return magnitude < 0x7F80'0000 ? magnitude : 0;
}

std::uint32_t largest_magnitude_bits(const float* values, std::size_t count, std::uint32_t largest)
{
    constexpr std::size_t lanes = 16;
    std::int32_t widest[lanes] = {static_cast<std::int32_t>(largest)};
    std::size_t i = 0;
    for (; i + lanes <= count; i += lanes)
        for (std::size_t lane = 0; lane < lanes; ++lane) widest[lane] = std::max(widest[lane], magnitude_bits(values[i + lane]));
    for (; i < count; ++i) widest[0] = std::max(widest[0], magnitude_bits(values[i]));
    return static_cast<std::uint32_t>(*std::max_element(widest, widest + lanes));
}

// Whether no two lines in a row among the next `lines` can print the same
// time with `digits` significant digits: the step is more than one unit of
// the last digit of the largest time they reach, so the times' roundings
// all differ. The reach is over-estimated, which only errs towards more
// comparisons or digits.
bool times_clearly_apart(int digits, double first, double step, std::size_t lines)
{
    const double reach = (std::max(std::fabs(first), std::fabs(first + static_cast<double>(lines) * step)) + std::fabs(step)) * 1.000001;
    double unit = std::pow(10.0, std::floor(std::log10(reach)) - (digits - 1));
    if (reach >= unit * std::pow(10.0, digits)) unit *= 10;
    return std::fabs(step) > unit * 1.000001;
}

// A -p line whose time has `timeDigits` significant digits.
char* format_precise_lines(char* out, const double* xs, const float* samples, std::size_t count, int timeDigits)
{
    for (std::size_t i = 0; i < count; ++i) {
        out = format_scientific(out, xs[i], timeDigits);
        *out++ = '\t';
        out = format_precise(out, static_cast<double>(samples[i]));
        *out++ = '\n';
    }
    return out;
}

// A step's magnitude as bits, which order steps as their values do; NaN
// orders above infinity, so neither is ever the smallest.
std::int32_t step_bits(float step)
{
    return std::bit_cast<std::int32_t>(step) & 0x7FFF'FFFF;
}

// Whether no two x values in a row, from `before` on, can print alike in
// seven digits: the smallest step between them is more than one unit of
// the seventh digit of the largest finite one. The steps are taken in float
// arithmetic, within a relative 2^-24 of the true ones, far inside the
// comparison's margin, and as bits, like the largest magnitude, sixteen
// lanes a vector at a time. Steps to or from NaN or infinity drop out, and
// so do infinite x values (such lines are never judged); equal x values
// send the block to the line by line comparison.
bool xs_clearly_apart(const float* xs, std::size_t count, float before)
{
    constexpr std::size_t lanes = 16;
    std::int32_t smallest[lanes];
    std::fill(smallest, smallest + lanes, std::numeric_limits<std::int32_t>::max());
    if (count > 0) smallest[0] = step_bits(xs[0] - before);
    std::size_t i = 1;
    for (; i + lanes <= count; i += lanes)
        for (std::size_t lane = 0; lane < lanes; ++lane) smallest[lane] = std::min(smallest[lane], step_bits(xs[i + lane] - xs[i + lane - 1]));
    for (; i < count; ++i) smallest[0] = std::min(smallest[0], step_bits(xs[i] - xs[i - 1]));
    const auto step = std::bit_cast<float>(*std::min_element(smallest, smallest + lanes));
    const auto largest = std::bit_cast<float>(largest_magnitude_bits(xs, count, static_cast<std::uint32_t>(magnitude_bits(before))));
    return times_clearly_apart(exponentDigits, static_cast<double>(largest), static_cast<double>(step), 0);
}

// The unevenly spaced lines: the second block's x values with the samples
// held from the first. In the default format, an x value printed as the
// one before although it differs is a repeat; equal x values are the
// file's own.
LoopEnd write_pairs(std::FILE* input, std::FILE* output, std::size_t count, const float* samples, bool precise,
                    const TableHeader* header, Judgement& judgement)
{
    if (count == 0) return write_header(output, header, std::nan("")) ? LoopEnd::complete : LoopEnd::write_failed;
    return write_lines(input, output, count, judgement, [&](char* out, std::size_t first, const float* xs, std::size_t lines) {
        for (std::size_t i = 0; i < lines; ++i) xBlock[i] = static_cast<double>(xs[i]);
        // The start time needs the first x value: the comment lines go before the first block's lines.
        if (first == 0 && lines > 0 && !write_header(output, header, xBlock[0])) judgement.writeFailed = true;
        const bool judgeLines = !precise && !xs_clearly_apart(xs, lines, static_cast<float>(judgement.previousValue));
        char* const linesEnd = format_lines(out, xBlock, samples + first, lines, ",\t", 2, precise, judgeLines ? lineStarts : nullptr);
        if (judgeLines) {
            for (std::size_t i = 0; i < lines; ++i) judgement.judge(xBlock[i], lineStarts[i], ',');
        } else if (!precise && lines > 0) {
            // A judged block that follows compares its first x with this block's last.
            char last[maxExponentChars + 1];
            *format_exponent(last, xBlock[lines - 1]) = ',';
            judgement.judge(xBlock[lines - 1], last, ',');
        }
        return linesEnd;
    });
}

} // namespace

bool make_output_name(const char* inputPath)
{
    const std::size_t length = std::strlen(inputPath);
    if (length + sizeof ".asc" > outputNameBytes) {
        errno = ENAMETOOLONG;
        return false;
    }
    std::memcpy(ascFileName, inputPath, length);
    std::memcpy(ascFileName + length, ".asc", sizeof ".asc");
    return true;
}

bool samples_too_small(float largestSample)
{
    return largestSample != 0 && static_cast<double>(largestSample) < 0.001;
}

int precise_time_digits(double first, double step, std::size_t count)
{
    int digits = preciseDigits;
    if (std::isfinite(first) && std::isfinite(step) && step != 0)
        while (digits < maxSignificantDigits && !times_clearly_apart(digits, first, step, count)) ++digits;
    return digits;
}

TableResult write_evenly_spaced(std::FILE* input, std::FILE* output, bool precise, const TableHeader* header)
{
    // The time is accumulated, not computed as B + i * DELTA: line i shows B
    // with DELTA added i times, each sum rounded to a double. An undefined B
    // counts from 0, as other SAC readers do.
    double time = B == undefinedValue ? 0.0 : static_cast<double>(B);
    const auto step = static_cast<double>(DELTA);
    const auto count = static_cast<std::size_t>(std::max(SACNPTS, 0));
    const int timeDigits = precise ? precise_time_digits(time, step, count) : 0;
    // Finite times only: "nan" and "inf" are not a time axis to judge. Most
    // default blocks are judged at once, the rest line by line; -p times
    // with more than nine digits can repeat only as doubles.
    const bool judgeTimes = !precise && std::isfinite(time) && std::isfinite(step) && step != 0;
    Judgement judgement;
    if (!write_header(output, header, time)) return judgement.result(LoopEnd::write_failed);
    const LoopEnd end = write_lines(input, output, count, judgement, [&](char* out, std::size_t, const float* samples, std::size_t lines) {
        if (!precise) judgement.largest = largest_magnitude_bits(samples, lines, judgement.largest);
        const bool judgeLines = judgeTimes && !times_clearly_apart(exponentDigits, time, step, lines);
        for (std::size_t i = 0; i < lines; ++i) {
            xBlock[i] = time;
            time += step;
        }
        if (timeDigits > preciseDigits) {
            for (std::size_t i = 0; i < lines; ++i) judgement.judge(xBlock[i], nullptr, '\t');
            return format_precise_lines(out, xBlock, samples, lines, timeDigits);
        }
        char* const linesEnd = format_lines(out, xBlock, samples, lines, "\t", 1, precise, judgeLines ? lineStarts : nullptr);
        if (judgeLines) {
            for (std::size_t i = 0; i < lines; ++i) judgement.judge_time_text(xBlock[i], lineStarts[i]);
        } else if (judgeTimes && lines > 0) {
            // A judged block that follows compares its first time with this block's last.
            char last[maxExponentChars];
            judgement.previous = time_text(last, format_exponent(last, xBlock[lines - 1]));
        }
        return linesEnd;
    });
    TableResult result = judgement.result(end);
    result.repeatedStep = step; // the times repeat as doubles too
    return result;
}

TableResult write_unevenly_spaced(std::FILE* input, std::FILE* output, bool precise, std::uint64_t memoryBytes, const TableHeader* header)
{
    const auto count = static_cast<std::size_t>(std::max(SACNPTS, 0));
    float* samples = nullptr;
    Judgement judgement;
    LoopEnd end = read_sample_store(input, count, samples, memoryBytes, judgement.bytesRead);
    if (end == LoopEnd::complete) {
        judgement.largest = largest_magnitude_bits(samples, count, 0);
        // The second block holds the x values, in the order of the samples.
        end = write_pairs(input, output, count, samples, precise, header, judgement);
        if (judgement.writeFailed) end = LoopEnd::write_failed;
    }
    std::free(samples);
    return judgement.result(end);
}

} // namespace sactab
