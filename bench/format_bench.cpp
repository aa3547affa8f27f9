// Nanoseconds per value: the table's two conversions against snprintf and
// std::to_chars, on values like those of real tables.
#include <benchmark/benchmark.h>

#include <charconv>
#include <cstdio>
#include <random>
#include <vector>

#include "ascii/number_format.hpp"
#include "ascii/table.hpp"
#include "sac/sac_file.hpp"
#include "sac_builder.hpp"

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

// Formats all values into one buffer, as a block of a table is made, and
// reports the time per value: the calls are independent, as in the table.
template <typename Value, typename Format>
void format_each(benchmark::State& state, const std::vector<Value>& values, Format format)
{
    static char text[4096 * 64];
    for (auto _ : state) {
        char* out = text;
        for (Value value : values) out = format(out, value);
        benchmark::DoNotOptimize(out);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(values.size()));
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
    format_each(state, times(), [](char* text, double value) { return text + std::snprintf(text, 64, "%e", value); });
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
        return text + std::snprintf(text, 64, "%f", static_cast<double>(value));
    });
}

// Whole lines, as the two loops make them from a file in memory, written to
// /dev/null: what a line costs apart from the disk.
void table_lines(benchmark::State& state, float delta, std::int32_t precise)
{
    constexpr std::int32_t count = 1 << 20;
    std::vector<float> data(delta == sactab::undefinedValue ? 2 * count : count);
    std::mt19937 random(3);
    std::normal_distribution<float> counts(0.0f, 1000.0f);
    for (float& value : data) value = counts(random);
    if (delta == sactab::undefinedValue)
        for (std::size_t i = 0; i < count; ++i) data[count + i] = 0.02f * static_cast<float>(i); // 20 ms apart: seven digits tell them apart to the end
    sactest::Bytes file = sactest::make_sac(delta, 3600.0f, count, data, false);
    std::FILE* sink = std::fopen("/dev/null", "w");
    sactab::set_byte_swap(1);
    for (auto _ : state) {
        std::FILE* input = fmemopen(file.data(), file.size(), "rb");
        sactab::read_header(input);
        if (delta == sactab::undefinedValue)
            sactab::write_unevenly_spaced(input, sink, precise == 1, UINT64_MAX, nullptr);
        else
            sactab::write_evenly_spaced(input, sink, precise == 1, nullptr);
        std::fclose(input);
    }
    std::fclose(sink);
    state.SetItemsProcessed(state.iterations() * count);
}

} // namespace

BENCHMARK_CAPTURE(table_lines, evenly_spaced, 0.01f, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(table_lines, unevenly_spaced, sactab::undefinedValue, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(table_lines, evenly_spaced_precise, 0.01f, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(table_lines, unevenly_spaced_precise, sactab::undefinedValue, 1)->Unit(benchmark::kMillisecond);
BENCHMARK(exponent_sactab);
BENCHMARK(exponent_to_chars);
BENCHMARK(exponent_snprintf);
BENCHMARK(fixed_sactab);
BENCHMARK(fixed_to_chars);
BENCHMARK(fixed_snprintf);
BENCHMARK_MAIN();
