#include "modpanel/version_text.h"

#include <cstdio>

#include "host/ini_file.h"

bool TQ500_ReadFileVersion(TQ500FileVersion* out) {
#ifdef TQ500_FILE_VERSION
  unsigned v[4] = {};
  char end = 0;
  if (std::sscanf(TQ500_FILE_VERSION, "%u.%u.%u.%u%c", &v[0], &v[1], &v[2], &v[3], &end) != 4) return false;
  for (unsigned x : v)
    if (x > 0xFFFF) return false;
  *out = {static_cast<uint16_t>(v[0]), static_cast<uint16_t>(v[1]), static_cast<uint16_t>(v[2]),
          static_cast<uint16_t>(v[3])};
  return true;
#else
  (void)out;
  return false;
#endif
}

std::string TQ500_DataFileOf(const std::string& programPath) {
  const size_t slash = programPath.rfind('/');
  const size_t dot = programPath.rfind('.');
  const bool extension = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
  return (extension ? programPath.substr(0, dot) : programPath) + ".dat";
}

uint32_t TQ500_VersionText(const TQ500FileVersion& v, const std::string& programPath, std::string* text,
                           bool longForm) {
  char buf[320];
  if (v.revision == 0) {
    std::snprintf(buf, sizeof buf, "%u.%u.%u Beta", v.major, v.minor, v.build);
  } else if (longForm) {
    std::snprintf(buf, sizeof buf, "%u.%u.%u", v.major, v.minor, v.build);
  } else {
    std::string release = host::IniGetString(TQ500_DataFileOf(programPath), "Version", "ServiceRelease", "");
    if (release.size() > 256) release.resize(256);
    if (release.empty()) release = "SR" + std::to_string(v.revision);
    std::snprintf(buf, sizeof buf, "%u.%u %s", v.major, v.minor, release.c_str());
  }
  *text = buf;
  auto part = [](uint16_t x) { return static_cast<uint32_t>(x > 255 ? 255 : x); };
  return part(v.major) << 24 | part(v.minor) << 16 | part(v.build) << 8 | part(v.revision);
}

uint32_t GetModuleVersionText(const std::string& programPath, std::string* text, bool longForm) {
  TQ500FileVersion v{};
  if (!TQ500_ReadFileVersion(&v)) return 0;
  return TQ500_VersionText(v, programPath, text, longForm);
}
