// The operating interface's own tests run without the firmware: the interface reads the
// stand-in values of its device-state record (g_opDeviceState), and reaches only device
// communication (real or fake); the page records it shares with the blocks of the page tests
// are linked by both.
#include <gtest/gtest.h>

#include "comm/com_services.h"
#include "opui/op_links.h"

namespace {

class OpuiLinks : public ::testing::Environment {
 public:
  void SetUp() override {
    OP_InstallLinks({.busSetAddress = COM_BusSetAddress, .canNodeTable = COM_CanNodeTable});
  }
};

[[maybe_unused]] ::testing::Environment* const g_opuiLinks =
    ::testing::AddGlobalTestEnvironment(new OpuiLinks);

}  // namespace
