// The output is written to a nameless temporary file beside ascFileName and
// put in place by a rename only once it is complete, so an interrupted or
// failed run never leaves a partial table or damages an earlier one.
#pragma once

#include <cstdio>

namespace sactab {

// Opens the temporary output for ascFileName. nullptr, with errno set, when
// the folder does not take it or ascFileName is a directory.
std::FILE* open_output();

// Flushes and closes the output and puts it in place as ascFileName.
// false, with errno set, when any of that fails; the temporary is then gone.
bool commit_output(std::FILE* output);

// Closes and removes the temporary output.
void discard_output(std::FILE* output);

} // namespace sactab
