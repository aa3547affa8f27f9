// Running the built program on files in a fresh folder, for the end-to-end
// tests. SACTAB_BINARY overrides the program to run and SACTAB_EMULATOR
// names a command to run it under (qemu-s390x for a big-endian build).
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "sac_builder.hpp"

namespace sactest {

struct RunResult {
    int status;       // exit status, or 128 + signal number
    std::string said; // what it printed on standard output
};

inline std::string env_or(const char* name, const char* fallback)
{
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : fallback;
}

inline bool host_is_big_endian()
{
    return env_or("SACTAB_BIG_ENDIAN_HOST", "0") == "1";
}

// Starts the program; its standard output is read from `output`.
inline pid_t start_sactab(const std::vector<std::string>& arguments, int& output)
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

inline RunResult run_sactab(const std::vector<std::string>& arguments)
{
    int output = -1;
    const pid_t child = start_sactab(arguments, output);
    return finish_sactab(child, output);
}

inline void write_file(const std::string& path, const Bytes& bytes)
{
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
}

inline void write_file(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

// The contents of a regular file; nothing for a missing file or a folder.
inline std::optional<std::string> read_file(const std::string& path)
{
    struct stat status {};
    if (stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline std::set<std::string> folder_entries(const std::string& folder)
{
    std::set<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") names.insert(name);
        }
        closedir(dir);
    }
    return names;
}

inline std::string make_temporary_folder()
{
    std::string pattern = env_or("TMPDIR", "/tmp") + "/sactab-test-XXXXXX";
    return mkdtemp(pattern.data());
}

inline void remove_tree(const std::string& folder)
{
    const std::string command = "rm -rf '" + folder + "'";
    if (std::system(command.c_str()) != 0) return;
}

} // namespace sactest
