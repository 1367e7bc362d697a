// Fuzz target of the project-file loader. The first byte chooses what the rest is:
//   0  a whole project file as it lies on disk;
//   1  the sections after the two images (device configuration, paths, logo and user data),
//      behind a valid size word, identification and images (bit 0 of the next byte: a first
//      word that is not the size, so that the older layout is tried);
//   2  an older-layout file: the identification, then the rest from the plant settings on.
// After each load the project in the buffers must be whole: the picture lengths 0 or within
// their buffers, the paths and the name terminated.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "shell/project.h"

namespace {

void PutU32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

void Identify(std::vector<uint8_t>& b, size_t image) {
  std::memcpy(&b[image], "MX7N", 4);
  std::memcpy(&b[image + 14], "1230-A\x04\x02", 8);
}

uint32_t Length(const uint8_t* block) {
  return static_cast<uint32_t>(block[0]) | static_cast<uint32_t>(block[1]) << 8 |
         static_cast<uint32_t>(block[2]) << 16 | static_cast<uint32_t>(block[3]) << 24;
}

void Check() {
  const SimHostState& s = SimState();
  const uint32_t logo = Length(s.logo), user = Length(s.userData);
  if (logo != 0 && (logo < 4 || logo > SIM_LOGO_CAPACITY)) std::abort();
  if (user != 0 && (user < 4 || user > SIM_USER_DATA_CAPACITY)) std::abort();
  for (const char* text : {s.logoPath, s.userDataPath, s.projectName})
    if (!std::memchr(text, 0, SIM_PATH_SIZE)) std::abort();
  uint32_t n = 0;
  if (SimLogoData(&n) && n + 4 != logo) std::abort();
  if (SimUserData(&n) && n + 4 != user) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = [] {
    SimAttachProjectBuffers(SimState());
    return true;
  }();
  (void)ready;
  if (size == 0) return 0;
  const uint8_t mode = data[0] % 3;
  const uint8_t* rest = data + 1;
  const size_t n = size - 1;
  std::vector<uint8_t> file;
  switch (mode) {
    case 0:
      file.assign(rest, rest + n);
      break;
    case 1: {
      file.assign(0x2400C, 0);
      PutU32(file, 4, 0x20000);
      Identify(file, 8);
      PutU32(file, 0x20008, 0x4000);
      const bool older = n > 0 && (rest[0] & 1);
      if (n > 1) file.insert(file.end(), rest + 1, rest + n);
      PutU32(file, 0, older ? 0 : static_cast<uint32_t>(file.size()));
      break;
    }
    default:
      file.assign(SIM_OLD_PROJECT_SIZE, 0);
      Identify(file, 0);
      std::memcpy(&file[0x24000], rest, std::min<size_t>(n, SIM_OLD_PROJECT_SIZE - 0x24000));
      break;
  }
  SimLoadProjectBytes(file.data(), file.size(), "fuzz.sdg");
  Check();
  return 0;
}
