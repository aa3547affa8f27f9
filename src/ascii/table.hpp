// The text table: its name and the two loops that fill it.
//
//                     default          precise (-p)
//   evenly spaced:    "%e\t%f\n"       "%.8e\t%.8e\n"    time (B plus DELTA, added once per line), sample
//   unevenly spaced:  "%e,\t%f\n"      "%.8e,\t%.8e\n"   the file's own x value, sample
// The figures of this layout (digits, decimals, lengths) live in
// number_format.hpp; number_format.cpp, number_format_avx2.cpp (whose byte
// shuffles are checked against them) and table.cpp (which compares the
// times as printed) follow them.
// An evenly spaced -p table whose times nine digits cannot tell apart has
// more digits in its time column ("%.*e"), the same on every line.
// The default refuses a table where two lines in a row would print the
// same time (or, unevenly spaced, the same x for different x values), and
// -p one whose times are the same even as doubles.
#pragma once

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "ascii/table_header.hpp"

namespace sactab {


// The output path: the input path as given, with ".asc" appended. A plain
// buffer, so that nothing runs for it at start-up; it holds any path the
// system can open (PATH_MAX, or on Windows 32,767 UTF-16 units, each at most
// three bytes of UTF-8), plus ".asc". Only the bytes used are ever touched.
constexpr std::size_t longestPath = PATH_MAX > 3 * 32'767 ? PATH_MAX : 3 * 32'767;
constexpr std::size_t outputNameBytes = longestPath + 5;
extern char ascFileName[outputNameBytes];

// false, with errno ENAMETOOLONG, when the name does not fit.
bool make_output_name(const char* inputPath);

enum class LoopEnd {
    complete,      // every line written
    short_input,   // the input ended (or failed) before the last data word
    no_memory,     // no room for the unevenly spaced sample block
    write_failed,  // the output refused a write; errno tells why
    times_repeat,  // default format: two lines in a row print repeatedTime
};

// How a loop ended, and what the default format's checks learnt of the data.
struct TableResult {
    LoopEnd end;
    double repeatedTime;  // with times_repeat: the time printed on two lines in a row
    double repeatedStep;  // and how far apart the two lines' values are
    float largestSample;  // the largest magnitude of a finite sample
    std::uint64_t bytesRead; // of the input, header included (a short stream's size)
};

// The significant digits of an evenly spaced -p time column: nine, or as
// many more as lines `step` apart need to print different times up to the
// largest time `count` lines from `first` reach; seventeen, which tell any
// two doubles apart, at most.
int precise_time_digits(double first, double step, std::size_t count);

// The six decimals of "%f" keep at most three significant digits of any
// sample (the largest is below 0.001, and not zero).
bool samples_too_small(float largestSample);

// Each loop writes the formats of `precise` (-p) or the default ones, and
// the comment lines of `header` first, unless it is null.
TableResult write_evenly_spaced(std::FILE* input, std::FILE* output, bool precise, const TableHeader* header);
// The samples are held while the x values are read: no more than
// `memoryBytes` of them (the machine's memory) are ever asked for.
TableResult write_unevenly_spaced(std::FILE* input, std::FILE* output, bool precise, std::uint64_t memoryBytes,
                                  const TableHeader* header);

} // namespace sactab
