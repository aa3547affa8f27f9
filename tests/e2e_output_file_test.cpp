// The built program's output file: replacing a table, its mode and owner,
// long names.
#include "e2e_fixture.hpp"

using namespace sactest;

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
        char octal[16];
        std::snprintf(octal, sizeof octal, "%o", static_cast<unsigned>(mode));
        SCOPED_TRACE("an earlier table of mode " + std::string(octal));
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
        SCOPED_TRACE("round " + std::to_string(round));
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
