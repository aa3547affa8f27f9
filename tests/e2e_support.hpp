// Running the built program on files in a fresh folder, for the end-to-end
// tests. SACTAB_BINARY overrides the program to run and SACTAB_EMULATOR
// names a command to run it under (qemu-s390x for a big-endian build).
#pragma once

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
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

// Starts the program; its standard output is read from `output`. A `user`
// other than -1 runs it under that user and group id (the caller is root).
inline pid_t start_sactab(const std::vector<std::string>& arguments, int& output, const std::string& workingFolder = "",
                          int user = -1)
{
    std::vector<std::string> command;
    const std::string emulator = env_or("SACTAB_EMULATOR", "");
    if (!emulator.empty()) command.push_back(emulator);
    command.push_back(env_or("SACTAB_BINARY", SACTAB_DEFAULT_BINARY));
    command.insert(command.end(), arguments.begin(), arguments.end());
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return -1;
    const pid_t child = fork();
    if (child == 0) {
        if (!workingFolder.empty() && chdir(workingFolder.c_str()) != 0) _exit(126);
        if (user != -1 && (setgroups(0, nullptr) != 0 || setgid(static_cast<gid_t>(user)) != 0 ||
                           setuid(static_cast<uid_t>(user)) != 0))
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

inline RunResult run_sactab(const std::vector<std::string>& arguments, const std::string& workingFolder = "",
                            int user = -1)
{
    int output = -1;
    const pid_t child = start_sactab(arguments, output, workingFolder, user);
    return finish_sactab(child, output);
}

} // namespace sactest
