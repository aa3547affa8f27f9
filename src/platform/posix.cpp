#include "platform/platform.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>


// The output file, the signals that must not leave its temporary behind, and
// the few facts of files and memory the rest of the program asks for.
//
// Where the file system offers nameless files (Linux's O_TMPFILE), a table
// in the making has no name at all until it is complete, so nothing can be
// left behind. Elsewhere, or when forced for testing, a hidden named file
// serves, removed again on failure or by a signal.
#if defined(O_TMPFILE) && !defined(SACTAB_POSIX_OUTPUT)
#define SACTAB_NAMELESS_TEMPORARY 1
#else
#define SACTAB_NAMELESS_TEMPORARY 0
#endif

static_assert(sizeof(off_t) == 8, "recordings and tables past 2 GiB need 64-bit file offsets");

namespace sactab {

namespace {

// The output's folder, opened once: every name below is relative to it, so
// the temporary's path is never longer than the table's, and the signal
// handler can remove it with unlinkat.
int folderFd = -1;
const char* tableName = nullptr; // the table's name within the folder

// The temporary's hidden name while it has one, for the clean-up and the
// signal handler; empty otherwise.
char namedTemporary[64];

// The regular file being replaced, if any: the new table takes its mode and,
// where the process may, its owner and group, as "w" would have kept them.
bool replacingTable = false;
struct stat earlierTable {};

// Opens the folder of the table and finds the table's name in it.
bool open_output_folder(const char* tablePath)
{
    const char* slash = std::strrchr(tablePath, '/');
    const std::string folder = slash == nullptr     ? "."
                               : slash == tablePath ? "/"
                                                    : std::string(tablePath, static_cast<std::size_t>(slash - tablePath));
    tableName = slash == nullptr ? tablePath : slash + 1;
    if (folderFd >= 0) close(folderFd);
#ifdef O_PATH
    folderFd = open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
#else
    folderFd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
#endif
    return folderFd >= 0;
}

// A name the file system cannot hold fails now, before any sample is read,
// not at the rename after the whole conversion.
bool table_name_fits()
{
    const long longest = fpathconf(folderFd, _PC_NAME_MAX);
    if (longest < 0 || std::strlen(tableName) <= static_cast<std::size_t>(longest)) return true;
    errno = ENAMETOOLONG;
    return false;
}

// ".sactab-PID-N.tmp": a name left by an earlier run of the same process id
// is passed over.
void temporary_name(int attempt)
{
    std::snprintf(namedTemporary, sizeof namedTemporary, ".sactab-%ld-%d.tmp", static_cast<long>(getpid()), attempt);
}

void remove_named_temporary()
{
    if (namedTemporary[0] != '\0') unlinkat(folderFd, namedTemporary, 0);
    namedTemporary[0] = '\0';
}

void remove_temporary_and_die(int signalNumber)
{
    if (namedTemporary[0] != '\0') unlinkat(folderFd, namedTemporary, 0);
    std::signal(signalNumber, SIG_DFL);
    std::raise(signalNumber);
}

// What a terminal, a shell or a batch system sends to end a run (Slurm's
// --signal sends USR1 or USR2 before a time limit).
constexpr int endingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF, SIGXCPU};

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

// A hidden, uniquely named file in the output's folder, private until the
// commit, which a signal handler removes if the run is ended early.
int open_named_temporary()
{
    const sigset_t signals = ending_signals();
    sigprocmask(SIG_BLOCK, &signals, nullptr);
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary_name(attempt);
        fd = openat(folderFd, namedTemporary, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0 && errno != EEXIST) break;
    }
    const int openError = errno;
    if (fd < 0) namedTemporary[0] = '\0';
    remove_temporary_on_ending_signals();
    sigprocmask(SIG_UNBLOCK, &signals, nullptr);
    errno = openError;
    return fd;
}

#if SACTAB_NAMELESS_TEMPORARY

int open_nameless_temporary()
{
    return openat(folderFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
}

// Gives the nameless temporary a hidden name in the output's folder: once
// closed it could not be named any more.
bool name_nameless_temporary(int fd)
{
    const std::string procPath = "/proc/self/fd/" + std::to_string(fd);
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary_name(attempt);
        if (linkat(AT_FDCWD, procPath.c_str(), folderFd, namedTemporary, AT_SYMLINK_FOLLOW) == 0) return true;
        if (errno == EEXIST) continue;
        // Without /proc, only a privileged process may link a descriptor.
        if (linkat(fd, "", folderFd, namedTemporary, AT_EMPTY_PATH) == 0) return true;
        if (errno != EEXIST) break;
    }
    namedTemporary[0] = '\0';
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

// In a sticky folder (/tmp), only the owner of a file or of the folder, or
// root, may rename over it, however writable the file is.
bool may_replace_in_folder(const struct stat& existing)
{
    struct stat folder {};
    const uid_t user = geteuid();
    return fstat(folderFd, &folder) != 0 || (folder.st_mode & S_ISVTX) == 0 || user == 0 || existing.st_uid == user ||
           folder.st_uid == user;
}

// Looks at what FILE.asc is now. A directory in the way is found before the
// conversion; a table the user may not write is refused, as opening it with
// "w" would have been.
bool check_earlier_table()
{
    replacingTable = false;
    struct stat existing {};
    if (fstatat(folderFd, tableName, &existing, AT_SYMLINK_NOFOLLOW) != 0) return true;
    if (S_ISDIR(existing.st_mode)) {
        errno = EISDIR;
        return false;
    }
    // A symbolic link is replaced by the table, never written through: it
    // may point at the input.
    if (!S_ISREG(existing.st_mode)) return true;
    if (faccessat(folderFd, tableName, W_OK, AT_EACCESS) != 0) return false;
    if (!may_replace_in_folder(existing)) {
        errno = EPERM;
        return false;
    }
    replacingTable = true;
    earlierTable = existing;
    return true;
}

// The table's final mode, given only now: the earlier table's, or what "w"
// would give a new file. Owner and group are kept only where the process
// may change them (root, or a group the user belongs to): a refusal is no
// failure. A new table whose mode cannot be set stays private, never wider.
bool give_final_attributes(int fd)
{
    if (!replacingTable) {
        const mode_t mask = umask(0);
        umask(mask);
        fchmod(fd, 0666 & ~mask);
        return true;
    }
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

// Everything about the table that can be judged before the conversion. A
// file size limit makes write() fail with EFBIG, reported like a full disk,
// instead of killing the run without a word.
bool prepare_output(const char* tablePath)
{
    std::signal(SIGXFSZ, SIG_IGN);
    return open_output_folder(tablePath) && table_name_fits() && check_earlier_table();
}

} // namespace

std::FILE* open_output(const char* tablePath)
{
    return prepare_output(tablePath) ? stream_on(open_temporary()) : nullptr;
}

std::FILE* open_named_output(const char* tablePath)
{
    return prepare_output(tablePath) ? stream_on(open_named_temporary()) : nullptr;
}

bool commit_output(std::FILE* output)
{
    // Signals wait until the temporary is either in place or gone.
    const sigset_t signals = ending_signals();
    sigset_t previous;
    sigprocmask(SIG_BLOCK, &signals, &previous);
    const int fd = fileno(output);
    bool placed = std::fflush(output) == 0 && std::ferror(output) == 0 && give_final_attributes(fd) && name_temporary(fd);
    int error = errno;
    // Network file systems report delayed write errors here: the table
    // counts as written only once it is closed.
    if (std::fclose(output) != 0 && placed) {
        placed = false;
        error = errno;
    }
    if (placed && renameat(folderFd, namedTemporary, folderFd, tableName) != 0) {
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
    const int error = errno;
    remove_named_temporary();
    std::fclose(output);
    errno = error;
}

bool is_same_file(std::FILE* input, const char* path)
{
    struct stat read {};
    struct stat named {};
    return fstat(fileno(input), &read) == 0 && fstatat(AT_FDCWD, path, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
           read.st_dev == named.st_dev && read.st_ino == named.st_ino;
}

std::uint64_t file_size(std::FILE* input)
{
    struct stat status {};
    if (fstat(fileno(input), &status) == 0 && S_ISREG(status.st_mode)) return static_cast<std::uint64_t>(status.st_size);
    return UINT64_MAX;
}

void use_line_feeds_on_standard_output() {}

std::vector<std::string> files_named_by(const char* argument)
{
    return {argument};
}

std::uint64_t physical_memory_bytes()
{
#ifdef _SC_PHYS_PAGES
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages > 0 && pageSize > 0) return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
#endif
    return UINT64_MAX;
}

} // namespace sactab
