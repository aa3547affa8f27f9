// The built program ended by a signal or refused a write: the earlier table
// stays.
#include "e2e_fixture.hpp"

using namespace sactest;

TEST_F(Converter, EndedWhileWaitingOnAPipeLeavesTheEarlierTable)
{
    const std::string fifo = path("x.sac");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    write_file(path("done.sac"), default_order_sac(1, 0, 1, {3}));
    // Under wine only the console's signals apply (wine keeps SIGUSR1 for itself).
    for (int signalNumber : windows_program() ? std::vector<int>{SIGINT, SIGTERM}
                                              : std::vector<int>{SIGINT, SIGTERM, SIGUSR1, SIGHUP, SIGQUIT, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF, SIGXCPU}) {
        SCOPED_TRACE("signal " + std::to_string(signalNumber));
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
