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

namespace host {

// Opens a file for writing without being held up by what is not a file: the open itself does
// not wait (a FIFO without a reader would wait for one), and what was opened must be a
// regular file, else it is closed again and refused with the reason in *error. `append`
// keeps the file's bytes and writes after them; otherwise the file is emptied. A missing
// file is created (its folder is not).
std::FILE* CreateRegularFile(const std::string& path, bool append, std::string* error = nullptr);

// The file that writing to `path` changes: a symbolic link's target (followed through every
// link, relative ones from the link's folder), else `path` itself.
std::string WriteTargetOf(const std::string& path);

// Replaces the file's contents as a whole: the bytes go to "<file>.tmp" beside the file that
// `path` names (through a symbolic link: the link stays a link), which is flushed to the disk
// and renamed over it, so that a failed write (a full disk, a read-only folder) leaves the
// old file whole and no ".tmp" behind. A ".tmp" name held by something other than a regular
// file is refused and left as it is. False with the reason in *error. `write` (if given)
// writes the bytes in place of fwrite and returns how many it wrote.
using FileWriteFn = size_t (*)(const void* data, size_t size, std::FILE* file);
bool ReplaceFileContents(const std::string& path, const void* data, size_t size, std::string* error = nullptr,
                         FileWriteFn write = nullptr);

}  // namespace host
