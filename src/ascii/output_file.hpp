// The output is written to a temporary file beside ascFileName and put in
// place by a rename only once it is complete and closed, so an interrupted
// or failed run never leaves a partial table or damages an earlier one.
// One interface, one file per system: output_file_posix.cpp (a nameless
// file where Linux offers one, else a hidden named one removed by the
// signal handlers) and output_file_windows.cpp (a named one that Windows
// deletes on close until it is complete).
#pragma once

#include <cstdio>

namespace sactab {

// Opens the temporary output for ascFileName. nullptr, with errno set, when
// the folder does not take it, ascFileName is a directory, or it is a table
// the user may not write.
std::FILE* open_output();

// What open_output falls back to where the folder's file system has no
// O_TMPFILE: a hidden, uniquely named file in the output's folder, removed
// again if a signal ends the run. Callable directly so it can be tested on
// any file system. (On Windows, the same as open_output.)
std::FILE* open_named_output();

// Flushes the output, gives it the earlier table's mode (and owner, where
// allowed), closes it and only then puts it in place as ascFileName. false,
// with errno set, when any of that fails: the temporary is then gone and the
// earlier table untouched.
bool commit_output(std::FILE* output);

// Closes and removes the temporary output.
void discard_output(std::FILE* output);

} // namespace sactab
