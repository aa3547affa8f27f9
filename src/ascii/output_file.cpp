#include "ascii/output_file.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <string>

#include "ascii/table.hpp"

namespace sactab {

namespace {

// Name of the fallback temporary file while it exists, for the signal
// handler; empty when the temporary has no name (O_TMPFILE).
char namedTemporary[4096];

std::string output_folder()
{
    const std::string::size_type slash = ascFileName.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return ascFileName.substr(0, slash);
}

std::string temporary_name(int attempt)
{
    return output_folder() + "/.sactab-" + std::to_string(getpid()) + "-" + std::to_string(attempt) + ".tmp";
}

void remove_named_temporary()
{
    if (namedTemporary[0] != '\0') unlink(namedTemporary);
    namedTemporary[0] = '\0';
}

void remove_temporary_and_die(int signalNumber)
{
    if (namedTemporary[0] != '\0') unlink(namedTemporary);
    std::signal(signalNumber, SIG_DFL);
    std::raise(signalNumber);
}

constexpr int endingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

sigset_t ending_signals()
{
    sigset_t signals;
    sigemptyset(&signals);
    for (int signalNumber : endingSignals) sigaddset(&signals, signalNumber);
    return signals;
}

// Signals the caller ignores (nohup, background jobs of a script) stay
// ignored; the others first remove the temporary file.
void remove_temporary_on_ending_signals()
{
    for (int signalNumber : endingSignals) {
        struct sigaction current {};
        sigaction(signalNumber, nullptr, &current);
        if (current.sa_handler == SIG_IGN) continue;
        struct sigaction removal {};
        removal.sa_handler = remove_temporary_and_die;
        sigemptyset(&removal.sa_mask);
        sigaction(signalNumber, &removal, nullptr);
    }
}

// For folders whose file system has no O_TMPFILE: a hidden, uniquely named
// file that a signal handler removes if the run is ended early.
int open_named_temporary()
{
    const std::string pattern = output_folder() + "/.sactab-XXXXXX";
    if (pattern.size() >= sizeof namedTemporary) {
        errno = ENAMETOOLONG;
        return -1;
    }
    pattern.copy(namedTemporary, pattern.size());
    namedTemporary[pattern.size()] = '\0';
    const sigset_t signals = ending_signals();
    sigprocmask(SIG_BLOCK, &signals, nullptr);
    const int fd = mkstemp(namedTemporary);
    if (fd < 0) namedTemporary[0] = '\0';
    remove_temporary_on_ending_signals();
    sigprocmask(SIG_UNBLOCK, &signals, nullptr);
    if (fd >= 0) {
        // mkstemp makes the file private; a table is as readable as "w" would make it.
        const mode_t mask = umask(0);
        umask(mask);
        fchmod(fd, 0666 & ~mask);
    }
    return fd;
}

// Gives the nameless temporary a hidden name in the output's folder.
bool link_temporary(int fd, std::string& name)
{
    const std::string procPath = "/proc/self/fd/" + std::to_string(fd);
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = temporary_name(attempt);
        if (linkat(AT_FDCWD, procPath.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return true;
        if (errno == EEXIST) continue;
        // Without /proc, only a privileged process may link a descriptor.
        if (linkat(fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0) return true;
        return false;
    }
    return false;
}

// Puts the finished temporary in place. Signals wait meanwhile, so no
// hidden name can be left behind.
bool put_in_place(int fd)
{
    const sigset_t signals = ending_signals();
    sigset_t previous;
    sigprocmask(SIG_BLOCK, &signals, &previous);
    std::string name = namedTemporary;
    bool placed = !name.empty() || link_temporary(fd, name);
    if (placed && rename(name.c_str(), ascFileName.c_str()) != 0) {
        const int renameError = errno;
        unlink(name.c_str());
        errno = renameError;
        placed = false;
    }
    namedTemporary[0] = '\0';
    sigprocmask(SIG_SETMASK, &previous, nullptr);
    return placed;
}

std::FILE* stream_on(int fd)
{
    if (fd < 0) return nullptr;
    std::FILE* output = fdopen(fd, "w");
    // The table is written in whole blocks of text: each goes straight to
    // write(), with no copy through a stdio buffer.
    if (output != nullptr) std::setvbuf(output, nullptr, _IONBF, 0);
    if (output == nullptr) {
        const int openError = errno;
        remove_named_temporary();
        close(fd);
        errno = openError;
    }
    return output;
}

} // namespace

std::FILE* open_output()
{
    // A directory in the way is found now, not after the whole conversion.
    struct stat existing {};
    if (lstat(ascFileName.c_str(), &existing) == 0 && S_ISDIR(existing.st_mode)) {
        errno = EISDIR;
        return nullptr;
    }
    const int fd = open(output_folder().c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) return open_named_output();
    return stream_on(fd);
}

std::FILE* open_named_output()
{
    return stream_on(open_named_temporary());
}

bool commit_output(std::FILE* output)
{
    if (std::fflush(output) != 0 || std::ferror(output) != 0) {
        const int writeError = errno;
        discard_output(output);
        errno = writeError;
        return false;
    }
    if (!put_in_place(fileno(output))) {
        const int placeError = errno;
        std::fclose(output);
        errno = placeError;
        return false;
    }
    return std::fclose(output) == 0;
}

void discard_output(std::FILE* output)
{
    remove_named_temporary();
    std::fclose(output);
}

} // namespace sactab
