// Settings files in the private-profile form: "[Section]" lines followed by "key=value" lines.
//
// Sections and keys are matched without regard to ASCII case; a value is the text after the
// first '=' with blanks around it removed. Reads never fail: a missing file, section or key
// gives the default. A file is parsed once while it stays unchanged. Writes keep every other
// line of the file as it was, create the file when it is missing (not its folder) and replace
// the file through a temporary copy, so that a failed write leaves the old file whole; a file
// that is there but could not be read whole (see IniIsWellFormed's bounds) is never written
// over: the write fails. A symbolic link is written through (it stays a link). A value longer
// than 4096 bytes is read cut to that length (its line stays whole in the file).
#pragma once

#include <string>

namespace host {

std::string IniGetString(const std::string& file, const std::string& section, const std::string& key,
                         const std::string& fallback);
// The value's leading decimal integer (an optional sign, then digits; a value that does not
// start with one reads as 0); the default when the key is missing.
long IniGetInt(const std::string& file, const std::string& section, const std::string& key, long fallback);
// True when the file holds the key (with any value) in the section.
bool IniHasKey(const std::string& file, const std::string& section, const std::string& key);

// True when the file can be read and holds only private-profile lines: blank lines,
// comments (';' or '#'), "[section]" headers and "key=value" lines, and no NUL byte. A
// missing file is not well formed, nor is what is no regular file, a file over 1 MiB or a
// line over 4096 bytes that is no "key=value" line (reads of such a file give the defaults,
// writes to it fail).
bool IniIsWellFormed(const std::string& file);

// Sets the key to the value, adding the section and the key when missing.
bool IniWriteString(const std::string& file, const std::string& section, const std::string& key,
                    const std::string& value);
bool IniWriteInt(const std::string& file, const std::string& section, const std::string& key, long value);
// Removes one key; removing a key that is not there succeeds.
bool IniDeleteKey(const std::string& file, const std::string& section, const std::string& key);
// Removes a whole section with its keys.
bool IniDeleteSection(const std::string& file, const std::string& section);

}  // namespace host
