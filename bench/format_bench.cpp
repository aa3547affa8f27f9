// Nanoseconds per value: the table's two conversions against snprintf and
// std::to_chars, on values like those of real tables.
#include <benchmark/benchmark.h>

#include <charconv>
#include <cstdio>
#include <random>
#include <vector>

#include "ascii/number_format.hpp"

namespace {

std::vector<double> times()
{
    std::vector<double> values;
    double time = 3600.0;
    for (int i = 0; i < 4096; ++i) values.push_back(time += static_cast<double>(0.01f));
    return values;
}

std::vector<float> samples()
{
    std::mt19937 random(1);
    std::normal_distribution<float> counts(0.0f, 1000.0f);
    std::vector<float> values;
    for (int i = 0; i < 4096; ++i) values.push_back(counts(random));
    return values;
}

// Formats the values in turn, as a table would, with one of the contenders.
template <typename Value, typename Format>
void format_each(benchmark::State& state, const std::vector<Value>& values, Format format)
{
    char text[64];
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(format(text, values[i++ & 4095]));
        benchmark::ClobberMemory();
    }
}

void exponent_sactab(benchmark::State& state)
{
    format_each(state, times(), [](char* text, double value) { return sactab::format_exponent(text, value); });
}

void exponent_to_chars(benchmark::State& state)
{
    format_each(state, times(), [](char* text, double value) {
        return std::to_chars(text, text + 64, value, std::chars_format::scientific, 6).ptr;
    });
}

void exponent_snprintf(benchmark::State& state)
{
    format_each(state, times(), [](char* text, double value) { return std::snprintf(text, 64, "%e", value); });
}

void fixed_sactab(benchmark::State& state)
{
    format_each(state, samples(), [](char* text, float value) { return sactab::format_fixed(text, value); });
}

void fixed_to_chars(benchmark::State& state)
{
    format_each(state, samples(), [](char* text, float value) {
        return std::to_chars(text, text + 64, static_cast<double>(value), std::chars_format::fixed, 6).ptr;
    });
}

void fixed_snprintf(benchmark::State& state)
{
    format_each(state, samples(), [](char* text, float value) {
        return std::snprintf(text, 64, "%f", static_cast<double>(value));
    });
}

} // namespace

BENCHMARK(exponent_sactab);
BENCHMARK(exponent_to_chars);
BENCHMARK(exponent_snprintf);
BENCHMARK(fixed_sactab);
BENCHMARK(fixed_to_chars);
BENCHMARK(fixed_snprintf);
BENCHMARK_MAIN();
