#include "ascii/output_file.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>

#include "ascii/table.hpp"

// Where the file system offers nameless files (Linux's O_TMPFILE), a table
// in the making has no name at all until it is complete, so nothing can be
// left behind. Elsewhere, or when forced for testing, a hidden named file
// serves, removed again on failure or by a signal.
#if defined(O_TMPFILE) && !defined(SACTAB_POSIX_OUTPUT)
#define SACTAB_NAMELESS_TEMPORARY 1
#else
#define SACTAB_NAMELESS_TEMPORARY 0
#endif

namespace sactab {

namespace {

// The temporary's hidden name while it has one, for the clean-up and the
// signal handler; empty otherwise.
char namedTemporary[4096];

// The regular file being replaced, if any: the new table takes its mode and,
// where the process may, its owner and group, as "w" would have kept them.
bool replacingTable = false;
struct stat earlierTable {};

std::string output_folder()
{
    const char* slash = std::strrchr(ascFileName, '/');
    if (slash == nullptr) return ".";
    if (slash == ascFileName) return "/";
    return std::string(ascFileName, static_cast<std::size_t>(slash - ascFileName));
}

bool set_temporary_name(const std::string& name)
{
    if (name.size() >= sizeof namedTemporary) {
        errno = ENAMETOOLONG;
        return false;
    }
    name.copy(namedTemporary, name.size());
    namedTemporary[name.size()] = '\0';
    return true;
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

// A hidden, uniquely named file in the output's folder, which a signal
// handler removes if the run is ended early.
int open_named_temporary()
{
    if (!set_temporary_name(output_folder() + "/.sactab-XXXXXX")) return -1;
    const sigset_t signals = ending_signals();
    sigprocmask(SIG_BLOCK, &signals, nullptr);
    const int fd = mkstemp(namedTemporary);
    if (fd < 0) namedTemporary[0] = '\0';
    remove_temporary_on_ending_signals();
    sigprocmask(SIG_UNBLOCK, &signals, nullptr);
    if (fd >= 0) {
        // mkstemp makes the file private; a new table is as readable as "w"
        // would make it (a failure leaves it private, never wider).
        const mode_t mask = umask(0);
        umask(mask);
        fchmod(fd, 0666 & ~mask);
    }
    return fd;
}

#if SACTAB_NAMELESS_TEMPORARY

int open_nameless_temporary()
{
    return open(output_folder().c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
}

// Gives the nameless temporary a hidden name in the output's folder: once
// closed it could not be named any more.
bool name_nameless_temporary(int fd)
{
    const std::string procPath = "/proc/self/fd/" + std::to_string(fd);
    const std::string prefix = output_folder() + "/.sactab-" + std::to_string(getpid()) + "-";
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = prefix + std::to_string(attempt) + ".tmp";
        if (linkat(AT_FDCWD, procPath.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
            return set_temporary_name(name);
        if (errno == EEXIST) continue;
        // Without /proc, only a privileged process may link a descriptor.
        if (linkat(fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0) return set_temporary_name(name);
        if (errno != EEXIST) return false;
    }
    return false;
}

#endif

// The one place where the kind of temporary is chosen.
int open_temporary()
{
#if SACTAB_NAMELESS_TEMPORARY
    const int fd = open_nameless_temporary();
    // File systems without nameless files say so in one of these ways.
    if (fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)) return fd;
#endif
    return open_named_temporary();
}

bool name_temporary([[maybe_unused]] int fd)
{
    if (namedTemporary[0] != '\0') return true;
#if SACTAB_NAMELESS_TEMPORARY
    return name_nameless_temporary(fd);
#else
    errno = EBADF;
    return false;
#endif
}

// Looks at what FILE.asc is now. A directory in the way is found before the
// conversion; a table the user may not write is refused, as opening it with
// "w" would have been.
bool check_earlier_table()
{
    replacingTable = false;
    struct stat existing {};
    if (lstat(ascFileName, &existing) != 0) return true;
    if (S_ISDIR(existing.st_mode)) {
        errno = EISDIR;
        return false;
    }
    // A symbolic link is replaced by the table, never written through: it
    // may point at the input.
    if (!S_ISREG(existing.st_mode)) return true;
    if (faccessat(AT_FDCWD, ascFileName, W_OK, AT_EACCESS) != 0) return false;
    replacingTable = true;
    earlierTable = existing;
    return true;
}

// Owner and group only where the process may change them (root, or a group
// the user belongs to): a refusal is no failure. The mode always follows.
bool keep_earlier_attributes(int fd)
{
    if (!replacingTable) return true;
    // Only root may give the file another owner; others may still keep the group.
    if (fchown(fd, earlierTable.st_uid, earlierTable.st_gid) != 0 &&
        fchown(fd, static_cast<uid_t>(-1), earlierTable.st_gid) != 0) {
        // Left with the user's own group; the mode below still applies.
    }
    return fchmod(fd, earlierTable.st_mode & 0777) == 0;
}

std::FILE* stream_on(int fd)
{
    if (fd < 0) return nullptr;
    std::FILE* output = fdopen(fd, "w");
    if (output == nullptr) {
        const int openError = errno;
        remove_named_temporary();
        close(fd);
        errno = openError;
        return nullptr;
    }
    // The table is written in whole blocks of text: each goes straight to
    // write(), with no copy through a stdio buffer.
    std::setvbuf(output, nullptr, _IONBF, 0);
    return output;
}

} // namespace

std::FILE* open_output()
{
    if (!check_earlier_table()) return nullptr;
    return stream_on(open_temporary());
}

std::FILE* open_named_output()
{
    if (!check_earlier_table()) return nullptr;
    return stream_on(open_named_temporary());
}

bool commit_output(std::FILE* output)
{
    // Signals wait until the temporary is either in place or gone.
    const sigset_t signals = ending_signals();
    sigset_t previous;
    sigprocmask(SIG_BLOCK, &signals, &previous);
    const int fd = fileno(output);
    bool placed = std::fflush(output) == 0 && std::ferror(output) == 0 && keep_earlier_attributes(fd) &&
                  name_temporary(fd);
    int error = errno;
    // Network file systems report delayed write errors here: the table
    // counts as written only once it is closed.
    if (std::fclose(output) != 0 && placed) {
        placed = false;
        error = errno;
    }
    if (placed && rename(namedTemporary, ascFileName) != 0) {
        placed = false;
        error = errno;
    }
    if (placed)
        namedTemporary[0] = '\0';
    else
        remove_named_temporary();
    sigprocmask(SIG_SETMASK, &previous, nullptr);
    errno = error;
    return placed;
}

void discard_output(std::FILE* output)
{
    remove_named_temporary();
    std::fclose(output);
}

} // namespace sactab
