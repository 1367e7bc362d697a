// The test binaries that run the real operating interface with the firmware install its links
// as well (the key code, the main cycle's state, the system bus).
#include <gtest/gtest.h>

#include "links/sim_links.h"

namespace {

class ProgramOpuiLinks : public ::testing::Environment {
 public:
  void SetUp() override { SIM_InstallOpuiLinks(); }
};

[[maybe_unused]] ::testing::Environment* const g_programOpuiLinks =
    ::testing::AddGlobalTestEnvironment(new ProgramOpuiLinks);

}  // namespace
