// The two ways format_lines makes its lines: one value at a time, on every
// processor, and four at a time with AVX2 on x86-64, chosen at run time.
#pragma once

#include <cstddef>

// A build may leave the four-line path out (cmake -DSACTAB_AVX2=OFF), so
// that an AVX2 machine runs every test through the one-value path too.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(SACTAB_NO_AVX2)
#define SACTAB_AVX2_LINES 1
#else
#define SACTAB_AVX2_LINES 0
#endif

namespace sactab {

char* format_lines_one_at_a_time(char* out, const double* xs, const float* samples, std::size_t count, const char* separator,
                                 std::size_t separatorLength, bool precise, const char** lineStarts);

#if SACTAB_AVX2_LINES
// Whether the processor and the system run AVX2: asked with cpuid and
// xgetbv, so no CPU model of the compiler's runtime is needed to link.
bool processor_has_avx2();

char* format_lines_avx2(char* out, const double* xs, const float* samples, std::size_t count, const char* separator,
                        std::size_t separatorLength, bool precise, const char** lineStarts);
#endif

} // namespace sactab
