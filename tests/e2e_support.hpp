// Running the built program on files in a fresh folder, for the end-to-end
// tests. SACTAB_BINARY overrides the program to run and SACTAB_EMULATOR
// names a command to run it under (qemu-s390x for a big-endian build).
#pragma once

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "file_support.hpp"
#include "sac_builder.hpp"

namespace sactest {

struct RunResult {
    int status;       // exit status, or 128 + signal number
    std::string said; // what it printed on standard output
};

inline bool host_is_big_endian()
{
    return env_or("SACTAB_BIG_ENDIAN_HOST", "0") == "1";
}

// The program is sactab.exe under wine: owners, modes, symbolic links and
// resource limits do not apply (named pipes and signals do, as wine maps them).
inline bool windows_program()
{
    return env_or("SACTAB_WINDOWS", "0") == "1";
}
#define SKIP_ON_WINDOWS() \
    if (windows_program()) GTEST_SKIP() << "does not apply to Windows"

// Where and as whom the program runs.
struct RunAs {
    std::string workingFolder; // empty: the test's own
    int user = -1;             // another user and group id (the caller is root)
    std::string program;       // empty: SACTAB_BINARY, or the build's own
    std::string rootFolder;    // run in it as / (the caller is root, the program static)
    rlim_t fileSizeLimit = RLIM_INFINITY; // beyond it, SIGXFSZ (at its default, which kills) and EFBIG
    bool native = false;       // never under SACTAB_EMULATOR
};

inline std::string program_under_test()
{
    return env_or("SACTAB_BINARY", SACTAB_DEFAULT_BINARY);
}

// Starts the program; its standard output is read from `output`. A child
// that cannot be set up as asked exits with 126.
inline pid_t start_sactab(const std::vector<std::string>& arguments, int& output, const RunAs& as = {})
{
    std::vector<std::string> command;
    const std::string emulator = env_or("SACTAB_EMULATOR", "");
    if (!emulator.empty() && !as.native) command.push_back(emulator);
    command.push_back(as.program.empty() ? program_under_test() : as.program);
    command.insert(command.end(), arguments.begin(), arguments.end());
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return -1;
    const pid_t child = fork();
    if (child == 0) {
        // The program starts with default signal handling, whoever runs the
        // tests: the suite ignores SIGPIPE for itself, and nohup or a
        // background job ignores signals that the program would keep ignoring.
        for (int signalNumber : {SIGPIPE, SIGHUP, SIGINT, SIGQUIT, SIGTERM}) signal(signalNumber, SIG_DFL);
        const rlimit noCore{0, 0}; // SIGQUIT and SIGXCPU would dump one into the test's folder
        setrlimit(RLIMIT_CORE, &noCore);
        const rlimit fileSize{as.fileSizeLimit, as.fileSizeLimit};
        if (as.fileSizeLimit != RLIM_INFINITY && (signal(SIGXFSZ, SIG_DFL) == SIG_ERR || setrlimit(RLIMIT_FSIZE, &fileSize) != 0))
            _exit(126);
        if (!as.rootFolder.empty() && (chroot(as.rootFolder.c_str()) != 0 || chdir("/") != 0)) _exit(126);
        if (!as.workingFolder.empty() && chdir(as.workingFolder.c_str()) != 0) _exit(126);
        if (as.user != -1 && (setgroups(0, nullptr) != 0 || setgid(static_cast<gid_t>(as.user)) != 0 ||
                              setuid(static_cast<uid_t>(as.user)) != 0))
            _exit(126);
        dup2(pipeEnds[1], STDOUT_FILENO);
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        std::vector<char*> argv;
        for (auto& word : command) argv.push_back(word.data());
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(pipeEnds[1]);
    output = pipeEnds[0];
    return child;
}

inline RunResult finish_sactab(pid_t child, int output)
{
    RunResult run{-1, ""};
    char buffer[4096];
    for (ssize_t got; (got = read(output, buffer, sizeof buffer)) > 0;) run.said.append(buffer, static_cast<std::size_t>(got));
    close(output);
    int status = 0;
    waitpid(child, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}

inline RunResult run_sactab(const std::vector<std::string>& arguments, const RunAs& as = {})
{
    int output = -1;
    const pid_t child = start_sactab(arguments, output, as);
    return finish_sactab(child, output);
}

// Runs `command` with /bin/sh (or `shell`) in `folder`, with the program
// under test in SACTAB_UNDER_TEST; returns its exit status.
inline int run_shell(const std::string& command, const std::string& folder = "", const std::string& shell = "/bin/sh")
{
    setenv("SACTAB_UNDER_TEST", program_under_test().c_str(), 1);
    return run_sactab({"-c", command}, {.workingFolder = folder, .program = shell, .native = true}).status;
}

// A copy of the program in `folder`, for a run where the build's own folder
// cannot be reached (another user, a folder run as /). A user who cannot
// reach `folder` either gets exit status 127.
inline std::string copy_program(const std::string& folder)
{
    const std::string copy = folder + "/sactab";
    std::error_code error;
    std::filesystem::copy_file(program_under_test(), copy, std::filesystem::copy_options::overwrite_existing, error);
    chmod(copy.c_str(), 0755);
    return error ? "" : copy;
}

} // namespace sactest
