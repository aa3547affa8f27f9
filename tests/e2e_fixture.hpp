// The end-to-end tests' fixture: a fresh folder for each test, and runs
// that must be refused or converted as expected.
#pragma once

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "e2e_support.hpp"

namespace sactest {


inline const std::string earlierTable = "an earlier table, to be kept\n";

class Converter : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = make_temporary_folder();
        ASSERT_FALSE(folder.empty()) << "no temporary folder under TMPDIR";
        // A run that ends early must fail the test, not kill it with SIGPIPE.
        signal(SIGPIPE, SIG_IGN);
    }
    void TearDown() override { remove_tree(folder); }

    std::string path(const std::string& name) const { return folder + "/" + name; }

    // A refused run: exactly the line `message`, exit 1, and the earlier
    // table (if any) left exactly as it was, with nothing else added. It
    // runs in the folder, so relative paths name its files.
    void expect_refused(const std::vector<std::string>& arguments, const std::string& message,
                        const std::string& table = "x.sac.asc", RunAs as = {})
    {
        SCOPED_TRACE(command_line(arguments));
        const auto before = folder_entries(folder);
        const auto earlier = read_file(path(table));
        as.workingFolder = folder;
        const RunResult run = run_sactab(arguments, as);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.said, message + "\n");
        EXPECT_EQ(read_file(path(table)), earlier);
        EXPECT_EQ(folder_entries(folder), before);
    }

    // `arguments` may start with options; the first argument that is none names the file.
    void expect_converted(const std::vector<std::string>& arguments, const std::string& expectedTable)
    {
        SCOPED_TRACE(command_line(arguments));
        const RunResult run = run_sactab(arguments);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.said, "");
        const std::string& input = arguments[arguments[0].starts_with("-") && arguments.size() > 1 ? 1 : 0];
        const auto table = read_file(input + ".asc");
        ASSERT_TRUE(table) << "no table " << input << ".asc";
        EXPECT_EQ(first_difference(*table, expectedTable), "");
    }

    // What a failure names as the run: "sactab ARGUMENT...".
    static std::string command_line(const std::vector<std::string>& arguments)
    {
        std::string line = "sactab";
        for (const std::string& argument : arguments) line += " " + argument;
        return line;
    }

    std::string folder;
};

// A file in the order the converter reads without a byte-order argument:
// little-endian, or big-endian on a big-endian host.
inline Bytes default_order_sac(float delta, float begin, std::int32_t count, const std::vector<float>& data)
{
    return make_sac(delta, begin, count, data, host_is_big_endian());
}

// Instrument-corrected samples, in metres per second: six decimals keep
// none of them.
inline std::vector<float> corrected_samples()
{
    std::vector<float> samples(100);
    for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<float>(i % 5) * -1e-6f;
    samples[5] = 8.67e-6f;
    return samples;
}

inline Bytes cut(Bytes bytes, std::size_t count)
{
    return Bytes(bytes.begin(), bytes.end() - static_cast<long>(count));
}

inline std::vector<float> special_values()
{
    const float inf = std::numeric_limits<float>::infinity();
    return {0.0f, -0.0f, inf, -inf, std::numeric_limits<float>::quiet_NaN(), -std::numeric_limits<float>::quiet_NaN(),
            std::numeric_limits<float>::max(), std::numeric_limits<float>::denorm_min(), -0.0000004f, 0.0000005f,
            9.9999996f, -12345.0f};
}

// The start of the message that refuses the file in the default columns, as
// the design's own table shows the loss; empty when it converts.
inline std::string predicted_refusal(float delta, float begin, const std::vector<float>& data, bool precise)
{
    if (delta != -12345.0f && !(delta > 0 && std::isfinite(delta))) return "Invalid Sample Interval";
    if (delta != -12345.0f && !std::isfinite(begin)) return "Invalid Begin Time";
    if (delta != -12345.0f && repeats_a_time(reference_table(delta, begin, data, precise))) return "Times Too Close";
    if (delta == -12345.0f && !precise && prints_different_xs_alike(data)) return "Times Too Close";
    if (precise) return "";
    float largest = 0;
    for (std::size_t i = 0; i < (delta == -12345.0f ? data.size() / 2 : data.size()); ++i)
        if (std::isfinite(data[i])) largest = std::max(largest, std::fabs(data[i]));
    return largest != 0 && static_cast<double>(largest) < 0.001 ? "Samples Too Small" : "";
}

} // namespace sactest
