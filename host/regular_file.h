// Opening files that the user names (projects, pictures, scripts, settings) without being
// held up by what is not a file: a FIFO, a device or a socket under such a name would block
// the program at the open or feed it without end, so only regular files are opened.
#pragma once

#include <cstdio>
#include <string>

namespace host {

// fopen for a regular file: a path that names anything else is refused with the reason in
// *error (if given); so is a path that cannot be opened. Reading modes check the opened file
// itself; writing modes refuse an existing path that is not a regular file and create a new
// file otherwise.
std::FILE* OpenRegularFile(const std::string& path, const char* mode, std::string* error = nullptr);

}  // namespace host
