// The built program's command line and messages: options, byte orders,
// many files, comment lines.
#include "e2e_fixture.hpp"

using namespace sactest;

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
