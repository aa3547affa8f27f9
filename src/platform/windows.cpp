// The output path on Windows, with the promises of the POSIX one: the table
// is written to a uniquely named temporary beside it, which Windows deletes
// by itself if the process ends early (its disposition is "delete on
// close" until the table is complete), and only once complete and closed is
// it renamed over FILE.asc, in one step. (ReplaceFileW would keep the
// earlier table's attributes itself, but in several steps, so a run ended
// between them loses the table; they are copied first instead.)
#include "platform/platform.hpp"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cwctype>
#include <string>
#include <vector>


namespace sactab {

namespace {

// The temporary while it exists, and the table it becomes; guarded against
// the console handler, which runs in a thread of its own.
SRWLOCK outputLock = SRWLOCK_INIT;
std::wstring temporaryPath;
std::wstring tablePath;
HANDLE temporary = INVALID_HANDLE_VALUE;
bool tablePlaced = false;
bool replacingTable = false;
DWORD earlierAttributes = 0;

// The nearest errno, so the message's reason reads as the system meant it.
int errno_for(DWORD error)
{
    switch (error) {
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return EACCES;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_INVALID_DRIVE:
        return ENOENT;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_FILENAME_EXCED_RANGE:
        return ENAMETOOLONG;
    case ERROR_DIRECTORY:
        return ENOTDIR;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_PARAMETER:
        return EINVAL;
    case ERROR_WRITE_PROTECT:
        return EROFS;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return ENOMEM;
    case ERROR_TOO_MANY_OPEN_FILES:
        return EMFILE;
    case ERROR_NOT_SAME_DEVICE:
        return EXDEV;
    case ERROR_NOT_READY:
        return ENXIO;
    default:
        return EIO;
    }
}

bool failed_with(DWORD error)
{
    errno = errno_for(error);
    return false;
}

std::wstring wide(const std::string& utf8)
{
    const int units = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
    if (units <= 0) return {};
    std::wstring text(static_cast<std::size_t>(units), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, text.data(), units);
    text.resize(static_cast<std::size_t>(units - 1));
    return text;
}

std::string utf8(const wchar_t* text)
{
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return {};
    std::string converted(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, converted.data(), bytes, nullptr, nullptr);
    converted.resize(static_cast<std::size_t>(bytes - 1));
    return converted;
}

// * and ? as cmd reads them, letters in either case. FindFirstFile also
// matches the short 8.3 names ("*.sac" finds "x.sacx" as X~1.SAC), so each
// long name is judged again here.
bool name_matches(const wchar_t* pattern, const wchar_t* name)
{
    const wchar_t* star = nullptr;
    const wchar_t* resume = nullptr;
    while (*name != L'\0') {
        if (*pattern == L'*') {
            star = pattern++;
            resume = name;
        } else if (*pattern == L'?' || std::towupper(*pattern) == std::towupper(*name)) {
            ++pattern;
            ++name;
        } else if (star != nullptr) {
            pattern = star + 1;
            name = ++resume;
        } else {
            return false;
        }
    }
    while (*pattern == L'*') ++pattern;
    return *pattern == L'\0';
}

// The full path in the \\?\ form, which has no 260-character limit; both
// separators and drive letters are understood by GetFullPathNameW. A path
// given as \\?\ or \\.\ is one already, taken as it stands.
// (`utf8Path` is never empty: a table's path ends in ".asc".)
bool long_path(const char* utf8Path, std::wstring& path)
{
    const std::wstring given = wide(utf8Path);
    if (given.empty()) return failed_with(GetLastError());
    if (given.rfind(L"\\\\?\\", 0) == 0 || given.rfind(L"\\\\.\\", 0) == 0) {
        path = given;
        return true;
    }
    const DWORD needed = GetFullPathNameW(given.c_str(), 0, nullptr, nullptr);
    if (needed == 0) return failed_with(GetLastError());
    std::wstring full(needed, L'\0');
    full.resize(GetFullPathNameW(given.c_str(), needed, full.data(), nullptr));
    if (full.rfind(L"\\\\", 0) == 0)
        path = L"\\\\?\\UNC\\" + full.substr(2);
    else
        path = L"\\\\?\\" + full;
    return true;
}

// A name longer than NTFS and FAT take fails now, not after the conversion.
bool table_name_fits()
{
    constexpr std::size_t longestName = 255;
    if (tablePath.size() - tablePath.find_last_of(L'\\') - 1 <= longestName) return true;
    errno = ENAMETOOLONG;
    return false;
}

// A folder in the way is found before the conversion, and a read-only table
// is refused, as opening it for writing would have been.
bool check_earlier_table()
{
    const DWORD attributes = GetFileAttributesW(tablePath.c_str());
    replacingTable = attributes != INVALID_FILE_ATTRIBUTES;
    if (!replacingTable) return true;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        errno = EISDIR;
        return false;
    }
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        errno = EACCES;
        return false;
    }
    earlierAttributes = attributes;
    return true;
}

// The earlier table's attributes (hidden, archive, not indexed...) go to the
// new one, through its handle. Its access list is the folder's, as for any
// new file there.
void keep_earlier_attributes(HANDLE file)
{
    constexpr DWORD kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                           FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    if (!replacingTable || (earlierAttributes & kept) == 0) return;
    FILE_BASIC_INFO basic{}; // times of 0 stay as they are
    basic.FileAttributes = earlierAttributes & kept;
    SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof basic);
}

bool set_deleted_on_close(HANDLE file, bool deleted)
{
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = deleted ? TRUE : FALSE;
    return SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition) != 0 ||
           failed_with(GetLastError());
}

// A new file beside the table, named after the process and a counter, so a
// name left by an earlier run of the same process id is passed over.
HANDLE create_temporary()
{
    const std::wstring folder = tablePath.substr(0, tablePath.find_last_of(L'\\') + 1);
    const std::wstring prefix = folder + L".sactab-" + std::to_wstring(GetCurrentProcessId()) + L"-";
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::wstring name = prefix + std::to_wstring(attempt) + L".tmp";
        const HANDLE file = CreateFileW(name.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                        nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            temporaryPath = name;
            // The attributes kept go on the new file now, while it is
            // still only ours.
            keep_earlier_attributes(file);
            if (set_deleted_on_close(file, true)) return file;
            const int error = errno;
            CloseHandle(file);
            DeleteFileW(name.c_str());
            temporaryPath.clear();
            errno = error;
            return INVALID_HANDLE_VALUE;
        }
        if (GetLastError() != ERROR_FILE_EXISTS) break;
    }
    failed_with(GetLastError());
    return INVALID_HANDLE_VALUE;
}

// Ctrl-C, Ctrl-Break or a closed console window: the temporary goes, by its
// disposition when still open, by name in the moment between close and move.
BOOL WINAPI remove_temporary_on_ending(DWORD)
{
    // Held until the process ends: nothing is placed after this.
    AcquireSRWLockExclusive(&outputLock);
    if (!temporaryPath.empty() && temporary == INVALID_HANDLE_VALUE) DeleteFileW(temporaryPath.c_str());
    // A script must see whether the run finished: a table already in place
    // is a success.
    ExitProcess(tablePlaced ? 0 : STATUS_CONTROL_C_EXIT);
}

// Access is denied for good to a table made read-only, or to a folder in its
// place, since the run began.
bool refused_for_good()
{
    const DWORD attributes = GetFileAttributesW(tablePath.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != 0;
}

// A virus scanner or an indexer may hold the table for a moment, and another
// run replacing it at the same time makes access denied for a moment: a
// second at most. Any other refusal is final.
bool move_into_place()
{
    for (int attempt = 0;; ++attempt) {
        if (MoveFileExW(temporaryPath.c_str(), tablePath.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0)
            return true;
        const DWORD error = GetLastError();
        const bool held = error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
                          (error == ERROR_ACCESS_DENIED && !refused_for_good());
        if (!held || attempt == 20) return failed_with(error);
        Sleep(50);
    }
}

void remove_temporary()
{
    if (!temporaryPath.empty()) DeleteFileW(temporaryPath.c_str());
    temporaryPath.clear();
}

} // namespace

std::FILE* open_output(const char* tableName)
{
    if (!long_path(tableName, tablePath) || !table_name_fits() || !check_earlier_table()) return nullptr;
    // Once per process: a run of many files opens many outputs.
    static const BOOL handlerSet = SetConsoleCtrlHandler(remove_temporary_on_ending, TRUE);
    (void)handlerSet;
    tablePlaced = false;
    temporary = create_temporary();
    if (temporary == INVALID_HANDLE_VALUE) return nullptr;
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(temporary), _O_WRONLY | _O_BINARY);
    std::FILE* output = fd < 0 ? nullptr : _fdopen(fd, "wb");
    if (output == nullptr) {
        // The C runtime said why, in errno.
        const int error = errno;
        if (fd < 0) CloseHandle(temporary); else _close(fd);
        temporary = INVALID_HANDLE_VALUE;
        temporaryPath.clear();
        errno = error;
        return nullptr;
    }
    // The table is written in whole blocks of text, each straight to the file.
    std::setvbuf(output, nullptr, _IONBF, 0);
    return output;
}

std::FILE* open_named_output(const char* tableName)
{
    return open_output(tableName);
}

void use_line_feeds_on_standard_output()
{
    _setmode(_fileno(stdout), _O_BINARY);
}

bool commit_output(std::FILE* output)
{
    AcquireSRWLockExclusive(&outputLock);
    bool placed = std::fflush(output) == 0 && std::ferror(output) == 0;
    int error = errno;
    if (placed && FlushFileBuffers(temporary) == 0) {
        placed = false;
        error = errno_for(GetLastError());
    }
    // Should this fail, closing deletes the new table: the earlier one stays.
    if (placed && !set_deleted_on_close(temporary, false)) {
        placed = false;
        error = errno;
    }
    if (std::fclose(output) != 0 && placed) {
        placed = false;
        error = errno;
    }
    temporary = INVALID_HANDLE_VALUE;
    if (placed && !move_into_place()) {
        placed = false;
        error = errno;
    }
    if (placed)
        temporaryPath.clear();
    else
        remove_temporary();
    tablePlaced = placed;
    ReleaseSRWLockExclusive(&outputLock);
    errno = error;
    return placed;
}

void discard_output(std::FILE* output)
{
    const int error = errno;
    AcquireSRWLockExclusive(&outputLock);
    std::fclose(output);
    temporary = INVALID_HANDLE_VALUE;
    remove_temporary();
    ReleaseSRWLockExclusive(&outputLock);
    errno = error;
}

bool is_same_file(std::FILE* input, const char* path)
{
    std::wstring full;
    if (!long_path(path, full)) return false;
    BY_HANDLE_FILE_INFORMATION read{};
    BY_HANDLE_FILE_INFORMATION named{};
    const auto inputHandle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(input)));
    const HANDLE file = CreateFileW(full.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool same = GetFileInformationByHandle(inputHandle, &read) != 0 && GetFileInformationByHandle(file, &named) != 0 &&
                      read.dwVolumeSerialNumber == named.dwVolumeSerialNumber && read.nFileIndexHigh == named.nFileIndexHigh &&
                      read.nFileIndexLow == named.nFileIndexLow;
    CloseHandle(file);
    return same;
}

std::uint64_t file_size(std::FILE* input)
{
    struct _stat64 status {};
    if (_fstat64(_fileno(input), &status) == 0 && (status.st_mode & _S_IFMT) == _S_IFREG)
        return static_cast<std::uint64_t>(status.st_size);
    return UINT64_MAX;
}

std::vector<std::string> files_named_by(const char* argument)
{
    const std::string given = argument;
    const std::size_t nameStart = given.find_last_of("\\/:") + 1; // 0 when there is none
    if (given.find_first_of("*?", nameStart) == std::string::npos) return {given};
    const std::wstring pattern = wide(given.substr(nameStart));
    std::vector<std::string> files;
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileExW(wide(given).c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && name_matches(pattern.c_str(), found.cFileName))
                files.push_back(given.substr(0, nameStart) + utf8(found.cFileName));
        } while (FindNextFileW(search, &found) != 0);
        FindClose(search);
    }
    if (files.empty()) return {given};
    std::sort(files.begin(), files.end());
    return files;
}

std::uint64_t physical_memory_bytes()
{
    MEMORYSTATUSEX memory{};
    memory.dwLength = sizeof memory;
    return GlobalMemoryStatusEx(&memory) != 0 ? memory.ullTotalPhys : UINT64_MAX;
}

} // namespace sactab
