// The temporary output and its replacement of an earlier table.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <csignal>
#include <cstdio>

#include "platform/platform.hpp"
#include "ascii/table.hpp"
#include "file_support.hpp"

using namespace sactest;

namespace {

class OutputFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = make_temporary_folder();
        ASSERT_FALSE(folder.empty()) << "no temporary folder under TMPDIR";
        sactab::make_output_name((folder + "/x").c_str());
        write_file(sactab::ascFileName, std::string("earlier\n"));
    }
    void TearDown() override { remove_tree(folder); }

    // Opens, writes "new", then commits or drops; the table and the folder
    // must show exactly the outcome. A crashed run of this process id left
    // a temporary of the name a run tries first; it is not ours to touch.
    void expect_replaced_only_on_commit(std::FILE* (*open)(const char*))
    {
        const std::string leftover = ".sactab-" + std::to_string(getpid()) + "-0.tmp";
        write_file(folder + "/" + leftover, std::string("left over\n"));
        const std::set<std::string> entries{"x.asc", leftover};
        std::FILE* dropped = open(sactab::ascFileName);
        ASSERT_NE(dropped, nullptr);
        std::fputs("dropped\n", dropped);
        sactab::discard_output(dropped);
        EXPECT_EQ(read_file(sactab::ascFileName), "earlier\n");
        EXPECT_EQ(folder_entries(folder), entries);

        std::FILE* kept = open(sactab::ascFileName);
        ASSERT_NE(kept, nullptr);
        std::fputs("new\n", kept);
        EXPECT_EQ(read_file(sactab::ascFileName), "earlier\n");
        ASSERT_TRUE(sactab::commit_output(kept));
        EXPECT_EQ(read_file(sactab::ascFileName), "new\n");
        EXPECT_EQ(folder_entries(folder), entries);
        EXPECT_EQ(read_file(folder + "/" + leftover), "left over\n");

        // As readable as a file made with fopen(..., "w").
        const mode_t mask = umask(0);
        umask(mask);
        struct stat status {};
        stat(sactab::ascFileName, &status);
        EXPECT_EQ(status.st_mode & 0777, 0666 & ~mask);
    }

    std::string folder;
};

} // namespace

TEST_F(OutputFile, UnnamedTemporaryReplacesTheTableOnlyWhenCommitted)
{
    expect_replaced_only_on_commit(sactab::open_output);
}

TEST_F(OutputFile, NamedFallbackReplacesTheTableOnlyWhenCommitted)
{
    expect_replaced_only_on_commit(sactab::open_named_output);
}

TEST_F(OutputFile, NamedFallbackIsRemovedWhenASignalEndsTheRun)
{
    for (int signalNumber : {SIGINT, SIGTERM, SIGUSR1, SIGHUP}) {
        const pid_t child = fork();
        if (child == 0) {
            std::FILE* output = sactab::open_named_output(sactab::ascFileName);
            std::fputs("partial\n", output);
            std::fflush(output);
            std::raise(signalNumber);
            _exit(0);
        }
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signalNumber);
        EXPECT_EQ(read_file(sactab::ascFileName), "earlier\n");
        EXPECT_EQ(folder_entries(folder), std::set<std::string>{"x.asc"});
    }
}

TEST_F(OutputFile, NamedFallbackKeepsSignalsTheCallerIgnores)
{
    const pid_t child = fork();
    if (child == 0) {
        std::signal(SIGHUP, SIG_IGN); // as under nohup
        std::FILE* output = sactab::open_named_output(sactab::ascFileName);
        std::raise(SIGHUP);
        _exit(sactab::commit_output(output) ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(read_file(sactab::ascFileName), "");
}

TEST_F(OutputFile, AFolderInTheWayIsFoundBeforeWriting)
{
    sactab::make_output_name((folder + "/taken").c_str());
    mkdir(sactab::ascFileName, 0755);
    errno = 0;
    EXPECT_EQ(sactab::open_output(sactab::ascFileName), nullptr);
    EXPECT_EQ(errno, EISDIR);
}
