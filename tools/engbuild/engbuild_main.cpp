// engbuild: writes an engineering image from a text description and checks it by loading
// it the way the firmware does.
//
//   engbuild DESCRIPTION IMAGE
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <vector>

#include "blocks/register_all.h"
#include "opui/op_blocktypes.h"
#include "runtime/fw_image.h"
#include "tools/engbuild/eng_builder.h"

namespace {

const char* errorText(FwImageError e) {
  switch (e) {
    case FwImageError::None: return "none";
    case FwImageError::NoTag: return "no MX7N tag";
    case FwImageError::Identity: return "identification of another firmware";
    case FwImageError::EngineeringValue: return "engineering value not below 120000";
    case FwImageError::Truncated: return "a list runs into the login block";
    case FwImageError::BlockNumber: return "block number above 1950 or given twice";
    case FwImageError::Type: return "block type not in use";
    case FwImageError::RecordField: return "a count or size beyond its cap";
    case FwImageError::TemplateMismatch: return "counts or size differ from the type";
    case FwImageError::HeapFull: return "the blocks do not fit the heaps";
    case FwImageError::ParamRecord: return "bad parameter-list record";
    case FwImageError::ParamRoom: return "the parameter list does not fit";
    case FwImageError::Connections: return "an input names a missing source";
    case FwImageError::Chains: return "faulty time-group chains";
    case FwImageError::WriteBack: return "write-back ring full";
  }
  return "?";
}

int usage() {
  std::fprintf(stderr,
               "usage: engbuild DESCRIPTION IMAGE\n"
               "Writes the 0x20000-byte engineering image described by DESCRIPTION.\n"
               "Lines: run N | language N | order CODE | zero-ident |\n"
               "       block NUMBER TYPE [group G] [after B], then for that block:\n"
               "       in I SRC.OUT | din I SRC.OUT | float I X | word I N | long I N |\n"
               "       value I N | text I \"TEXT\" | state I N | set NAME VALUE;\n"
               "       param BLOCK WORDS... (1955: system data). '#' starts a comment.\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 || std::strcmp(argv[1], "--help") == 0) return usage();
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "engbuild: cannot read %s\n", argv[1]);
    return 1;
  }
  std::stringstream text;
  text << in.rdbuf();

  BLK_RegisterAllTypes();
  OP_RegisterBlockTypes();
  EngBuilder builder;
  std::string error;
  std::vector<uint8_t> image;
  if (!EngParseDescription(text.str(), builder, &error)) {
    std::fprintf(stderr, "engbuild: %s: %s\n", argv[1], error.c_str());
    return 1;
  }
  if (!builder.build(image)) {
    std::fprintf(stderr, "engbuild: %s\n", builder.error().c_str());
    return 1;
  }

  // Check it as the firmware would load it.
  std::memcpy(g_fwImage, image.data(), FW_IMAGE_SIZE);
  if (FW_LoadEngineering() != 0 || g_fwEng.lastError != FwImageError::None) {
    std::fprintf(stderr, "engbuild: the image does not load: %s (block %u)\n",
                 errorText(g_fwEng.lastError), static_cast<unsigned>(g_fwEng.badBlock));
    return 1;
  }

  std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
  if (!out) {
    std::fprintf(stderr, "engbuild: cannot write %s\n", argv[2]);
    return 1;
  }
  std::printf("%s: %u bytes used\n", argv[2], static_cast<unsigned>(builder.usedLength()));
  return 0;
}
