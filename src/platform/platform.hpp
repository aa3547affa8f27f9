// What the rest of the program may ask of the system, and nothing else: one
// interface, one file per system. posix.cpp serves Linux and other POSIX
// systems, windows.cpp serves Windows; the text, the SAC format and the run's
// order know no system call.
//
// The output is written to a temporary file beside the table's path and put in
// place by a rename only once it is complete and closed, so an interrupted
// or failed run never leaves a partial table or damages an earlier one: on
// Linux a nameless file where the file system offers one, else a hidden
// named one, private until the commit and removed by the signal handlers; on
// Windows a named one that the system deletes on close until it is complete.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace sactab {

// Opens the temporary output for the table at `tablePath`, which must stay
// as it is until the output is committed or discarded. nullptr, with errno
// set, when the folder does not take it, its name is longer than the file
// system takes, tablePath is a directory, or it is a table the user may not
// write. From here on a file size limit makes writes fail (EFBIG) instead
// of ending the process.
std::FILE* open_output(const char* tablePath);

// What open_output falls back to where the folder's file system has no
// nameless files: a hidden, uniquely named file in the output's folder.
// Callable directly so it can be tested on any file system. (On Windows,
// the same as open_output.)
std::FILE* open_named_output(const char* tablePath);

// Flushes the output, gives it its final mode and attributes (the earlier
// table's, and its owner where allowed), closes it and only then puts it in
// place as the table. false, with errno set, when any of that fails: the
// temporary is then gone and the earlier table untouched.
bool commit_output(std::FILE* output);

// Closes and removes the temporary output; errno is kept.
void discard_output(std::FILE* output);

// Messages end in a line feed alone, as on every system: Windows would
// otherwise write a carriage return before it. Called before any output.
void use_line_feeds_on_standard_output();

// Whether `path` names the very file `input` reads (its own entry, not
// what a symbolic link of that name points to).
bool is_same_file(std::FILE* input, const char* path);

// The size of a regular file, known before anything is read; UINT64_MAX for
// a pipe or anything else whose end is found only by reading.
std::uint64_t file_size(std::FILE* input);

// The files one command-line argument names: on Windows, whose shells leave
// wildcards to the program, the files a name with * or ? in its last part
// matches, in name order (the argument itself when none does; a Windows
// name cannot hold either character); elsewhere the argument itself.
std::vector<std::string> files_named_by(const char* argument);

// The machine's memory, or UINT64_MAX where the system does not say.
std::uint64_t physical_memory_bytes();

// Whether pasted commands go to cmd or PowerShell (double quotes), not to a
// POSIX shell (single quotes, $'...').
#ifdef _WIN32
constexpr bool doubleQuotingShell = true;
#else
constexpr bool doubleQuotingShell = false;
#endif

} // namespace sactab
