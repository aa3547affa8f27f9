// The two ways format_lines makes its lines: one value at a time, on every
// processor, and four at a time with AVX2 on x86-64, chosen at run time.
#pragma once

#include <cstddef>

#if defined(__x86_64__) && defined(__GNUC__)
#define SACTAB_AVX2_LINES 1
#else
#define SACTAB_AVX2_LINES 0
#endif

namespace sactab {

char* format_lines_one_at_a_time(char* out, const double* xs, const float* samples, std::size_t count, const char* separator,
                                 std::size_t separatorLength, bool precise, const char** lineStarts);

#if SACTAB_AVX2_LINES
char* format_lines_avx2(char* out, const double* xs, const float* samples, std::size_t count, const char* separator,
                        std::size_t separatorLength, bool precise, const char** lineStarts);
#endif

} // namespace sactab
