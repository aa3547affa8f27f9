// The built program, run on files generated here, as a user runs it.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>
#include <limits>
#include <tuple>
#include <random>
#include <thread>

#include "e2e_support.hpp"

using namespace sactest;

namespace {

const std::string earlierTable = "an earlier table, to be kept\n";

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
        const RunResult run = run_sactab(arguments);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.said, "");
        const std::string& input = arguments[arguments[0].starts_with("-") && arguments.size() > 1 ? 1 : 0];
        const auto table = read_file(input + ".asc");
        ASSERT_TRUE(table) << "no table " << input << ".asc";
        EXPECT_EQ(first_difference(*table, expectedTable), "");
    }

    std::string folder;
};

// A file in the order the converter reads without a byte-order argument:
// little-endian, or big-endian on a big-endian host.
Bytes default_order_sac(float delta, float begin, std::int32_t count, const std::vector<float>& data)
{
    return make_sac(delta, begin, count, data, host_is_big_endian());
}

std::vector<float> special_values()
{
    const float inf = std::numeric_limits<float>::infinity();
    return {0.0f, -0.0f, inf, -inf, std::numeric_limits<float>::quiet_NaN(), -std::numeric_limits<float>::quiet_NaN(),
            std::numeric_limits<float>::max(), std::numeric_limits<float>::denorm_min(), -0.0000004f, 0.0000005f,
            9.9999996f, -12345.0f};
}

// The start of the message that refuses the file in the default columns, as
// the design's own table shows the loss; empty when it converts.
std::string predicted_refusal(float delta, float begin, const std::vector<float>& data, bool precise)
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

} // namespace

TEST_F(Converter, RandomFilesOfBothOrdersMatchPrintf)
{
    std::mt19937_64 random(2026);
    for (int round = 0; round < 120; ++round) {
        const bool bigEndian = (round & 1) != 0;
        const bool uneven = (round & 2) != 0;
        const auto count = static_cast<std::int32_t>(random() % 300);
        std::vector<float> data = random_floats(random, uneven ? 2 * static_cast<std::size_t>(count) : static_cast<std::size_t>(count));
        const std::vector<float> specials = special_values();
        if (round % 8 == 4) data.insert(data.begin(), specials.begin(), specials.end());
        const auto samples = static_cast<std::int32_t>(uneven ? data.size() / 2 : data.size());
        data.resize(uneven ? 2 * static_cast<std::size_t>(samples) : static_cast<std::size_t>(samples));
        // Some rounds are ordinary recordings (counts in 1/64ths, times near zero), which the fast paths take.
        const bool ordinary = round % 6 == 5;
        if (ordinary)
            for (float& value : data) value = static_cast<float>(static_cast<std::int64_t>(random() % 2'000'000) - 1'000'000) / 64.0f;
        // Mostly positive intervals, so that most rounds make a table.
        const auto deltaBits = static_cast<std::uint32_t>(random()) & (round % 7 == 3 ? 0xFFFF'FFFFu : 0x7FFF'FFFFu);
        const float delta = uneven ? -12345.0f : ordinary ? 0.01f : std::bit_cast<float>(deltaBits);
        const float begin = round % 3 == 0 ? 0.0f : ordinary ? -1.5f : std::bit_cast<float>(static_cast<std::uint32_t>(random()));
        const std::string file = path("r" + std::to_string(round)) + ".sac";
        write_file(file, make_sac(delta, begin, samples, data, bigEndian, static_cast<std::uint32_t>(random())));
        const bool precise = round % 5 == 1;
        std::vector<std::string> arguments{file};
        if (bigEndian) arguments.push_back("0");
        if (precise) arguments.insert(arguments.begin(), "--precise");
        if (host_is_big_endian() && !bigEndian) continue;
        SCOPED_TRACE("round " + std::to_string(round));
        const std::string refusal = predicted_refusal(delta, begin, data, precise);
        if (refusal.empty()) {
            expect_converted(arguments, reference_table(delta, begin, data, precise));
        } else {
            const RunResult run = run_sactab(arguments);
            EXPECT_EQ(run.said.rfind(refusal, 0), 0u) << run.said;
            EXPECT_FALSE(read_file(file + ".asc"));
        }
        if (HasFailure()) break;
    }
}

TEST_F(Converter, BigEndianHostReadsBigEndianWhateverTheArgument)
{
    if (!host_is_big_endian()) GTEST_SKIP() << "little-endian host";
    const std::vector<float> data{1, -2, 3.5f};
    write_file(path("x.sac"), make_sac(0.5f, 2, 3, data, true));
    for (const char* mode : {"1", "0"}) expect_converted({path("x.sac"), mode}, reference_table(0.5f, 2, data));
    expect_converted({path("x.sac")}, reference_table(0.5f, 2, data));
    write_file(path("x.sac"), make_sac(0.5f, 2, 3, data, false));
    expect_refused({path("x.sac"), "1"},
                   "Wrong Byte Order in " + path("x.sac") + ": the file looks little-endian, which this host does not read. Exiting...");
}

TEST_F(Converter, ByteOrderArgumentFollowsAtoi)
{
    if (host_is_big_endian()) GTEST_SKIP() << "the argument has no effect on a big-endian host";
    const std::vector<float> data{1, -2};
    write_file(path("big.sac"), make_sac(0.5f, 0, 2, data, true));
    write_file(path("little.sac"), make_sac(0.5f, 0, 2, data, false));
    const std::string expected = "0.000000e+00\t1.000000\n5.000000e-01\t-2.000000\n";
    for (const char* zero : {"0", "00", "-0", "  0", "abc", ""}) expect_converted({path("big.sac"), zero}, expected);
    for (const char* one : {"1", "+1", "1abc", " 01"}) expect_converted({path("little.sac"), one}, expected);
    for (const char* bad : {"2", "-1", "7", "99999999999"})
        expect_refused({path("little.sac"), bad},
                       "Invalid Byte Order " + std::string(bad) + ": use 1 for a little-endian file or 0 for a big-endian file. Exiting...",
                       "little.sac.asc");
}

TEST_F(Converter, CommandLineMistakes)
{
    write_file(path("x.sac"), default_order_sac(1, 0, 0, {}));
    expect_refused({}, "Insufficient Parameters. Exiting...");
    expect_refused({path("x.sac"), "1", "extra"}, "Too Many Parameters. Exiting...");
    for (const std::string option : {"-p", "--many"})
        expect_refused({path("x.sac"), option}, "Option " + option + " After FILE: options come before FILE, as in sactab " + option + " FILE. Exiting...");
    expect_refused({path("missing.sac")}, "Empty SAC File Found. ", "missing.sac.asc");
}

TEST_F(Converter, HelpAndVersionOnlyAsTheSoleArgument)
{
    const std::string table = "0.000000e+00\t3.000000\n";
    write_file(path("--help"), default_order_sac(1, 0, 1, {3}));
    for (const char* option : {"--help", "-h"}) {
        const RunResult help = run_sactab({option}, {.workingFolder = folder});
        EXPECT_EQ(help.status, 0);
        EXPECT_EQ(help.said.rfind("Usage: sactab [-p | --precise] [--header] [--] FILE [BYTEORDER]\n", 0), 0u) << help.said;
    }
    const RunResult version = run_sactab({"--version"}, {.workingFolder = folder});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.said.rfind("sactab ", 0), 0u);
    EXPECT_EQ(folder_entries(folder), std::set<std::string>{"--help"});
    if (!windows_program()) {
        EXPECT_EQ(run_shell("$SACTAB_EMULATOR \"$SACTAB_UNDER_TEST\" --version > /dev/full"), 1);
    }

    EXPECT_EQ(run_sactab({"./--help"}, {.workingFolder = folder}).status, 0);
    EXPECT_EQ(read_file(path("--help.asc")), table);
    std::remove(path("--help.asc").c_str());
    const std::string byteOrder = host_is_big_endian() ? "0" : "1";
    EXPECT_EQ(run_sactab({"--help", byteOrder}, {.workingFolder = folder}).status, 0);
    EXPECT_EQ(read_file(path("--help.asc")), table);

    // An option counts only before a FILE; "--" ends the options, unless it is the FILE.
    write_file(path("--"), default_order_sac(1, 0, 1, {3}));
    EXPECT_EQ(run_sactab({"--"}, {.workingFolder = folder}).said, "");
    EXPECT_EQ(read_file(path("--.asc")), table);
    write_file(path("-p"), default_order_sac(1, 0, 1, {3}));
    for (const auto& [arguments, expected] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"-p"}, table}, {{"--", "-p"}, table}, {{"-p", "--", "-p"}, "0.00000000e+00\t3.00000000e+00\n"},
             {{"--precise", "-p", byteOrder}, "0.00000000e+00\t3.00000000e+00\n"}}) {
        std::remove(path("-p.asc").c_str());
        EXPECT_EQ(run_sactab(arguments, {.workingFolder = folder}).said, "");
        EXPECT_EQ(read_file(path("-p.asc")), expected) << arguments.size();
    }
}

// Each damaged or mistaken input, and the one line that names its cause.
TEST_F(Converter, DamagedFilesAreRefusedWithTheirCauseAndTheEarlierTableKept)
{
    const std::vector<float> data(100, 0.5f);
    const auto good = default_order_sac(0.01f, 0, 100, data);
    const auto other = make_sac(0.01f, 0, 100, data, !host_is_big_endian());
    // 65,536 samples read in the wrong order are 256, which the file holds.
    const auto fitsReversed = make_sac(0.01f, 0, 65'536, std::vector<float>(65'536, 1), !host_is_big_endian());
    const std::string file = "x.sac";
    const std::string wrongOrder = "Wrong Byte Order in " + file + ": " +
                                   (host_is_big_endian() ? "the file looks little-endian, which this host does not read"
                                                         : "it reads as a big-endian SAC file; run: sactab " + file + " 0");
    std::string alphanumeric;
    while (alphanumeric.size() < 3000) alphanumeric += "      0.01000000      -1.5690000      1.5690000     -12345.000\n";
    std::string crLf; // as written on Windows
    for (char c : alphanumeric) crLf += c == '\n' ? "\r\n" : std::string(1, c);
    std::string table;
    for (int i = 0; i < 100; ++i) table += "1.000000e+00\t-2.000000\n";
    auto cut = [](Bytes bytes, std::size_t count) { return Bytes(bytes.begin(), bytes.end() - static_cast<long>(count)); };
    auto text = [](const std::string& words) { return Bytes(words.begin(), words.end()); };
    auto record = [&](const std::string& start, std::size_t size) { return text(start + std::string(size - start.size(), '\0')); };
    auto with_version = [](Bytes bytes, std::uint32_t version, bool bigEndian) {
        put_word(bytes, 304, version, bigEndian);
        return bytes;
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::string badDelta = "Invalid Sample Interval in " + file + ": DELTA is ";
    const std::string notSac = "Not a Binary SAC File " + file + ": ";
    // Instrument-corrected samples, in metres per second.
    std::vector<float> tiny(100);
    for (std::size_t i = 0; i < tiny.size(); ++i) tiny[i] = static_cast<float>(i % 5) * -1e-6f;
    tiny[5] = 8.67e-6f;
    std::vector<float> belowThreshold = tiny; // the largest sample just below 0.001, last
    belowThreshold.back() = -0.00099999f;
    Bytes appleDouble{0x00, 0x05, 0x16, 0x07, 0x00, 0x02};
    appleDouble.resize(4096);

    struct Case {
        Bytes bytes;
        std::string message;
    };
    std::vector<Case> cases{
        {{}, "Incomplete SAC Header in " + file + ": expected 632 bytes, found 0"},
        {Bytes(good.begin(), good.begin() + 631), "Incomplete SAC Header in " + file + ": expected 632 bytes, found 631"},
        {cut(good, 1), "Truncated SAC File " + file + ": expected 1032 bytes, found 1031"},
        {cut(good, 3), "Truncated SAC File " + file + ": expected 1032 bytes, found 1029"},
        {cut(good, 4), "Truncated SAC File " + file + ": expected 1032 bytes, found 1028"},
        {cut(good, 399), "Truncated SAC File " + file + ": expected 1032 bytes, found 633"},
        {default_order_sac(-12345.0f, 0, 100, data), "Truncated SAC File " + file + ": expected 1432 bytes, found 1032"},
        {default_order_sac(0.01f, 0, -5, data), "Negative Sample Count -5 in " + file},
        {other, wrongOrder},
        {cut(other, 8), wrongOrder},
        {make_sac(0.01f, 0, 128, std::vector<float>(128), !host_is_big_endian()), wrongOrder}, // count reads negative
        {fitsReversed, wrongOrder},
        {cut(fitsReversed, 4), wrongOrder},
        {record("000001D \x01", 512), notSac + "it holds miniSEED records, which must be converted to SAC first"},
        {record("000001M ", 4096), notSac + "it holds miniSEED records, which must be converted to SAC first"},
        {record("  3017R ", 4096), notSac + "it holds miniSEED records, which must be converted to SAC first"},
        {record("MS\x03\x04", 700), notSac + "it holds miniSEED records, which must be converted to SAC first"},
        {record("000001V 010", 4096), notSac + "it is a SEED volume, which must be converted to SAC first"},
        {text(alphanumeric), "Not a Binary SAC File " + file + ": it holds text, as a SAC alphanumeric file or a table does"},
        {text(table), "Not a Binary SAC File " + file + ": it holds text, as a SAC alphanumeric file or a table does"},
        {text(crLf), "Not a Binary SAC File " + file + ": it holds text, as a SAC alphanumeric file or a table does"},
        {text("A README, shorter than a header.\n"), "Not a Binary SAC File " + file + ": it holds text, as a SAC alphanumeric file or a table does"},
        {Bytes(2000, 0xFF), "Not a Binary SAC File " + file + ": its header version (word 76) is -1, not 6 or 7, in either byte order"},
        {Bytes(1 << 20, 0), notSac + "its header version (word 76) is 0, not 6 or 7, in either byte order"}, // pre-allocated
        {with_version(good, 5, host_is_big_endian()), notSac + "its header version (word 76) is 5, not 6 or 7, in either byte order"},
        {cut(with_version(good, 5, host_is_big_endian()), 9), notSac + "its header version (word 76) is 5, not 6 or 7, in either byte order"},
        // An ar archive's bytes: the count fits in the other order, the version in neither.
        {with_version(other, 0x0A3E6863, host_is_big_endian()), notSac + "its header version (word 76) is 171862115, not 6 or 7, in either byte order"},
        {with_version(other, 0, false), wrongOrder}, // an unset version: the data decide
        {default_order_sac(0, 0, 100, data), badDelta + "0, not a positive number of seconds"},
        {default_order_sac(-0.01f, 0, 100, data), badDelta + "-0.00999999978, not a positive number of seconds"},
        {default_order_sac(-12345.001f, 0, 100, data), badDelta + "-12345.001, not a positive number of seconds"},
        {default_order_sac(nan, 0, 100, data), badDelta + "nan, not a positive number of seconds"},
        {default_order_sac(-std::numeric_limits<float>::infinity(), 0, 100, data), badDelta + "-inf, not a positive number of seconds"},
        {default_order_sac(0.01f, 0, 100, tiny), "Samples Too Small for Six Decimals in " + file + ": the largest is 8.670000e-06; run: sactab -p " + file},
        {default_order_sac(0.01f, 0, 100, belowThreshold), "Samples Too Small for Six Decimals in " + file + ": the largest is 9.999900e-04; run: sactab -p " + file},
        {default_order_sac(0.01f, nan, 100, data), "Invalid Begin Time in " + file + ": B is nan, not a number of seconds"},
        {default_order_sac(0.01f, -std::numeric_limits<float>::infinity(), 100, data), "Invalid Begin Time in " + file + ": B is -inf, not a number of seconds"},
        // A version left 0 needs a plausible interval and samples, in the order read.
        {with_version(make_sac(0.025f, 0, 100, data, !host_is_big_endian()), 0, false), wrongOrder},
        {with_version(default_order_sac(6.8e-33f, 0, 100, data), 0, false), notSac + "its header version (word 76) is 0, not 6 or 7, in either byte order"},
        {with_version(default_order_sac(0.01f, 0, 0, {}), 0, false), notSac + "its header version (word 76) is 0, not 6 or 7, in either byte order"},
        {appleDouble, notSac + "it is macOS metadata (an AppleDouble file), not a recording"},
        {Bytes(appleDouble.begin(), appleDouble.begin() + 176), notSac + "it is macOS metadata (an AppleDouble file), not a recording"},
        {default_order_sac(-12345.0f, 0, 3, {1, 2, 3, 100000.0f, 100000.02f, 100000.04f}), "Times Too Close for Seven Digits in " + file +
                                                      ": from 1.000000e+05 on, lines 0.0234375 s apart print the same time; run: sactab -p " + file},
        {default_order_sac(0.005f, 9999, 400, std::vector<float>(400, 0.5f)), "Times Too Close for Seven Digits in " + file + // across 10^4 in a block
                                                     ": from 1.000000e+04 on, lines 0.005 s apart print the same time; run: sactab -p " + file},
        {default_order_sac(0.005f, 10000, 100, data), "Times Too Close for Seven Digits in " + file +
                                                      ": from 1.000000e+04 on, lines 0.005 s apart print the same time; run: sactab -p " + file},
    };
    // Compressed by the tools themselves, where they are installed; each
    // also under a name with the tool's suffix and one that needs quoting.
    const std::string odd = "-big ü'it's.SAC";
    struct Paste {
        std::string file;
        Bytes bytes;
        std::vector<std::string> arguments;
        std::string converted; // the file whose table the pasted command writes
        std::string table;
    };
    std::vector<Paste> pastes;
    write_file(path("plain"), good);
    for (auto [tool, unpack, suffix] : {std::tuple{"gzip", "gunzip", ".gz"}, {"bzip2", "bunzip2", ".bz2"}, {"xz", "unxz", ".xz"}, {"zstd", "unzstd", ".zst"}}) {
        if (run_shell(std::string(tool) + " -c -q plain > packed", folder) != 0) continue;
        const Bytes packed = text(read_file(path("packed")).value_or(""));
        cases.push_back({packed, notSac + "it is compressed with " + tool + "; decompress it first, for example with " + unpack +
                                     " -c " + file + " > " + file + ".unpacked && sactab " + file + ".unpacked"});
        const std::string suffixed = "event 1.sac" + std::string(suffix);
        pastes.push_back({suffixed, packed, {suffixed}, "event 1.sac", reference_table(0.01f, 0, data)});
        pastes.push_back({odd, packed, {"--", odd}, odd + ".unpacked", reference_table(0.01f, 0, data)});
    }
    write_file(path("x.sac.asc"), earlierTable);
    for (const Case& bad : cases) {
        write_file(path(file), bad.bytes);
        expect_refused({file}, bad.message + ". Exiting...");
    }
    if (!host_is_big_endian()) {
        for (const auto& little : {good, make_sac(0.01f, 0, 65'536, std::vector<float>(65'536, 1), false)}) {
            write_file(path(file), little);
            expect_refused({file, "0"}, "Wrong Byte Order in " + file + ": it reads as a little-endian SAC file; run: sactab " + file + " 1. Exiting...");
        }
        write_file(path(file), other);
        expect_refused({"-p", file}, "Wrong Byte Order in " + file + ": it reads as a big-endian SAC file; run: sactab -p " + file + " 0. Exiting...");
    }
    // -p times keep as many digits as lines need; only times equal as doubles are refused.
    write_file(path(file), default_order_sac(1e-8f, 1.7e9f, 100, data));
    expect_refused({"-p", file}, "Times Too Close in " + file + ": from 1.700000e+09 on, lines 1e-08 s apart are the same time even in double precision. Exiting...");
    // A path a shell would split, and that looks like an option: each
    // suggested command, pasted, converts.
    pastes.push_back({odd, make_sac(0.01f, 0, 100, tiny, true), {odd, "0"}, odd, reference_table(0.01f, 0, tiny, true)});
    pastes.push_back({odd, default_order_sac(0.005f, 10000, 100, data), {"--", odd}, odd, reference_table(0.005f, 10000, data, true)});
    pastes.push_back({odd, default_order_sac(0.01f, 1.7e9f, 100, data), {"--", odd}, odd, reference_table(0.01f, 1.7e9f, data, true)});
    if (!host_is_big_endian()) {
        pastes.push_back({odd, other, {"--", odd}, odd, reference_table(0.01f, 0, data)});
        pastes.push_back({odd, good, {"--", odd, "0"}, odd, reference_table(0.01f, 0, data)});
    }
    // Shown and pasted as $'...', which bash reads: control bytes, a control
    // byte before a digit, bytes that are no UTF-8.
    const std::vector<std::string> escaped{"tab\there\x1B[2J.sac", "x\x01" "2.sac", "\xFF\xFE.sac"};
    for (const std::string& name : escaped)
        if (!windows_program())
            pastes.push_back({name, make_sac(0.01f, 0, 100, tiny, true), {name, "0"}, name, reference_table(0.01f, 0, tiny, true)});
    for (const Paste& paste : pastes) {
        write_file(path(paste.file), paste.bytes);
        const RunResult run = run_sactab(paste.arguments, {.workingFolder = folder});
        const std::size_t with = run.said.find("for example with ");
        const std::size_t command = with != std::string::npos ? with + 17 : run.said.find("run: ") + 5;
        ASSERT_TRUE(command > 5 && command < run.said.size()) << run.said;
        EXPECT_EQ(run_shell("sactab() { $SACTAB_EMULATOR \"$SACTAB_UNDER_TEST\" \"$@\"; }; " +
                                run.said.substr(command, run.said.size() - command - (sizeof ". Exiting...\n" - 1)),
                            folder, std::count(escaped.begin(), escaped.end(), paste.file) != 0 ? "bash" : "/bin/sh"),
                  0) << run.said;
        EXPECT_EQ(read_file(path(paste.converted + ".asc")), paste.table) << run.said;
        for (const std::string& made : {paste.file, paste.converted, paste.converted + ".asc"}) std::remove(path(made).c_str());
    }

    // Windows does not open a folder as a file: "Empty SAC File Found. ".
    mkdir(path("dir.sac").c_str(), 0755);
    if (!windows_program()) expect_refused({path("dir.sac")}, "Cannot Read SAC File " + path("dir.sac") + ": Is a directory. Exiting...", "dir.sac.asc");
    // A name that would split the message and pose as another: one line.
    const std::string twoLines = "x.sac: ok\nTruncated.sac";
    write_file(path(twoLines), cut(good, 1));
    if (!windows_program())
        expect_refused({twoLines}, "Truncated SAC File $'x.sac: ok\\nTruncated.sac': expected 1032 bytes, found 1031. Exiting...", twoLines + ".asc");
    for (const auto& [name, shownName] : {std::pair{escaped[1], "$'x\\0012.sac'"}, {escaped[2], "$'\\377\\376.sac'"}}) {
        write_file(path(name), cut(good, 1));
        if (!windows_program())
            expect_refused({name}, "Truncated SAC File " + std::string(shownName) + ": expected 1032 bytes, found 1031. Exiting...", name + ".asc");
    }

}

// -m: every file in the byte order its header says, on any host; each
// failure one line that names its file (suggestions with -m, which finds
// the order again); each table what the one-file form writes; a failed
// file's earlier table kept, and nothing else left.
TEST_F(Converter, ManyFilesEachInTheByteOrderItsHeaderSays)
{
    const std::vector<float> even{1.5f, -2, 1000, 0.25f};
    const std::vector<float> uneven{1.5f, -2, 0.5f, 0.75f}; // samples, then x values
    struct Member {
        std::string name;
        Bytes bytes;
        std::vector<float> data; // a recording's
        std::string failure;     // or the line that names it, without ". Exiting..."
    };
    const auto sac = [&](const std::vector<float>& data, bool bigEndian) {
        return data == uneven ? make_sac(-12345.0f, 0, 2, data, bigEndian) : make_sac(0.01f, 2, 4, data, bigEndian);
    };
    auto cut = sac(even, true);
    cut.pop_back();
    Bytes gzipped{0x1F, 0x8B, 8, 0};
    gzipped.resize(700);
    for (const bool precise : {false, true}) {
        const std::string options = precise ? "-m -p " : "-m ";
        const std::vector<Member> members{
            {"-big.sac", sac(even, true), even, ""},
            {"little.sac", sac(even, false), even, ""},
            {"notes.txt", Bytes{'o', 'k', '\n'}, {}, "Not a Binary SAC File notes.txt: it holds text, as a SAC alphanumeric file or a table does"},
            {"big uneven.sac", sac(uneven, true), uneven, ""},
            {"cut.sac", cut, {}, "Truncated SAC File cut.sac: expected 648 bytes, found 647"},
            {"event.sac.gz", gzipped, {}, "Not a Binary SAC File event.sac.gz: it is compressed with gzip; decompress it first, for example with gunzip -k event.sac.gz && sactab " + options + "event.sac"},
            {"missing.sac", {}, {}, "Cannot Open SAC File missing.sac: No such file or directory"},
            {"little uneven.sac", sac(uneven, false), uneven, ""},
        };
        std::vector<std::string> arguments = precise ? std::vector<std::string>{"-p", "--many"} : std::vector<std::string>{"-m", "--"};
        std::string said;
        for (const Member& member : members) {
            if (member.name != "missing.sac") write_file(path(member.name), member.bytes);
            arguments.push_back(member.name);
            if (!member.failure.empty()) said += member.failure + ". Exiting...\n";
        }
        write_file(path("cut.sac.asc"), earlierTable);
        const RunResult run = run_sactab(arguments, {.workingFolder = folder});
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.said, said);
        std::set<std::string> entries{"cut.sac.asc"};
        for (const Member& member : members) {
            SCOPED_TRACE(options + member.name);
            if (member.name != "missing.sac") entries.insert(member.name);
            if (member.data.empty()) continue;
            entries.insert(member.name + ".asc");
            const float delta = member.data == uneven ? -12345.0f : 0.01f;
            EXPECT_EQ(first_difference(read_file(path(member.name + ".asc")).value_or(""),
                                       reference_table(delta, delta < 0 ? 0.0f : 2.0f, member.data, precise)), "");
        }
        EXPECT_EQ(read_file(path("cut.sac.asc")), earlierTable);
        EXPECT_EQ(folder_entries(folder), entries);
    }
    const RunResult allGood = run_sactab({"-m", "little.sac", "-big.sac"}, {.workingFolder = folder});
    EXPECT_EQ(std::pair(allGood.status, allGood.said), std::pair(0, std::string()));
}

// --header: comment lines, each key from its header words or left out, then
// exactly the table of a run without it.
TEST_F(Converter, HeaderLinesDescribeTheRecordingBeforeTheSameTable)
{
    const auto with_fields = [](Bytes file, bool bigEndian, bool defined, std::vector<std::pair<std::size_t, std::uint32_t>> words,
                                std::vector<std::pair<std::size_t, std::string>> texts) {
        const auto bits = [](float value) { return std::bit_cast<std::uint32_t>(value); };
        const std::uint32_t none = static_cast<std::uint32_t>(-12345);
        if (defined) {
            words.insert(words.begin(), {{31, bits(34.9459f)}, {32, bits(-106.4572f)}, {33, bits(1850)}, {70, 2010}, {71, 58},
                                         {72, 6}, {73, 34}, {74, 14}, {75, 5}, {86, 7}});
            texts.insert(texts.begin(), {{440, "ANMO    "}, {464, "00      "}, {600, "BHZ     "}, {608, "IU      "}});
        } else {
            words.insert(words.begin(), {{70, none}, {71, none}, {72, none}, {73, none}, {74, none}, {75, none}, {86, none}});
            texts.insert(texts.begin(), {{440, "-12345  "}, {464, "-12345  "}, {600, "-12345  "}, {608, "-12345  "}});
        }
        for (const auto& [word, value] : words) put_word(file, 4 * word, value, bigEndian);
        for (const auto& [offset, text] : texts) std::copy(text.begin(), text.end(), file.begin() + static_cast<long>(offset));
        return file;
    };
    const std::vector<float> data{1, -2, 3};
    const std::vector<float> uneven{1, -2, 3, 10, 20.5f, 30};
    const std::string sid = "# SID: IU_ANMO_00_BHZ\n";
    const std::string reference = "# reference_time: 2010-02-27T06:34:14.005Z\n";
    const std::string sampling = "# sample_interval_s: 0.0500000007\n# sample_rate_hz: 19.9999997\n# sample_count: 3\n";
    const std::string station = "# latitude_deg: 34.9459\n# longitude_deg: -106.4572\n# elevation_m: 1850\n# field_unit: nm/s\n";
    const std::string timeColumns = "# columns: time in seconds after reference_time, value\n";
    struct Row {
        Bytes file;
        std::string lines; // after "# source: x.sac"
    };
    const Row rows[] = {
        {with_fields(make_sac(0.05f, -1.5f, 3, data, false), false, true, {}, {}),
         sid + reference + "# start_time: 2010-02-27T06:34:12.505000Z\n" + sampling + station + timeColumns},
        {with_fields(make_sac(0.05f, -1.5f, 3, data, true), true, true, {}, {}),
         sid + reference + "# start_time: 2010-02-27T06:34:12.505000Z\n" + sampling + station + timeColumns},
        {with_fields(make_sac(0.05f, -1.5f, 3, data, false), false, false, {}, {}), sampling + "# columns: time in seconds, value\n"},
        {with_fields(make_sac(-12345.0f, 0, 3, uneven, false), false, true, {}, {}),
         sid + reference + "# start_time: 2010-02-27T06:34:24.005000Z\n# sample_count: 3\n" + station + "# columns: x, value\n"},
        // Out of range: day 400, a station with ESC, a latitude of 95.
        {with_fields(make_sac(0.05f, -1.5f, 3, data, false), false, true, {{71, 400}, {31, std::bit_cast<std::uint32_t>(95.0f)}}, {{440, "AN\x1BMO   "}}),
         "# SID: IU__00_BHZ\n" + sampling + station.substr(station.find("# longitude")) + "# columns: time in seconds, value\n"},
        {with_fields(make_sac(0.05f, -1.5f, 3, data, false), false, true, {{72, 25}, {86, 5}}, {}),
         sid + sampling + station.substr(0, station.find("# field")) + "# field_unit: unknown\n# columns: time in seconds, value\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.lines);
        write_file(path("x.sac"), row.file);
        ASSERT_EQ(run_sactab({"-m", "x.sac"}, {.workingFolder = folder}).said, "");
        const std::string table = read_file(path("x.sac.asc")).value_or("");
        for (const bool precise : {false, true}) {
            const RunResult run = run_sactab(precise ? std::vector<std::string>{"--header", "-m", "-p", "x.sac"} : std::vector<std::string>{"--header", "-m", "x.sac"},
                                             {.workingFolder = folder});
            const std::string expected = precise ? reference_table(row.lines.find("x, value") != std::string::npos ? -12345.0f : 0.05f,
                                                                   -1.5f, row.lines.find("x, value") != std::string::npos ? uneven : data, true)
                                                 : table;
            EXPECT_EQ(run.said, "");
            EXPECT_EQ(read_file(path("x.sac.asc")), "# source: x.sac\n" + row.lines + expected);
        }
    }
}

// Past 2 GiB, which 32-bit hosts must reach too: a sparse file whose header
// declares more than it holds.
TEST_F(Converter, ATruncatedFilePast2GiBIsMeasuredInFull)
{
    write_file(path("big.sac"), default_order_sac(0.01f, 0, 600'000'255, {}));
    struct stat big {};
    if (truncate(path("big.sac").c_str(), 2'200'000'000) != 0 || stat(path("big.sac").c_str(), &big) != 0 ||
        big.st_blocks > 8192)
        GTEST_SKIP() << "the file system under TMPDIR makes no sparse files";
    expect_refused({path("big.sac")}, "Truncated SAC File " + path("big.sac") +
                                          ": expected 2400001652 bytes, found 2200000000. Exiting...", "big.sac.asc");
}

TEST_F(Converter, TrailingBytesEmptyDataAndOddHeadersConvert)
{
    auto file = default_order_sac(0.5f, 0, 2, {1, -2});
    file.insert(file.end(), {9, 9, 9, 9, 9, 9, 9});
    write_file(path("x.sac"), file);
    expect_converted({path("x.sac")}, "0.000000e+00\t1.000000\n5.000000e-01\t-2.000000\n");
    write_file(path("x.sac"), default_order_sac(0.5f, 0, 0, {}));
    expect_converted({path("x.sac")}, "");
    // An undefined B counts from 0; a DELTA whose first bytes look like
    // gzip's, in a file whose version says SAC, is only a DELTA.
    write_file(path("x.sac"), default_order_sac(0.5f, -12345.0f, 2, {1, -2}));
    expect_converted({path("x.sac")}, "0.000000e+00\t1.000000\n5.000000e-01\t-2.000000\n");
    const float gzipLike = std::bit_cast<float>(host_is_big_endian() ? 0x1F8B0800u : 0x3C238B1Fu);
    write_file(path("x.sac"), default_order_sac(gzipLike, 0, 2, {1, -2}));
    expect_converted({path("x.sac")}, reference_table(gzipLike, 0, {1, -2}));
    // Equal x values are the file's own; the only large sample last in its
    // lanes, or every large sample negative, keeps six decimals.
    write_file(path("x.sac"), default_order_sac(-12345.0f, 0, 2, {1, 2, 5, 5}));
    expect_converted({path("x.sac")}, "5.000000e+00,\t1.000000\n5.000000e+00,\t2.000000\n");
    for (const std::size_t count : {17u, 32u}) {
        std::vector<float> quiet(count - 1, 1e-6f);
        quiet.push_back(5);
        std::vector<float> negative(count, -7.0f);
        for (const auto& data : {quiet, negative}) {
            write_file(path("x.sac"), default_order_sac(0.5f, 0, static_cast<std::int32_t>(count), data));
            expect_converted({path("x.sac")}, reference_table(0.5f, 0, data));
        }
    }
}

// A symbolic link in the table's place is replaced by a new table, never
// written through and never asked for its target's mode.
TEST_F(Converter, ReplacesAnEarlierTableButNeverThroughASymlink)
{
    const auto file = default_order_sac(0.5f, 0, 2, {1, -2});
    const std::string table = "0.000000e+00\t1.000000\n5.000000e-01\t-2.000000\n";
    const mode_t mask = umask(0);
    umask(mask);
    const mode_t newTableMode = 0666 & ~mask;
    write_file(path("x.sac"), file);
    chmod(path("x.sac").c_str(), newTableMode == 0640 ? 0600 : 0640);
    write_file(path("x.sac.asc"), earlierTable);
    expect_converted({path("x.sac")}, table);
    SKIP_ON_WINDOWS();
    mkdir(path("folder").c_str(), 0755);
    for (const char* target : {"x.sac", "folder"}) {
        std::remove(path("x.sac.asc").c_str());
        ASSERT_EQ(symlink(target, path("x.sac.asc").c_str()), 0);
        expect_converted({path("x.sac")}, table);
        struct stat status {};
        lstat(path("x.sac.asc").c_str(), &status);
        EXPECT_TRUE(S_ISREG(status.st_mode) && (status.st_mode & 0777) == newTableMode) << target;
    }
    EXPECT_EQ(read_file(path("x.sac")), std::string(file.begin(), file.end()));
    EXPECT_EQ(folder_entries(folder), (std::set<std::string>{"x.sac", "x.sac.asc", "folder"}));
    EXPECT_EQ(folder_entries(path("folder")), std::set<std::string>{});
    // A recording named rec.asc, reached through a link named rec, is never its own table.
    rename(path("x.sac").c_str(), path("rec.asc").c_str());
    ASSERT_EQ(symlink("rec.asc", path("rec").c_str()), 0);
    expect_refused({"rec"}, "Cannot Create Output File rec.asc: it is the input file itself. Exiting...", "rec.asc");
}

// A replaced table keeps what its owner set: its mode always, its owner and
// group where the process may; one its owner made read-only is refused.
TEST_F(Converter, ReplacedTableKeepsModeOwnerAndWriteProtection)
{
    const std::string table = "0.000000e+00\t3.000000\n";
    write_file(path("x.sac"), default_order_sac(1, 0, 1, {3}));
    // Set-id and sticky bits are never handed on to a new table. Windows has
    // the read-only attribute alone, which wine shows as mode 0444.
    for (mode_t mode : windows_program() ? std::vector<mode_t>{0444u} : std::vector<mode_t>{0600u, 0640u, 06755u, 01666u, 0444u}) {
        write_file(path("x.sac.asc"), earlierTable);
        ASSERT_EQ(chmod(path("x.sac.asc").c_str(), mode), 0);
        if (mode == 0444 && (geteuid() != 0 || windows_program())) {
            expect_refused({path("x.sac")}, "Cannot Create Output File " + path("x.sac.asc") + ": Permission denied. Exiting...");
            continue;
        }
        expect_converted({path("x.sac")}, table);
        struct stat status {};
        stat(path("x.sac.asc").c_str(), &status);
        EXPECT_EQ(status.st_mode & 07777, mode & 0777) << std::oct << mode;
    }
    SKIP_ON_WINDOWS();
    if (geteuid() != 0) GTEST_SKIP() << "owners and other users need root";
    constexpr int nobody = 65534;
    chmod(path("x.sac.asc").c_str(), 0644);
    ASSERT_EQ(chown(path("x.sac.asc").c_str(), 1234, 5678), 0);
    expect_converted({path("x.sac")}, table);
    struct stat status {};
    stat(path("x.sac.asc").c_str(), &status);
    EXPECT_EQ(std::pair(status.st_uid, status.st_gid), std::pair(uid_t{1234}, gid_t{5678}));
    // Another user may not replace a table it could not have written. It
    // runs a copy of the program, which may lie where that user cannot go.
    chmod(folder.c_str(), 0777);
    chmod(path("x.sac").c_str(), 0644);
    write_file(path("x.sac.asc"), earlierTable);
    const RunResult run = run_sactab({path("x.sac")}, {.user = nobody, .program = copy_program(folder)});
    if (run.status == 127) GTEST_SKIP() << "user " << nobody << " cannot reach " << folder;
    EXPECT_EQ(run.said, "Cannot Create Output File " + path("x.sac.asc") + ": Permission denied. Exiting...\n");
    EXPECT_EQ(read_file(path("x.sac.asc")), earlierTable);
    // In a sticky folder (/tmp) a writable table of another user cannot be replaced.
    chmod(folder.c_str(), 01777);
    chmod(path("x.sac.asc").c_str(), 0666);
    EXPECT_EQ(run_sactab({path("x.sac")}, {.user = nobody, .program = copy_program(folder)}).said,
              "Cannot Create Output File " + path("x.sac.asc") + ": Operation not permitted. Exiting...\n");
    EXPECT_EQ(read_file(path("x.sac.asc")), earlierTable);
    // A table its group may write, in a folder that gives new files another
    // group: a group member replaces it and keeps the group, not the owner.
    ASSERT_EQ(chown(folder.c_str(), 0, 5678) | chmod(folder.c_str(), 02777), 0);
    ASSERT_EQ(chown(path("x.sac.asc").c_str(), 1234, nobody) | chmod(path("x.sac.asc").c_str(), 0664), 0);
    EXPECT_EQ(run_sactab({path("x.sac")}, {.user = nobody, .program = copy_program(folder)}).said, "");
    stat(path("x.sac.asc").c_str(), &status);
    EXPECT_EQ(std::pair(status.st_uid, status.st_gid), std::pair(uid_t{nobody}, gid_t{nobody}));
    EXPECT_EQ(read_file(path("x.sac.asc")), table);
}

TEST_F(Converter, TwoRunsOnOneFileLeaveOneWholeTable)
{
    const std::vector<float> data(200'000, 1.5f);
    write_file(path("x.sac"), default_order_sac(0.01f, 0, 200'000, data));
    for (int round = 0; round < 5; ++round) {
        int outputs[2];
        pid_t children[2];
        for (int i = 0; i < 2; ++i) children[i] = start_sactab({path("x.sac")}, outputs[i]);
        for (int i = 0; i < 2; ++i) {
            const RunResult run = finish_sactab(children[i], outputs[i]);
            EXPECT_EQ(run.status, 0) << run.said;
        }
    }
    EXPECT_EQ(first_difference(read_file(path("x.sac.asc")).value_or(""), reference_table(0.01f, 0, data)), "");
    EXPECT_EQ(folder_entries(folder), (std::set<std::string>{"x.sac", "x.sac.asc"}));
}

TEST_F(Converter, LongPathsAndAnOutputNameTakenByAFolder)
{
    // At least 300 characters, with no name longer than 70, however long
    // TMPDIR is; and a table path of 4,090 bytes, whose temporary's path
    // would be longer than PATH_MAX.
    for (const std::size_t wanted : windows_program() ? std::vector<std::size_t>{300} : std::vector<std::size_t>{300, 4086}) {
        const std::size_t length = std::max<std::size_t>(wanted, folder.size() + 71);
        std::string longPath = folder;
        while (longPath.size() < length - 70) {
            longPath += "/" + std::string(60, 'd');
            mkdir(longPath.c_str(), 0755);
        }
        longPath += "/" + std::string(length - 1 - longPath.size(), 'f');
        write_file(longPath, default_order_sac(1, 0, 1, {3}));
        expect_converted({longPath}, "0.000000e+00\t3.000000\n");
    }
    // A table name of the file system's 255 bytes converts; a longer one is refused at once.
    write_file(path(std::string(251, 'n')), default_order_sac(1, 0, 1, {3}));
    expect_converted({path(std::string(251, 'n'))}, "0.000000e+00\t3.000000\n");
    const std::string longName(252, 'n');
    write_file(path(longName), default_order_sac(1, 0, 1, {3}));
    expect_refused({longName}, "Cannot Create Output File " + longName + ".asc: File name too long. Exiting...", "x.sac.asc");

    write_file(path("x.sac"), default_order_sac(1, 0, 1, {3}));
    mkdir(path("x.sac.asc").c_str(), 0755);
    expect_refused({path("x.sac")}, "Cannot Create Output File " + path("x.sac.asc") + ": Is a directory. Exiting...");

    // Windows spellings of one file: backslashes, a drive letter (wine's Z:
    // is /), a name in another script; the table lands beside it, alone.
    if (!windows_program()) return;
    mkdir(path("sub").c_str(), 0755);
    write_file(path("sub/地震.sac"), default_order_sac(1, 0, 1, {3}));
    std::string drivePath = "Z:" + path("sub/地震.sac");
    std::replace(drivePath.begin(), drivePath.end(), '/', '\\');
    for (const std::string& spelled : {std::string("sub\\地震.sac"), drivePath, "\\\\?\\" + drivePath}) {
        std::remove(path("sub/地震.sac.asc").c_str());
        EXPECT_EQ(run_sactab({spelled}, {.workingFolder = folder}).said, "") << spelled;
        EXPECT_EQ(read_file(path("sub/地震.sac.asc")), "0.000000e+00\t3.000000\n") << spelled;
        EXPECT_EQ(folder_entries(path("sub")), (std::set<std::string>{"地震.sac", "地震.sac.asc"}));
    }
    // An input at the root of a drive, Y: made the test's folder.
    const std::string drive = env_or("WINEPREFIX", "") + "/dosdevices/y:";
    std::remove(drive.c_str());
    ASSERT_EQ(symlink(folder.c_str(), drive.c_str()), 0);
    write_file(path("root.sac"), default_order_sac(1, 0, 1, {3}));
    EXPECT_EQ(run_sactab({"Y:\\root.sac"}).said, "");
    EXPECT_EQ(read_file(path("root.sac.asc")), "0.000000e+00\t3.000000\n");
    std::remove(drive.c_str());
}

TEST_F(Converter, StreamsFromANamedPipe)
{
    const std::vector<float> data{1, -2, 10, 20};
    const std::string fifo = path("x.sac");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    write_file(path("x.sac.asc"), earlierTable);

    // A whole file through the pipe converts.
    std::thread writer([&] { write_file(fifo, default_order_sac(-12345.0f, 0, 2, data)); });
    expect_converted({fifo}, "1.000000e+01,\t1.000000\n2.000000e+01,\t-2.000000\n");
    writer.join();

    // A stream that ends early is found at its end.
    write_file(path("x.sac.asc"), earlierTable);
    auto shortFile = default_order_sac(-12345.0f, 0, 2, data);
    shortFile.pop_back();
    writer = std::thread([&] { write_file(fifo, shortFile); });
    expect_refused({fifo}, "Truncated SAC File " + fifo + ": expected 648 bytes, found 647. Exiting...");
    writer.join();
}

TEST_F(Converter, EndedWhileWaitingOnAPipeLeavesTheEarlierTable)
{
    const std::string fifo = path("x.sac");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    write_file(path("done.sac"), default_order_sac(1, 0, 1, {3}));
    // Under wine only the console's signals apply (wine keeps SIGUSR1 for itself).
    for (int signalNumber : windows_program() ? std::vector<int>{SIGINT, SIGTERM}
                                              : std::vector<int>{SIGINT, SIGTERM, SIGUSR1, SIGHUP, SIGQUIT, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF, SIGXCPU}) {
        write_file(path("x.sac.asc"), earlierTable);
        std::remove(path("done.sac.asc").c_str());
        // Some runs are of many files, the pipe after one already converted, which stays.
        const bool many = signalNumber == SIGINT || signalNumber == SIGHUP;
        int output = -1;
        const pid_t child = start_sactab(many ? std::vector<std::string>{"-m", path("done.sac"), fifo} : std::vector<std::string>{fifo}, output);
        const int pipeEnd = open(fifo.c_str(), O_WRONLY);
        // Four times what a pipe holds: once the write returns, the program
        // has read samples, so its table is being written; then it waits.
        const auto head = default_order_sac(1, 0, 1'000'000, std::vector<float>(65'536, 1));
        const ssize_t written = write(pipeEnd, head.data(), head.size());
        // A named temporary is private until it is the table.
        for (const std::string& entry : folder_entries(folder)) {
            struct stat status {};
            if (entry.starts_with(".sactab-") && stat(path(entry).c_str(), &status) == 0 && !windows_program()) {
                EXPECT_EQ(status.st_mode & 0777, 0600u) << entry;
            }
        }
        kill(child, signalNumber);
        const RunResult run = finish_sactab(child, output);
        close(pipeEnd);
        EXPECT_EQ(written, static_cast<ssize_t>(head.size())) << run.said;
        // Under wine, SIGINT is a Ctrl-C, which ends with STATUS_CONTROL_C_EXIT.
        EXPECT_EQ(run.status, windows_program() && signalNumber == SIGINT ? 0x3A : 128 + signalNumber);
        EXPECT_EQ(read_file(path("x.sac.asc")), earlierTable);
        EXPECT_EQ(read_file(path("done.sac.asc")), many ? std::optional<std::string>("0.000000e+00\t3.000000\n") : std::nullopt);
        // Under wine the server closes a dead process's handles, and so
        // deletes its temporary, a moment after the process is gone.
        std::set<std::string> expected{"x.sac", "x.sac.asc", "done.sac"};
        if (many) expected.insert("done.sac.asc");
        for (int wait = 0; windows_program() && wait < 200 && folder_entries(folder) != expected; ++wait) usleep(10'000);
        EXPECT_EQ(folder_entries(folder), expected);
    }
}

// A write that fails midway (a file size limit, with SIGXFSZ at its default
// as batch systems leave it, stands in for a full disk, through the same
// path) leaves the earlier table and no stray file.
TEST_F(Converter, FailedWriteKeepsTheEarlierTable)
{
    SKIP_ON_WINDOWS();
    write_file(path("x.sac"), default_order_sac(1, 0, 100'000, std::vector<float>(100'000, 1)));
    write_file(path("x.sac.asc"), earlierTable);
    expect_refused({"x.sac"}, "Cannot Write Output File x.sac.asc: File too large. Exiting...", "x.sac.asc",
                   {.fileSizeLimit = 1 << 20});
    // With -m, that file fails and the next one converts.
    write_file(path("small.sac"), default_order_sac(1, 0, 1, {3}));
    const RunResult run = run_sactab({"-m", "x.sac", "small.sac"}, {.workingFolder = folder, .fileSizeLimit = 1 << 20});
    EXPECT_EQ(std::pair(run.status, run.said), std::pair(1, std::string("Cannot Write Output File x.sac.asc: File too large. Exiting...\n")));
    EXPECT_EQ(read_file(path("small.sac.asc")), "0.000000e+00\t3.000000\n");
    EXPECT_EQ(read_file(path("x.sac.asc")), earlierTable);
}

// A file in / has its table in /, not in a folder with an empty name: run in
// a folder made / by chroot.
TEST_F(Converter, AnInputInTheRootFolderHasItsTableThere)
{
    if (geteuid() != 0 || !env_or("SACTAB_EMULATOR", "").empty()) GTEST_SKIP() << "needs root and a native program";
    write_file(path("x.sac"), default_order_sac(1, 0, 1, {3}));
    write_file(path("x.sac.asc"), earlierTable);
    copy_program(folder);
    const RunResult run = run_sactab({"/x.sac"}, {.program = "/sactab", .rootFolder = folder});
    if (run.status == 127) GTEST_SKIP() << "the program is not static, so it does not run in an empty folder";
    EXPECT_EQ(run.status, 0) << run.said;
    EXPECT_EQ(read_file(path("x.sac.asc")), "0.000000e+00\t3.000000\n");
    EXPECT_EQ(folder_entries(folder), (std::set<std::string>{"sactab", "x.sac", "x.sac.asc"}));
}

// The job-array script on the private Slurm that tests/run_all.sh starts as
// root: every listed file converted, every failure named, the job failed.
TEST_F(Converter, SlurmArrayConvertsItsListAndNamesEveryFailure)
{
    if (env_or("SACTAB_SLURM_TEST", "") != "1") GTEST_SKIP() << "no private Slurm (tests/run_all.sh starts one as root)";
    const std::vector<std::string> bad{path("missing.sac"), path("cut short.sac"), path("notes.txt")};
    write_file(bad[1], default_order_sac(0.01f, 0, 10, {1, 2}));
    write_file(bad[2], std::string("not a recording\n"));
    std::string list;
    std::vector<std::pair<std::string, std::vector<float>>> good;
    for (std::size_t i = 0; i < 300; ++i) {
        const auto sample = static_cast<float>(i);
        good.push_back({path((i == 7 ? "with space " : "event") + std::to_string(i) + ".sac"), std::vector<float>(i % 40, sample)});
        write_file(good.back().first, default_order_sac(0.01f, sample, static_cast<std::int32_t>(i % 40), good.back().second));
        list += good.back().first + "\n" + (i % 100 == 50 ? bad[i / 100] + "\n" : "");
    }
    write_file(path("list"), list);
    setenv("SACTAB_SCRIPT", SACTAB_SOURCE_DIR "/examples/slurm/sactab-array.sbatch", 1);
    // A strided array, with precise tables: every line converted once.
    const auto submit = [&](const std::string& array) {
        return run_shell("SACTAB=\"$SACTAB_UNDER_TEST\" sbatch -Q --wait --array=" + array +
                             " --cpus-per-task=2 -o 'slurm-%a.out' \"$SACTAB_SCRIPT\" -p list",
                         folder);
    };
    EXPECT_NE(submit("0-6:2"), 0);
    for (const auto& [file, data] : good)
        ASSERT_EQ(first_difference(read_file(file + ".asc").value_or("none\n"), reference_table(0.01f, data.empty() ? 0.0f : data[0], data, true)), "") << file;
    std::string said;
    for (int task = 0; task <= 6; task += 2) said += read_file(path("slurm-" + std::to_string(task) + ".out")).value_or("");
    for (const auto& file : bad) EXPECT_NE(said.find(file + ": "), std::string::npos) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 3) << said;
    // A list of tasks that cannot share the lines evenly converts nothing.
    std::remove(good[0].first.append(".asc").c_str());
    EXPECT_NE(submit("1,2,5"), 0);
    EXPECT_FALSE(read_file(good[0].first));
    for (const char* task : {"1", "2", "5"})
        EXPECT_NE(read_file(path("slurm-" + std::string(task) + ".out")).value_or("").find("no range"), std::string::npos) << task;
}
