// The version text of the module panel program. Its file version is set when it is built
// (TQ500_FILE_VERSION "major.minor.build.revision").
#pragma once

#include <cstdint>
#include <string>

struct TQ500FileVersion {
  uint16_t major, minor, build, revision;
};

// The program's file version; false when it was built without one.
bool TQ500_ReadFileVersion(TQ500FileVersion* out);

// The version text of a file version: revision 0 gives "major.minor.build Beta"; otherwise the
// long form "major.minor.build", the short form "major.minor <service release>", the service
// release being the key "ServiceRelease" of section [Version] in the file named like the
// program with the extension ".dat" (at most 256 characters), else "SR<revision>". Returns
// the packed version major << 24 | minor << 16 | build << 8 | revision, each part at most 255.
uint32_t TQ500_VersionText(const TQ500FileVersion& version, const std::string& programPath, std::string* text,
                           bool longForm);

// The same for the program's own file version; 0 with the text left alone when there is none.
uint32_t GetModuleVersionText(const std::string& programPath, std::string* text, bool longForm);

// "<program>.dat" beside the program: its extension replaced, or added when it has none.
std::string TQ500_DataFileOf(const std::string& programPath);
