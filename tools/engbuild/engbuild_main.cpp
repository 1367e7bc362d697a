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

#include "tools/engbuild/eng_tool.h"

namespace {

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

  EngRegisterToolTypes();
  std::vector<uint8_t> image;
  std::string error;
  uint32_t used = 0;
  if (!EngBuildChecked(text.str(), image, &error, &used)) {
    std::fprintf(stderr, "engbuild: %s: %s\n", argv[1], error.c_str());
    return 1;
  }

  std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
  if (!out) {
    std::fprintf(stderr, "engbuild: cannot write %s\n", argv[2]);
    return 1;
  }
  std::printf("%s: %u bytes used\n", argv[2], static_cast<unsigned>(used));
  return 0;
}
