// The headless device's project: an engineering image handed over as the shell hands over a
// loaded project.
#include "tools/headless/headless.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "blocks/register_all.h"
#include "firmware/fw_adapter.h"
#include "links/sim_links.h"
#include "runtime/fw_eeprom.h"
#include "shell/sim_services.h"
#include "tools/engbuild/eng_builder.h"

void SimHeadlessStart(const std::vector<uint8_t>& engineering, uint8_t language) {
  static std::vector<uint8_t> image, imageRef, data, dataRef;
  image.assign(SIM_ENGINEERING_SIZE, 0);
  std::copy_n(engineering.begin(), std::min<size_t>(engineering.size(), image.size()), image.begin());
  imageRef.assign(SIM_ENGINEERING_SIZE, 0);
  data.assign(SIM_DATA_SIZE, 0);
  dataRef.assign(SIM_DATA_SIZE, 0);
  std::memcpy(data.data() + FW_IEE_TAG, "MX7N", 4);
  SimHostState& s = SimState();
  s.engineering = image.data();
  s.engineeringRef = imageRef.data();
  s.data = data.data();
  s.dataRef = dataRef.data();
  s.imagesValid = 1;
  s.reloadRequest = 1;
  s.language = language;
  // The links of the libraries every headless program links; a program with the operating
  // interface installs its links as well.
  SIM_InstallCommLinks();
  SIM_InstallInfoLinks();
  SIM_InstallVisualLinks();
  FW_SimInit();
  FW_SimStart();
}

bool SimHeadlessStartDescription(const char* path, std::string_view fallback, std::string* error,
                                 void (*moreTypes)()) {
  std::string description(fallback);
  if (path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
      *error = std::string("cannot read ") + path;
      return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    description = text.str();
  }
  BLK_RegisterAllTypes();
  if (moreTypes) moreTypes();
  EngBuilder builder;
  std::vector<uint8_t> engineering;
  if (!EngParseDescription(description, builder, error)) return false;
  if (!builder.build(engineering)) {
    *error = builder.error();
    return false;
  }
  SimHeadlessStart(engineering);
  return true;
}
