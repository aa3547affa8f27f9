// The built program on damaged and foreign input, and its tables against
// printf's.
#include "e2e_fixture.hpp"

using namespace sactest;

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
    auto text = [](const std::string& words) { return Bytes(words.begin(), words.end()); };
    auto record = [&](const std::string& start, std::size_t size) { return text(start + std::string(size - start.size(), '\0')); };
    auto with_version = [](Bytes bytes, std::uint32_t version, bool bigEndian) {
        put_word(bytes, 304, version, bigEndian);
        return bytes;
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::string badDelta = "Invalid Sample Interval in " + file + ": DELTA is ";
    const std::string notSac = "Not a Binary SAC File " + file + ": ";
    const std::vector<float> tiny = corrected_samples();
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
    write_file(path("x.sac.asc"), earlierTable);
    for (const Case& bad : cases) {
        SCOPED_TRACE(bad.message);
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
    // Windows does not open a folder as a file: "Empty SAC File Found. ".
    mkdir(path("dir.sac").c_str(), 0755);
    if (!windows_program()) expect_refused({path("dir.sac")}, "Cannot Read SAC File " + path("dir.sac") + ": Is a directory. Exiting...", "dir.sac.asc");
    // A name that would split the message and pose as another: one line.
    const std::string twoLines = "x.sac: ok\nTruncated.sac";
    write_file(path(twoLines), cut(good, 1));
    if (!windows_program())
        expect_refused({twoLines}, "Truncated SAC File $'x.sac: ok\\nTruncated.sac': expected 1032 bytes, found 1031. Exiting...", twoLines + ".asc");
    // A control byte before a digit keeps three octal digits; bytes that are no UTF-8 are escaped.
    for (const auto& [name, shownName] : {std::pair{"x\x01" "2.sac", "$'x\\0012.sac'"}, {"\xFF\xFE.sac", "$'\\377\\376.sac'"}}) {
        write_file(path(name), cut(good, 1));
        if (!windows_program())
            expect_refused({name}, "Truncated SAC File " + std::string(shownName) + ": expected 1032 bytes, found 1031. Exiting...", std::string(name) + ".asc");
    }
}

// Every command a message suggests converts when pasted into a shell: after
// decompressing, with -p, with the other byte order, for names a shell would
// split, that look like options, or that only $'...' can give.
TEST_F(Converter, SuggestedCommandsConvertWhenPasted)
{
    const std::vector<float> data(100, 0.5f);
    const std::vector<float> tiny = corrected_samples();
    const auto good = default_order_sac(0.01f, 0, 100, data);
    const auto other = make_sac(0.01f, 0, 100, data, !host_is_big_endian());
    const std::string file = "x.sac";
    auto text = [](const std::string& words) { return Bytes(words.begin(), words.end()); };
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
        write_file(path(file), packed);
        expect_refused({file}, "Not a Binary SAC File x.sac: it is compressed with " + std::string(tool) + "; decompress it first, for example with " +
                                   unpack + " -c x.sac > x.sac.unpacked && sactab x.sac.unpacked. Exiting...");
        const std::string suffixed = "event 1.sac" + std::string(suffix);
        pastes.push_back({suffixed, packed, {suffixed}, "event 1.sac", reference_table(0.01f, 0, data)});
        pastes.push_back({odd, packed, {"--", odd}, odd + ".unpacked", reference_table(0.01f, 0, data)});
    }
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
        SCOPED_TRACE(paste.file);
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
