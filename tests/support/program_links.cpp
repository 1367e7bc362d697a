// The test binaries that run the libraries together (the firmware's main cycle, the
// protocols, the blocks, the shell or its fake, the operating interface's fake) install the
// links between them once before their tests, as every program's start does.
#include <gtest/gtest.h>

#include "links/sim_links.h"

namespace {

class ProgramLinks : public ::testing::Environment {
 public:
  void SetUp() override {
    SIM_InstallCommLinks();
    SIM_InstallInfoLinks();
    SIM_InstallVisualLinks();
  }
};

[[maybe_unused]] ::testing::Environment* const g_programLinks =
    ::testing::AddGlobalTestEnvironment(new ProgramLinks);

}  // namespace
