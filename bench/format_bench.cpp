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

void exponent_sactab(benchmark::State& state)
{
    const auto values = times();
    char text[64];
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(sactab::format_exponent(text, values[i++ & 4095]));
        benchmark::ClobberMemory();
    }
}

void exponent_to_chars(benchmark::State& state)
{
    const auto values = times();
    char text[64];
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(std::to_chars(text, text + 64, values[i++ & 4095], std::chars_format::scientific, 6));
        benchmark::ClobberMemory();
    }
}

void exponent_snprintf(benchmark::State& state)
{
    const auto values = times();
    char text[64];
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(std::snprintf(text, sizeof text, "%e", values[i++ & 4095]));
        benchmark::ClobberMemory();
    }
}

void fixed_sactab(benchmark::State& state)
{
    const auto values = samples();
    char text[64];
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(sactab::format_fixed(text, values[i++ & 4095]));
        benchmark::ClobberMemory();
    }
}

void fixed_to_chars(benchmark::State& state)
{
    const auto values = samples();
    char text[64];
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            std::to_chars(text, text + 64, static_cast<double>(values[i++ & 4095]), std::chars_format::fixed, 6));
        benchmark::ClobberMemory();
    }
}

void fixed_snprintf(benchmark::State& state)
{
    const auto values = samples();
    char text[64];
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(std::snprintf(text, sizeof text, "%f", static_cast<double>(values[i++ & 4095])));
        benchmark::ClobberMemory();
    }
}

} // namespace

BENCHMARK(exponent_sactab);
BENCHMARK(exponent_to_chars);
BENCHMARK(exponent_snprintf);
BENCHMARK(fixed_sactab);
BENCHMARK(fixed_to_chars);
BENCHMARK(fixed_snprintf);
BENCHMARK_MAIN();
